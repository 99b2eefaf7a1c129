#pragma once
// Starting a copy of the launcher with administrator rights, and the user an
// elevated copy works for.
//
// A process that is already an administrator (effective user root) starts the
// copy directly; any other goes through pkexec, which asks for an
// administrator's password. pkexec clears the environment and tells the copy
// the invoking user in PKEXEC_UID: such a copy "acts for" that user, finds
// that user's runtime folder (and so the pipe and the named objects of the
// launcher that started it) and does its file work in that user's folders
// with that user's rights only.
//
// The test switch LAUNCHER_TEST_ELEVATION=1 turns an elevated start into a
// plain start whose copy counts as elevated. It is honoured only while the
// machine-wide places are moved (LAUNCHER_REGISTRY_HKLM,
// LAUNCHER_REGISTRY_HKCU and LAUNCHER_COMMON_DATA_DIR set), so that a stray
// variable never makes a real run believe it has rights it lacks.
//
// Every function may be called from any thread.

#include "platform/Process.h"

#include <cstdint>
#include <string>

namespace plat {

// The test switch is set and honoured.
bool IsTestElevation();

// Starts the program of `info` elevated and blocks until the copy runs or
// the start has failed. The user's refusal, or no way to ask for rights, is
// last error 1223 (cancelled).
bool StartElevated(const ProcessStartInfo& info, Process* process);

// The user this process works for: the invoking user for a copy started
// through pkexec, otherwise the process's own effective user.
std::uint32_t InvokingUserId();
// This process runs as root for another (invoking) user.
bool ActsForOtherUser();
// The invoking user's account name (the stand-in for DOMAIN\user); empty
// when it cannot be told.
std::wstring GetUserAccountName();

// While it lives, the calling thread's file work (opening, creating,
// deleting, connecting to sockets) runs with the invoking user's rights, so
// that an elevated copy can never be led by a link in that user's folders to
// a place the user could not reach. Does nothing unless the process acts for
// another user. Lives on one thread.
class InvokingUserFiles {
public:
    InvokingUserFiles();
    ~InvokingUserFiles();
    InvokingUserFiles(const InvokingUserFiles&) = delete;
    InvokingUserFiles& operator=(const InvokingUserFiles&) = delete;

private:
    bool switched_ = false;
    std::uint32_t previousUid_ = 0;
    std::uint32_t previousGid_ = 0;
};

} // namespace plat
