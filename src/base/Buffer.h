#pragma once
// A growable byte buffer for bodies, keys and status copies. Not shared
// between threads; it changes owner with the message that carries it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CBuffer {
public:
    CBuffer() = default;
    CBuffer(const void* data, std::size_t size) { Append(data, size); }
    explicit CBuffer(std::string_view text) { Append(text.data(), text.size()); }

    const std::uint8_t* Data() const { return bytes_.data(); }
    std::uint8_t* Data() { return bytes_.data(); }
    std::size_t Size() const { return bytes_.size(); }
    bool Empty() const { return bytes_.empty(); }

    void Append(const void* data, std::size_t size) {
        auto p = static_cast<const std::uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void Append(std::string_view text) { Append(text.data(), text.size()); }
    void Resize(std::size_t size) { bytes_.resize(size); }
    void Reserve(std::size_t size) { bytes_.reserve(size); }
    std::size_t Capacity() const { return bytes_.capacity(); }
    void Clear() { bytes_.clear(); }
    // Drops the first `count` bytes.
    void Consume(std::size_t count) {
        bytes_.erase(bytes_.begin(),
                     bytes_.begin() + static_cast<std::ptrdiff_t>(std::min(count, bytes_.size())));
    }
    std::string_view View() const {
        return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()};
    }

private:
    std::vector<std::uint8_t> bytes_;
};
