#pragma once
// Signed releases: what a publisher's signature adds to a manifest (the
// SHA-256 of every package and of the launcher, a release sequence number
// that only grows, an expiry time, all in attributes a reader without a key
// ignores), the detached signature that travels beside "update.xml" in the
// packed manifest, and the launcher's judgement of a manifest against the
// distribution's public key. Pure functions; any thread.

#include "config/Ed25519.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace update {

namespace manifest {
inline constexpr char kSha256[] = "sha256";                   // on PACK
inline constexpr char kLauncherSha256[] = "launcherSha256";   // on the root
inline constexpr char kReleaseSequence[] = "releaseSequence"; // on the root
inline constexpr char kReleaseExpires[] = "releaseExpires";   // on the root
} // namespace manifest

// The signature's entry in the packed manifest: the manifest's entry name
// with this suffix ("update.xml.sig"), holding 128 hexadecimal digits.
inline constexpr char kSignatureSuffix[] = ".sig";

// "YYYY-MM-DDTHH:MM:SSZ" for seconds since 1970 (UTC), and back; parsing
// takes exactly that form with a valid date and time.
std::string FormatUtcStamp(std::int64_t seconds);
bool ParseUtcStamp(std::string_view text, std::int64_t* seconds);

// The signature entry's text.
std::string SignatureText(const config::Ed25519Signature& signature);

enum class ManifestTrust {
    Trusted,
    Unsigned,     // no signature came with it
    BadSignature, // not made by the key over these bytes
    Incomplete,   // signed, but a sequence number, the expiry or a SHA-256 is missing
    Rollback,     // a sequence number below the last one accepted
    Expired,      // past its expiry
};
const char* ManifestTrustName(ManifestTrust trust);

struct ReleaseStamp {
    std::uint64_t sequence = 0;
    std::int64_t expires = 0; // seconds since 1970, UTC
};

// Judges the exact bytes of a manifest and the text of its signature entry
// (empty when there was none) against the key, the last sequence number
// accepted (0 when none) and the current time. `stamp` gets the manifest's
// sequence and expiry when the signature holds.
ManifestTrust JudgeManifest(const config::Ed25519PublicKey& key, std::string_view manifestText,
                            std::string_view signatureText, std::uint64_t lastSequence,
                            std::int64_t now, ReleaseStamp* stamp);

} // namespace update
