#pragma once
// The update manifest: the server's description of what an installed client
// contains, read into the tables the file checker works with. A document is
// parsed and read on one thread (the checker thread); the launcher window
// reads the results after the checker has reported.
//
// The document (UTF-8 XML; the root element's name does not matter):
//
//   <manifest clientVersion="1.2.3" modification="2024-05-01 12:00"
//             launcherVersion="1.0.0.2" launcherSize="123456"
//             launcherCRC="3735928559" launcherUrl="http://host/Launcher.exe">
//     <PACK type="full" platform="32" file="base.rar" crc="12345" size="1000">
//       <FILE file="Bin\Game.exe" crc="678" size="2048"/>
//     </PACK>
//     <PACK type="ext" file="editor.rar" crc="1" size="10">
//       <INFO lang="en" sel="false">
//         <NAME>Editor</NAME><EXEC>Editor\editor.exe</EXEC>
//         <CMDL>-x</CMDL><HELP>First line\nSecond line</HELP>
//       </INFO>
//       <FILE file="Editor\editor.exe" crc="2" size="20"/>
//     </PACK>
//     <IGNORE>
//       <FILE file="*\*.log"/>        a name (or extension pattern) anywhere
//       <FILE file="Cache\data.bin"/> one relative path
//     </IGNORE>
//   </manifest>
//
// Paths use "\" as their separator. Integer attributes (size, launcherSize)
// are decimal or "0x" hexadecimal and must be nothing but the number;
// checksums (crc, launcherCRC) are unsigned decimal as "%u" reads them.
// Missing or malformed attributes take their defaults without a message.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
} // namespace tinyxml2

namespace update {

// Element and attribute names, shared with the tools that write manifests.
namespace manifest {
inline constexpr char kPack[] = "PACK";
inline constexpr char kFile[] = "FILE";
inline constexpr char kInfo[] = "INFO";
inline constexpr char kIgnore[] = "IGNORE";
inline constexpr char kClientVersion[] = "clientVersion";
inline constexpr char kModification[] = "modification";
inline constexpr char kLauncherVersion[] = "launcherVersion";
inline constexpr char kLauncherSize[] = "launcherSize";
inline constexpr char kLauncherCrc[] = "launcherCRC";
inline constexpr char kLauncherUrl[] = "launcherUrl";
inline constexpr char kType[] = "type";
inline constexpr char kPlatform[] = "platform";
inline constexpr char kFileName[] = "file";
inline constexpr char kCrc[] = "crc";
inline constexpr char kSize[] = "size";
inline constexpr char kLang[] = "lang";
inline constexpr char kSelected[] = "sel";
// Prefix of an ignore entry that names a file anywhere in the installation.
inline constexpr wchar_t kAnywherePrefix[] = L"*\\";
} // namespace manifest

// What a package is; the numbers are fixed.
enum PackageType : int {
    kPackageFull = 0,      // "full": part of every installation
    kPackageExt = 1,       // "ext": an optional application the user may choose
    kPackageInt = 2,       // "int": an application that is always installed
    kPackageAdd = 3,       // "add": installed on request of the client
    kPackageIncrement = 4, // "increment": may replace full packages
    kPackageNone = 5,      // any other text: its files are ignored
};

// Platform of a package, and of the machine (32-bit or 64-bit Windows).
enum PackagePlatform : int {
    kPlatformAny = 0,
    kPlatform32 = 1,
    kPlatform64 = 2,
};

// The type text, compared exactly ("Full" is kPackageNone).
PackageType ParsePackageType(std::string_view text);
// The text of a type; empty for kPackageNone.
const char* PackageTypeName(PackageType type);
// "32" gives kPlatform32, "64" kPlatform64, anything else kPlatformAny.
PackagePlatform ParsePackagePlatform(std::string_view text);

// The text of a size attribute in the form the reader takes: its integers
// are signed 32-bit (decimal, or hexadecimal after "0x"), so sizes from 2 GiB
// on are written in hexadecimal ("0x80000000"), smaller ones in decimal.
std::string ManifestSizeText(std::uint32_t size);

// Manifest paths are lowercased when read (ASCII letters only, so that the
// writer and every reader agree whatever the locale).
std::wstring LowerManifestPath(std::wstring_view path);

struct ManifestPackage {
    PackageType type = kPackageNone;
    PackagePlatform platform = kPlatformAny;
    std::wstring file; // name on the server, relative to the update path; the package's key
    std::uint32_t crc = 0;
    std::uint32_t size = 0;
    std::string sha256; // its text as given (a signed release's); empty when none
};

struct ManifestFile {
    std::wstring package; // file of the package that installs it
    std::wstring appKey;  // EXEC text of its ext application; empty otherwise
    PackageType type = kPackageNone;
    std::uint32_t crc = 0;
    std::uint32_t size = 0;
};

// Keyed by the lowercased path relative to the client folder.
using ManifestFileMap = std::map<std::wstring, ManifestFile>;
// Keyed by the package file.
using ManifestPackageMap = std::map<std::wstring, ManifestPackage>;

struct IncrementPackage {
    bool usable = true;
    std::wstring file;
    std::uint32_t size = 0;
    ManifestFileMap files; // what the increment installs
};

// An ext package whose INFO matched the language.
struct ExternalApp {
    std::wstring package;
    std::wstring name;
    std::wstring exec; // also the application key of the package's files
    std::wstring help; // "\n" pairs already turned into line feeds
    std::wstring cmdl;
    bool selected = true; // default choice
};

// An int package whose INFO matched the language.
struct InternalApp {
    std::wstring package;
    std::wstring name;
    std::wstring exec;
};

// The current launcher as the manifest describes it.
struct LauncherInfo {
    std::wstring version;
    std::uint32_t size = 0;
    bool hasCrc = false; // launcherCRC given and not empty
    std::uint32_t crc = 0;
    std::wstring url;   // empty when not given
    std::string sha256; // a signed release's text of the file's SHA-256; empty when none
};

// Everything the fresh manifest gives the checker.
struct NewManifestTables {
    ManifestPackageMap packages;
    ManifestFileMap files;
    std::vector<IncrementPackage> increments;
    std::vector<ExternalApp> externalApps;
    std::vector<InternalApp> internalApps;
    std::set<std::wstring> ignoredPaths; // lowercased relative paths
    std::set<std::wstring> ignoredNames; // lowercased names or "*.ext" patterns
};

// The circumstances a manifest is read under.
struct ManifestReadContext {
    PackagePlatform machinePlatform = kPlatform32; // kPlatform64 on a 64-bit Windows
    std::string language;                          // selects INFO elements (new manifest)
    // Installed add packages; null counts as none installed.
    const std::set<std::wstring>* installedAddPackages = nullptr;
    // Download-only mode: files of full, ext and int packages are not stored.
    bool downloadOnly = false;
};

// One parsed manifest.
class CManifestDocument {
public:
    CManifestDocument();
    ~CManifestDocument();
    CManifestDocument(const CManifestDocument&) = delete;
    CManifestDocument& operator=(const CManifestDocument&) = delete;

    // False for an empty text, a syntax error or a document without an
    // element; nothing stays loaded then.
    bool Parse(const std::string& text);
    bool IsLoaded() const { return root_ != nullptr; }
    // The document's first element.
    const tinyxml2::XMLElement* Root() const { return root_; }

    // Root attributes; empty when missing or nothing is loaded.
    std::wstring ClientVersion() const;
    std::wstring Modification() const;
    // True when the manifest describes a launcher: launcherVersion is given
    // and launcherSize is an integer.
    bool ReadLauncherInfo(LauncherInfo* info) const;

private:
    std::unique_ptr<tinyxml2::XMLDocument> doc_;
    const tinyxml2::XMLElement* root_ = nullptr;
};

// The saved manifest of the previous update: the files of the full, int and
// installed add packages that match the machine's platform. The map is
// replaced; nothing is read from a document that is not loaded.
void ReadOldManifest(const CManifestDocument& document, const ManifestReadContext& context,
                     ManifestFileMap* oldFiles);

// The fresh manifest: packages, files, increments, applications and the
// ignore lists. False when nothing is loaded or an IGNORE entry has no
// usable file attribute; the tables are replaced only on success.
bool ReadNewManifest(const CManifestDocument& document, const ManifestReadContext& context,
                     NewManifestTables* tables);

} // namespace update
