#pragma once
// Multipliers of the carry-less multiplication forms of the CRC-32, derived
// at compile time from the generator polynomial P. Constants only, shared by
// every folding form; safe on any thread.
//
// Bit order. The CRC is reflected: in a 128-bit block loaded from memory,
// bit i holds the coefficient of x^(127 - i), so the first byte carries the
// highest powers. A multiplier is a polynomial of degree <= 32 stored
// "reflected 33": the coefficient of x^t sits at bit 32 - t. The carry-less
// product of a reflected 64-bit half and such a multiplier then lands in a
// 128-bit register as the true product times x^32, which the exponents below
// account for.

#include <cstdint>

namespace base::detail::fold {

// P with its x^32 term, in normal bit order (bit t holds the x^t coefficient).
inline constexpr std::uint64_t kPoly = 0x104C11DB7ull;

// x^n mod P in normal bit order.
constexpr std::uint32_t XPowModP(unsigned n) {
    std::uint32_t remainder = 1;
    for (unsigned i = 0; i < n; ++i)
        remainder = (remainder & 0x80000000u) ? (remainder << 1) ^ static_cast<std::uint32_t>(kPoly)
                                              : remainder << 1;
    return remainder;
}

// floor(x^64 / P), the quotient Barrett's reduction multiplies by.
constexpr std::uint64_t BarrettQuotient() {
    std::uint64_t remainder = 0;
    std::uint64_t quotient = 0;
    for (int power = 64; power >= 0; --power) {
        remainder = (remainder << 1) | (power == 64 ? 1 : 0);
        quotient <<= 1;
        if (remainder >> 32) {
            remainder ^= kPoly;
            quotient |= 1;
        }
    }
    return quotient;
}

// A polynomial of degree <= 32 in the reflected-33 layout.
constexpr std::uint64_t Reflect33(std::uint64_t value) {
    std::uint64_t reflected = 0;
    for (int bit = 0; bit <= 32; ++bit)
        if ((value >> bit) & 1)
            reflected |= std::uint64_t{1} << (32 - bit);
    return reflected;
}

// The two multipliers that carry a 128-bit block `bits` further along the
// message: the block's first (high-power) half times x^(bits + 64) and its
// second half times x^bits, each with the layout's x^32 taken out. Constant
// data, shared by any thread.
struct FoldPair {
    std::uint64_t first;  // for the low 64 bits of the register
    std::uint64_t second; // for the high 64 bits
};

constexpr FoldPair FoldBy(unsigned bits) {
    return {Reflect33(XPowModP(bits + 32)), Reflect33(XPowModP(bits - 32))};
}

// The final reduction of a 128-bit block X to the register X * x^32 mod P:
// 128 -> 96 bits with x^96, 96 -> 64 bits with x^64, then Barrett.
inline constexpr std::uint64_t kX96 = Reflect33(XPowModP(96));
inline constexpr std::uint64_t kX64 = Reflect33(XPowModP(64));
inline constexpr std::uint64_t kMu = Reflect33(BarrettQuotient());
inline constexpr std::uint64_t kPolyReflected = Reflect33(kPoly);

// The reflected polynomial is the table form's 0xEDB88320 plus the x^32 term.
static_assert(kPolyReflected == ((std::uint64_t{0xEDB88320u} << 1) | 1));
// The quotient has degree 32, so its reflected form is odd.
static_assert((kMu & 1) == 1 && kMu < (std::uint64_t{1} << 33));

} // namespace base::detail::fold
