// publish: prepares a client release for the update server.
//
//   publish [--sign KEYFILE [--valid-days N]] DESCRIPTION CLIENT_FOLDER OUTPUT_FOLDER
//   publish keygen KEYFILE
//   publish public-key KEYFILE
//
// Reads the description, packs the files of CLIENT_FOLDER into the packages
// it names and writes into OUTPUT_FOLDER (created when missing; keep it
// outside the client folder):
//
//   <package files>  one archive per [package] section: ZIP (deflated, or
//                    stored with "compression = store") or RAR 4 (stored);
//                    members are named by their path relative to the client
//                    folder with "\" separators
//   Launcher.exe     a copy of the [launcher] file, when the section is given
//   update.xml       the manifest: client and launcher versions, the
//                    launcher's size and checksum, every package with its
//                    CRC-32 and size, every file with its CRC-32 and size,
//                    the INFO texts and the ignore list
//   update.rxml      update.xml packed into a ZIP archive (entry
//                    "update.xml"), the form the launcher asks for
//
// Copy the whole output folder to the server's update path. Every file is
// written under a new name first and takes its place only when the whole
// release is complete, the manifests last: a run that fails leaves the
// previous release in the folder as it was. Links, pipes and other special
// files among the packed files, and names Windows cannot hold, are refused
// with a message naming them.
//
// A description (comments take whole lines):
//
//   # Blank lines and lines starting with "#" or ";" are comments.
//   [client]
//   version = 1.2.3
//   # optional revision stamp
//   modification = 2024-05-01 #2
//
//   # Optional: the launcher to publish; the file is relative to the
//   # description's folder, the url optional.
//   [launcher]
//   file = build/Launcher.exe
//   version = 1.0.0.2
//   url = http://cdn.example.com/Launcher.exe
//
//   # Left alone by the launcher and never packed: any file with an
//   # extension, any file of a name, one path.
//   [ignore]
//   file = *\*.log
//   file = *\user.cfg
//   file = Cache\data.bin
//
//   # Package names end in ".pkg" (the only files the launcher unpacks);
//   # format: zip (default) or rar.
//   # type: full, ext, int, add or increment; platform: any, 32 or 64.
//   [package base.pkg]
//   type = full
//   platform = any
//   files = Bin
//   files = Data\*.pak
//   exclude = **\*.pdb
//
//   # RAR 4, always stored.
//   [package maps.pkg]
//   type = full
//   format = rar
//   files = Data\maps
//
//   # An optional application with its texts per language (an ext package
//   # needs them).
//   [package editor.pkg]
//   type = ext
//   files = Editor
//   info.en.name = Map editor
//   info.en.exec = Editor\editor.exe
//   info.en.cmdl = -window
//   info.en.help = Builds maps.\nNeeds the full client.
//   info.en.sel = false
//   info.de.name = Karteneditor
//   info.de.exec = Editor\editor.exe
//
//   # Replaces the full packages when only the files it lists differ.
//   [package patch-1.2.3.pkg]
//   type = increment
//   files = Bin\game.exe
//
// Patterns are relative to the client folder and ignore letter case; "*" and
// "?" match within one name, "**" any number of folders, and a pattern whose
// last name has no wildcard also takes the files below a folder of that name.
// A file belongs to at most one package per platform (increments repeat
// files of other packages); "Launcher.exe" at the client's root is never
// packed.
//
// Signed releases: "publish keygen KEYFILE" makes a new Ed25519 key pair,
// writes the private key to KEYFILE (a new file only its owner may read; an
// existing file is never replaced) and prints the public key, the 64
// hexadecimal digits a distribution's config.xml names so that its
// launchers accept only releases signed with the key ("public-key KEYFILE"
// prints it again). "--sign KEYFILE" signs the release: the manifest gains
// every package's and the launcher's SHA-256, a release sequence number
// that only grows and an expiry N days ahead (default 90; publish again
// before it passes), and update.rxml the entry "update.xml.sig" with the
// signature of update.xml's exact bytes, also written beside it. Launchers
// without a key read a signed release as any other.
//
// Exit status: 0 on success, 1 when publishing failed (the message names the
// description line or the file), 2 for a wrong command line.

#include "config/Ed25519.h"
#include "config/Sha256.h"
#include "platform/File.h"
#include "platform/Unicode.h"
#include "publish/PublishRarWriter.h"
#include "publish/Publisher.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: publish [--sign KEYFILE [--valid-days N]] DESCRIPTION CLIENT_FOLDER "
                 "OUTPUT_FOLDER\n"
                 "       publish keygen KEYFILE\n"
                 "       publish public-key KEYFILE\n");
}

bool ReadKey(const char* path, config::Ed25519PrivateKey* key) {
    std::string text;
    if (!plat::ReadWholeFile(plat::Utf8ToWide(path), &text)) {
        std::fprintf(stderr, "publish: cannot read the key file %s\n", path);
        return false;
    }
    if (!config::ParsePrivateKeyFile(text, key)) {
        std::fprintf(stderr, "publish: %s is not a key file of \"publish keygen\"\n", path);
        return false;
    }
    return true;
}

int PrintPublicKey(const config::Ed25519PrivateKey& key) {
    config::Ed25519PublicKey publicKey{};
    if (!config::Ed25519PublicOf(key, &publicKey)) {
        std::fprintf(stderr, "publish: the key is not an Ed25519 key\n");
        return 1;
    }
    std::printf("public key: %s\n", config::ToHex(publicKey).c_str());
    return 0;
}

int KeyCommand(const std::string& command, const char* path) {
    config::Ed25519PrivateKey key{};
    if (command == "public-key")
        return ReadKey(path, &key) ? PrintPublicKey(key) : 1;
    config::Ed25519PublicKey publicKey{};
    if (!config::GenerateEd25519(&key, &publicKey)) {
        std::fprintf(stderr, "publish: cannot make a key\n");
        return 1;
    }
    const std::string text = config::PrivateKeyFileText(key);
    if (!plat::WriteNewPrivateFile(plat::Utf8ToWide(path), text.data(), text.size())) {
        std::fprintf(stderr,
                     "publish: cannot write the new key file %s (error %u; an existing file is "
                     "never replaced)\n",
                     path, plat::GetLastError());
        return 1;
    }
    std::printf("private key written to %s: keep it secret, keep a copy\n", path);
    return PrintPublicKey(key);
}

const char* PlatformText(update::PackagePlatform platform) {
    return platform == update::kPlatform32 ? "32" : platform == update::kPlatform64 ? "64" : "any";
}

} // namespace

int main(int argc, char** argv) {
    std::vector<const char*> args(argv + 1, argv + argc);
    if (args.size() == 2 &&
        (std::strcmp(args[0], "keygen") == 0 || std::strcmp(args[0], "public-key") == 0))
        return KeyCommand(args[0], args[1]);
    publish::PublishOptions options;
    while (args.size() > 3 && std::strncmp(args[0], "--", 2) == 0) {
        if (std::strcmp(args[0], "--sign") == 0) {
            config::Ed25519PrivateKey key{};
            if (!ReadKey(args[1], &key))
                return 2;
            options.signingKey = key;
        } else if (std::strcmp(args[0], "--valid-days") == 0) {
            char* end = nullptr;
            const long days = std::strtol(args[1], &end, 10);
            if (*args[1] == '\0' || *end != '\0' || days < 1 || days > 3650) {
                std::fprintf(stderr, "publish: --valid-days takes 1 to 3650\n");
                return 2;
            }
            options.validDays = static_cast<int>(days);
        } else {
            Usage();
            return 2;
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() != 3) {
        Usage();
        return 2;
    }
    options.descriptionPath = plat::Utf8ToWide(args[0]);
    options.clientFolder = plat::Utf8ToWide(args[1]);
    options.outputFolder = plat::Utf8ToWide(args[2]);
    options.rarWriter = [] { return std::make_unique<publish::CPublishRarWriter>(); };

    publish::CPublisher publisher(options);
    std::string error;
    if (!publisher.Run(&error)) {
        std::fprintf(stderr, "publish: %s\n", error.c_str());
        return 1;
    }
    for (const publish::PublishedPackage& published : publisher.Packages()) {
        const publish::PublishPackage& package = *published.package;
        std::printf("%s: %s, platform %s, %zu files, %llu bytes, crc %u\n", package.file.c_str(),
                    publish::PackageTypeName(package.type), PlatformText(package.platform),
                    published.files.size(), static_cast<unsigned long long>(published.digest.size),
                    published.digest.crc);
    }
    if (publisher.HasLauncher())
        std::printf("%s: version %s, %u bytes, checksum %u\n", publish::kPublishLauncherName,
                    publisher.Description().launcherVersion.c_str(), publisher.Launcher().size,
                    publisher.Launcher().checksum);
    std::printf("%s and %s written for client version %s\n", publish::kPublishManifestName,
                publish::kPublishPackedManifestName, publisher.Description().clientVersion.c_str());
    if (options.signingKey)
        std::printf("signed: release sequence %llu, valid until %s\n",
                    static_cast<unsigned long long>(publisher.Stamp().sequence),
                    update::FormatUtcStamp(publisher.Stamp().expires).c_str());
    return 0;
}
