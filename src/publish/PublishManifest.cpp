#include "publish/PublishManifest.h"

#include <tinyxml2.h>

namespace publish {

namespace {

// The root's name is not read by the launcher.
constexpr char kRootName[] = "update";

// Sizes up to 4 GiB in the form the launcher reads (the publisher refuses
// larger ones before it gets here).
std::string SizeText(std::uint64_t size) {
    return update::ManifestSizeText(static_cast<std::uint32_t>(size));
}

void AddText(tinyxml2::XMLElement* parent, const char* name, const std::string& text) {
    parent->InsertNewChildElement(name)->SetText(text.c_str());
}

void AddInfo(tinyxml2::XMLElement* pack, const PublishInfo& info) {
    tinyxml2::XMLElement* element = pack->InsertNewChildElement(manifest::kInfo);
    element->SetAttribute(manifest::kLang, info.lang.c_str());
    element->SetAttribute(manifest::kSelected, info.selected ? "true" : "false");
    AddText(element, "NAME", info.name);
    AddText(element, "EXEC", info.exec);
    AddText(element, "CMDL", info.cmdl);
    AddText(element, "HELP", info.help);
}

void AddPack(tinyxml2::XMLElement* root, const PublishedPackage& published) {
    const PublishPackage& package = *published.package;
    tinyxml2::XMLElement* pack = root->InsertNewChildElement(manifest::kPack);
    pack->SetAttribute(manifest::kType, PackageTypeName(package.type));
    if (package.platform == kPlatform32)
        pack->SetAttribute(manifest::kPlatform, "32");
    else if (package.platform == kPlatform64)
        pack->SetAttribute(manifest::kPlatform, "64");
    pack->SetAttribute(manifest::kFileName, package.file.c_str());
    pack->SetAttribute(manifest::kCrc, published.digest.crc);
    pack->SetAttribute(manifest::kSize, SizeText(published.digest.size).c_str());
    if (!published.sha256.empty())
        pack->SetAttribute(manifest::kSha256, published.sha256.c_str());
    for (const PublishInfo& info : package.infos)
        AddInfo(pack, info);
    for (const PublishedFile& file : published.files) {
        tinyxml2::XMLElement* element = pack->InsertNewChildElement(manifest::kFile);
        element->SetAttribute(manifest::kFileName, file.path.c_str());
        element->SetAttribute(manifest::kCrc, file.digest.crc);
        element->SetAttribute(manifest::kSize, SizeText(file.digest.size).c_str());
    }
}

} // namespace

std::string BuildManifestText(const PublishDescription& description,
                              const std::vector<PublishedPackage>& packages,
                              const PublishedLauncher* launcher,
                              const update::ReleaseStamp* stamp) {
    tinyxml2::XMLDocument doc;
    doc.InsertEndChild(doc.NewDeclaration());
    tinyxml2::XMLElement* root = doc.NewElement(kRootName);
    doc.InsertEndChild(root);
    root->SetAttribute(manifest::kClientVersion, description.clientVersion.c_str());
    if (!description.modification.empty())
        root->SetAttribute(manifest::kModification, description.modification.c_str());
    if (launcher) {
        root->SetAttribute(manifest::kLauncherVersion, description.launcherVersion.c_str());
        root->SetAttribute(manifest::kLauncherSize, SizeText(launcher->size).c_str());
        root->SetAttribute(manifest::kLauncherCrc, launcher->checksum);
        if (!description.launcherUrl.empty())
            root->SetAttribute(manifest::kLauncherUrl, description.launcherUrl.c_str());
        if (!launcher->sha256.empty())
            root->SetAttribute(manifest::kLauncherSha256, launcher->sha256.c_str());
    }
    if (stamp) {
        root->SetAttribute(manifest::kReleaseSequence, std::to_string(stamp->sequence).c_str());
        root->SetAttribute(manifest::kReleaseExpires,
                           update::FormatUtcStamp(stamp->expires).c_str());
    }
    for (const PublishedPackage& package : packages)
        AddPack(root, package);
    if (!description.ignore.empty()) {
        tinyxml2::XMLElement* ignore = root->InsertNewChildElement(manifest::kIgnore);
        for (const std::string& entry : description.ignore)
            ignore->InsertNewChildElement(manifest::kFile)
                ->SetAttribute(manifest::kFileName, entry.c_str());
    }
    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    return printer.CStr();
}

} // namespace publish
