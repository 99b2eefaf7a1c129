// The settings store on Windows is the system's registry. The tests move
// both roots to keys of their own (the moving variables), so they touch
// nothing real and need no administrator.

#include "platform/Registry.h"
#include "platform/RegistryAccess.h"

#include "platform/Elevation.h"
#include "support/ScopedEnv.h"

#include "platform/Unicode.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <windows.h>

namespace {

using namespace plat;
using testsupport::ScopedEnv;

std::string UniqueRootName(const char* kind) {
    std::random_device random;
    return std::string("registry-test-") + kind + "-" + std::to_string(random());
}

class RegistryWin32Test : public ::testing::Test {
protected:
    ~RegistryWin32Test() override {
        // The moved roots themselves, where the store keeps them.
        for (const std::string& name : {hkcuName_, hklmName_}) {
            std::wstring key = L"Software\\LauncherTestRoots\\" + Utf8ToWide(name);
            ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
            ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
        }
    }
    std::string hkcuName_ = UniqueRootName("hkcu");
    std::string hklmName_ = UniqueRootName("hklm");
    ScopedEnv hkcu_{"LAUNCHER_REGISTRY_HKCU", hkcuName_};
    ScopedEnv hklm_{"LAUNCHER_REGISTRY_HKLM", hklmName_};
};

TEST_F(RegistryWin32Test, EveryTypeRoundTrips) {
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, L"Software\\Demo\\Language"));
    const std::string bytes("\x00\x01\xFF\x7F", 4);
    EXPECT_TRUE(key.WriteString(L"Name", L"Grüße \"quoted\""));
    EXPECT_TRUE(key.WriteString(L"Empty", L""));
    EXPECT_TRUE(key.WriteDword(L"Count", 0xDEADBEEFu));
    EXPECT_TRUE(key.WriteBinary(L"Blob", bytes));

    RegistryKey again;
    ASSERT_TRUE(again.Open(RegistryRoot::CurrentUser, L"Software\\Demo\\Language"));
    std::wstring text;
    ASSERT_TRUE(again.ReadString(L"NAME", &text));
    EXPECT_EQ(text, L"Grüße \"quoted\"");
    ASSERT_TRUE(again.ReadString(L"Empty", &text));
    EXPECT_EQ(text, L"");
    std::uint32_t number = 0;
    ASSERT_TRUE(again.ReadDword(L"Count", &number));
    EXPECT_EQ(number, 0xDEADBEEFu);
    std::string read;
    ASSERT_TRUE(again.ReadBinary(L"Blob", &read));
    EXPECT_EQ(read, bytes);
    RegistryValue value;
    ASSERT_TRUE(again.ReadValue(L"Count", &value));
    EXPECT_EQ(value.type, RegistryType::Dword);
    // The system registry keeps values in an order of its own.
    std::vector<std::wstring> names = again.ValueNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Blob", L"Count", L"Empty", L"Name"}));
    EXPECT_EQ(plat::GetLastError(), kErrSuccess);
}

TEST_F(RegistryWin32Test, WrongTypesMissingNamesAndClosedKeys) {
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, L"Software\\Demo"));
    ASSERT_TRUE(key.WriteDword(L"Number", 7));
    std::wstring text;
    EXPECT_FALSE(key.ReadString(L"Number", &text));
    EXPECT_EQ(plat::GetLastError(), kErrInvalidData);
    EXPECT_FALSE(key.ReadString(L"Missing", &text));
    EXPECT_EQ(plat::GetLastError(), kErrFileNotFound);
    EXPECT_FALSE(key.DeleteValue(L"Missing"));
    EXPECT_EQ(plat::GetLastError(), kErrFileNotFound);
    EXPECT_TRUE(key.DeleteValue(L"number"));

    RegistryKey missing;
    EXPECT_FALSE(missing.Open(RegistryRoot::CurrentUser, L"Software\\Nowhere"));
    EXPECT_EQ(plat::GetLastError(), kErrFileNotFound);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(missing.WriteString(L"x", L"y"));
    EXPECT_EQ(plat::GetLastError(), kErrInvalidHandle);
    key.Close();
    EXPECT_FALSE(key.ReadString(L"Number", &text));
    EXPECT_EQ(plat::GetLastError(), kErrInvalidHandle);
}

TEST_F(RegistryWin32Test, PathsSkipEmptyNamesAndRefuseDots) {
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, L"\\Software\\\\Demo\\Sub\\"));
    EXPECT_TRUE(RegistryKeyExists(RegistryRoot::CurrentUser, L"Software\\Demo\\Sub"));
    EXPECT_FALSE(key.Create(RegistryRoot::CurrentUser, L"Software\\..\\Other"));
    EXPECT_EQ(plat::GetLastError(), kErrInvalidName);
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::CurrentUser, L"Software\\.\\Demo"));
    EXPECT_EQ(plat::GetLastError(), kErrInvalidName);
}

TEST_F(RegistryWin32Test, SubkeysComeSortedAndTreesGoWhole) {
    for (const wchar_t* name : {L"beta", L"Alpha", L"gamma"}) {
        RegistryKey key;
        ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine,
                               std::wstring(L"Software\\Demo\\") + name + L"\\Leaf"));
        ASSERT_TRUE(key.WriteString(L"v", name));
    }
    RegistryKey demo;
    ASSERT_TRUE(demo.Open(RegistryRoot::LocalMachine, L"Software\\Demo"));
    EXPECT_EQ(demo.SubkeyNames(), (std::vector<std::wstring>{L"Alpha", L"beta", L"gamma"}));
    // The roots are separate stores.
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::CurrentUser, L"Software\\Demo"));

    EXPECT_TRUE(DeleteRegistryTree(RegistryRoot::LocalMachine, L"Software\\Demo\\beta"));
    EXPECT_EQ(demo.SubkeyNames(), (std::vector<std::wstring>{L"Alpha", L"gamma"}));
    EXPECT_FALSE(DeleteRegistryTree(RegistryRoot::LocalMachine, L"Software\\Demo\\beta"));
    EXPECT_EQ(plat::GetLastError(), kErrFileNotFound);
    EXPECT_FALSE(DeleteRegistryTree(RegistryRoot::LocalMachine, L""));
    EXPECT_EQ(plat::GetLastError(), kErrAccessDenied);
    EXPECT_TRUE(DeleteRegistryTree(RegistryRoot::LocalMachine, L"Software\\Demo"));
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::LocalMachine, L"Software\\Demo\\Alpha\\Leaf"));
}

TEST_F(RegistryWin32Test, AGrantedKeyBelongsToTheUser) {
    EXPECT_TRUE(GrantRegistryKeyToInvokingUser(RegistryRoot::LocalMachine, L"Software\\Granted"));
    std::uint32_t owner = 0;
    ASSERT_TRUE(GetRegistryKeyOwner(RegistryRoot::LocalMachine, L"Software\\Granted", &owner));
    EXPECT_EQ(owner, InvokingUserId());
    EXPECT_FALSE(GrantRegistryKeyToInvokingUser(RegistryRoot::LocalMachine, L"\\"));
    EXPECT_EQ(plat::GetLastError(), kErrAccessDenied);
    EXPECT_FALSE(GetRegistryKeyOwner(RegistryRoot::LocalMachine, L"Software\\Missing", &owner));
}

} // namespace
