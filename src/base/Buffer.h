#pragma once
// A growable byte buffer for bodies, keys and status copies. Not shared
// between threads; it changes owner with the message that carries it.
//
// The bytes live in one malloc block, so that growing a large buffer can move
// its pages instead of copying them, and a caller about to overwrite new
// bytes can grow it without clearing them first (ResizeForWrite): a response
// body of a gigabyte is then written once, not cleared and written.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <utility>

class CBuffer {
public:
    CBuffer() = default;
    CBuffer(const void* data, std::size_t size) { Append(data, size); }
    explicit CBuffer(std::string_view text) { Append(text.data(), text.size()); }
    CBuffer(const CBuffer& other) { Append(other.Data(), other.Size()); }
    CBuffer(CBuffer&& other) noexcept
        : bytes_(std::exchange(other.bytes_, nullptr)), size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)) {}
    CBuffer& operator=(const CBuffer& other) {
        if (this != &other) {
            size_ = 0;
            Append(other.Data(), other.Size());
        }
        return *this;
    }
    CBuffer& operator=(CBuffer&& other) noexcept {
        if (this != &other) {
            std::free(bytes_);
            bytes_ = std::exchange(other.bytes_, nullptr);
            size_ = std::exchange(other.size_, 0);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    ~CBuffer() { std::free(bytes_); }

    const std::uint8_t* Data() const { return bytes_; }
    std::uint8_t* Data() { return bytes_; }
    std::size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }

    void Append(const void* data, std::size_t size) {
        if (size == 0)
            return;
        Grow(size_ + size);
        std::memcpy(bytes_ + size_, data, size);
        size_ += size;
    }
    void Append(std::string_view text) { Append(text.data(), text.size()); }
    // New bytes are zero.
    void Resize(std::size_t size) {
        if (size > size_)
            ZeroExtend(size);
        else
            size_ = size;
    }
    // New bytes hold whatever the memory held: for a caller that writes
    // them before anything reads them.
    void ResizeForWrite(std::size_t size) {
        Grow(size);
        size_ = size;
    }
    void Reserve(std::size_t size) {
        if (size > capacity_)
            Reallocate(size);
    }
    // The same without throwing: false, with the buffer as it was, when the
    // memory cannot be had. For sizes that come from outside.
    bool TryReserve(std::size_t size) { return size <= capacity_ || TryReallocate(size); }
    bool TryResizeForWrite(std::size_t size) {
        if (size > capacity_ && !TryReallocate(std::max(size, capacity_ + capacity_ / 2)) &&
            !TryReallocate(size))
            return false;
        size_ = size;
        return true;
    }
    std::size_t Capacity() const { return capacity_; }
    void Clear() { size_ = 0; }
    // Drops the first `count` bytes.
    void Consume(std::size_t count) {
        count = std::min(count, size_);
        if (count < size_)
            std::memmove(bytes_, bytes_ + count, size_ - count);
        size_ -= count;
    }
    std::string_view View() const { return {reinterpret_cast<const char*>(bytes_), size_}; }

private:
    // Kept out of line: inlined into a caller that only ever shrinks, GCC 12
    // warns about the clearing that caller never reaches.
    [[gnu::noinline]] void ZeroExtend(std::size_t size) {
        Grow(size);
        std::memset(bytes_ + size_, 0, size - size_);
        size_ = size;
    }
    // Room for `size` bytes, growing by half at least so that appends stay cheap.
    void Grow(std::size_t size) {
        if (size > capacity_)
            Reallocate(std::max(size, capacity_ + capacity_ / 2));
    }
    void Reallocate(std::size_t capacity) {
        if (!TryReallocate(capacity))
            throw std::bad_alloc();
    }
    bool TryReallocate(std::size_t capacity) {
        void* moved = std::realloc(bytes_, capacity);
        if (moved == nullptr)
            return false;
        bytes_ = static_cast<std::uint8_t*>(moved);
        capacity_ = capacity;
        return true;
    }

    std::uint8_t* bytes_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};
