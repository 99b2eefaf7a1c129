#pragma once
// The records that window messages travel in between launcher processes.
// Private to the POSIX backend.
//
// A request is a 48-byte header (magic "LWM1", kind, window, message,
// wParam, lParam, copy-data number, payload size; little-endian) and its
// payload; a reply a 20-byte header (magic "LWR1", status, result, payload
// size) and its payload. Only numbers and copied bytes travel.

#include "platform/Window.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat::posix {

enum class WireKind : std::uint32_t {
    Post = 1,     // queue a message; the reply says whether the window exists
    Send = 2,     // run the handler; the reply carries its result
    CopyData = 3, // WM_COPYDATA: the payload is the copied bytes
    Query = 4,    // class and title of one window (one-entry window list)
    List = 5,     // top-level windows of a class (payload: UTF-8 class name)
};

struct WireRequest {
    WireKind kind = WireKind::Post;
    HWND window = 0;
    std::uint32_t message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::uint64_t number = 0; // the copy-data number
    std::string payload;
};

struct WireReply {
    std::uint32_t status = 0; // 0, or the Windows error number of the failure
    LRESULT result = 0;
    std::string payload;
};

struct WireWindow {
    HWND window = 0;
    std::string className; // UTF-8
    std::string title;     // UTF-8
};

inline constexpr std::size_t kRequestHeaderSize = 48;
inline constexpr std::size_t kReplyHeaderSize = 20;
// Larger payloads are refused rather than buffered.
inline constexpr std::uint32_t kMaxWirePayload = 64u << 20;

std::string EncodeRequest(const WireRequest& request);
// Fills everything but the payload; false when the header is not a request
// or announces a payload over the limit.
bool DecodeRequestHeader(std::string_view header, WireRequest* request, std::uint32_t* payloadSize);

std::string EncodeReply(const WireReply& reply);
bool DecodeReplyHeader(std::string_view header, WireReply* reply, std::uint32_t* payloadSize);

std::string EncodeWindowList(const std::vector<WireWindow>& windows);
// False when the bytes are not a complete, well-formed list.
bool DecodeWindowList(std::string_view bytes, std::vector<WireWindow>* windows);

} // namespace plat::posix
