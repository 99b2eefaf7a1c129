#pragma once
// The text after the program token of this process's own command line, as
// the process that started it wrote it. Any thread.

#include <string>

namespace plat::win {

std::wstring OwnCommandLineTail();

} // namespace plat::win
