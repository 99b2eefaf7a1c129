#include "app/EntryPoint.h"

#include "platform/Process.h"

int main(int argc, char** argv) {
    plat::InitProcessCommandLine(argc, argv);
    return app::LauncherMain(plat::GetCommandLine());
}
