// The launcher's entry: finds the package directory, runs the package, reports a failure.
#include "entry.h"

#include "platform.h"
#include "run_package.h"

uint32_t RunLauncher(void) {
    char modulePath[kMaxPath];
    uint32_t length = SysGetModuleFileName(modulePath, kMaxPath);
    // A name that failed or did not fit gives no package directory to work in.
    if (length != 0 && length < kMaxPath) {
        SysLockPackage(modulePath);
        int cut = -1;
        for (int i = 0; modulePath[i] != '\0'; ++i)
            if (modulePath[i] == kPathSeparator)
                cut = i;
        if (cut >= 0)
            modulePath[cut + 1] = '\0';
        uint32_t exitCode = 0;
        if (RunPackage(modulePath, &exitCode))
            return exitCode;
    }
    SysShowErrorBox(kErrorText, kErrorCaption);
    return 0;
}
