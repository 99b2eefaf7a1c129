// Deletion at the next system start goes into the session manager's list
// (PendingFileRenameOperations), which the system works off while it
// starts. Registering changes the machine's settings: without
// administrator rights it fails with 5, and the case is skipped.

#include "platform/PendingDeletion.h"

#include "platform/Error.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>
#include <windows.h>

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

// The list as its strings; nothing when the value is not there.
std::optional<std::vector<std::wstring>> ReadPendingList() {
    DWORD size = 0;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, RRF_RT_REG_MULTI_SZ,
                       nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring raw(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, RRF_RT_REG_MULTI_SZ,
                       nullptr, raw.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    raw.resize(size / sizeof(wchar_t));
    std::vector<std::wstring> strings;
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find(L'\0', start);
        if (end == std::wstring::npos)
            end = raw.size();
        strings.push_back(raw.substr(start, end - start));
        start = end + 1;
    }
    // The list ends with an empty string of its own.
    while (!strings.empty() && strings.back().empty() && strings.size() % 2 == 1)
        strings.pop_back();
    return strings;
}

// Puts the value back as it was before the test.
class PendingListRestorer {
public:
    PendingListRestorer() {
        DWORD size = 0;
        DWORD type = 0;
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, RRF_RT_ANY, &type,
                           nullptr, &size) == ERROR_SUCCESS) {
            saved_.emplace(size, '\0');
            ::RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue, RRF_RT_ANY, &type,
                           saved_->data(), &size);
            saved_->resize(size);
        }
    }
    ~PendingListRestorer() {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) !=
            ERROR_SUCCESS)
            return;
        if (saved_)
            ::RegSetValueExW(key, kPendingValue, 0, REG_MULTI_SZ,
                             reinterpret_cast<const BYTE*>(saved_->data()),
                             static_cast<DWORD>(saved_->size()));
        else
            ::RegDeleteValueW(key, kPendingValue);
        ::RegCloseKey(key);
    }

private:
    std::optional<std::string> saved_;
};

TEST(PendingDeletionWin32, TheSystemListGetsThePathWithAnEmptyTarget) {
    testsupport::TempDir dir;
    const std::wstring path = dir.File(L"Launcher.old.exe");
    testsupport::WriteTestFile(path, "old");
    PendingListRestorer restorer;
    if (!plat::DeleteAtNextSystemStart(path)) {
        ASSERT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
        GTEST_SKIP() << "registering needs administrator rights";
    }
    auto list = ReadPendingList();
    ASSERT_TRUE(list.has_value());
    bool found = false;
    for (std::size_t i = 0; i + 1 < list->size(); i += 2) {
        if ((*list)[i] == L"\\??\\" + path) {
            found = true;
            EXPECT_EQ((*list)[i + 1], L"") << "a deletion has no new name";
        }
    }
    EXPECT_TRUE(found);
    // Nothing happens before the restart.
    EXPECT_EQ(plat::WorkOffPendingDeletions(), 0);
    EXPECT_EQ(testsupport::ReadTestFile(path), "old");
}

TEST(PendingDeletionWin32, PathsThatCannotBeListedAreRefused) {
    EXPECT_FALSE(plat::DeleteAtNextSystemStart(L"C:\\bad\nname"));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidName);
    EXPECT_FALSE(plat::DeleteAtNextSystemStart(L"C:\\bad\tname"));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidName);
    EXPECT_FALSE(plat::DeleteAtNextSystemStart(L""));
    EXPECT_EQ(plat::GetLastError(), plat::kErrPathNotFound);
}

} // namespace
