#include "update/ManifestTransport.h"

#include "config/ArchiveHelperRar.h"
#include "update/ZipFile.h"

namespace update {

std::string ManifestRequest(const std::string& updatePath, const ManifestTransport& transport) {
    return updatePath + transport.requestName;
}

bool IsRarBody(std::string_view body) {
    return body.size() > 3 && body.substr(0, 4) == "Rar!";
}

namespace {

bool UnpackRar(std::string_view body, const std::string& entryName, std::string* text) {
    // A reader of our own: the process's holder keeps the resource archive.
    config::CArchiveHelperRar reader;
    return reader.OpenArchive(body.data(), body.size()) && reader.GetMember(entryName, text);
}

bool UnpackZip(std::string_view body, const std::string& entryName, std::string* text) {
    CZipFile zip;
    std::size_t index = 0;
    return zip.Open(body.data(), body.size()) == kZipOk && zip.Find(entryName, &index) &&
           zip.Extract(index, text) == kZipOk;
}

} // namespace

bool UnpackManifest(std::string_view body, const std::string& entryName, std::string* text) {
    text->clear();
    bool ok = IsRarBody(body) ? UnpackRar(body, entryName, text) : UnpackZip(body, entryName, text);
    if (!ok)
        text->clear();
    return ok;
}

bool ReceiveManifest(const ManifestTransport& transport, std::string_view body, std::string* text) {
    if (transport.packed)
        return UnpackManifest(body, transport.entryName, text);
    text->assign(body);
    return true;
}

} // namespace update
