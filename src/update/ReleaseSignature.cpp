#include "update/ReleaseSignature.h"

#include "config/Sha256.h"
#include "update/Manifest.h"

#include <tinyxml2.h>

#include <chrono>
#include <cstdio>

namespace update {

namespace {

using Days = std::chrono::sys_days;

bool Digits(std::string_view text, std::size_t at, std::size_t count, int* value) {
    int v = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

bool IsDigest(const char* text) {
    config::Sha256Digest digest{};
    return text != nullptr && config::FromHex(text, &digest);
}

bool ParseSequence(const char* text, std::uint64_t* sequence) {
    if (text == nullptr || *text == '\0' || std::string_view(text).size() > 19)
        return false;
    std::uint64_t v = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9')
            return false;
        v = v * 10 + static_cast<std::uint64_t>(*c - '0');
    }
    *sequence = v;
    return true;
}

} // namespace

std::string FormatUtcStamp(std::int64_t seconds) {
    const auto day = std::chrono::floor<std::chrono::days>(
        std::chrono::sys_seconds{std::chrono::seconds{seconds}});
    const std::chrono::year_month_day date{day};
    const std::int64_t inDay = seconds - std::chrono::sys_seconds{day}.time_since_epoch().count();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(inDay / 3600),
                  static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
    return text;
}

bool ParseUtcStamp(std::string_view text, std::int64_t* seconds) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z' || !Digits(text, 0, 4, &year) ||
        !Digits(text, 5, 2, &month) || !Digits(text, 8, 2, &day) || !Digits(text, 11, 2, &hour) ||
        !Digits(text, 14, 2, &minute) || !Digits(text, 17, 2, &second))
        return false;
    const std::chrono::year_month_day date{std::chrono::year{year},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59)
        return false;
    *seconds = std::chrono::sys_seconds{Days{date}}.time_since_epoch().count() + hour * 3600 +
               minute * 60 + second;
    return true;
}

std::string SignatureText(const config::Ed25519Signature& signature) {
    return config::ToHex(signature);
}

const char* ManifestTrustName(ManifestTrust trust) {
    switch (trust) {
    case ManifestTrust::Trusted:
        return "trusted";
    case ManifestTrust::Unsigned:
        return "not signed";
    case ManifestTrust::BadSignature:
        return "signature does not match";
    case ManifestTrust::Incomplete:
        return "release sequence, expiry or a SHA-256 missing";
    case ManifestTrust::Rollback:
        return "older than the release accepted before";
    case ManifestTrust::Expired:
        return "expired";
    }
    return "unknown";
}

ManifestTrust JudgeManifest(const config::Ed25519PublicKey& key, std::string_view manifestText,
                            std::string_view signatureText, std::uint64_t lastSequence,
                            std::int64_t now, ReleaseStamp* stamp) {
    if (signatureText.empty())
        return ManifestTrust::Unsigned;
    // A line end after the digits is allowed; nothing else.
    if (signatureText.ends_with('\n'))
        signatureText.remove_suffix(1);
    config::Ed25519Signature signature{};
    if (!config::FromHex(signatureText, &signature) ||
        !config::VerifyEd25519(key, manifestText, signature))
        return ManifestTrust::BadSignature;
    // Only now, with bytes the publisher signed, is the document read.
    tinyxml2::XMLDocument doc;
    if (doc.Parse(manifestText.data(), manifestText.size()) != tinyxml2::XML_SUCCESS ||
        doc.RootElement() == nullptr)
        return ManifestTrust::Incomplete;
    const tinyxml2::XMLElement* root = doc.RootElement();
    ReleaseStamp read;
    const char* expires = root->Attribute(manifest::kReleaseExpires);
    if (!ParseSequence(root->Attribute(manifest::kReleaseSequence), &read.sequence) ||
        expires == nullptr || !ParseUtcStamp(expires, &read.expires))
        return ManifestTrust::Incomplete;
    // Every package and the launcher are checked by their SHA-256 as they
    // are written: a signed manifest names each one.
    if (root->Attribute(manifest::kLauncherCrc) != nullptr &&
        !IsDigest(root->Attribute(manifest::kLauncherSha256)))
        return ManifestTrust::Incomplete;
    for (const tinyxml2::XMLElement* pack = root->FirstChildElement(manifest::kPack); pack;
         pack = pack->NextSiblingElement(manifest::kPack))
        if (!IsDigest(pack->Attribute(manifest::kSha256)))
            return ManifestTrust::Incomplete;
    if (stamp)
        *stamp = read;
    if (read.sequence < lastSequence)
        return ManifestTrust::Rollback;
    if (now > read.expires)
        return ManifestTrust::Expired;
    return ManifestTrust::Trusted;
}

} // namespace update
