#pragma once
// The kernel name of a named mutex or event. Any thread.

#include <string>

namespace plat::win {

// The name as the system takes it: UTF-8 turned into UTF-16. A "Global\"
// or "Local\" prefix keeps its meaning (the machine's or the session's
// namespace); any other backslash would name a namespace that does not
// exist, so it becomes an underscore. A name longer than the system takes
// is shortened to its start and a hash of the whole.
std::wstring KernelObjectName(const std::string& name);

} // namespace plat::win
