// Theme fonts: written into a private folder of the run, plain names only,
// registered for this process, and gone with their folder at shut-down.

#include "skin/ThemeFonts.h"

#include "log/LogImplW.h"
#include "platform/Font.h"
#include "platform/Unicode.h"
#include "support/HermeticFonts.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class MapSource : public config::IMemberSource {
public:
    std::map<std::string, std::string> members;
    bool GetMember(const std::string& name, std::string* bytes) const override {
        auto found = members.find(name);
        if (found == members.end())
            return false;
        *bytes = found->second;
        return true;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& [name, bytes] : members)
            names.push_back(name);
        return names;
    }
};

class ThemeFontsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::UseHermeticFonts())
            GTEST_SKIP() << "Liberation fonts are not installed";
        serif_ = std::string(testsupport::kDejaVuFolder) + "/DejaVuSerif.ttf";
        if (!fs::exists(serif_))
            GTEST_SKIP() << "DejaVu fonts are not installed";
        std::ifstream in(serif_, std::ios::binary);
        fontBytes_.assign(std::istreambuf_iterator<char>(in), {});
        fs::create_directories(dir_.NarrowPath() + "temp");
        fs::permissions(dir_.NarrowPath() + "temp", fs::perms::owner_all);
        ASSERT_TRUE(log_.Open(dir_.File(L"launcher.log")));
        log_.SetUtf8(true);
    }

    std::string LogText() {
        log_.Close();
        return testsupport::ReadTestFile(dir_.File(L"launcher.log"));
    }

    testsupport::TempDir dir_;
    testsupport::ScopedEnv temp_{"LAUNCHER_TEMP_DIR", dir_.NarrowPath() + "temp"};
    CLogImplW log_;
    std::string serif_;
    std::string fontBytes_;
};

TEST_F(ThemeFontsTest, UnpacksIntoAPrivateFolderRegistersAndRemoves) {
    MapSource source;
    source.members["theme\\config.xml"] = "<config/>";
    source.members["theme\\fonts\\Serif.ttf"] = fontBytes_;
    source.members["theme\\Fonts\\Other.ttf"] = fontBytes_;      // prefix is case-sensitive
    source.members["other\\fonts\\Else.ttf"] = fontBytes_;       // another theme's
    source.members["theme\\fonts\\..\\escape.ttf"] = fontBytes_; // not a plain name
    source.members["theme\\fonts\\sub\\nested.ttf"] = fontBytes_;

    std::wstring folder;
    {
        CThemeFonts fonts(&log_);
        fonts.UnpackFonts(source.Names(), source, "theme\\");
        ASSERT_EQ(fonts.Files().size(), 1u);
        folder = fonts.Folder();
        ASSERT_FALSE(folder.empty());
        const std::string narrow = plat::WideToUtf8(folder);
        // Inside the launcher's own temporary folder, private to the user.
        EXPECT_EQ(narrow.rfind(dir_.NarrowPath() + "temp/FNT", 0), 0u) << narrow;
        struct stat info {};
        ASSERT_EQ(::lstat(narrow.substr(0, narrow.size() - 1).c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0700u);
        EXPECT_EQ(fonts.Files()[0], folder + L"Serif.ttf");
        EXPECT_EQ(testsupport::ReadTestFile(fonts.Files()[0]), fontBytes_);
        // Nothing else was written anywhere near.
        EXPECT_EQ(std::distance(fs::directory_iterator(narrow), fs::directory_iterator()), 1);
        EXPECT_FALSE(fs::exists(dir_.NarrowPath() + "temp/escape.ttf"));

        plat::LogFont description;
        description.faceName = L"DejaVu Serif";
        description.height = -12;
        EXPECT_NE(plat::Font::Create(description)->FamilyName(), "DejaVu Serif");
        fonts.InitFonts();
        EXPECT_EQ(plat::Font::Create(description)->FamilyName(), "DejaVu Serif");
        fonts.UninitFonts();
        EXPECT_NE(plat::Font::Create(description)->FamilyName(), "DejaVu Serif");
        EXPECT_TRUE(fonts.Files().empty());
        EXPECT_FALSE(fs::exists(plat::WideToUtf8(folder)));
    }
    const std::string text = LogText();
    EXPECT_NE(text.find("Unpack fonts to temp"), std::string::npos);
    EXPECT_NE(text.find("  theme\\fonts\\Serif.ttf to " + plat::WideToUtf8(folder) + "Serif.ttf"),
              std::string::npos);
    EXPECT_NE(text.find("  theme\\fonts\\..\\escape.ttf to (refused: not a plain file name)"),
              std::string::npos);
    EXPECT_NE(text.find("Init fonts\r\n  " + plat::WideToUtf8(folder) + "Serif.ttf .. OK"),
              std::string::npos);
    EXPECT_NE(text.find("Uninit fonts\r\n  " + plat::WideToUtf8(folder) + "Serif.ttf .. OK"),
              std::string::npos);
}

TEST_F(ThemeFontsTest, WithoutFontsNoFolderAndStillLogged) {
    MapSource source;
    source.members["theme\\config.xml"] = "<config/>";
    CThemeFonts fonts(&log_);
    fonts.UnpackFonts(source.Names(), source, "theme\\");
    fonts.InitFonts();
    fonts.UninitFonts();
    EXPECT_TRUE(fonts.Folder().empty());
    EXPECT_FALSE(fs::exists(dir_.NarrowPath() + "temp") &&
                 fs::directory_iterator(dir_.NarrowPath() + "temp") != fs::directory_iterator());
    const std::string text = LogText();
    EXPECT_NE(text.find("Unpack fonts to temp\r\nInit fonts\r\nUninit fonts\r\n"),
              std::string::npos);
}

TEST_F(ThemeFontsTest, ABrokenFontFailsItsRegistrationAndIsStillRemoved) {
    MapSource source;
    source.members["t\\fonts\\broken.ttf"] = "not a font";
    std::wstring folder;
    {
        CThemeFonts fonts(&log_);
        fonts.UnpackFonts(source.Names(), source, "t\\");
        folder = fonts.Folder();
        fonts.InitFonts();
        // The destructor cleans up when shut-down never came.
    }
    EXPECT_FALSE(fs::exists(plat::WideToUtf8(folder)));
    EXPECT_NE(LogText().find("broken.ttf .. Fail"), std::string::npos);
}

TEST(ThemeFontNameTest, OnlyPlainFileNames) {
    EXPECT_TRUE(CThemeFonts::IsPlainFileName("Roboto-Bold.ttf"));
    EXPECT_TRUE(CThemeFonts::IsPlainFileName("\xd0\xa8\xd1\x80\xd0\xb8\xd1\x84\xd1\x82.otf"));
    for (const char* bad : {"", ".", "..", "a\\b.ttf", "a/b.ttf", "c:x.ttf", "tab\there.ttf"})
        EXPECT_FALSE(CThemeFonts::IsPlainFileName(bad)) << bad;
    EXPECT_FALSE(CThemeFonts::IsPlainFileName(std::string(256, 'a')));
}

} // namespace
