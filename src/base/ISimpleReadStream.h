#pragma once
// A readable, seekable byte source that decoders (the resource archive's RAR
// reader, the package unpacker) read through. One thread uses a stream at a
// time.

#include <cstdint>

class ISimpleReadStream {
public:
    virtual ~ISimpleReadStream() = default;
    // Origins of Seek.
    enum : int { kSeekFromEnd = 1, kSeekFromStart = 2, kSeekFromCurrent = 0 };

    // Moves the read position by `offset` from the origin (any value other
    // than kSeekFromEnd and kSeekFromStart counts from the current position).
    // False, and the position unchanged, for a position before the start or
    // past the end.
    virtual bool Seek(std::int64_t offset, int origin) = 0;
    // Fills `length` bytes of the buffer with zeros, copies what is left of
    // the stream up to `length` bytes into it and advances. False at the end,
    // for a null buffer or a length that is not positive.
    virtual bool Read(void* buffer, std::int64_t length) = 0;
    virtual std::int64_t Tell() const = 0;
    // Releases the bytes; every later Read fails.
    virtual void Close() = 0;
};
