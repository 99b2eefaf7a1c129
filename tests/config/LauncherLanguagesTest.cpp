#include "config/LauncherLanguages.h"
#include "config/ConfigDocument.h"

#include "LangFixtures.h"
#include "base/RunCommand.h"
#include "log/LogImplW.h"
#include "platform/Registry.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <optional>

using namespace config;
using langtest::MakeTable;
using langtest::MapMemberSource;
using testsupport::ScopedEnv;

namespace {

constexpr int kShippedCount = 119;
const std::wstring kRegPath = L"Software\\LangTest";

const char* kLanguages = R"(
      <enable lang="en" file="en.lso" long="English" locale="" id="1033" icon="0"/>
      <enable lang="de" file="de.lso" long="Deutsch" locale="" id="1031" icon="1" font="2"/>
      <enable lang="ru" file="ru.lso" long="Русский" locale="" id="0x419" icon="2" font="x"/>)";

std::string Config(const std::string& languages) {
    return "<config><common><languages>" + languages + "</languages></common></config>";
}

// Keeps every "Write" line of the launcher log.
class CaptureLog : public CLogImplW {
public:
    bool Write(std::wstring_view text, bool newLine) override {
        lines.emplace_back(text);
        return newLine;
    }
    std::vector<std::wstring> lines;
};

class LauncherLanguagesTest : public ::testing::Test {
protected:
    LauncherLanguagesTest()
        : hkcu_("LAUNCHER_REGISTRY_HKCU", temp_.NarrowPath() + "hkcu"),
          hklm_("LAUNCHER_REGISTRY_HKLM", temp_.NarrowPath() + "hklm"), lcAll_("LC_ALL", nullptr),
          lcMessages_("LC_MESSAGES", nullptr), lang_("LANG", "xx_XX.UTF-8"),
          timeLocale_(std::setlocale(LC_TIME, nullptr)) {
        for (const char* code : {"en", "de", "ru"})
            archive_.members[std::string(code) + ".lso"] = MakeTable(code, kShippedCount);
    }
    ~LauncherLanguagesTest() override { std::setlocale(LC_TIME, timeLocale_.c_str()); }

    bool Load(const std::string& languages = kLanguages) {
        CConfigDocument doc;
        return doc.Parse(Config(languages)) && languages_.LoadLanguages(doc, archive_, &error_);
    }

    void Store(const std::wstring& code) {
        plat::RegistryKey key;
        ASSERT_TRUE(key.Create(plat::RegistryRoot::CurrentUser, kRegPath + L"\\Language"));
        ASSERT_TRUE(key.WriteString(L"Language", code));
    }

    // The stored value; nothing when there is none.
    std::optional<std::wstring> Stored() const {
        plat::RegistryKey key;
        std::wstring value;
        if (!key.Open(plat::RegistryRoot::CurrentUser, kRegPath + L"\\Language") ||
            !key.ReadString(L"Language", &value))
            return std::nullopt;
        return value;
    }

    // Loads, runs the start-up choice and checks that everything agrees on
    // the chosen language.
    std::string Startup(const std::wstring& patched, int runMode, CLogImplW* log = nullptr) {
        EXPECT_TRUE(Load()) << error_;
        EXPECT_TRUE(languages_.SelectStartupLanguage(patched, kRegPath, runMode, log));
        const std::string code = languages_.CurrentCode();
        EXPECT_EQ(languages_.ImagePrefix(), code + "_");
        EXPECT_EQ(languages_.Table().CurrentIndex(), languages_.PositionOf(code));
        EXPECT_EQ(languages_.GetString(7), std::wstring(code.begin(), code.end()) + L":7");
        return code;
    }

    testsupport::TempDir temp_;
    ScopedEnv hkcu_, hklm_, lcAll_, lcMessages_, lang_;
    std::string timeLocale_;
    MapMemberSource archive_;
    CLauncherLanguages languages_;
    std::string error_;
};

TEST_F(LauncherLanguagesTest, EntriesFollowTheConfiguration) {
    ASSERT_TRUE(Load()) << error_;
    const auto& entries = languages_.Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].code, "de");
    EXPECT_EQ(entries[1].file, "de.lso");
    EXPECT_EQ(entries[1].longName, "Deutsch");
    EXPECT_EQ(entries[1].id, 1031);
    EXPECT_EQ(entries[1].icon, 1);
    EXPECT_EQ(entries[1].font, 2);
    EXPECT_EQ(entries[0].font, 0); // not given
    EXPECT_EQ(entries[2].font, 0); // not a number
    EXPECT_EQ(entries[2].id, 0x419);
    EXPECT_EQ(entries[2].position, 2);
    EXPECT_EQ(languages_.PositionOf("ru"), 2);
    EXPECT_EQ(languages_.PositionOf("xx"), -1);
    EXPECT_EQ(languages_.DefaultCode(), "en");
    EXPECT_EQ(languages_.Table().Count(), 3);
    EXPECT_EQ(languages_.Table().Language(2)->LongName(), "Русский");
    EXPECT_EQ(languages_.GetString(5), L"en:5"); // the first one is current

    // A code listed twice maps to its later position.
    ASSERT_TRUE(Load(std::string(kLanguages) +
                     R"(<enable lang="en" file="ru.lso" long="E2" locale="" id="1" icon="3"/>)"));
    EXPECT_EQ(languages_.PositionOf("en"), 3);
    EXPECT_EQ(languages_.DefaultCode(), "en");
}

TEST_F(LauncherLanguagesTest, IncompleteListsFailTheLoad) {
    for (const char* attribute : {"lang", "file", "long", "locale", "id", "icon"}) {
        std::string entry =
            R"(<enable lang="en" file="en.lso" long="E" locale="" id="1" icon="0"/>)";
        const std::size_t at = entry.find(std::string(" ") + attribute + "=");
        entry.erase(at, entry.find('"', entry.find('"', at) + 1) + 1 - at);
        EXPECT_FALSE(Load(entry)) << attribute;
        EXPECT_NE(error_.find(attribute), std::string::npos) << error_;
    }
    EXPECT_FALSE(Load(R"(<enable lang="en" file="en.lso" long="E" locale="" id="1" icon="i"/>)"));
    EXPECT_FALSE(Load("")); // no languages at all
    EXPECT_FALSE(Load(R"(<enable lang="en" file="none.lso" long="E" locale="" id="1" icon="0"/>)"));

    CConfigDocument doc;
    ASSERT_TRUE(doc.Parse("<config><common/></config>"));
    EXPECT_FALSE(languages_.LoadLanguages(doc, archive_));
}

TEST_F(LauncherLanguagesTest, TableWithAnotherCountFailsTheLoad) {
    archive_.members["de.lso"] = MakeTable("de", kShippedCount + 1);
    EXPECT_FALSE(Load());
    EXPECT_NE(error_.find("de.lso"), std::string::npos) << error_;
}

TEST_F(LauncherLanguagesTest, InstallPrefersThePatchedLanguage) {
    Store(L"de");
    EXPECT_EQ(Startup(L"ru", rmInstall), "ru");
    EXPECT_EQ(Stored(), L"ru");
    Store(L"de");
    EXPECT_EQ(Startup(L"ru", rmUpdate), "de");
    EXPECT_EQ(Startup(L"ru", rmUninstaller), "de");
    // Each falls back on the other when its own is empty.
    EXPECT_EQ(Startup(L"", rmInstall), "de");
    Store(L"");
    EXPECT_EQ(Startup(L"ru", rmUpdate), "ru");
}

TEST_F(LauncherLanguagesTest, SystemLanguageThenDefault) {
    // Nothing patched or stored and a system language that is not configured.
    EXPECT_EQ(Startup(L"", rmUpdate), "en");
    EXPECT_EQ(Stored(), L"en");

    Store(L"");
    ScopedEnv german("LANG", "de_DE.UTF-8");
    EXPECT_EQ(Startup(L"", rmUpdate), "de");
    ScopedEnv russian("LC_MESSAGES", "ru_RU.UTF-8");
    Store(L"");
    EXPECT_EQ(Startup(L"", rmUpdate), "ru");

    // An unknown stored or patched code goes to the default, not the system.
    Store(L"zz");
    EXPECT_EQ(Startup(L"", rmUpdate), "en");
    EXPECT_EQ(Startup(L"zz", rmInstall), "en");
}

TEST_F(LauncherLanguagesTest, DownloadModeLeavesTheStoredValue) {
    ScopedEnv russian("LANG", "ru_RU.UTF-8");
    EXPECT_EQ(Startup(L"", rmDownload), "ru");
    EXPECT_EQ(Stored(), std::nullopt);

    Store(L"zz");
    EXPECT_EQ(Startup(L"de", rmDownload), "en");
    EXPECT_EQ(Stored(), L"zz");
    EXPECT_EQ(Startup(L"de", rmUpdate), "en");
    EXPECT_EQ(Stored(), L"en");
}

TEST_F(LauncherLanguagesTest, StoredValueIsAShortString) {
    {
        plat::RegistryKey key;
        ASSERT_TRUE(key.Create(plat::RegistryRoot::CurrentUser, kRegPath + L"\\Language"));
        ASSERT_TRUE(key.WriteDword(L"Language", 7));
    }
    EXPECT_EQ(Startup(L"de", rmUpdate), "de"); // a number counts as nothing stored

    CaptureLog log;
    Store(L"ru" + std::wstring(60, L'x'));
    EXPECT_EQ(Startup(L"de", rmUpdate, &log), "en");
    const std::vector<std::wstring> expected{L"setup:de", L"reg:ru" + std::wstring(48, L'x'),
                                             L"local:xx", L"default:en"};
    EXPECT_EQ(log.lines, expected);
}

TEST_F(LauncherLanguagesTest, NothingToChooseFrom) {
    EXPECT_FALSE(languages_.SelectStartupLanguage(L"en", kRegPath, rmUpdate, nullptr));
    EXPECT_TRUE(languages_.CurrentCode().empty());
    ASSERT_TRUE(Load());
    EXPECT_FALSE(languages_.SelectCode("xx"));
    EXPECT_TRUE(languages_.SelectCode("ru"));
    EXPECT_EQ(languages_.GetString(2), L"ru:2");
}

} // namespace
