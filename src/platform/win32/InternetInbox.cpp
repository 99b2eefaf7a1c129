#include "platform/win32/InternetInbox.h"

namespace plat::win {

InternetInbox::InternetInbox(HINTERNET internet)
    : internet_(internet), arrived_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    waker_ = std::thread([this] { RunWaker(); });
}

InternetInbox::~InternetInbox() {
    Shut();
}

void InternetInbox::Shut() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shut_ = true;
        window_ = 0;
    }
    changed_.notify_all();
    if (waker_.joinable() && waker_.get_id() != std::this_thread::get_id())
        waker_.join();
}

void InternetInbox::Push(const InternetEvent& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
    if (arrived_.Valid())
        ::SetEvent(arrived_.Get());
    PostPumpLocked();
}

std::deque<InternetEvent> InternetInbox::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::deque<InternetEvent> taken;
    taken.swap(events_);
    if (arrived_.Valid())
        ::ResetEvent(arrived_.Get());
    return taken;
}

bool InternetInbox::Wait(DWORD ms) {
    if (!arrived_.Valid()) {
        ::Sleep(ms);
        return false;
    }
    return ::WaitForSingleObject(arrived_.Get(), ms) == WAIT_OBJECT_0;
}

void InternetInbox::SetPumpWindow(std::uint64_t window, std::uint32_t message) {
    std::lock_guard<std::mutex> lock(mutex_);
    window_ = window;
    message_ = message;
    outstanding_ = false;
    if (!events_.empty())
        PostPumpLocked();
}

void InternetInbox::Pumped() {
    std::lock_guard<std::mutex> lock(mutex_);
    outstanding_ = false;
    if (!events_.empty())
        PostPumpLocked();
}

void InternetInbox::SetDeadline(bool any, Clock::time_point when) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hasDeadline_ = any;
        deadline_ = when;
    }
    changed_.notify_all();
}

void InternetInbox::PostPumpLocked() {
    if (window_ == 0 || outstanding_ || shut_)
        return;
    // The pump message goes through the platform's own queue, which any
    // thread may post to.
    if (plat::PostMessage(window_, message_, static_cast<WPARAM>(internet_), 0))
        outstanding_ = true;
}

void InternetInbox::RunWaker() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!shut_) {
        if (!hasDeadline_) {
            changed_.wait(lock);
            continue;
        }
        if (Clock::now() < deadline_) {
            changed_.wait_until(lock, deadline_);
            continue;
        }
        hasDeadline_ = false;
        if (arrived_.Valid())
            ::SetEvent(arrived_.Get());
        PostPumpLocked();
    }
}

void CALLBACK InternetInbox::OnStatus(::HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                      DWORD length) {
    auto* slot = reinterpret_cast<InternetSlot*>(context);
    if (slot == nullptr)
        return;
    if (status == INTERNET_STATUS_HANDLE_CLOSING) {
        // WinINet's last word on this handle: nothing writes to the slot any more.
        delete slot;
        return;
    }
    InternetEvent event;
    event.request = slot->request;
    event.generation = slot->generation;
    event.status = status;
    switch (status) {
    case INTERNET_STATUS_REQUEST_COMPLETE:
        if (info != nullptr && length >= sizeof(INTERNET_ASYNC_RESULT)) {
            const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
            event.result = static_cast<std::uint32_t>(result->dwResult);
            event.error = result->dwError;
        }
        break;
    case INTERNET_STATUS_REQUEST_SENT:
    case INTERNET_STATUS_RESPONSE_RECEIVED:
    case INTERNET_STATUS_CONNECTION_CLOSED:
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
        break;
    default:
        return; // nothing the owner acts on
    }
    slot->inbox->Push(event);
}

} // namespace plat::win
