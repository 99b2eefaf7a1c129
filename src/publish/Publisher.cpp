#include "publish/Publisher.h"

#include "base/Strings.h"
#include "config/LauncherChecksum.h"
#include "config/Sha256.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/FileVersionBlock.h"
#include "platform/Unicode.h"
#include "publish/PublishZipWriter.h"
#include "update/ArchivePath.h"

#include <tinyxml2.h>

#include <algorithm>
#include <chrono>

namespace publish {

namespace {

// Sizes in the manifest are 32-bit.
constexpr std::uint64_t kMaxManifestSize = 0xFFFFFFFFu;

// The launcher's own files at the client's root are replaced by the
// launcher itself, never by a package.
bool IsLauncherFile(const std::string& path) {
    std::string lower = base::ToLowerAscii(path);
    return lower == "launcher.exe" || lower == "launcher.tmp.exe";
}

bool PlatformsOverlap(PackagePlatform a, PackagePlatform b) {
    return a == kPlatformAny || b == kPlatformAny || a == b;
}

bool IsAbsolute(const std::string& path) {
    return path.starts_with('/') || path.starts_with('\\') || (path.size() > 1 && path[1] == ':');
}

// The SHA-256 of a file of the release, in hexadecimal.
bool Sha256Text(const std::wstring& path, std::string* text, std::string* error) {
    config::Sha256Digest digest{};
    if (!config::Sha256OfFile(path, &digest)) {
        *error = PublishSystemError("cannot read", path);
        return false;
    }
    *text = config::ToHex(digest);
    return true;
}

// The release sequence of the signed manifest in the folder; 0 when there
// is none.
std::uint64_t PreviousSequence(const std::wstring& manifestPath) {
    std::string text;
    if (!plat::ReadWholeFile(manifestPath, &text))
        return 0;
    tinyxml2::XMLDocument doc;
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS || !doc.RootElement())
        return 0;
    return doc.RootElement()->Unsigned64Attribute(update::manifest::kReleaseSequence, 0);
}

std::string PackageLabel(const PublishPackage& package) {
    return "line " + std::to_string(package.line) + ": [package " + package.file + "]";
}

} // namespace

bool CPublisher::Run(std::string* error) {
    packages_.clear();
    digests_.clear();
    staged_.clear();
    if (!LoadDescription(error) || !ListClientFiles(options_.clientFolder, &sources_, error) ||
        !AssignFiles(error) || !CheckOwners(error))
        return false;
    if (!plat::CreateDirectoryTree(options_.outputFolder)) {
        *error = PublishSystemError("cannot create the output folder", options_.outputFolder);
        return false;
    }
    // Everything is written under new names first; the output folder changes
    // only once every file of the release is complete.
    bool written = !description_.hasLauncher || PublishLauncher(error);
    packages_.resize(description_.packages.size());
    for (std::size_t i = 0; written && i < packages_.size(); ++i) {
        packages_[i].package = &description_.packages[i];
        written = WritePackage(i, error);
    }
    written = written && WriteManifests(error);
    if (!written || !CommitStaged(error)) {
        DiscardStaged();
        return false;
    }
    return true;
}

std::wstring CPublisher::Stage(const std::string& name) {
    Staged staged;
    staged.target = plat::JoinPath(options_.outputFolder, plat::Utf8ToWide(name));
    staged.temp = plat::TempNameBeside(staged.target);
    staged_.push_back(staged);
    return staged.temp;
}

void CPublisher::DiscardStaged() {
    for (const Staged& staged : staged_)
        plat::DeleteFile(staged.temp);
    staged_.clear();
}

bool CPublisher::CommitStaged(std::string* error) {
    // Each old file steps aside under a name of its own before the new one
    // takes its place; a failure puts every old file back, so the folder
    // holds the old release or the new one, never a mixture. The manifests
    // come last.
    std::size_t done = 0;
    for (; done < staged_.size(); ++done) {
        Staged& staged = staged_[done];
        if (plat::FileExists(staged.target)) {
            staged.backup = plat::TempNameBeside(staged.target);
            if (!plat::MoveFile(staged.target, staged.backup)) {
                *error = PublishSystemError("cannot replace", staged.target);
                staged.backup.clear();
                break;
            }
        }
        if (!plat::MoveFile(staged.temp, staged.target)) {
            *error = PublishSystemError("cannot write", staged.target);
            if (!staged.backup.empty())
                plat::MoveFile(staged.backup, staged.target, plat::kMoveReplaceExisting);
            staged.backup.clear();
            break;
        }
    }
    if (done == staged_.size()) {
        for (const Staged& staged : staged_) {
            if (!staged.backup.empty())
                plat::DeleteFile(staged.backup);
        }
        staged_.clear();
        return true;
    }
    while (done-- > 0) {
        Staged& staged = staged_[done];
        if (staged.backup.empty())
            plat::MoveFile(staged.target, staged.temp, plat::kMoveReplaceExisting);
        else
            plat::MoveFile(staged.backup, staged.target, plat::kMoveReplaceExisting);
    }
    return false;
}

bool CPublisher::LoadDescription(std::string* error) {
    std::string text;
    if (!plat::ReadWholeFile(options_.descriptionPath, &text)) {
        *error = PublishSystemError("cannot read the description", options_.descriptionPath);
        return false;
    }
    if (!ParsePublishDescription(text, &description_, error)) {
        *error = plat::WideToUtf8(options_.descriptionPath) + ": " + *error;
        return false;
    }
    return true;
}

bool CPublisher::AssignFiles(std::string* error) {
    std::vector<bool> packable(sources_.size());
    std::map<std::string, std::string> byLowerPath;
    for (std::size_t j = 0; j < sources_.size(); ++j) {
        const std::string& path = sources_[j].path;
        packable[j] = !IsLauncherFile(path) && !IsIgnoredPath(description_.ignore, path);
        if (!packable[j])
            continue;
        // The launcher compares paths without regard to case.
        auto [it, added] = byLowerPath.emplace(base::ToLowerAscii(path), path);
        if (!added) {
            *error =
                "the client files " + it->second + " and " + path + " differ only in letter case";
            return false;
        }
    }
    members_.assign(description_.packages.size(), {});
    for (std::size_t i = 0; i < description_.packages.size(); ++i) {
        const PublishPackage& package = description_.packages[i];
        std::vector<bool> taken(sources_.size());
        for (const std::string& pattern : package.include) {
            bool any = false;
            for (std::size_t j = 0; j < sources_.size(); ++j) {
                if (packable[j] && MatchPublishPattern(pattern, sources_[j].path))
                    taken[j] = any = true;
            }
            if (!any) {
                *error = PackageLabel(package) + ": \"" + pattern +
                         "\" matches no file that can be packed";
                return false;
            }
        }
        for (const std::string& pattern : package.exclude) {
            for (std::size_t j = 0; j < sources_.size(); ++j) {
                if (taken[j] && MatchPublishPattern(pattern, sources_[j].path))
                    taken[j] = false;
            }
        }
        for (std::size_t j = 0; j < sources_.size(); ++j) {
            if (!taken[j])
                continue;
            const PublishSourceFile& source = sources_[j];
            if (!IsSafeArchivePath(source.path)) {
                *error = PackageLabel(package) + ": \"" + source.path +
                         "\" cannot be the name of an archive member";
                return false;
            }
            if (source.kind != PublishSourceFile::Kind::Regular) {
                *error = PackageLabel(package) + ": " + source.path +
                         (source.kind == PublishSourceFile::Kind::Link
                              ? " is a link; only regular files are published (put the file "
                                "or folder it names in its place, or exclude it)"
                              : " is no regular file (a pipe, socket or device)");
                return false;
            }
            const std::string problem = WindowsNameProblem(source.path);
            if (!problem.empty()) {
                *error = PackageLabel(package) + ": " + source.path +
                         " cannot be installed on Windows: " + problem;
                return false;
            }
            members_[i].push_back(j);
        }
        if (members_[i].empty()) {
            *error = PackageLabel(package) + ": its excludes leave no file";
            return false;
        }
    }
    return true;
}

bool CPublisher::CheckOwners(std::string* error) const {
    std::map<std::string, std::vector<std::size_t>> owners; // by path: installing packages
    const std::vector<PublishPackage>& packages = description_.packages;
    for (std::size_t i = 0; i < packages.size(); ++i) {
        if (packages[i].type == kPackageIncrement)
            continue;
        for (std::size_t j : members_[i]) {
            std::vector<std::size_t>& list = owners[sources_[j].path];
            for (std::size_t other : list) {
                if (PlatformsOverlap(packages[other].platform, packages[i].platform)) {
                    *error = PackageLabel(packages[i]) + ": " + sources_[j].path +
                             " is installed by package " + packages[other].file + " already";
                    return false;
                }
            }
            list.push_back(i);
        }
    }
    for (std::size_t i = 0; i < packages.size(); ++i) {
        if (packages[i].type != kPackageIncrement)
            continue;
        for (std::size_t j : members_[i]) {
            if (owners.find(sources_[j].path) == owners.end()) {
                *error = PackageLabel(packages[i]) + ": the increment lists " + sources_[j].path +
                         ", which no other package installs";
                return false;
            }
        }
    }
    return true;
}

bool CPublisher::WritePackage(std::size_t index, std::string* error) {
    PublishedPackage* published = &packages_[index];
    const PublishPackage& package = *published->package;
    const std::wstring path = Stage(package.file);
    std::unique_ptr<IPublishArchiveWriter> writer;
    if (package.format == PublishFormat::kZip)
        writer = std::make_unique<CPublishZipWriter>(package.deflate);
    else if (options_.rarWriter)
        writer = options_.rarWriter();
    if (!writer) {
        *error = PackageLabel(package) + ": RAR packages cannot be written by this program";
        return false;
    }
    auto fail = [&]() {
        writer.reset(); // closes the file
        plat::DeleteFile(path);
        return false;
    };
    if (!writer->Create(path, error))
        return fail();
    for (std::size_t j : members_[index]) {
        const PublishSourceFile& source = sources_[j];
        PublishDigest digest;
        if (!writer->AddFile(source.path, source.fullPath, &digest, error))
            return fail();
        if (digest.size > kMaxManifestSize) {
            *error = source.path + " is larger than the manifest can describe (4 GiB)";
            return fail();
        }
        auto [it, added] = digests_.emplace(source.path, digest);
        if (!added && (it->second.crc != digest.crc || it->second.size != digest.size)) {
            *error = source.path + " changed while it was being published";
            return fail();
        }
        published->files.push_back(PublishedFile{source.path, digest});
    }
    if (!writer->Finish(error) || !DigestFile(path, &published->digest, error) ||
        (options_.signingKey && !Sha256Text(path, &published->sha256, error)))
        return fail();
    if (published->digest.size > kMaxManifestSize) {
        *error = package.file + " is larger than the manifest can describe (4 GiB)";
        return fail();
    }
    return true;
}

bool CPublisher::PublishLauncher(std::string* error) {
    std::wstring file = plat::Utf8ToWide(description_.launcherFile);
    std::wstring path =
        IsAbsolute(description_.launcherFile)
            ? plat::NativePath(file)
            : plat::JoinPath(plat::FolderOf(options_.descriptionPath), plat::NativePath(file));
    plat::File launcher;
    std::uint64_t size = 0;
    if (!launcher.Open(path, plat::kRead, plat::Disposition::OpenExisting) ||
        !launcher.Size(&size)) {
        *error = PublishSystemError("cannot read the launcher", path);
        return false;
    }
    launcher.Close();
    if (size > kMaxManifestSize) {
        *error = "the launcher " + plat::WideToUtf8(path) + " is larger than 4 GiB";
        return false;
    }
    plat::ErrorCode code = plat::kErrSuccess;
    if (!config::LauncherChecksumOfFile(path, config::kWalkSkipRepeatedBoundary,
                                        &launcher_.checksum, &code, {1, 0})) {
        *error = PublishSystemError("cannot read the launcher", path);
        return false;
    }
    launcher_.size = static_cast<std::uint32_t>(size);
    // A launcher compares its own file version with the manifest's text:
    // when the two differ it would fetch itself again at every start.
    plat::FileVersion version;
    if (plat::ReadFileVersionOfFile(path, &version)) {
        const std::string own = plat::FileVersionText(version);
        if (description_.launcherVersion.empty()) {
            description_.launcherVersion = own;
        } else if (description_.launcherVersion != own) {
            *error = "the launcher " + plat::WideToUtf8(path) + " has the file version " + own +
                     ", not " + description_.launcherVersion +
                     " as [launcher] says: it would download itself at every start "
                     "(set it with stubpatch --file-version)";
            return false;
        }
    } else if (description_.launcherVersion.empty()) {
        *error = "the launcher " + plat::WideToUtf8(path) +
                 " carries no file version: [launcher] needs a version";
        return false;
    }
    if (options_.signingKey && !Sha256Text(path, &launcher_.sha256, error))
        return false;
    const std::wstring target = Stage(kPublishLauncherName);
    if (!plat::CopyFile(path, target, true)) {
        *error = PublishSystemError("cannot copy the launcher to", target);
        return false;
    }
    return true;
}

update::ReleaseStamp CPublisher::NextStamp() const {
    const std::int64_t now = options_.now != 0
                                 ? options_.now
                                 : std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count();
    update::ReleaseStamp stamp;
    const std::uint64_t previous = PreviousSequence(
        plat::JoinPath(options_.outputFolder, plat::Utf8ToWide(kPublishManifestName)));
    stamp.sequence = std::max<std::uint64_t>(
        previous + 1, static_cast<std::uint64_t>(std::max<std::int64_t>(now, 0)));
    stamp.expires = now + std::int64_t{86400} * std::max(options_.validDays, 1);
    return stamp;
}

bool CPublisher::WriteManifests(std::string* error) {
    const bool sign = options_.signingKey.has_value();
    stamp_ = sign ? NextStamp() : update::ReleaseStamp{};
    std::string text =
        BuildManifestText(description_, packages_, description_.hasLauncher ? &launcher_ : nullptr,
                          sign ? &stamp_ : nullptr);
    std::string signatureText;
    if (sign) {
        config::Ed25519Signature signature{};
        if (!config::SignEd25519(*options_.signingKey, text, &signature)) {
            *error = "cannot sign the manifest with the key";
            return false;
        }
        signatureText = update::SignatureText(signature) + "\n";
    }
    const std::string signatureName = std::string(kPublishManifestName) + update::kSignatureSuffix;
    const std::wstring packedPath = Stage(kPublishPackedManifestName);
    CPublishZipWriter packed;
    if (!packed.Create(packedPath, error) || !packed.AddData(kPublishManifestName, text, error) ||
        (sign && !packed.AddData(signatureName, signatureText, error)) || !packed.Finish(error))
        return false;
    auto writeText = [&](const std::string& name, const std::string& bytes) {
        const std::wstring path = Stage(name);
        plat::File file;
        if (!file.Open(path, plat::kWrite, plat::Disposition::CreateNew) ||
            !file.Write(bytes.data(), bytes.size()) || !file.Flush()) {
            *error = PublishSystemError("cannot write", path);
            return false;
        }
        return true;
    };
    return (!sign || writeText(signatureName, signatureText)) &&
           writeText(kPublishManifestName, text);
}

} // namespace publish
