#include "update/Manifest.h"

#include "base/Strings.h"
#include "config/XmlQuery.h"
#include "platform/Unicode.h"
#include "update/ReleaseSignature.h"

#include <tinyxml2.h>

#include <cstdlib>

namespace update {

using tinyxml2::XMLElement;

namespace {

const char* const kTypeNames[] = {"full", "ext", "int", "add", "increment"};

std::string Attribute(const XMLElement* element, const char* name) {
    const char* value = element->Attribute(name);
    return value ? value : "";
}

std::wstring WideAttribute(const XMLElement* element, const char* name) {
    return plat::Utf8ToWide(Attribute(element, name));
}

// An integer attribute; a missing or malformed one leaves the target alone.
void ReadIntAttribute(const XMLElement* element, const char* name, std::uint32_t* target) {
    const char* text = element->Attribute(name);
    std::int32_t value = 0;
    if (text && config::ParseInt(text, &value))
        *target = static_cast<std::uint32_t>(value);
}

// "%u" as the C library scans it: leading blanks, an optional sign, decimal
// digits up to the first other character; a value beyond the range keeps
// its low 32 bits.
bool ParseScannedUnsigned(const char* text, std::uint32_t* value) {
    if (!text)
        return false;
    char* end = nullptr;
    unsigned long parsed = std::strtoul(text, &end, 10);
    if (end == text)
        return false;
    *value = static_cast<std::uint32_t>(parsed);
    return true;
}

void ReadUnsignedAttribute(const XMLElement* element, const char* name, std::uint32_t* target) {
    ParseScannedUnsigned(element->Attribute(name), target);
}

ManifestPackage ReadPackage(const XMLElement* pack) {
    ManifestPackage package;
    const char* type = pack->Attribute(manifest::kType);
    package.type = type ? ParsePackageType(type) : kPackageNone;
    package.platform = ParsePackagePlatform(Attribute(pack, manifest::kPlatform));
    package.file = WideAttribute(pack, manifest::kFileName);
    ReadUnsignedAttribute(pack, manifest::kCrc, &package.crc);
    ReadIntAttribute(pack, manifest::kSize, &package.size);
    if (const char* sha256 = pack->Attribute(manifest::kSha256))
        package.sha256 = sha256;
    return package;
}

bool PlatformMatches(const ManifestPackage& package, const ManifestReadContext& context) {
    return package.platform == kPlatformAny || package.platform == context.machinePlatform;
}

bool AddPackageInstalled(const ManifestPackage& package, const ManifestReadContext& context) {
    return context.installedAddPackages && context.installedAddPackages->count(package.file) != 0;
}

// Stores one FILE element under its lowercased path; a later entry of the
// same path replaces the earlier one.
void StoreFile(const XMLElement* element, const ManifestPackage& package,
               const std::wstring& appKey, ManifestFileMap* files) {
    ManifestFile file;
    file.package = package.file;
    file.appKey = appKey;
    file.type = package.type;
    ReadUnsignedAttribute(element, manifest::kCrc, &file.crc);
    ReadIntAttribute(element, manifest::kSize, &file.size);
    (*files)[LowerManifestPath(WideAttribute(element, manifest::kFileName))] = std::move(file);
}

void StoreFiles(const XMLElement* pack, const ManifestPackage& package, const std::wstring& appKey,
                ManifestFileMap* files) {
    for (const XMLElement* e = pack->FirstChildElement(manifest::kFile); e;
         e = e->NextSiblingElement(manifest::kFile))
        StoreFile(e, package, appKey, files);
}

// The first INFO of the language, or null.
const XMLElement* FindInfo(const XMLElement* pack, const std::string& language) {
    for (const XMLElement* e = pack->FirstChildElement(manifest::kInfo); e;
         e = e->NextSiblingElement(manifest::kInfo)) {
        const char* lang = e->Attribute(manifest::kLang);
        if (lang && language == lang)
            return e;
    }
    return nullptr;
}

std::wstring InfoText(const XMLElement* info, const char* path) {
    std::string text;
    config::QueryText(info, path, &text);
    return plat::Utf8ToWide(text);
}

// Every backslash-n pair becomes a line feed.
std::wstring ExpandLineBreaks(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'n') {
            out += L'\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool ReadIgnore(const XMLElement* root, std::set<std::wstring>* paths,
                std::set<std::wstring>* names) {
    const XMLElement* ignore = root->FirstChildElement(manifest::kIgnore);
    if (!ignore)
        return true;
    const std::wstring prefix = manifest::kAnywherePrefix;
    for (const XMLElement* e = ignore->FirstChildElement(manifest::kFile); e;
         e = e->NextSiblingElement(manifest::kFile)) {
        const std::wstring value = WideAttribute(e, manifest::kFileName);
        if (value.empty())
            return false;
        if (value.size() > prefix.size() && value.compare(0, prefix.size(), prefix) == 0)
            names->insert(LowerManifestPath(value.substr(prefix.size())));
        else
            paths->insert(LowerManifestPath(value));
    }
    return true;
}

} // namespace

PackageType ParsePackageType(std::string_view text) {
    for (int type = kPackageFull; type < kPackageNone; ++type)
        if (text == kTypeNames[type])
            return static_cast<PackageType>(type);
    return kPackageNone;
}

const char* PackageTypeName(PackageType type) {
    return type >= kPackageFull && type < kPackageNone ? kTypeNames[type] : "";
}

PackagePlatform ParsePackagePlatform(std::string_view text) {
    if (text == "32")
        return kPlatform32;
    if (text == "64")
        return kPlatform64;
    return kPlatformAny;
}

std::string ManifestSizeText(std::uint32_t size) {
    if (size <= 0x7FFFFFFFu)
        return std::to_string(size);
    return base::Format("0x%08X", size);
}

std::wstring LowerManifestPath(std::wstring_view path) {
    return base::ToLowerAscii(path);
}

CManifestDocument::CManifestDocument() = default;
CManifestDocument::~CManifestDocument() = default;

bool CManifestDocument::Parse(const std::string& text) {
    root_ = nullptr;
    doc_ = std::make_unique<tinyxml2::XMLDocument>();
    // An empty text is the parser's empty-document error as well.
    if (doc_->Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
        doc_.reset();
        return false;
    }
    root_ = doc_->FirstChildElement();
    if (!root_)
        doc_.reset();
    return root_ != nullptr;
}

std::wstring CManifestDocument::ClientVersion() const {
    return root_ ? WideAttribute(root_, manifest::kClientVersion) : std::wstring();
}

std::wstring CManifestDocument::Modification() const {
    return root_ ? WideAttribute(root_, manifest::kModification) : std::wstring();
}

bool CManifestDocument::ReadLauncherInfo(LauncherInfo* info) const {
    if (!root_)
        return false;
    const char* version = root_->Attribute(manifest::kLauncherVersion);
    const char* size = root_->Attribute(manifest::kLauncherSize);
    std::int32_t sizeValue = 0;
    if (!version || !size || !config::ParseInt(size, &sizeValue))
        return false;
    LauncherInfo result;
    result.version = plat::Utf8ToWide(version);
    result.size = static_cast<std::uint32_t>(sizeValue);
    const std::string crc = Attribute(root_, manifest::kLauncherCrc);
    result.hasCrc = !crc.empty();
    ParseScannedUnsigned(crc.c_str(), &result.crc);
    result.url = WideAttribute(root_, manifest::kLauncherUrl);
    result.sha256 = Attribute(root_, manifest::kLauncherSha256);
    *info = std::move(result);
    return true;
}

void ReadOldManifest(const CManifestDocument& document, const ManifestReadContext& context,
                     ManifestFileMap* oldFiles) {
    oldFiles->clear();
    const XMLElement* root = document.Root();
    if (!root)
        return;
    for (const XMLElement* pack = root->FirstChildElement(manifest::kPack); pack;
         pack = pack->NextSiblingElement(manifest::kPack)) {
        const ManifestPackage package = ReadPackage(pack);
        if (!PlatformMatches(package, context))
            continue;
        switch (package.type) {
        case kPackageFull:
        case kPackageInt:
            StoreFiles(pack, package, std::wstring(), oldFiles);
            break;
        case kPackageAdd:
            if (AddPackageInstalled(package, context))
                StoreFiles(pack, package, std::wstring(), oldFiles);
            break;
        case kPackageExt:
        case kPackageIncrement:
        case kPackageNone:
            break;
        }
    }
}

bool ReadNewManifest(const CManifestDocument& document, const ManifestReadContext& context,
                     NewManifestTables* tables) {
    const XMLElement* root = document.Root();
    if (!root)
        return false;
    NewManifestTables read;
    for (const XMLElement* pack = root->FirstChildElement(manifest::kPack); pack;
         pack = pack->NextSiblingElement(manifest::kPack)) {
        const ManifestPackage package = ReadPackage(pack);
        if (!PlatformMatches(package, context))
            continue;
        read.packages[package.file] = package;

        switch (package.type) {
        case kPackageIncrement: {
            IncrementPackage increment;
            increment.file = package.file;
            increment.size = package.size;
            StoreFiles(pack, package, std::wstring(), &increment.files);
            read.increments.push_back(std::move(increment));
            break;
        }
        case kPackageExt: {
            std::wstring appKey;
            if (const XMLElement* info = FindInfo(pack, context.language)) {
                ExternalApp app;
                app.package = package.file;
                app.name = InfoText(info, "NAME/text()");
                app.exec = InfoText(info, "EXEC/text()");
                app.cmdl = InfoText(info, "CMDL/text()");
                app.help = ExpandLineBreaks(InfoText(info, "HELP/text()"));
                info->QueryBoolAttribute(manifest::kSelected, &app.selected);
                appKey = app.exec;
                read.externalApps.push_back(std::move(app));
            }
            if (!context.downloadOnly)
                StoreFiles(pack, package, appKey, &read.files);
            break;
        }
        case kPackageInt:
            if (const XMLElement* info = FindInfo(pack, context.language)) {
                InternalApp app;
                app.package = package.file;
                app.name = InfoText(info, "NAME/text()");
                app.exec = InfoText(info, "EXEC/text()");
                read.internalApps.push_back(std::move(app));
            }
            if (!context.downloadOnly)
                StoreFiles(pack, package, std::wstring(), &read.files);
            break;
        case kPackageFull:
            if (!context.downloadOnly)
                StoreFiles(pack, package, std::wstring(), &read.files);
            break;
        case kPackageAdd:
            if (AddPackageInstalled(package, context))
                StoreFiles(pack, package, std::wstring(), &read.files);
            break;
        case kPackageNone:
            break;
        }
    }
    if (!ReadIgnore(root, &read.ignoredPaths, &read.ignoredNames))
        return false;
    *tables = std::move(read);
    return true;
}

} // namespace update
