#pragma once
// A named mutex shared by all processes of the user. As on Windows it exists
// while any live process holds it open; a child that opened it keeps it alive
// after its parent exits. Used from the thread that opened it.

#include "platform/Error.h"

#include <string>

namespace plat {

class NamedMutex {
public:
    NamedMutex() = default;
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Opens a mutex that some process holds; false with last error 2 when
    // none does.
    bool Open(const std::string& name);
    // Creates the mutex or opens the existing one (last error 183 then, as
    // CreateMutex reports it). With initialOwner the caller owns it when it
    // was created by this call.
    bool Create(const std::string& name, bool initialOwner);
    // Gives up ownership; the mutex stays open. Fails with 288 when the
    // caller does not own it.
    bool Release();
    // Closes this holder's handle.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    bool IsOwned() const { return owned_; }

private:
    bool Attach(const std::string& name, bool mustExist, bool* existed);

    int fd_ = -1;
    bool owned_ = false;
    std::string path_; // the file that stands for the mutex while open
};

} // namespace plat
