#include "config/CudFile.h"
#include "config/Cipher.h"
#include "config/CudTool.h"
#include "platform/Unicode.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <filesystem>

using namespace config;

namespace {

constexpr const char* kXml =
    "<ClientUpdateData><Face id=\"g\"><LoginURLs><URL>http://a</URL></LoginURLs></Face>"
    "</ClientUpdateData>";

TEST(CipherTest, KeyTextRules) {
    CCipher cipher;
    EXPECT_TRUE(cipher.SetKey(kCudKey));
    EXPECT_TRUE(cipher.SetKey("00ff")); // shorter: the remaining bytes are zero
    EXPECT_FALSE(cipher.SetKey("7C3E19A0B45D2F8861E0C7A93B5D4F120")); // 33 digits
    EXPECT_FALSE(cipher.SetKey("7C3E19A0B45D2F8861E0C7A93B5D4F1G"));
    EXPECT_FALSE(cipher.SetKey("abc")); // the last digit has no partner
    EXPECT_FALSE(cipher.SetKey(""));
    EXPECT_FALSE(cipher.SetKey(nullptr));
    std::string out = "kept";
    EXPECT_FALSE(cipher.Encrypt("text", &out));
    EXPECT_EQ(out, "kept");
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

// Known answers computed apart from our cipher code: the AES-128 example of
// FIPS-197 (appendix C.1; its one block, then the padding block), and a
// "CUD.dat" as `openssl enc -aes-128-ecb -K <the key> -nosalt` writes it for
// kXml (PKCS#7 padding).
TEST(CipherTest, KnownAnswers) {
    CCipher fips;
    ASSERT_TRUE(fips.SetKey("000102030405060708090A0B0C0D0E0F"));
    const std::string block("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff", 16);
    std::string sealed;
    ASSERT_TRUE(fips.Encrypt(block, &sealed));
    ASSERT_EQ(sealed.size(), 32u);
    EXPECT_EQ(Hex(sealed.substr(0, 16)), "69c4e0d86a7b0430d8cdb78070b4c55a");

    const std::string cud =
        "28c7c4013402c805435e641a9148e497d995023121b9dc2853de4cc30a19f528ba19249181c1779057dddb"
        "7f7d52d0e2428123a2af6e5e44382b6b62563221141f8972d9345cbd72fe67b6b7bba09033be158ebdd21e"
        "ab7a3efc6cf51a22532e9458eab0425ddfd6cd37bcbc4ca334cf";
    bool enciphered = false;
    std::string stored = EncodeCudText(kXml, kCudKey, true, &enciphered);
    EXPECT_TRUE(enciphered);
    EXPECT_EQ(Hex(stored), cud);
    bool deciphered = false;
    EXPECT_EQ(DecodeCudBytes(stored, kCudKey, &deciphered), kXml);
    EXPECT_TRUE(deciphered);
}

TEST(CipherTest, RoundTripPadsToWholeBlocksAndRejectsDamage) {
    CCipher cipher;
    ASSERT_TRUE(cipher.SetKey(kCudKey));
    for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 1000u}) {
        std::string plain(size, 'x'), sealed, back;
        ASSERT_TRUE(cipher.Encrypt(plain, &sealed));
        EXPECT_EQ(sealed.size(), (size / 16 + 1) * 16);
        ASSERT_TRUE(cipher.Decrypt(sealed, &back));
        EXPECT_EQ(back, plain);
        EXPECT_FALSE(cipher.Decrypt(sealed.substr(0, sealed.size() - 1), &back));
    }
    std::string back;
    EXPECT_FALSE(cipher.Decrypt("", &back));
}

TEST(CudFileTest, PlainOrEncipheredByTheOpeningOfTheRootTag) {
    EXPECT_FALSE(IsEncipheredCud("<Client")); // shorter than 8 bytes
    EXPECT_FALSE(IsEncipheredCud("<ClientUpdateData/>"));
    EXPECT_FALSE(IsEncipheredCud("<ClientUxyz")); // only eight characters are compared
    EXPECT_TRUE(IsEncipheredCud("<?xml version=\"1.0\"?>"));

    bool deciphered = true;
    // Undecipherable bytes are kept as they are.
    EXPECT_EQ(DecodeCudBytes("0123456789abcde", kCudKey, &deciphered), "0123456789abcde");
    EXPECT_FALSE(deciphered);
    const std::string sealed = EncodeCudText(kXml, kCudKey, true);
    EXPECT_EQ(DecodeCudBytes(sealed, kCudKey, &deciphered), kXml);
    EXPECT_TRUE(deciphered);
    // A one-digit change of the key never gives the document back.
    tinyxml2::XMLDocument doc;
    EXPECT_FALSE(ParseCudText(DecodeCudBytes(sealed, "7C3E19A0B45D2F8861E0C7A93B5D4F13"), &doc));
    // Without a usable key the text is stored as it is.
    bool enciphered = true;
    EXPECT_EQ(EncodeCudText(kXml, "bad", true, &enciphered), kXml);
    EXPECT_FALSE(enciphered);
}

TEST(CudFileTest, ReplacementLeavesTheOldFileWhenItCannotComplete) {
    testsupport::TempDir dir;
    const std::wstring path = dir.File(L"CUD.dat");
    testsupport::WriteTestFile(path, "good");

    // The temporary file cannot be created: the target is not touched.
    std::filesystem::create_directory(plat::WideToUtf8(ReplacementTempPath(path)));
    EXPECT_EQ(ReplaceFileContents(path, "new"), FileReplaceResult::kCannotCreate);
    EXPECT_EQ(testsupport::ReadTestFile(path), "good");
    std::filesystem::remove(plat::WideToUtf8(ReplacementTempPath(path)));

    // The rename over the target fails: the temporary file goes away.
    const std::wstring folder = dir.File(L"folder");
    std::filesystem::create_directory(plat::WideToUtf8(folder));
    EXPECT_EQ(ReplaceFileContents(folder, "new"), FileReplaceResult::kWriteFailed);
    EXPECT_FALSE(std::filesystem::exists(plat::WideToUtf8(ReplacementTempPath(folder))));

    EXPECT_EQ(ReplaceFileContents(path, "new"), FileReplaceResult::kWritten);
    EXPECT_EQ(testsupport::ReadTestFile(path), "new");
}

TEST(CudFileTest, LinksAtTheFileOrItsTemporaryNameAreReplacedNeverWrittenThrough) {
    namespace fs = std::filesystem;
    testsupport::TempDir dir, outside;
    const std::wstring victim = outside.File(L"victim.txt");
    testsupport::WriteTestFile(victim, "not the launcher's");
    const std::wstring path = dir.File(L"CUD.dat");
    fs::create_symlink(plat::WideToUtf8(victim), plat::WideToUtf8(path));
    fs::create_symlink(plat::WideToUtf8(victim), plat::WideToUtf8(ReplacementTempPath(path)));

    EXPECT_EQ(ReplaceFileContents(path, "new"), FileReplaceResult::kWritten);
    EXPECT_EQ(testsupport::ReadTestFile(victim), "not the launcher's");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(plat::WideToUtf8(path))));
    EXPECT_EQ(testsupport::ReadTestFile(path), "new");
    EXPECT_FALSE(fs::exists(fs::symlink_status(plat::WideToUtf8(ReplacementTempPath(path)))));
}

TEST(CudToolTest, EncryptAndDecryptRoundTripAndReportFailures) {
    testsupport::TempDir dir;
    const std::wstring xml = dir.File(L"in.xml"), cud = dir.File(L"CUD.dat"),
                       out = dir.File(L"out.xml");
    testsupport::WriteTestFile(xml, kXml);
    std::string error;
    ASSERT_TRUE(EncryptCudFile(kCudKey, xml, cud, &error)) << error;
    EXPECT_TRUE(IsEncipheredCud(testsupport::ReadTestFile(cud)));
    ASSERT_TRUE(DecryptCudFile(kCudKey, cud, out, &error)) << error;
    EXPECT_EQ(testsupport::ReadTestFile(out), kXml);
    // A plain file decrypts to itself.
    ASSERT_TRUE(DecryptCudFile(kCudKey, xml, out, &error)) << error;
    EXPECT_EQ(testsupport::ReadTestFile(out), kXml);

    EXPECT_FALSE(DecryptCudFile("7C3E19A0B45D2F8861E0C7A93B5D4F13", cud, out, &error));
    EXPECT_NE(error.find("decipher"), std::string::npos) << error;
    EXPECT_FALSE(DecryptCudFile("7C3E", cud, out, &error));
    EXPECT_NE(error.find("32 hexadecimal"), std::string::npos) << error;
    EXPECT_FALSE(DecryptCudFile(kCudKey, dir.File(L"missing"), out, &error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
    testsupport::WriteTestFile(xml, "<other/>");
    EXPECT_FALSE(EncryptCudFile(kCudKey, xml, cud, &error));
    EXPECT_TRUE(DecryptCudFile(kCudKey, cud, out, &error)) << "the earlier file is kept";
}

} // namespace
