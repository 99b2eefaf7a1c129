// SHA-256 and Ed25519 as releases are signed and checked with them: known
// answers, streams cut anywhere, and every kind of mismatch refused.

#include "config/Ed25519.h"
#include "config/Sha256.h"
#include "platform/File.h"
#include "support/TempDir.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

namespace {

using config::Ed25519PrivateKey;
using config::Ed25519PublicKey;
using config::Ed25519Signature;

template <std::size_t N> std::array<std::uint8_t, N> Hex(const char* text) {
    std::array<std::uint8_t, N> bytes{};
    EXPECT_TRUE(config::FromHex(text, &bytes)) << text;
    return bytes;
}

TEST(Sha256, KnownAnswersAndStreamsCutAnywhere) {
    EXPECT_EQ(config::ToHex(config::Sha256Of("")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(config::ToHex(config::Sha256Of("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string bytes = testsupport::NoiseBytes(100000, 7);
    const config::Sha256Digest whole = config::Sha256Of(bytes);
    config::CSha256 stream;
    for (std::size_t at = 0, step = 1; at < bytes.size(); at += step, step = step * 3 + 1)
        stream.Update(bytes.data() + at, std::min(step, bytes.size() - at));
    EXPECT_EQ(stream.Finish(), whole);
    // Finishing starts the stream again.
    stream.Update("abc", 3);
    EXPECT_EQ(stream.Finish(), config::Sha256Of("abc"));

    testsupport::TempDir dir;
    ASSERT_TRUE(plat::WriteWholeFile(dir.File(L"f.bin"), bytes.data(), bytes.size()));
    config::Sha256Digest ofFile{};
    ASSERT_TRUE(config::Sha256OfFile(dir.File(L"f.bin"), &ofFile));
    EXPECT_EQ(ofFile, whole);
    EXPECT_FALSE(config::Sha256OfFile(dir.File(L"missing.bin"), &ofFile));
}

TEST(Sha256, HexTextsOfTheWrongLengthOrWithOtherCharactersAreRefused) {
    std::array<std::uint8_t, 2> bytes{9, 9};
    EXPECT_TRUE(config::FromHex("aB0f", &bytes));
    EXPECT_EQ(bytes[0], 0xab);
    EXPECT_EQ(bytes[1], 0x0f);
    for (const char* bad : {"", "abc", "abcde", "ab0g", " ab0", "ab0f\n"}) {
        bytes = {9, 9};
        EXPECT_FALSE(config::FromHex(bad, &bytes)) << bad;
        EXPECT_EQ(bytes[0], 9) << bad; // nothing written
    }
}

// The test vectors of the Ed25519 definition (RFC 8032, tests 1 and 2).
TEST(Ed25519, PublishedTestVectors) {
    struct Vector {
        const char* secret;
        const char* publicKey;
        std::string message;
        const char* signature;
    };
    const Vector vectors[] = {
        {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
         "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
         "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e3970"
         "1cf9b46bd25bf5f0595bbe24655141438e7a100b"},
        {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
         "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "\x72",
         "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613"
         "d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
    };
    for (const Vector& v : vectors) {
        const auto secret = Hex<32>(v.secret);
        Ed25519PublicKey publicKey{};
        ASSERT_TRUE(config::Ed25519PublicOf(secret, &publicKey));
        EXPECT_EQ(config::ToHex(publicKey), v.publicKey);
        Ed25519Signature signature{};
        ASSERT_TRUE(config::SignEd25519(secret, v.message, &signature));
        EXPECT_EQ(config::ToHex(signature), v.signature);
        EXPECT_TRUE(config::VerifyEd25519(publicKey, v.message, signature));
    }
}

TEST(Ed25519, AnyChangeToTheBytesTheSignatureOrTheKeyIsRefused) {
    Ed25519PrivateKey secret{};
    Ed25519PublicKey publicKey{};
    ASSERT_TRUE(config::GenerateEd25519(&secret, &publicKey));
    const std::string message = "<update clientVersion=\"1.0.2\" seq=\"7\"/>";
    Ed25519Signature signature{};
    ASSERT_TRUE(config::SignEd25519(secret, message, &signature));
    ASSERT_TRUE(config::VerifyEd25519(publicKey, message, signature));

    for (std::size_t at = 0; at < message.size(); ++at) {
        std::string flipped = message;
        flipped[at] = static_cast<char>(flipped[at] ^ 1);
        EXPECT_FALSE(config::VerifyEd25519(publicKey, flipped, signature)) << at;
    }
    EXPECT_FALSE(config::VerifyEd25519(publicKey, message + " ", signature));
    EXPECT_FALSE(config::VerifyEd25519(publicKey, message.substr(1), signature));
    for (std::size_t at = 0; at < signature.size(); at += 7) {
        Ed25519Signature damaged = signature;
        damaged[at] ^= 0x40;
        EXPECT_FALSE(config::VerifyEd25519(publicKey, message, damaged)) << at;
    }
    Ed25519PrivateKey otherSecret{};
    Ed25519PublicKey otherKey{};
    ASSERT_TRUE(config::GenerateEd25519(&otherSecret, &otherKey));
    EXPECT_NE(otherKey, publicKey);
    EXPECT_FALSE(config::VerifyEd25519(otherKey, message, signature));
    // A key that is no point of the curve verifies nothing.
    Ed25519PublicKey garbage{};
    garbage.fill(0xff);
    EXPECT_FALSE(config::VerifyEd25519(garbage, message, signature));
}

TEST(Ed25519, KeyFilesRoundTripAndOtherTextsAreRefused) {
    Ed25519PrivateKey secret{};
    Ed25519PublicKey publicKey{};
    ASSERT_TRUE(config::GenerateEd25519(&secret, &publicKey));
    const std::string text = config::PrivateKeyFileText(secret);
    Ed25519PrivateKey read{};
    ASSERT_TRUE(config::ParsePrivateKeyFile(text, &read));
    EXPECT_EQ(read, secret);
    std::string crlf = text;
    crlf.insert(crlf.size() - 1, "\r");
    EXPECT_TRUE(config::ParsePrivateKeyFile(crlf, &read));
    EXPECT_TRUE(config::ParsePrivateKeyFile(text.substr(0, text.size() - 1), &read));
    for (const std::string& bad :
         {std::string(), text.substr(1), text + "\n", "ed25519-public-key " + text.substr(20),
          text.substr(0, text.size() - 2) + "\n", " " + text}) {
        EXPECT_FALSE(config::ParsePrivateKeyFile(bad, &read)) << bad;
    }
}

} // namespace
