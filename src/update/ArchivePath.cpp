#include "update/ArchivePath.h"

namespace update {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// A segment Windows would trim to nothing, to "." or to "..".
bool IsDotSegment(const std::string& name, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
        if (name[i] != '.' && name[i] != ' ')
            return false;
    return true;
}

} // namespace

bool IsSafeArchivePath(const std::string& name) {
    if (name.empty() || IsSeparator(name[0]))
        return false;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == ':')
            return false;
    }
    std::size_t end = name.size();
    if (IsSeparator(name[end - 1]))
        --end; // a folder entry
    std::size_t begin = 0;
    while (begin <= end) {
        std::size_t stop = begin;
        while (stop < end && !IsSeparator(name[stop]))
            ++stop;
        if (stop == begin || IsDotSegment(name, begin, stop))
            return false;
        begin = stop + 1;
    }
    return true;
}

} // namespace update
