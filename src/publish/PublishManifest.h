#pragma once
// The manifest text the publisher writes: the root with the client and
// launcher information, one PACK per package with its FILE entries and INFO
// texts, and the IGNORE list, in the element and attribute names that
// CManifestDocument reads. Pure function; the publishing thread calls it.

#include "publish/PublishArchive.h"
#include "publish/PublishDescription.h"
#include "update/ReleaseSignature.h"

#include <cstdint>
#include <string>
#include <vector>

namespace publish {

struct PublishedFile {
    std::string path; // relative to the client folder, "\" separated
    PublishDigest digest;
};

struct PublishedPackage {
    const PublishPackage* package = nullptr; // from the description
    PublishDigest digest;                    // of the package file
    std::string sha256;                      // hexadecimal; a signed release only
    std::vector<PublishedFile> files;
};

struct PublishedLauncher {
    std::uint32_t size = 0;
    std::uint32_t checksum = 0; // the launcher checksum, walk mode 0
    std::string sha256;         // hexadecimal; a signed release only
};

// The UTF-8 document. `launcher` is null when the description names none;
// `stamp` is given for a signed release only, whose manifest also carries
// the packages' and the launcher's SHA-256.
std::string BuildManifestText(const PublishDescription& description,
                              const std::vector<PublishedPackage>& packages,
                              const PublishedLauncher* launcher,
                              const update::ReleaseStamp* stamp = nullptr);

} // namespace publish
