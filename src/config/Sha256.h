#pragma once
// SHA-256 over bytes that arrive in pieces (a package as it is written, a
// file as it is read), on OpenSSL's digest. One object per stream, used by
// one thread at a time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace config {

using Sha256Digest = std::array<std::uint8_t, 32>;

class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    // Starts a new stream (a new object starts one too).
    void Reset();
    void Update(const void* data, std::size_t size);
    // The digest of everything since the start; the stream starts again.
    Sha256Digest Finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

Sha256Digest Sha256Of(std::string_view bytes);
// The digest of a whole file; false when it cannot be read to its end.
bool Sha256OfFile(const std::wstring& path, Sha256Digest* digest);

// Lower-case hexadecimal, two digits a byte.
std::string ToHex(const std::uint8_t* bytes, std::size_t size);
template <std::size_t N> std::string ToHex(const std::array<std::uint8_t, N>& bytes) {
    return ToHex(bytes.data(), N);
}
// Exactly 2 * N hexadecimal digits of either case; false for anything else.
bool FromHex(std::string_view text, std::uint8_t* bytes, std::size_t size);
template <std::size_t N> bool FromHex(std::string_view text, std::array<std::uint8_t, N>* bytes) {
    return FromHex(text, bytes->data(), N);
}

} // namespace config
