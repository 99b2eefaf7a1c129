#include "base/Crc32.h"

#include <array>

namespace base {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ kPolynomial : value >> 1;
        table[i] = value;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

} // namespace

std::uint32_t Crc32Register(std::uint32_t reg, const void* data, std::size_t size) {
    auto bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i)
        reg = kTable[(reg ^ bytes[i]) & 0xFF] ^ (reg >> 8);
    return reg;
}

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t previous) {
    return ~Crc32Register(~previous, data, size);
}

} // namespace base
