#pragma once
// Typed hand-over of objects between threads through window messages. A
// message that carries an object is declared once, by the layer that posts
// it, as OwnedMessage<number, type>; PostOwned moves the object into the
// message and TakeOwned takes it back out on the window's thread, both
// checked against that one declaration. The queue knows how to free what a
// message carries: a message dropped unread (its window destroyed, its
// thread ended) frees its object, and a loop that drops a message it took
// instead of dispatching it calls plat::DiscardMessage. A message that only
// names an object its poster keeps (a client naming itself) carries it with
// BorrowedParam and Borrowed. Any thread posts; the window's thread takes.

#include "platform/Window.h"

#include <cstdint>
#include <memory>

namespace base {

template <std::uint32_t Number, typename Payload> struct OwnedMessage {
    static constexpr std::uint32_t kNumber = Number;
    using Type = Payload;
};

namespace detail {

template <typename T> void DeleteOwned(plat::WPARAM, plat::LPARAM lParam) {
    delete reinterpret_cast<T*>(lParam);
}

} // namespace detail

// Posts the message with the object in lParam. False when it could not be
// posted (no such window, or one of another process); the object is then
// destroyed here.
template <typename Message>
bool PostOwned(plat::HWND window, plat::WPARAM wParam,
               std::unique_ptr<typename Message::Type> object) {
    using T = typename Message::Type;
    const auto lParam = reinterpret_cast<plat::LPARAM>(object.get());
    if (!plat::PostOwnedMessage(window, Message::kNumber, wParam, lParam, &detail::DeleteOwned<T>))
        return false;
    object.release();
    return true;
}

// The object a message of this kind carries in lParam; null for 0.
template <typename Message> std::unique_ptr<typename Message::Type> TakeOwned(plat::LPARAM lParam) {
    return std::unique_ptr<typename Message::Type>(
        reinterpret_cast<typename Message::Type*>(lParam));
}

// A pointer a message only names: the poster keeps the object alive until
// the message is handled.
template <typename T> plat::WPARAM BorrowedParam(T* object) {
    return reinterpret_cast<plat::WPARAM>(object);
}
template <typename T> T* Borrowed(plat::WPARAM param) {
    return reinterpret_cast<T*>(param);
}

} // namespace base
