#pragma once
// Names that archives store without a Unicode mark are in the DOS code page
// 437 (the original IBM PC character set), as the ZIP format defines it and
// as RAR writes them. The launcher reads every such name this one way, on
// every platform, so that a package installs the same file names wherever it
// is unpacked. Pure function, any thread.

#include <string>
#include <string_view>

namespace base {

// The UTF-8 form of a code page 437 text: bytes below 0x80 stay as they are.
std::string Cp437ToUtf8(std::string_view text);

} // namespace base
