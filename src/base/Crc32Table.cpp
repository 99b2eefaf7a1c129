// The portable form of the CRC-32 register update: slicing-by-8, eight
// lookups per eight bytes, with the byte-at-a-time table for the rest.

#include "base/Crc32Impl.h"

#include <array>

namespace base::detail {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

using Table = std::array<std::uint32_t, 256>;

// tables[0] is the classic byte table; tables[k][i] is the register after
// byte i followed by k zero bytes, so eight bytes combine in one step.
constexpr std::array<Table, 8> MakeTables() {
    std::array<Table, 8> tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ kPolynomial : value >> 1;
        tables[0][i] = value;
    }
    for (std::size_t k = 1; k < tables.size(); ++k)
        for (std::size_t i = 0; i < 256; ++i)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    return tables;
}

constexpr std::array<Table, 8> kTables = MakeTables();

// Little-endian whatever the host order; compilers turn this into one load.
std::uint32_t LoadLittle32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

} // namespace

std::uint32_t Crc32RegisterTable(std::uint32_t reg, const void* data, std::size_t size) {
    auto p = static_cast<const std::uint8_t*>(data);
    for (; size >= 8; p += 8, size -= 8) {
        std::uint32_t low = LoadLittle32(p) ^ reg;
        std::uint32_t high = LoadLittle32(p + 4);
        reg = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^
              kTables[5][(low >> 16) & 0xFF] ^ kTables[4][low >> 24] ^ kTables[3][high & 0xFF] ^
              kTables[2][(high >> 8) & 0xFF] ^ kTables[1][(high >> 16) & 0xFF] ^
              kTables[0][high >> 24];
    }
    for (; size > 0; ++p, --size)
        reg = kTables[0][(reg ^ *p) & 0xFF] ^ (reg >> 8);
    return reg;
}

} // namespace base::detail
