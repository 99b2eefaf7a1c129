#include "config/SimpleMemReadStream.h"

#include <algorithm>
#include <cstring>

namespace config {

CSimpleMemReadStream::CSimpleMemReadStream(const void* data, std::size_t size) {
    if (data)
        bytes_.assign(static_cast<const char*>(data), size);
}

CSimpleMemReadStream::~CSimpleMemReadStream() {
    Close();
}

bool CSimpleMemReadStream::Seek(std::int64_t offset, int origin) {
    std::int64_t base = origin == kSeekFromEnd ? Size() : origin == kSeekFromStart ? 0 : position_;
    // Both terms lie in [0, size] (or the offset is absurd), so compare
    // without forming a sum that could overflow.
    if (offset < -base || offset > Size() - base)
        return false;
    position_ = base + offset;
    return true;
}

bool CSimpleMemReadStream::Read(void* buffer, std::int64_t length) {
    if (!buffer || length <= 0 || position_ >= Size())
        return false;
    std::memset(buffer, 0, static_cast<std::size_t>(length));
    std::int64_t count = std::min(length, Size() - position_);
    std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(count));
    position_ += count;
    return true;
}

void CSimpleMemReadStream::Close() {
    std::string().swap(bytes_);
    position_ = 0;
}

} // namespace config
