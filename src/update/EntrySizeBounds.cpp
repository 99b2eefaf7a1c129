#include "update/EntrySizeBounds.h"

#include "platform/Unicode.h"

#include <algorithm>

namespace update {

namespace {

void Add(const ManifestFileMap& files, EntrySizeBounds* bounds) {
    for (const auto& [path, file] : files) {
        auto [it, added] = bounds->sizes.emplace(path, file.size);
        if (!added)
            it->second = std::max(it->second, file.size);
    }
}

} // namespace

std::shared_ptr<const EntrySizeBounds>
EntrySizeBounds::FromManifest(const ManifestFileMap& files,
                              const std::vector<IncrementPackage>& increments) {
    auto bounds = std::make_shared<EntrySizeBounds>();
    Add(files, bounds.get());
    for (const IncrementPackage& increment : increments)
        Add(increment.files, bounds.get());
    return bounds;
}

bool CEntryBudget::Admit(const std::string& name, std::uint64_t size) {
    if (!bounds_)
        return true;
    auto listed = bounds_->sizes.find(LowerManifestPath(plat::Utf8ToWide(name)));
    if (listed != bounds_->sizes.end())
        return size <= listed->second;
    if (size > unlistedLeft_)
        return false;
    unlistedLeft_ -= size;
    return true;
}

} // namespace update
