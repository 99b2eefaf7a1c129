#pragma once
// Every key the launcher logic reads from its two configuration documents:
// where it sits, its default, and the failure text when a required key is
// missing. The one place that knows a key's path.

namespace config {

// The element a key's query starts from.
enum class KeyBase {
    Root,   // the document's root element
    Common, // the root's first child element "common"
    Launch, // the root's first child element "launch"
};

// A text value: "…/text()" or "…/@name".
struct TextKey {
    KeyBase base;
    const char* path;
    const char* defaultValue;  // used when the key is missing
    const char* requiredError; // non-null: missing is a failure with this text
};

struct BoolKey {
    KeyBase base;
    const char* path;
    bool defaultValue;
};

namespace keys {

// Launcher configuration, read at preinit.
inline constexpr TextKey kRegPath{KeyBase::Common, "regPath/text()", "", "common/regPath"};
inline constexpr BoolKey kLogLauncher{KeyBase::Common, "log/logLauncher/@enable", false};
inline constexpr BoolKey kLogHttp{KeyBase::Common, "log/logHTTP/@enable", false};
inline constexpr BoolKey kMultiRun{KeyBase::Common, "multiRun/@value", false};
inline constexpr const char* kThemes = "themes"; // root: "theme" children, @name and @path
inline constexpr const char* kLanguages = "common/languages"; // root: "enable" children

// Launcher configuration, read at init.
inline constexpr TextKey kWindowClassName{KeyBase::Root, "launch/WindowClassName/text()", "",
                                          "Unable to load window class name"};
inline constexpr TextKey kShortName{KeyBase::Common, "shortName/text()", "",
                                    "Unable to load short clone name"};
inline constexpr TextKey kFullName{KeyBase::Common, "fullName/text()", "",
                                   "Unable to load full clone name"};
inline constexpr TextKey kIconName{KeyBase::Common, "iconName/text()", "", nullptr};
inline constexpr TextKey kUrlLicense{KeyBase::Common, "urlLicense/text()", "/client/license",
                                     nullptr};
inline constexpr const char* kLaunch = "launch"; // root element, required
inline constexpr const char* kLaunchMissing = "config/launch";
// Required and not empty.
inline constexpr TextKey kProcess{KeyBase::Launch, "Process/text()", "",
                                  "Unable load client file name"};
inline constexpr TextKey kProcessArgs{KeyBase::Launch, "ProcessArgs/text()", "", nullptr};
inline constexpr const char* kMigrations = "common/migrations"; // root
inline constexpr BoolKey kSkipIconsPage{KeyBase::Common, "skipIconsPage/@value", false};
// Read only when "/auto" was not given.
inline constexpr BoolKey kAutomaticInstallMode{KeyBase::Common, "automaticInstallMode/@enable",
                                               false};
inline constexpr TextKey kAutomaticPromoUrl{KeyBase::Common, "automaticInstallMode/@promoURL", "",
                                            nullptr};
inline constexpr BoolKey kSilentDownload{KeyBase::Common, "silentDownload/@value", true};
inline constexpr BoolKey kProgressFromZero{KeyBase::Common, "progressFromZero/@value", false};
// Forced false outside automatic mode on systems 6.2 and 6.3.
inline constexpr BoolKey kIconCreateDesktop{KeyBase::Common, "iconCreateDesctop/@value", true};
inline constexpr BoolKey kIconCreatePrograms{KeyBase::Common, "iconCreatePrograms/@value", true};
// Its default is the automatic-mode flag.
inline constexpr const char* kIconCreateProgramsFolder = "iconCreateProgramsFolder/@value";
// Read only when the update-path stub field is empty.
inline constexpr TextKey kUrlUpdate{KeyBase::Common, "urlUpdate/text()", "", nullptr};
inline constexpr const char* kClientUpdateData = "ClientUpdateData"; // root element
// Its default is the current language's string 2.
inline constexpr const char* kTaskbarCaption = "common/taskbarCaption/text()"; // root
// ".exe" is appended when the value lacks it.
inline constexpr TextKey kShortcutFile{KeyBase::Root, "common/shortcut/@file", "Launcher.exe",
                                       nullptr};
inline constexpr const char* kActions = "common/ACTIONS"; // root element
inline constexpr TextKey kUninstallHelpLink{KeyBase::Common, "uninstall/@HelpLink", "", nullptr};
inline constexpr TextKey kUninstallUrlInfoAbout{KeyBase::Common, "uninstall/@URLInfoAbout", "",
                                                nullptr};
inline constexpr TextKey kUninstallUrlUpdateInfo{KeyBase::Common, "uninstall/@URLUpdateInfo", "",
                                                 nullptr};

// The network. Server certificates are verified; a distribution that must
// talk to a test server with a self-signed, expired or wrong-name
// certificate opts out here (the log says so loudly at every start).
inline constexpr BoolKey kAcceptInvalidCertificates{
    KeyBase::Common, "network/acceptInvalidCertificates/@enable", false};
// The slowest transfer kept: bytes per second averaged over the window in
// seconds; a floor of 0 turns the check off.
inline constexpr TextKey kSlowTransferFloor{KeyBase::Common, "network/slowTransfer/@bytesPerSecond",
                                            "1024", nullptr};
inline constexpr TextKey kSlowTransferWindow{KeyBase::Common, "network/slowTransfer/@seconds", "60",
                                             nullptr};
// The publisher's Ed25519 public key (64 hexadecimal digits, as "publish
// keygen" prints it): with one, only releases signed with the key are
// accepted. Absent by default.
inline constexpr TextKey kReleaseKey{KeyBase::Common, "network/releaseKey/@ed25519", "", nullptr};
// The most bytes a document (client update data, licence, manifest) may
// have, in memory and unpacked.
inline constexpr TextKey kDocumentLimit{KeyBase::Common, "network/documentLimit/@bytes", "16777216",
                                        nullptr};

// Theme document; base "common" is required.
inline constexpr const char* kThemeCommonMissing = "theme: config/common";
inline constexpr BoolKey kBackNextArrowsInText{KeyBase::Common, "backNextArrowsInText/@value",
                                               true};
inline constexpr BoolKey kPageNumeration{KeyBase::Common, "pageNumeration/@value", true};
inline constexpr BoolKey kSinglePageMode{KeyBase::Common, "singlePageMode/@value", false};

} // namespace keys
} // namespace config
