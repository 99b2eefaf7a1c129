#include "platform/Resources.h"

#include "platform/Error.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace plat {

namespace {

constexpr ErrorCode kErrResourceTypeNotFound = 1813;
constexpr ErrorCode kErrResourceNameNotFound = 1814;

// The table of registered blocks. Built on first use, so that registrations
// from static constructors of any translation unit find it ready, and never
// destroyed, so that it outlives every static object that may look up.
struct ResourceTable {
    std::mutex mutex;
    std::map<std::pair<std::string, int>, ResourceData> entries;
};

ResourceTable& Table() {
    static ResourceTable* table = new ResourceTable;
    return *table;
}

} // namespace

bool FindResource(const char* typeName, int id, ResourceData* out) {
    ResourceTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto found = table.entries.find({typeName, id});
    if (found == table.entries.end()) {
        bool typeKnown = false;
        for (const auto& entry : table.entries)
            typeKnown = typeKnown || entry.first.first == typeName;
        SetLastError(typeKnown ? kErrResourceNameNotFound : kErrResourceTypeNotFound);
        return false;
    }
    *out = found->second;
    return true;
}

void RegisterResource(const char* typeName, int id, const void* data, std::size_t size) {
    ResourceTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.entries[{typeName, id}] = ResourceData{data, size};
}

} // namespace plat
