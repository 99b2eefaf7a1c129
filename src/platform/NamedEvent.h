#pragma once
// A named manual-reset event shared by the processes of the user, as
// CreateEvent makes one: it stays set until reset, and it exists while any
// process holds it open (a child that opened it keeps it after its parent
// ends). Set and Reset may be called from any thread; one thread waits at a
// time per object.

#include "platform/Error.h"

#include <string>

namespace plat {

class NamedEvent {
public:
    NamedEvent() = default;
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    // Creates the event in the given state, or opens the existing one (last
    // error 183 then, its state unchanged, as CreateEvent reports it).
    bool Create(const std::string& name, bool initiallySet);
    // Opens an event some process holds; false with 2 when none does.
    bool Open(const std::string& name);
    bool Set();
    bool Reset();
    bool IsSet() const;
    // True when the event is set or becomes set within the time-out (-1
    // waits for ever); false with 258 when it did not.
    bool Wait(int timeoutMs) const;
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

private:
    bool Attach(const std::string& name, bool mustExist, bool* existed);
    bool Write(char state);

    int fd_ = -1;
    std::string path_; // the file that stands for the event while open
};

} // namespace plat
