#pragma once
// COM for the calling thread while an object of this class lives: started
// when the thread had none, and ended again by the object that started
// it. A thread that runs COM already (in any apartment) is left as it is.
// Lives on the thread that creates it.

#include "platform/win32/Handle.h"

#include <objbase.h>

namespace plat::win {

class ComThread {
public:
    ComThread() {
        HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        // S_FALSE: already started on this thread; still counted.
        started_ = result == S_OK || result == S_FALSE;
    }
    ~ComThread() {
        if (started_)
            ::CoUninitialize();
    }
    ComThread(const ComThread&) = delete;
    ComThread& operator=(const ComThread&) = delete;

private:
    bool started_ = false;
};

} // namespace plat::win
