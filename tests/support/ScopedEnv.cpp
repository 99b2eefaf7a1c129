#include "support/ScopedEnv.h"

#include <cstdlib>

#ifdef _WIN32
#include "platform/Unicode.h"

#include <windows.h>
#endif

namespace testsupport {

namespace {

void Put(const std::string& name, const char* value) {
#ifdef _WIN32
    // Both copies of the environment: the C library's (getenv) and the
    // process's (GetEnvironmentVariableW, what child processes inherit).
    ::_putenv_s(name.c_str(), value ? value : "");
    std::wstring wideName = plat::Utf8ToWide(name);
    ::SetEnvironmentVariableW(wideName.c_str(), value ? plat::Utf8ToWide(value).c_str() : nullptr);
#else
    if (value)
        ::setenv(name.c_str(), value, 1);
    else
        ::unsetenv(name.c_str());
#endif
}

} // namespace

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* previous = std::getenv(name))
        previous_ = previous;
    Put(name_, value);
}

ScopedEnv::~ScopedEnv() {
    Put(name_, previous_ ? previous_->c_str() : nullptr);
}

} // namespace testsupport
