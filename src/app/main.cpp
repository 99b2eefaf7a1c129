#include "app/EntryPoint.h"

#include "config/ArchiveHelperRar.h"
#include "platform/Process.h"
#include "platform/Termination.h"

int main(int argc, char** argv) {
    // Before any other thread starts: archive member names need a UTF-8 locale.
    config::InitArchiveLocale();
    plat::InitProcessCommandLine(argc, argv);
    plat::WatchTerminationRequests();
    return app::LauncherMain(plat::GetCommandLine());
}
