// Fuzz target: the manifest reader over arbitrary bytes, then both walks of a run over it.
#include <stdio.h>
#include <unistd.h>

#include "package/manifest.h"

static void Walk(void) {
    char directory[kLineSize];
    RewindManifest();
    // A run gives up at the first line that does not fit; the walk ends at the end marker
    // or, where there is none, once the reader keeps yielding the empty line at the end.
    for (int lines = 0; lines < 2048; ++lines) {
        if (!ReadManifestLine() || AtManifestEndMarker())
            return;
        EntryDirectory(manifestLine, directory);
        if (manifestLine[0] == '\0' && ManifestAtEnd())
            return;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    static char path[64];
    if (path[0] == '\0')
        snprintf(path, sizeof path, "/dev/shm/sxe-fuzz-manifest-%d", (int)getpid());
    FILE* f = fopen(path, "wb");
    if (f == NULL)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    if (LoadManifest(path)) {
        Walk(); // extraction
        Walk(); // clean-up
    }
    return 0;
}
