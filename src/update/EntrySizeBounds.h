#pragma once
// What the manifest says about the sizes of the files a package may hold,
// and the rule that keeps a package from writing more: an entry the manifest
// lists may be at most as large as the manifest says, and the entries it
// does not list may together be at most as large as the package file
// itself. A package is refused before anything is written when an entry's
// declared size breaks the rule, so a hostile archive never decides how much
// is allocated or written. Built on the checker thread, read by the
// unpacker thread.

#include "update/Manifest.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace update {

struct EntrySizeBounds {
    // Lowercased manifest path to the largest size the manifest gives it.
    std::map<std::wstring, std::uint32_t> sizes;

    // Every file of the file map and of the increments.
    static std::shared_ptr<const EntrySizeBounds>
    FromManifest(const ManifestFileMap& files, const std::vector<IncrementPackage>& increments);
};

// One package's account against the bounds.
class CEntryBudget {
public:
    // Without bounds (none known) every size fits.
    CEntryBudget(std::shared_ptr<const EntrySizeBounds> bounds, std::uint64_t packageSize)
        : bounds_(std::move(bounds)), unlistedLeft_(packageSize) {}

    // Counts an entry of this name (as the unpacker writes it: "\"
    // separated) and declared size; false when it does not fit.
    bool Admit(const std::string& name, std::uint64_t size);

private:
    std::shared_ptr<const EntrySizeBounds> bounds_;
    std::uint64_t unlistedLeft_;
};

} // namespace update
