#include "base/RunCommand.h"

const char* RunCommandLogName(int rc) {
    switch (rc) {
    case rcUninstall:
        return "CLogic::rcUninstall";
    case rcUninstallFrom:
        return "CLogic::rcUninstallFrom";
    default:
        return "CLogic::rcNone";
    }
}

const char* RunModeName(int mode) {
    switch (mode) {
    case rmInstall:
        return "rmInstall";
    case rmUpdate:
        return "rmUpdate";
    case rmUninstaller:
        return "rmUninstaller";
    case rmDownload:
        return "rmDownload";
    case rmSetLongName:
        return "rmSetLongName";
    default:
        return "rmUnknown";
    }
}
