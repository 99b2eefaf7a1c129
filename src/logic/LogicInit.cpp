// CLogic: construction, preinit and init.

#include "logic/Logic.h"

#include "assistant/LauncherFiles.h"
#include "base/Strings.h"
#include "config/ArchiveHelperRar.h"
#include "config/CudFile.h"
#include "config/StubFields.h"
#include "config/XmlQuery.h"
#include "log/LogImplW.h"
#include "logic/ConfigChangeCheck.h"
#include "logic/DebugMode.h"
#include "logic/RunModeDecision.h"
#include "logic/SystemChecks.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Resources.h"

#include <tinyxml2.h>

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

} // namespace

CLogic::CLogic() = default;
CLogic::~CLogic() {
    // A run that never reached uninit still ends its network side in order.
    StopNetwork();
}

void CLogic::SetCommandLineState(const CommandLineState& state) {
    uninstallPath_ = state.quotedPath;
    fast_ = state.fast;
    runByClientCritical_ = state.runByClientCritical;
    restart_ = state.restart;
    autoMode_ = state.autoMode;
    runByClient_ = state.runByClient;
}

void CLogic::Log(const std::wstring& text, bool newLine) {
    if (log_)
        log_->Write(text, newLine);
}

void CLogic::LogNarrow(const std::string& text, bool newLine) {
    Log(base::Utf8ToWide(text), newLine);
}

void CLogic::NotBuilt(const wchar_t* what) {
    Log(std::wstring(what) + L": not built yet", true);
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
    argumentText_ = argument;
    runCommand_ = rc;
    bitness_ = os_.is64Bit ? 2 : 1;

    if (rc == rcUninstallFrom || rc == rcUninstallGuest) {
        workFolder_ = argument;
    } else if (rc == rcDownload) {
        std::wstring number = argument.substr(0, argument.find(L' '));
        clientWindow_ = std::wcstoull(number.c_str(), nullptr, 10);
    } else if (rc == rcSetLongName) {
        std::size_t first = argument.find(L'"');
        std::size_t second = first == std::wstring::npos ? first : argument.find(L'"', first + 1);
        std::size_t third = second == std::wstring::npos ? second : argument.find(L'"', second + 1);
        if (second != std::wstring::npos)
            workFolder_ = argument.substr(first + 1, second - first - 1);
        argumentText_ = third == std::wstring::npos ? std::wstring() : argument.substr(third);
    }

    debugMode_ = logic::ReadDebugMode(base::Utf8ToWide(configuration_.regPath));
    if (!ReadConfiguration(failure))
        return false;

    // Only Windows has a C runtime to check; elsewhere it counts as present.
    ucrtPresent_ =
        os_.record.platformId != plat::kPlatformWin32Nt || logic::UcrtPresent(os_.record, log_);
    if (!ucrtPresent_)
        kbUrl_ = logic::SelectKbPackage(os_.record, os_.is64Bit, ucrtPresent_);

    logic::RunModeInput input;
    input.runCommand = rc;
    input.workFolder = workFolder_;
    input.executablePath = plat::GetExecutablePath();
    input.hasGuestFile = &logic::GuestFileExists;
    input.isInstalled = logic::RecordedInstallation(base::Utf8ToWide(configuration_.regPath));
    logic::RunModeResult decided = logic::DecideRunMode(input, log_);
    runMode_ = decided.runMode;
    needNetwork_ = decided.needNetwork;
    portable_ = decided.portable;
    if (runMode_ == rmUnknown)
        return false;

    formSize_ = 0;
    if (runMode_ == rmUpdate || runMode_ == rmSetLongName)
        formSize_ = 1;
    else if (runMode_ == rmUninstaller)
        formSize_ = 2;
    if (runMode_ != rmUpdate)
        fast_ = false;
    // An update works on the folder the launcher runs from; an installation
    // chooses its folder on the wizard's pages.
    if (installFolder_.empty() && runMode_ != rmInstall) {
        installFolder_ = plat::GetExecutableFolder();
        while (installFolder_.size() > 1 && installFolder_.back() == plat::PathSeparator())
            installFolder_.pop_back();
    }

    std::wstring patchedLanguage = base::Utf8ToWide(config::ReadStubValue("LANGUAGE", 134));
    if (!configuration_.languages.SelectStartupLanguage(
            patchedLanguage, base::Utf8ToWide(configuration_.regPath), runMode_, log_))
        return false;

    if (!needNetwork_)
        return true;
    if (!InitClientUpdateData(failure))
        return false;

    plat::FileVersion v = plat::GetOwnFileVersion();
    userAgentHeader_ = base::Format("User-Agent: %s %u.%u.%u.%u\r\n", urlSelector_.FaceId().c_str(),
                                    v.major, v.minor, v.build, v.revision);
    return true;
}

bool CLogic::ReadConfiguration(LogicFailure* failure) {
    namespace keys = config::keys;
    const config::CConfigDocument& doc = configuration_.configDoc;
    std::string windowClass;
    if (!ReadRequired(doc, keys::kWindowClassName, &windowClass, failure) ||
        !ReadRequired(doc, keys::kShortName, &shortName_, failure) ||
        !ReadRequired(doc, keys::kFullName, &fullName_, failure))
        return false;
    clientWindowClass_ = base::Utf8ToWide(windowClass);
    iconName_ = doc.Read(keys::kIconName);
    licensePath_ = doc.Read(keys::kUrlLicense);
    if (!doc.Base(config::KeyBase::Launch))
        return Fail(failure, keys::kLaunchMissing);
    if (!doc.Read(keys::kProcess, &clientProcess_) || clientProcess_.empty())
        return Fail(failure, keys::kProcess.requiredError);

    migrations_ = config::ReadMigrations(doc);
    clientCommand_ = config::ClientCommand(clientProcess_, doc.Read(keys::kProcessArgs));

    skipIconsPage_ = doc.Read(keys::kSkipIconsPage);
    if (!autoMode_) {
        autoMode_ = doc.Read(keys::kAutomaticInstallMode);
        std::string promoUrl = doc.Read(keys::kAutomaticPromoUrl);
        if (autoMode_ && !promoUrl.empty())
            NotBuilt(L"opening the promotion address in the browser");
    }
    silentDownload_ = doc.Read(keys::kSilentDownload);
    progressFromZero_ = doc.Read(keys::kProgressFromZero);
    iconDesktop_ = doc.Read(keys::kIconCreateDesktop);
    if (!autoMode_ && os_.record.major > 5 && os_.record.minor > 1 &&
        os_.record.platformId == plat::kPlatformWin32Nt)
        iconDesktop_ = false;
    iconPrograms_ = doc.Read(keys::kIconCreatePrograms);
    iconProgramsFolder_ =
        doc.ReadBool(config::KeyBase::Common, keys::kIconCreateProgramsFolder, autoMode_);

    updateUrl_ = config::ReadStubValue("UPDATE_PATH", 133);
    if (updateUrl_.empty())
        updateUrl_ = doc.Read(keys::kUrlUpdate);

    const config::CConfigDocument& theme = configuration_.themeDoc;
    if (!theme.Base(config::KeyBase::Common))
        return Fail(failure, keys::kThemeCommonMissing);
    backNextArrowsInText_ = theme.Read(keys::kBackNextArrowsInText);
    pageNumeration_ = theme.Read(keys::kPageNumeration);
    singlePageMode_ = theme.Read(keys::kSinglePageMode);

    fullNameW_ = base::Utf8ToWide(fullName_);
    NotBuilt(L"theme fonts");
    if (assistant::IsLauncherName(plat::GetExecutablePath()) && !migrations_.empty())
        NotBuilt(L"migration of earlier product identities");
    return true;
}

bool CLogic::InitClientUpdateData(LogicFailure* failure) {
    std::vector<std::string> servers = config::ReadStubList("SERVER_URL", 132);
    std::wstring folder = workFolder_;
    std::wstring cudPath = folder.empty() ? L"CUD.dat" : plat::JoinPath(folder, L"CUD.dat");
    logic::CheckConfigurationChange(folder, configuration_.configCrc);

    urlSelector_.SetLog(this, [](void* context, std::string_view text, bool newLine) {
        static_cast<CLogic*>(context)->LogNarrow(std::string(text), newLine);
    });
    urlSelector_.SetKey(config::kCudKey);
    const tinyxml2::XMLElement* predefined =
        configuration_.configDoc.Root()->FirstChildElement(config::keys::kClientUpdateData);
    if (!urlSelector_.Initialise(predefined, servers, cudPath, debugMode_))
        return Fail(failure, "Failed to initialize client update data");
    if (!urlSelector_.SelectServer())
        return Fail(failure, "Failed to select server URL");
    return true;
}
