#pragma once
// Forged files for integrity tests: other bytes that a CRC-32 cannot tell
// from the original. Any thread.

#include <string>

namespace testsupport {

// Bytes of the same length and CRC-32 as `bytes` (at least 33 bytes long),
// with bit 0 of some of the first 33 bytes flipped; `bytes` itself when no
// such set is found.
std::string SameCrcOtherBytes(const std::string& bytes);

} // namespace testsupport
