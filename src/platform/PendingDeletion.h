#pragma once
// Deletion "at the next system start". Linux runs nothing of ours while it
// starts, so the request goes into a list of the user's
// ($XDG_STATE_HOME/launcher/pending-deletions) together with the id of the
// running boot; the next ordinary launcher start after a restart (a new boot
// id) deletes what earlier boots asked for. LAUNCHER_BOOT_ID stands in for
// the system's boot id in tests. Any thread and any process of the user;
// the list is changed under a lock and replaced by rename.

#include <string>

namespace plat {

// Adds the file (or empty folder) to the list. Paths holding a line end or a
// tab are refused (123), and so is a full list (8).
bool DeleteAtNextSystemStart(const std::wstring& path);

// Deletes every listed path that an earlier boot registered (a file or link,
// or an empty folder; never what a link points to) and drops those entries,
// deleted or not. Entries of the running boot stay. Gives the number of
// paths deleted. Does nothing in a copy acting for another user.
int WorkOffPendingDeletions();

} // namespace plat
