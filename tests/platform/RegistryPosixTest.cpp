#include "platform/Registry.h"

#include "platform/Unicode.h"
#include "platform/posix/RegistryFormat.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace plat;
using testsupport::ReadTestFile;
using testsupport::TempDir;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

using Names = std::vector<std::wstring>;

// Sets an environment variable (a null value removes it) for one test and
// puts the old value back.
class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            previous_ = old;
        Set(value);
    }
    ~EnvOverride() { Set(previous_ ? previous_->c_str() : nullptr); }

private:
    void Set(const char* value) const {
        value ? ::setenv(name_.c_str(), value, 1) : ::unsetenv(name_.c_str());
    }
    std::string name_;
    std::optional<std::string> previous_;
};

// Both roots live in a fresh temporary folder for every test.
class RegistryTest : public ::testing::Test {
protected:
    std::string UserRoot() const { return dir_.NarrowPath() + "HKCU"; }
    std::string MachineRoot() const { return dir_.NarrowPath() + "HKLM"; }

    static RegistryKey Created(const std::wstring& path,
                               RegistryRoot root = RegistryRoot::CurrentUser) {
        RegistryKey key;
        EXPECT_TRUE(key.Create(root, path)) << WideToUtf8(path);
        return key;
    }

    // Every file and folder in the test folder, relative to it.
    std::vector<std::string> EverythingWritten() const {
        std::vector<std::string> paths;
        for (const auto& entry : fs::recursive_directory_iterator(dir_.NarrowPath()))
            paths.push_back(fs::relative(entry.path(), dir_.NarrowPath()).string());
        return paths;
    }

    TempDir dir_;
    EnvOverride hkcu_{"LAUNCHER_REGISTRY_HKCU", UserRoot().c_str()};
    EnvOverride hklm_{"LAUNCHER_REGISTRY_HKLM", MachineRoot().c_str()};
};

TEST_F(RegistryTest, EveryTypeRoundTripsThroughTheStore) {
    std::wstring text = L"Zeile 1\nЯзык 日本語 \U0001F600\r\n";
    text.push_back(L'\0');
    text.push_back(static_cast<wchar_t>(0xD800)); // units that are no characters are kept
    text.push_back(static_cast<wchar_t>(0x110000));
    text += L"end";
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    bytes += std::string("\0\0\n\xFF", 4);

    RegistryKey writer = Created(L"Software\\Demo");
    ASSERT_TRUE(writer.WriteString(L"Text", text));
    ASSERT_TRUE(writer.WriteString(L"", L"default value"));
    ASSERT_TRUE(writer.WriteBinary(L"Blob", bytes));
    ASSERT_TRUE(writer.WriteBinary(L"Empty", std::string()));
    ASSERT_TRUE(writer.WriteDword(L"Max", 0xFFFFFFFFu));
    ASSERT_TRUE(writer.WriteDword(L"Zero", 0));

    RegistryKey reader;
    ASSERT_TRUE(reader.Open(RegistryRoot::CurrentUser, L"Software\\Demo"));
    std::wstring readText, defaultText;
    std::string readBytes = "stale", emptyBytes = "stale";
    std::uint32_t max = 7, zero = 7;
    ASSERT_TRUE(reader.ReadString(L"Text", &readText) && reader.ReadString(L"", &defaultText));
    ASSERT_TRUE(reader.ReadBinary(L"Blob", &readBytes) && reader.ReadBinary(L"Empty", &emptyBytes));
    ASSERT_TRUE(reader.ReadDword(L"Max", &max) && reader.ReadDword(L"Zero", &zero));
    EXPECT_EQ(readText, text);
    EXPECT_EQ(defaultText, L"default value");
    EXPECT_EQ(readBytes, bytes);
    EXPECT_TRUE(emptyBytes.empty());
    EXPECT_EQ(max, 0xFFFFFFFFu);
    EXPECT_EQ(zero, 0u);

    RegistryValue value;
    ASSERT_TRUE(reader.ReadValue(L"Blob", &value));
    EXPECT_EQ(value.type, RegistryType::Binary);
    EXPECT_EQ(value.bytes, bytes);
    EXPECT_EQ(reader.ValueNames(), (Names{L"Text", L"", L"Blob", L"Empty", L"Max", L"Zero"}));

    // Writing again replaces the value, its type included.
    ASSERT_TRUE(writer.WriteDword(L"Text", 42));
    ASSERT_TRUE(reader.ReadDword(L"Text", &max));
    EXPECT_EQ(max, 42u);
    ASSERT_TRUE(writer.DeleteValue(L"Blob"));
    EXPECT_EQ(reader.ValueNames(), (Names{L"Text", L"", L"Empty", L"Max", L"Zero"}));
}

TEST_F(RegistryTest, ReadingAnotherTypeFailsWithInvalidData) {
    RegistryKey key = Created(L"Types");
    ASSERT_TRUE(key.WriteString(L"S", L"12"));
    ASSERT_TRUE(key.WriteDword(L"D", 12));
    ASSERT_TRUE(key.WriteBinary(L"B", "12"));

    std::wstring text;
    std::uint32_t number = 0;
    std::string bytes;
    auto failsAsInvalidData = [](bool result) {
        bool failed = !result && GetLastError() == kErrInvalidData;
        SetLastError(kErrSuccess);
        return failed;
    };
    EXPECT_TRUE(failsAsInvalidData(key.ReadDword(L"S", &number)));
    EXPECT_TRUE(failsAsInvalidData(key.ReadString(L"D", &text)));
    EXPECT_TRUE(failsAsInvalidData(key.ReadBinary(L"S", &bytes)));
    EXPECT_TRUE(failsAsInvalidData(key.ReadString(L"B", &text)));
    EXPECT_TRUE(failsAsInvalidData(key.ReadDword(L"B", &number)));
}

TEST_F(RegistryTest, MissingKeysAndValuesFailWithFileNotFound) {
    RegistryKey key;
    EXPECT_FALSE(key.Open(RegistryRoot::CurrentUser, L"Software\\Nowhere"));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::CurrentUser, L"Software"));
    EXPECT_FALSE(DeleteRegistryTree(RegistryRoot::CurrentUser, L"Software"));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);

    key = Created(L"Software");
    EXPECT_FALSE(RegistryKey().Open(RegistryRoot::CurrentUser, L"Software\\Nowhere\\Deeper"));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
    std::wstring text;
    EXPECT_FALSE(key.ReadString(L"Missing", &text));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
    ASSERT_TRUE(key.WriteString(L"Present", L"x"));
    EXPECT_FALSE(key.ReadString(L"Missing", &text));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
    EXPECT_FALSE(key.DeleteValue(L"Missing"));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);

    key.Close();
    EXPECT_FALSE(key.ReadString(L"Present", &text));
    EXPECT_EQ(GetLastError(), kErrInvalidHandle);
    EXPECT_FALSE(key.WriteString(L"Present", L"y"));
    EXPECT_EQ(GetLastError(), kErrInvalidHandle);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    RegistryKey key = Created(L"Software\\Demo");
    ASSERT_TRUE(key.WriteString(L"Language", L"en"));
    ASSERT_TRUE(key.WriteString(L"LANGUAGE", L"de"));
    EXPECT_EQ(key.ValueNames(), Names{L"Language"});

    RegistryKey other;
    ASSERT_TRUE(other.Open(RegistryRoot::CurrentUser, L"SOFTWARE\\demo"));
    std::wstring text;
    ASSERT_TRUE(other.ReadString(L"language", &text));
    EXPECT_EQ(text, L"de");

    // Non-ASCII letters are not folded.
    ASSERT_TRUE(key.WriteString(L"Ä", L"upper"));
    EXPECT_FALSE(key.ReadString(L"ä", &text));

    Created(L"software\\DEMO\\Sub");
    Created(L"Software\\beta");
    Created(L"Software\\Alpha");
    Created(L"Software\\gamma");
    ASSERT_TRUE(other.Open(RegistryRoot::CurrentUser, L"sOfTwArE"));
    EXPECT_EQ(other.SubkeyNames(), (Names{L"Alpha", L"beta", L"Demo", L"gamma"}));
    EXPECT_EQ(GetLastError(), kErrSuccess);
    ASSERT_TRUE(other.Open(RegistryRoot::CurrentUser, L""));
    EXPECT_EQ(other.SubkeyNames(), Names{L"Software"});
}

TEST_F(RegistryTest, CreateMakesMissingParentsAndSkipsEmptyNames) {
    RegistryKey key = Created(L"A\\B\\C");
    ASSERT_TRUE(key.WriteDword(L"Depth", 3));
    EXPECT_TRUE(RegistryKeyExists(RegistryRoot::CurrentUser, L"A"));
    EXPECT_TRUE(RegistryKeyExists(RegistryRoot::CurrentUser, L"A\\B"));

    RegistryKey parent;
    ASSERT_TRUE(parent.Open(RegistryRoot::CurrentUser, L"A"));
    EXPECT_EQ(parent.SubkeyNames(), Names{L"B"});
    EXPECT_TRUE(parent.ValueNames().empty());

    RegistryKey same;
    ASSERT_TRUE(same.Open(RegistryRoot::CurrentUser, L"\\A\\\\B\\C\\"));
    std::uint32_t depth = 0;
    ASSERT_TRUE(same.ReadDword(L"Depth", &depth));
    EXPECT_EQ(depth, 3u);

    // Creating an existing key opens it and keeps its values.
    RegistryKey again = Created(L"a\\b\\c");
    ASSERT_TRUE(again.ReadDword(L"Depth", &depth));
}

TEST_F(RegistryTest, RootsAreSeparateStores) {
    ASSERT_TRUE(Created(L"Software\\Demo").WriteString(L"Where", L"user"));
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::LocalMachine, L"Software\\Demo"));
    RegistryKey machine = Created(L"Software\\Demo", RegistryRoot::LocalMachine);
    EXPECT_TRUE(machine.ValueNames().empty());
    EXPECT_TRUE(fs::is_directory(MachineRoot() + "/software/demo"));
}

TEST_F(RegistryTest, DeleteTreeRemovesTheKeyWithEverythingBelow) {
    RegistryKey deep = Created(L"A\\B\\C");
    ASSERT_TRUE(deep.WriteString(L"V", L"deep"));
    ASSERT_TRUE(Created(L"A\\B").WriteDword(L"V", 1));
    RegistryKey sibling = Created(L"A\\D");
    ASSERT_TRUE(sibling.WriteDword(L"V", 2));

    ASSERT_TRUE(DeleteRegistryTree(RegistryRoot::CurrentUser, L"a\\B"));
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::CurrentUser, L"A\\B"));
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::CurrentUser, L"A\\B\\C"));
    RegistryKey parent;
    ASSERT_TRUE(parent.Open(RegistryRoot::CurrentUser, L"A"));
    EXPECT_EQ(parent.SubkeyNames(), Names{L"D"});
    std::uint32_t number = 0;
    ASSERT_TRUE(sibling.ReadDword(L"V", &number));
    EXPECT_EQ(number, 2u);

    // A key still open on the deleted tree neither reads nor brings it back.
    std::wstring text;
    EXPECT_FALSE(deep.ReadString(L"V", &text));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
    EXPECT_FALSE(deep.WriteString(L"V", L"again"));
    EXPECT_EQ(GetLastError(), kErrFileNotFound);
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::CurrentUser, L"A\\B"));

    EXPECT_FALSE(DeleteRegistryTree(RegistryRoot::CurrentUser, L""));
    EXPECT_EQ(GetLastError(), kErrAccessDenied);
    for (const std::string& path : EverythingWritten())
        EXPECT_EQ(path.find(".trash"), std::string::npos) << path;
}

TEST_F(RegistryTest, HostileNamesStayInsideTheRoot) {
    // A root deep inside the test folder, so that a name that did escape
    // would still land where the check below finds it.
    EnvOverride deep("LAUNCHER_REGISTRY_HKCU", (dir_.NarrowPath() + "a/b/c/HKCU").c_str());
    RegistryKey key;
    for (const wchar_t* path : {L"..", L".", L"a\\..\\..\\x", L"..\\x", L"a\\."}) {
        EXPECT_FALSE(key.Create(RegistryRoot::CurrentUser, path)) << WideToUtf8(path);
        EXPECT_EQ(GetLastError(), kErrInvalidName);
        EXPECT_FALSE(DeleteRegistryTree(RegistryRoot::CurrentUser, path));
    }

    // Names that look like path syntax or like the store's own files are
    // ordinary keys, each its own.
    const Names hostile = {L"a/b",   L"a%2Fb",   L"../../escape", L"/abs", L"..x",
                           L".lock", L".values", L"values",       L"%"};
    for (const std::wstring& name : hostile) {
        RegistryKey created = Created(name);
        ASSERT_TRUE(created.WriteString(name, name)) << WideToUtf8(name);
    }
    RegistryKey root;
    ASSERT_TRUE(root.Open(RegistryRoot::CurrentUser, L""));
    Names listed = root.SubkeyNames();
    Names expected = hostile;
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
    for (const std::wstring& name : hostile) {
        RegistryKey opened;
        ASSERT_TRUE(opened.Open(RegistryRoot::CurrentUser, name));
        EXPECT_EQ(opened.ValueNames(), Names{name});
    }

    for (const std::string& path : EverythingWritten()) {
        bool inside = path.rfind("a/b/c/HKCU", 0) == 0 || std::string("a/b/c").rfind(path, 0) == 0;
        EXPECT_TRUE(inside) << path;
    }
}

TEST_F(RegistryTest, DamagedValuesFileReadsAsEmptyAndIsReplacedByTheNextWrite) {
    RegistryKey key = Created(L"Damaged");
    ASSERT_TRUE(key.WriteString(L"Old", L"value"));
    std::wstring valuesFile = Utf8ToWide(UserRoot()) + L"/damaged/.values";
    std::string good = ReadTestFile(valuesFile);
    ASSERT_FALSE(good.empty());

    const std::string damaged[] = {
        "garbage",
        good.substr(0, good.size() - 1),         // cut before the last line end
        "LRV1\n1 3 99999999999\nOld",            // a length beyond the file
        "LRV1\n9 1 1\nXY\n",                     // an unknown type
        "LRV1\n4 1 2\nDxx\n",                    // a DWORD that is no number
        "LRV1\n1 1 1\nAa\n1 1 1\naB\n",          // one name twice
        std::string("LRV1\n1 1 2\nA\xFF\x01\n"), // a cut raw unit
    };
    for (const std::string& contents : damaged) {
        WriteTestFile(valuesFile, contents);
        std::wstring text;
        EXPECT_FALSE(key.ReadString(L"Old", &text));
        EXPECT_EQ(GetLastError(), kErrInvalidData);
        EXPECT_TRUE(key.ValueNames().empty());
        EXPECT_EQ(GetLastError(), kErrInvalidData);
    }

    ASSERT_TRUE(key.WriteString(L"New", L"fresh"));
    EXPECT_EQ(key.ValueNames(), Names{L"New"});

    // A folder where the values file belongs reads as damaged, not as a crash.
    fs::remove(WideToUtf8(valuesFile));
    fs::create_directory(WideToUtf8(valuesFile));
    std::wstring text;
    EXPECT_FALSE(key.ReadString(L"New", &text));
    EXPECT_EQ(GetLastError(), kErrInvalidData);
}

// A name file that is lost or does not match its folder gives way to the
// name the folder itself spells.
TEST_F(RegistryTest, LostNameFileFallsBackToTheFolderName) {
    Created(L"Parent\\MixedCase");
    std::string nameFile = UserRoot() + "/parent/mixedcase/.name";
    RegistryKey parent = Created(L"Parent");
    WriteTestFile(Utf8ToWide(nameFile), "SomethingElse");
    EXPECT_EQ(parent.SubkeyNames(), Names{L"mixedcase"});
    ASSERT_TRUE(fs::remove(nameFile));
    EXPECT_EQ(parent.SubkeyNames(), Names{L"mixedcase"});
}

// Cutting a values file anywhere may lose whole records but never yields a
// record with other contents.
TEST(RegistryFormat, TruncatedFilesNeverYieldAlteredValues) {
    posix::ValueList values(3);
    values[0].name = L"Text";
    values[0].value.text = L"line\nnext \U0001F600";
    values[1].name = L"Blob";
    values[1].value.type = RegistryType::Binary;
    values[1].value.bytes = std::string("\n3 1 1\n\0\xFF", 10);
    values[2].name = L"Number";
    values[2].value.type = RegistryType::Dword;
    values[2].value.dword = 123456789;
    std::string file = posix::SerializeValues(values);

    posix::ValueList parsed;
    ASSERT_TRUE(posix::ParseValues(file, &parsed));
    ASSERT_EQ(parsed.size(), values.size());
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        if (!posix::ParseValues(std::string_view(file).substr(0, cut), &parsed)) {
            EXPECT_TRUE(parsed.empty());
            continue;
        }
        ASSERT_LT(parsed.size(), values.size()) << cut;
        for (std::size_t i = 0; i < parsed.size(); ++i) {
            EXPECT_EQ(parsed[i].name, values[i].name) << cut;
            EXPECT_EQ(parsed[i].value.type, values[i].value.type) << cut;
        }
    }
}

// Writers in two processes, two threads each, fill one key at the same time
// while the parent keeps reading it; every value arrives and no read ever
// sees a torn file.
TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    constexpr int kProcesses = 2;
    constexpr int kThreads = 2;
    constexpr int kValuesPerThread = 40;
    Created(L"Shared");

    auto nameOf = [](int process, int thread, int i) {
        return L"P" + std::to_wstring(process) + L"T" + std::to_wstring(thread) + L"V" +
               std::to_wstring(i);
    };
    auto writeAll = [&](int process, int thread) {
        RegistryKey key;
        bool ok = key.Open(RegistryRoot::CurrentUser, L"Shared");
        for (int i = 0; ok && i < kValuesPerThread; ++i) {
            std::wstring name = nameOf(process, thread, i);
            ok = key.WriteString(name, name + L"\nvalue") && key.WriteDword(L"Last", i);
        }
        return ok;
    };

    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::alarm(60); // watchdog: a hung writer dies and fails the test
            std::atomic<bool> ok{true};
            std::vector<std::thread> threads;
            for (int t = 0; t < kThreads; ++t)
                threads.emplace_back([&, t] {
                    if (!writeAll(p, t))
                        ok = false;
                });
            for (std::thread& thread : threads)
                thread.join();
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }

    RegistryKey reader;
    ASSERT_TRUE(reader.Open(RegistryRoot::CurrentUser, L"Shared"));
    int tornReads = 0;
    while (!children.empty()) {
        reader.ValueNames();
        tornReads += GetLastError() != kErrSuccess ? 1 : 0;
        std::erase_if(children, [](pid_t pid) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) != pid)
                return false;
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            return true;
        });
    }
    EXPECT_EQ(tornReads, 0);

    EXPECT_EQ(reader.ValueNames().size(),
              static_cast<std::size_t>(kProcesses * kThreads * kValuesPerThread + 1));
    for (int p = 0; p < kProcesses; ++p) {
        for (int t = 0; t < kThreads; ++t) {
            for (int i = 0; i < kValuesPerThread; ++i) {
                std::wstring text;
                ASSERT_TRUE(reader.ReadString(nameOf(p, t, i), &text));
                EXPECT_EQ(text, nameOf(p, t, i) + L"\nvalue");
            }
        }
    }
    for (const std::string& path : EverythingWritten())
        EXPECT_EQ(path.find(".tmp-"), std::string::npos) << path;
}

// Without the moving variables the stores follow the XDG conventions.
TEST(RegistryRoots, UserStoreLivesInTheConfigFolder) {
    TempDir config;
    EnvOverride xdg("XDG_CONFIG_HOME", config.NarrowPath().c_str());
    EnvOverride hkcu("LAUNCHER_REGISTRY_HKCU", nullptr);
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, L"Software\\Demo"));
    EXPECT_TRUE(fs::is_directory(config.NarrowPath() + "launcher/registry/HKCU/software/demo"));

    // A moving variable that is not an absolute path never falls back to the
    // real store.
    EnvOverride relative("LAUNCHER_REGISTRY_HKCU", "relative/folder");
    EXPECT_FALSE(key.Create(RegistryRoot::CurrentUser, L"Software"));
    EXPECT_EQ(GetLastError(), kErrPathNotFound);
    EXPECT_FALSE(RegistryKeyExists(RegistryRoot::CurrentUser, L"Software"));
}

TEST(RegistryRoots, MachineStoreFallsBackToTheUserUntilAnAdministratorMadeIt) {
    if (::geteuid() == 0 || ::access("/var/lib/launcher/registry/HKLM", F_OK) == 0)
        GTEST_SKIP() << "the machine folder is there";
    TempDir config;
    EnvOverride xdg("XDG_CONFIG_HOME", config.NarrowPath().c_str());
    EnvOverride hklm("LAUNCHER_REGISTRY_HKLM", nullptr);
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, L"Software"));
    EXPECT_TRUE(fs::is_directory(config.NarrowPath() + "launcher/registry/HKLM/software"));
}

} // namespace
