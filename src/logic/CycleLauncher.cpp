// CUpdateCycle: the new launcher. Its download task (fetched in resumable
// ranges like a package), the verification of the downloaded file by size
// and launcher checksum, and its hand-over to the unpacker as
// "Launcher.tmp.exe", which the launcher restarts through.

#include "assistant/LauncherFiles.h"
#include "base/Strings.h"
#include "config/LauncherChecksum.h"
#include "config/Sha256.h"
#include "config/StubFields.h"
#include "logic/LaunchSettings.h"
#include "logic/UpdateCycle.h"
#include "net/UrlComponents.h"
#include "platform/File.h"

#include <cstdio>

namespace logic {

namespace {

// Bytes of a query value that need no escape.
bool PlainQueryByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
           c == '_' || c == '.' || c == '~';
}

std::string EscapeQueryValue(const std::string& value) {
    std::string escaped;
    for (unsigned char c : value) {
        if (PlainQueryByte(c)) {
            escaped += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            escaped += hex;
        }
    }
    return escaped;
}

} // namespace

std::string LauncherUrlWithArguments(const std::string& url, StubFieldReader readField) {
    struct Argument {
        const char* field;
        int id;
        const char* name;
    };
    static constexpr Argument kArguments[] = {
        {"LANGUAGE", config::kStubLanguageId, "LANG"},
        {"AFFILIATE_ID", config::kStubAffiliateId, "CAMPAIGNID"},
        {"REFERRER_ID", config::kStubReferrerId, "REFERRED_BY"},
        {"PROMOCODE", config::kStubPromocodeId, "PROMOCODE"},
    };
    std::string text = url;
    for (const Argument& argument : kArguments) {
        const std::string value = readField ? readField(argument.field, argument.id)
                                            : config::ReadStubValue(argument.field, argument.id);
        if (value.empty())
            continue;
        text += text.find('?') == std::string::npos ? '?' : '&';
        text += std::string(argument.name) + "=" + EscapeQueryValue(value);
    }
    return text;
}

void CUpdateCycle::CreateLauncherTask() {
    counters_.total = counters_.committed = counters_.current = 0;
    update::DownloadTask task;
    task.name = "Launcher.exe";
    task.crc32 = 0xFFFFFFFFu;
    task.size = launcher_.size;
    task.sha256 = launcher_.sha256;
    task.number = 0;
    // A text without a scheme is fetched like a package, as the update path
    // followed by the task's name; any other from the current server by its
    // path and query.
    CUrlComponents url(base::WideToUtf8(launcher_.url));
    if (!launcher_.url.empty() && url.Scheme() != -1)
        task.url = LauncherUrlWithArguments(base::WideToUtf8(launcher_.url));
    std::shared_ptr<update::CPackageSink> sink = SinkOf(task);
    std::uint64_t present = sink->Size();
    if (present > task.size) {
        sink->Discard();
        present = 0;
    }
    task.nextOffset = static_cast<std::uint32_t>(present);
    task.remaining = task.size - task.nextOffset;
    counters_.total += task.remaining;
    if (task.remaining > 0) {
        queue_.push_back(task);
        return;
    }
    // A whole launcher left by an earlier run is judged like a fresh one.
    VerifyNewLauncher(task);
}

bool CUpdateCycle::VerifyNewLauncher(update::DownloadTask task) {
    std::shared_ptr<update::CPackageSink> sink = SinkOf(task);
    const std::wstring path = sink->Path();
    HandOverToUnpacker(&task, false, false);
    std::string bytes;
    bool accepted = false;
    const wchar_t* why = L"the file cannot be read";
    plat::File file;
    std::uint64_t size = 0;
    if (file.Open(path, plat::kRead, plat::Disposition::OpenExisting) && file.Size(&size)) {
        // Never more than the manifest announced (a size of 0 announces
        // nothing and is bounded by the largest launcher there can be).
        const std::uint64_t limit = task.size != 0 ? task.size : 0xFFFFFFFFull;
        std::size_t done = 0;
        if (size > limit) {
            why = L"the file is larger than announced";
        } else {
            bytes.resize(static_cast<std::size_t>(size));
            if (file.Read(bytes.data(), bytes.size(), &done) && done == bytes.size()) {
                why = L"the size differs from the manifest's";
                accepted = task.size == 0 || bytes.size() == task.size;
            }
        }
    }
    file.Close();
    if (accepted && launcher_.hasCrc && !checker_.ModificationChanged()) {
        std::uint32_t checksum = 0;
        plat::ErrorCode error = 0;
        why = L"the checksum differs from the manifest's";
        accepted = config::LauncherChecksum(bytes.data(), bytes.size(), 0, &checksum, &error) &&
                   (checksum == launcher_.crc ||
                    (config::LauncherChecksum(bytes.data(), bytes.size(), 1, &checksum, &error) &&
                     checksum == launcher_.crc));
    }
    // A signed release names the launcher's SHA-256: the launcher checksum
    // skips the stub fields, so bytes there (the server addresses among
    // them) could change unseen by it.
    if (accepted && settings_.signedReleases) {
        config::Sha256Digest expected{};
        why = L"the SHA-256 differs from the signed release's";
        accepted =
            config::FromHex(launcher_.sha256, &expected) && config::Sha256Of(bytes) == expected;
    }
    if (accepted) {
        unpacker_.AddFileTask(path, assistant::kTempLauncherFileName, bytes.size());
        newLauncherReady_ = true;
        return true;
    }
    // The refused file is deleted before the task is made again, so the
    // next download starts from nothing and the file is never run.
    Log(std::wstring(L"The new launcher is refused: ") + why);
    queue_.clear();
    HandOverToUnpacker(&task, false, true);
    CreateLauncherTask();
    host_.View().ShowConfirm(40, kBoxUpdateFailed, kBoxButtonsRetryCancel, false);
    return false;
}

} // namespace logic
