#pragma once
// Sets or removes one environment variable for the length of a test and puts
// the previous value back. Used on the test's main thread only, while no
// other thread reads the environment.

#include <optional>
#include <string>

namespace testsupport {

class ScopedEnv {
public:
    // A null value removes the variable.
    ScopedEnv(const char* name, const char* value);
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

} // namespace testsupport
