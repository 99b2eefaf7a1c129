// CLogic: construction, preinit and init.

#include "logic/Logic.h"

#include "assistant/LauncherFiles.h"
#include "base/Strings.h"
#include "config/ArchiveHelperRar.h"
#include "config/CudFile.h"
#include "config/Sha256.h"
#include "config/StubFields.h"
#include "config/XmlQuery.h"
#include "logic/ConfigChangeCheck.h"
#include "logic/DebugMode.h"
#include "logic/LogLines.h"
#include "logic/RunModeDecision.h"
#include "logic/SystemChecks.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "platform/ShellOpen.h"

#include <charconv>
#include <cstdio>
#include <cwchar>

namespace {

// A text failure for the entry point's "Installer Error" box.
bool Fail(LogicFailure* failure, const std::string& text) {
    failure->kind = LogicFailure::Kind::Text;
    failure->text = text;
    return false;
}

bool ReadRequired(const config::CConfigDocument& doc, const config::TextKey& key,
                  std::string* value, LogicFailure* failure) {
    return doc.Read(key, value) || Fail(failure, key.requiredError);
}

// A decimal number of digits only; `fallback` for a missing or other value.
std::uint32_t ReadNumber(const config::CConfigDocument& doc, const config::TextKey& key,
                         std::uint32_t fallback) {
    std::string text = doc.Read(key);
    std::uint32_t value = 0;
    auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    return text.empty() || problem != std::errc() || end != text.data() + text.size() ? fallback
                                                                                      : value;
}

} // namespace

CLogic::CLogic() : cycle_(*this, settings_, configuration_.languages, downloader_, urlSelector_) {}

CLogic::~CLogic() {
    // A run that never reached uninit still ends its network side in order.
    StopNetwork();
}

void CLogic::SetLog(CLogImplW* log) {
    log_ = log;
    cycle_.SetLog(log);
}

void CLogic::SetCommandLineState(const CommandLineState& state) {
    settings_.uninstallPath = state.quotedPath;
    settings_.fast = state.fast;
    settings_.runByClientCritical = state.runByClientCritical;
    settings_.restart = state.restart;
    settings_.autoMode = state.autoMode;
    settings_.runByClient = state.runByClient;
}

void CLogic::Log(const std::wstring& text, bool newLine) {
    logic::WriteLine(log_, text, newLine);
}

void CLogic::BlankLine() {
    logic::WriteBlankLine(log_);
}

void CLogic::LogNarrow(const std::string& text, bool newLine) {
    Log(base::Utf8ToWide(text), newLine);
}

void CLogic::NotBuilt(const wchar_t* what) {
    logic::WriteNotBuilt(log_, what);
}

std::wstring CLogic::GetString(int id) const {
    return configuration_.languages.GetString(id);
}

bool CLogic::Preinit() {
    const void* bytes = nullptr;
    std::size_t size = 0;
    plat::ResourceData zip;
    if (archiveOverride_) {
        bytes = archiveOverride_->data();
        size = archiveOverride_->size();
    } else if (plat::FindResource("ZIP", 130, &zip)) {
        bytes = zip.data;
        size = zip.size;
    }
    std::string error;
    config::CArchiveHelperRar& archive = config::CArchiveHolder::Instance();
    if (!bytes || size == 0)
        error = "the resource archive is missing";
    else if (!archive.OpenArchive(bytes, size))
        error = "the resource archive cannot be read";
    else if (!config::LoadLauncherConfiguration(archive, &configuration_, &error))
        error = "configuration: " + error;
    // The log is not open yet: say why on standard error.
    if (!error.empty())
        std::fprintf(stderr, "Launcher: preinit: %s\n", error.c_str());
    return error.empty();
}

bool CLogic::Init(int rc, const std::wstring& argument, LogicFailure* failure) {
    settings_.argumentText = argument;
    settings_.runCommand = rc;
    settings_.bitness = os_.is64Bit ? 2 : 1;

    if (rc == rcUninstallFrom || rc == rcUninstallGuest) {
        settings_.workFolder = argument;
    } else if (rc == rcDownload) {
        std::wstring number = argument.substr(0, argument.find(L' '));
        settings_.clientWindow = std::wcstoull(number.c_str(), nullptr, 10);
    } else if (rc == rcSetLongName) {
        std::size_t first = argument.find(L'"');
        std::size_t second = first == std::wstring::npos ? first : argument.find(L'"', first + 1);
        std::size_t third = second == std::wstring::npos ? second : argument.find(L'"', second + 1);
        if (second != std::wstring::npos)
            settings_.workFolder = argument.substr(first + 1, second - first - 1);
        settings_.argumentText =
            third == std::wstring::npos ? std::wstring() : argument.substr(third);
    }

    settings_.debugMode = logic::ReadDebugMode(base::Utf8ToWide(configuration_.regPath));
    if (!ReadConfiguration(failure))
        return false;

    // Only Windows has a C runtime to check; elsewhere it counts as present.
    settings_.ucrtPresent =
        os_.record.platformId != plat::kPlatformWin32Nt || logic::UcrtPresent(os_.record, log_);
    if (!settings_.ucrtPresent)
        settings_.kbUrl = logic::SelectKbPackage(os_.record, os_.is64Bit, settings_.ucrtPresent);

    logic::RunModeInput input;
    input.runCommand = rc;
    input.workFolder = settings_.workFolder;
    input.executablePath = plat::GetExecutablePath();
    input.hasGuestFile = &logic::GuestFileExists;
    input.isInstalled = logic::RecordedInstallation(base::Utf8ToWide(configuration_.regPath));
    logic::RunModeResult decided = logic::DecideRunMode(input, log_);
    settings_.runMode = decided.runMode;
    settings_.needNetwork = decided.needNetwork;
    settings_.portable = decided.portable;
    if (settings_.runMode == rmUnknown)
        return false;

    settings_.formSize = 0;
    if (settings_.runMode == rmUpdate || settings_.runMode == rmSetLongName)
        settings_.formSize = 1;
    else if (settings_.runMode == rmUninstaller)
        settings_.formSize = 2;
    if (settings_.runMode != rmUpdate)
        settings_.fast = false;
    // An update works on the folder the launcher runs from; an installation
    // chooses its folder on the wizard's pages.
    if (cycle_.InstallFolder().empty() && settings_.runMode != rmInstall) {
        // A run for another folder ("/u", "/ug", "/setlongname") works on
        // that folder.
        std::wstring folder =
            settings_.workFolder.empty() ? plat::GetExecutableFolder() : settings_.workFolder;
        while (folder.size() > 1 && folder.back() == plat::PathSeparator())
            folder.pop_back();
        cycle_.SetInstallFolder(folder);
    }

    std::wstring patchedLanguage = base::Utf8ToWide(config::ReadStubValue("LANGUAGE", 134));
    if (!configuration_.languages.SelectStartupLanguage(
            patchedLanguage, base::Utf8ToWide(configuration_.regPath), settings_.runMode, log_))
        return false;

    if (!settings_.needNetwork)
        return true;
    if (!InitClientUpdateData(failure))
        return false;

    plat::FileVersion v = plat::GetOwnFileVersion();
    settings_.userAgentHeader =
        base::Format("User-Agent: %s %u.%u.%u.%u\r\n", urlSelector_.FaceId().c_str(), v.major,
                     v.minor, v.build, v.revision);
    return true;
}

bool CLogic::ReadConfiguration(LogicFailure* failure) {
    namespace keys = config::keys;
    const config::CConfigDocument& doc = configuration_.configDoc;
    std::string windowClass;
    if (!ReadRequired(doc, keys::kWindowClassName, &windowClass, failure) ||
        !ReadRequired(doc, keys::kShortName, &settings_.shortName, failure) ||
        !ReadRequired(doc, keys::kFullName, &settings_.fullName, failure))
        return false;
    settings_.clientWindowClass = base::Utf8ToWide(windowClass);
    settings_.iconName = doc.Read(keys::kIconName);
    settings_.licensePath = doc.Read(keys::kUrlLicense);
    if (!doc.Base(config::KeyBase::Launch))
        return Fail(failure, keys::kLaunchMissing);
    if (!doc.Read(keys::kProcess, &settings_.clientProcess) || settings_.clientProcess.empty())
        return Fail(failure, keys::kProcess.requiredError);

    settings_.migrations = config::ReadMigrations(doc);
    settings_.clientCommand =
        config::ClientCommand(settings_.clientProcess, doc.Read(keys::kProcessArgs));

    settings_.multiRun = configuration_.multiRun;
    settings_.skipIconsPage = doc.Read(keys::kSkipIconsPage);
    if (!settings_.autoMode) {
        settings_.autoMode = doc.Read(keys::kAutomaticInstallMode);
        std::string promoUrl = doc.Read(keys::kAutomaticPromoUrl);
        // Only a web address is opened.
        if (settings_.autoMode && !promoUrl.empty() &&
            !plat::OpenAddress(base::Utf8ToWide(promoUrl)))
            Log(L"The promotion address is not opened: " + base::Utf8ToWide(promoUrl));
    }
    settings_.silentDownload = doc.Read(keys::kSilentDownload);
    settings_.progressFromZero = doc.Read(keys::kProgressFromZero);
    settings_.iconDesktop = doc.Read(keys::kIconCreateDesktop);
    if (!settings_.autoMode && os_.record.major > 5 && os_.record.minor > 1 &&
        os_.record.platformId == plat::kPlatformWin32Nt)
        settings_.iconDesktop = false;
    settings_.iconPrograms = doc.Read(keys::kIconCreatePrograms);
    settings_.iconProgramsFolder =
        doc.ReadBool(config::KeyBase::Common, keys::kIconCreateProgramsFolder, settings_.autoMode);

    settings_.updateUrl = config::ReadStubValue("UPDATE_PATH", 133);
    if (settings_.updateUrl.empty())
        settings_.updateUrl = doc.Read(keys::kUrlUpdate);
    settings_.acceptInvalidCertificates = doc.Read(keys::kAcceptInvalidCertificates);
    const std::string releaseKey = doc.Read(keys::kReleaseKey);
    settings_.signedReleases = !releaseKey.empty();
    settings_.releaseKeyValid =
        settings_.signedReleases && config::FromHex(releaseKey, &settings_.releaseKey);
    settings_.slowFloorBytesPerSecond =
        ReadNumber(doc, keys::kSlowTransferFloor, settings_.slowFloorBytesPerSecond);
    settings_.slowWindowSeconds =
        ReadNumber(doc, keys::kSlowTransferWindow, settings_.slowWindowSeconds);
    // A bound of 0 would refuse every document: the default stands instead.
    std::uint32_t documentLimit = ReadNumber(doc, keys::kDocumentLimit, 0);
    if (documentLimit != 0)
        settings_.documentLimit = documentLimit;

    const config::CConfigDocument& theme = configuration_.themeDoc;
    if (!theme.Base(config::KeyBase::Common))
        return Fail(failure, keys::kThemeCommonMissing);
    settings_.backNextArrowsInText = theme.Read(keys::kBackNextArrowsInText);
    settings_.pageNumeration = theme.Read(keys::kPageNumeration);
    settings_.singlePageMode = theme.Read(keys::kSinglePageMode);

    settings_.fullNameW = base::Utf8ToWide(settings_.fullName);
    // The theme's fonts go to a private folder of this run and are
    // registered for this process until uninit.
    themeFonts_ = std::make_unique<CThemeFonts>(log_);
    themeFonts_->UnpackFonts(config::CArchiveHolder::Instance().MemberNames(),
                             config::CArchiveHolder::Instance(), configuration_.themeFolder);
    themeFonts_->InitFonts();
    // "/skiptest" comes from a move that failed: this start goes on in the
    // old folder instead of trying the move again.
    settings_.skipMoves = plat::GetCommandLine().find(L"/skiptest") != std::wstring::npos;
    if (assistant::IsLauncherName(LauncherExecutable()) && !settings_.migrations.empty() &&
        !settings_.skipMoves && RunMigration()) {
        // The moving copy carries on; this start ends without a message.
        failure->kind = LogicFailure::Kind::Code;
        failure->code = 3;
        return false;
    }
    return true;
}

bool CLogic::InitClientUpdateData(LogicFailure* failure) {
    std::vector<std::string> servers = config::ReadStubList("SERVER_URL", 132);
    // The installation's own client update data: the work folder when the
    // command names one, the installation folder of an update or download
    // run (wherever the launcher was started from), else the current folder
    // (an installation, whose folder is not chosen yet).
    std::wstring folder = settings_.workFolder;
    if (folder.empty() && (settings_.runMode == rmUpdate || settings_.runMode == rmDownload))
        folder = cycle_.InstallFolder();
    std::wstring cudPath = logic::ClientUpdateDataPath(folder);
    logic::CheckConfigurationChange(folder, configuration_.configCrc);

    urlSelector_.SetLog(this, [](void* context, std::string_view text, bool newLine) {
        static_cast<CLogic*>(context)->LogNarrow(std::string(text), newLine);
    });
    urlSelector_.SetKey(config::kCudKey);
    const tinyxml2::XMLElement* predefined =
        config::QueryElement(configuration_.configDoc.Root(), config::keys::kClientUpdateData);
    if (!urlSelector_.Initialise(predefined, servers, cudPath, settings_.debugMode))
        return Fail(failure, "Failed to initialize client update data");
    if (!urlSelector_.SelectServer())
        return Fail(failure, "Failed to select server URL");
    return true;
}
