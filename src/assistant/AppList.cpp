#include "assistant/AppList.h"

#include "assistant/AssistantRecord.h"
#include "platform/FolderTree.h"

namespace assistant {

namespace {

constexpr std::size_t kNameChars = 65;
constexpr std::size_t kExecOffset = 130;
constexpr std::size_t kExecChars = 261;

} // namespace

AppListState ReadAppList(const plat::OpenFolder& folder, std::vector<AppListRecord>* records) {
    records->clear();
    std::string bytes;
    if (!folder.ReadFile(kAppListFileName, kMaxAppListRecords * kAppListRecordSize, &bytes))
        return plat::GetLastError() == plat::kErrFileNotFound ? AppListState::Missing
                                                              : AppListState::Malformed;
    if (bytes.size() % kAppListRecordSize != 0)
        return AppListState::Malformed;
    for (std::size_t pos = 0; pos < bytes.size(); pos += kAppListRecordSize) {
        std::string_view record = std::string_view(bytes).substr(pos, kAppListRecordSize);
        bool terminated = true;
        AppListRecord entry;
        entry.name = DecodeTextField(record, 0, kNameChars, &terminated);
        entry.exec = DecodeTextField(record, kExecOffset, kExecChars, &terminated);
        records->push_back(std::move(entry));
    }
    return AppListState::Read;
}

} // namespace assistant
