// The clean-up after the packaged program has ended: what the run extracted goes again.
#include "package/manifest.h"
#include "run_package.h"
#include "text.h"

enum { kManifestDeleteAttempts = 100, kManifestRetryPause = 100 };

void CleanUpAfterRun(const char* directory, const char* manifestFile, uint32_t entryCount) {
    // The program may have left a process behind that still holds the manifest file.
    for (int attempt = 0; attempt < kManifestDeleteAttempts; ++attempt) {
        if (SysDeleteFile(manifestFile))
            break;
        SysSleep(kManifestRetryPause);
    }

    // The entries come from memory, in manifest order; a directory goes with the last entry in
    // it, when nothing else is left there.
    char path[kMaxPath];
    char entryDirectory[kLineSize];
    RewindManifest();
    for (uint32_t k = 0; k < entryCount && ReadManifestLine(); ++k) {
        if (JoinText(path, sizeof path, directory, manifestLine))
            SysDeleteFile(path);
        EntryDirectory(manifestLine, entryDirectory);
        if (entryDirectory[0] != '\0' && JoinText(path, sizeof path, directory, entryDirectory))
            SysRemoveDirectory(path);
    }
}
