// The launcher's judgement of a signed manifest: only the key's signature
// over the exact bytes, with a sequence that does not go back and an expiry
// not yet passed, makes a manifest trusted.

#include "update/ReleaseSignature.h"

#include <gtest/gtest.h>

namespace {

using update::ManifestTrust;

constexpr std::int64_t kNow = 1796000000; // 2026-11-29

class ReleaseSignatureTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(config::GenerateEd25519(&secret, &key)); }

    std::string Signed(const std::string& text) {
        config::Ed25519Signature signature{};
        EXPECT_TRUE(config::SignEd25519(secret, text, &signature));
        return update::SignatureText(signature);
    }
    static std::string Manifest(const std::string& sequence, const std::string& expires) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<update clientVersion=\"1.0.2\" "
               "releaseSequence=\"" +
               sequence + "\" releaseExpires=\"" + expires +
               "\">\n<PACK type=\"full\" file=\"base.pkg\" crc=\"1\" size=\"2\" sha256=\"" +
               std::string(64, 'a') +
               "\"/>\n"
               "</update>\n";
    }
    static std::string Replaced(std::string text, const std::string& from, const std::string& to) {
        text.replace(text.find(from), from.size(), to);
        return text;
    }
    static std::string Without(const std::string& text, const std::string& part) {
        return Replaced(text, part, "");
    }
    ManifestTrust Judge(const std::string& text, const std::string& signature,
                        std::uint64_t last = 0, update::ReleaseStamp* stamp = nullptr) {
        return update::JudgeManifest(key, text, signature, last, kNow, stamp);
    }

    config::Ed25519PrivateKey secret{};
    config::Ed25519PublicKey key{};
};

TEST_F(ReleaseSignatureTest, ASignedCurrentManifestIsTrustedWithItsStamp) {
    const std::string text = Manifest("42", update::FormatUtcStamp(kNow + 86400));
    update::ReleaseStamp stamp;
    EXPECT_EQ(Judge(text, Signed(text), 41, &stamp), ManifestTrust::Trusted);
    EXPECT_EQ(stamp.sequence, 42u);
    EXPECT_EQ(stamp.expires, kNow + 86400);
    // The same release again (every start fetches it) and a line end after
    // the signature's digits.
    EXPECT_EQ(Judge(text, Signed(text), 42), ManifestTrust::Trusted);
    EXPECT_EQ(Judge(text, Signed(text) + "\n"), ManifestTrust::Trusted);
}

TEST_F(ReleaseSignatureTest, EveryChangedByteMissingOrForeignSignatureIsRefused) {
    const std::string text = Manifest("42", update::FormatUtcStamp(kNow + 86400));
    const std::string signature = Signed(text);
    EXPECT_EQ(Judge(text, ""), ManifestTrust::Unsigned);
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::string flipped = text;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x20);
        EXPECT_EQ(Judge(flipped, signature), ManifestTrust::BadSignature) << at;
    }
    EXPECT_EQ(Judge(text + " ", signature), ManifestTrust::BadSignature);
    for (const std::string& bad : {signature.substr(1), signature + "0", "zz" + signature.substr(2),
                                   signature + "\r\n", std::string(128, '0')})
        EXPECT_EQ(Judge(text, bad), ManifestTrust::BadSignature) << bad;
    config::Ed25519PrivateKey otherSecret{};
    config::Ed25519PublicKey otherKey{};
    ASSERT_TRUE(config::GenerateEd25519(&otherSecret, &otherKey));
    EXPECT_EQ(update::JudgeManifest(otherKey, text, signature, 0, kNow, nullptr),
              ManifestTrust::BadSignature);
}

TEST_F(ReleaseSignatureTest, OlderExpiredOrIncompleteReleasesAreRefused) {
    const std::string current = Manifest("42", update::FormatUtcStamp(kNow + 60));
    EXPECT_EQ(Judge(current, Signed(current), 43), ManifestTrust::Rollback);
    const std::string expired = Manifest("42", update::FormatUtcStamp(kNow - 1));
    EXPECT_EQ(Judge(expired, Signed(expired)), ManifestTrust::Expired);
    const std::string justValid = Manifest("42", update::FormatUtcStamp(kNow));
    EXPECT_EQ(Judge(justValid, Signed(justValid)), ManifestTrust::Trusted);
    for (const std::string& text :
         {Manifest("", update::FormatUtcStamp(kNow + 60)), Manifest("-1", "2030-01-01T00:00:00Z"),
          Manifest("4x", "2030-01-01T00:00:00Z"),
          Manifest("99999999999999999999", "2030-01-01T00:00:00Z"),
          Manifest("1", "2030-02-30T00:00:00Z"), Manifest("1", "2030-01-01 00:00:00"),
          std::string("<update releaseSequence=\"1\"/>"), std::string("not xml <"),
          Without(Manifest("1", "2030-01-01T00:00:00Z"),
                  " sha256=\"" + std::string(64, 'a') + "\""),
          Replaced(Manifest("1", "2030-01-01T00:00:00Z"), std::string(64, 'a'),
                   std::string(63, 'a')),
          Replaced(Manifest("1", "2030-01-01T00:00:00Z"), "<update ",
                   "<update launcherCRC=\"5\" ")})
        EXPECT_EQ(Judge(text, Signed(text)), ManifestTrust::Incomplete) << text;
}

TEST(UtcStamp, RoundTripsAndRefusesOtherForms) {
    for (std::int64_t seconds : {0LL, 951782400LL /* 2000-02-29 */, 1796000000LL, 4102444799LL}) {
        std::int64_t back = -1;
        ASSERT_TRUE(update::ParseUtcStamp(update::FormatUtcStamp(seconds), &back)) << seconds;
        EXPECT_EQ(back, seconds);
    }
    EXPECT_EQ(update::FormatUtcStamp(951782400 + 3600 * 23 + 60 * 59 + 59), "2000-02-29T23:59:59Z");
    std::int64_t value = 0;
    for (const char* bad : {"", "2026-13-01T00:00:00Z", "2026-02-29T00:00:00Z",
                            "2026-01-01T24:00:00Z", "2026-01-01T00:60:00Z", "2026-01-01T00:00:00",
                            "2026-1-01T00:00:00Z", "2026-01-01T00:00:00Z ", "+026-01-01T00:00:00Z"})
        EXPECT_FALSE(update::ParseUtcStamp(bad, &value)) << bad;
}

} // namespace
