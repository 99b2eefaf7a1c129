#pragma once
// How the manifest travels: the request name under the update path and the
// packed form, an archive (RAR or ZIP) holding the manifest as one entry.
// Pure functions; the launcher calls them on its window thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace update {

// The launcher's three transport settings with their defaults.
struct ManifestTransport {
    std::string requestName = "update.rxml"; // asked for under the update path
    bool packed = true;                      // the answer is an archive
    std::string entryName = "update.xml";    // the manifest's entry in it
};

// The request text: the update path immediately followed by the name.
std::string ManifestRequest(const std::string& updatePath, const ManifestTransport& transport);

// True when the body is read as RAR: longer than 3 bytes and starting with
// "Rar!". Anything else is read as ZIP.
bool IsRarBody(std::string_view body);

// No bound on a manifest's text beyond what memory allows.
inline constexpr std::size_t kNoManifestLimit = static_cast<std::size_t>(-1);

// Extracts the named entry of a packed body. False (and `text` empty) when
// the archive cannot be read, has no such entry, or the entry is longer than
// `limit` (a ZIP entry is refused by its declared size, before anything is
// inflated).
bool UnpackManifest(std::string_view body, const std::string& entryName, std::string* text,
                    std::size_t limit = kNoManifestLimit);

// The manifest text of an answer: unpacked when the transport is packed,
// the body itself otherwise; at most `limit` bytes either way.
bool ReceiveManifest(const ManifestTransport& transport, std::string_view body, std::string* text,
                     std::size_t limit = kNoManifestLimit);

} // namespace update
