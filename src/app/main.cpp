#include "app/EntryPoint.h"

#include "config/ArchiveHelperRar.h"
#include "platform/ImageLock.h"
#include "platform/Process.h"
#include "platform/Termination.h"

int main(int argc, char** argv) {
    // Before any other thread starts: archive member names need a UTF-8 locale.
    config::InitArchiveLocale();
    plat::InitProcessCommandLine(argc, argv);
    // While this launcher runs, its file can be neither deleted nor replaced.
    plat::HoldRunningImage();
    plat::WatchTerminationRequests();
    return app::LauncherMain(plat::GetCommandLine());
}
