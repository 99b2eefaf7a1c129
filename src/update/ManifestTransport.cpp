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

bool UnpackRar(std::string_view body, const std::string& entryName, std::string* text,
               std::size_t limit) {
    // A reader of our own: the process's holder keeps the resource archive.
    config::CArchiveHelperRar reader;
    return reader.OpenArchive(body.data(), body.size()) && reader.GetMember(entryName, text) &&
           text->size() <= limit;
}

bool UnpackZip(std::string_view body, const std::string& entryName, std::string* text,
               std::size_t limit) {
    CZipFile zip;
    std::size_t index = 0;
    return zip.Open(body.data(), body.size()) == kZipOk && zip.Find(entryName, &index) &&
           zip.Entry(index)->uncompressedSize <= limit && zip.Extract(index, text) == kZipOk;
}

} // namespace

bool UnpackManifest(std::string_view body, const std::string& entryName, std::string* text,
                    std::size_t limit) {
    text->clear();
    bool ok = IsRarBody(body) ? UnpackRar(body, entryName, text, limit)
                              : UnpackZip(body, entryName, text, limit);
    if (!ok)
        text->clear();
    return ok;
}

bool ReceiveManifest(const ManifestTransport& transport, std::string_view body, std::string* text,
                     std::size_t limit) {
    if (transport.packed)
        return UnpackManifest(body, transport.entryName, text, limit);
    if (body.size() > limit)
        return false;
    text->assign(body);
    return true;
}

} // namespace update
