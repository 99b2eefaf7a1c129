#include "support/ScopedEnv.h"

#include <cstdlib>

namespace testsupport {

namespace {

void Put(const std::string& name, const char* value) {
    if (value)
        ::setenv(name.c_str(), value, 1);
    else
        ::unsetenv(name.c_str());
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
