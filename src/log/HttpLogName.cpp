#include "log/HttpLogName.h"

#include "base/Strings.h"

namespace httplog {

namespace {

bool IsForbidden(unsigned char c) {
    if (c < 31 || c >= 128)
        return true;
    switch (c) {
    case '"':
    case '/':
    case ':':
    case '<':
    case '>':
    case '\\':
    case '|':
        return true;
    default:
        return false;
    }
}

} // namespace

std::string SanitizeLogName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (IsForbidden(static_cast<unsigned char>(c)))
            c = '-';
    return out;
}

std::string MakeLogName(std::string_view contextName, int contextNumber) {
    if (contextName.empty())
        return base::Format("Httx.Context%d", contextNumber);
    return SanitizeLogName("Httx." + std::string(contextName));
}

std::string MakeLogFileName(std::uint32_t processId, std::string_view logName) {
    return base::Format("%u.", static_cast<unsigned>(processId)) + SanitizeLogName(logName) +
           ".log";
}

} // namespace httplog
