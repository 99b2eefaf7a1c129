#pragma once
// A read stream over its own copy of a block of memory; the RAR decoder reads
// the resource archive through it. Used by one thread at a time.

#include "base/ISimpleReadStream.h"

#include <cstddef>
#include <string>

namespace config {

class CSimpleMemReadStream final : public ISimpleReadStream {
public:
    CSimpleMemReadStream(const void* data, std::size_t size);
    ~CSimpleMemReadStream() override;

    bool Seek(std::int64_t offset, int origin) override;
    bool Read(void* buffer, std::int64_t length) override;
    std::int64_t Tell() const override { return position_; }
    void Close() override;

    std::int64_t Size() const { return static_cast<std::int64_t>(bytes_.size()); }

private:
    std::string bytes_;
    std::int64_t position_ = 0;
};

} // namespace config
