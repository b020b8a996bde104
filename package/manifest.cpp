// The manifest reader (the text format is described in manifest.h).
#include "manifest.h"

#include "platform.h"

static unsigned char manifestBuffer[kManifestSize];
static uint32_t manifestCursor;
static uint32_t manifestEnd;
char manifestLine[kLineSize];

uint32_t GetFileSizeByName(const char* path) {
    SysFile file = SysOpenForRead(path);
    if (file == kNoFile)
        return 0;
    uint32_t size = SysGetFileSize(file);
    SysCloseFile(file);
    return size;
}

bool LoadManifest(const char* path) {
    uint32_t size = GetFileSizeByName(path);
    if (size > kManifestSize)
        return false;
    SysFile file = SysOpenForRead(path);
    if (file == kNoFile)
        return false;
    uint32_t got = 0;
    bool read = SysReadFile(file, manifestBuffer, size, &got);
    SysCloseFile(file);
    if (!read || got != size)
        return false;
    manifestCursor = 0;
    manifestEnd = size;
    return true;
}

void RewindManifest(void) {
    manifestCursor = 0;
}

bool ManifestAtEnd(void) {
    return manifestCursor >= manifestEnd;
}

bool ManifestAtLineEnd(void) {
    unsigned char c = manifestBuffer[manifestCursor];
    return c == '\r' || c == '\n';
}

bool ReadManifestLine(void) {
    uint32_t start = manifestCursor;
    uint32_t length = 0;
    while (!ManifestAtEnd() && !ManifestAtLineEnd()) {
        if (length == kLineSize - 1) {
            manifestCursor = start;
            manifestLine[0] = '\0';
            return false;
        }
        manifestLine[length++] = (char)manifestBuffer[manifestCursor++];
    }
    manifestLine[length] = '\0';
    if (!ManifestAtEnd() && manifestBuffer[manifestCursor] == '\r')
        ++manifestCursor;
    if (!ManifestAtEnd() && manifestBuffer[manifestCursor] == '\n')
        ++manifestCursor;
    return true;
}

bool AtManifestEndMarker(void) {
    return manifestLine[0] == 'e' && manifestLine[1] == 'n' && manifestLine[2] == 'd' &&
           manifestLine[3] == '\0';
}

void EntryDirectory(const char* entry, char* store) {
    int length = 0;
    while (length < kLineSize - 1 && entry[length] != '\0') {
        store[length] = entry[length];
        ++length;
    }
    store[length] = '\0';
    for (int k = length; k >= 0; --k) {
        char noted = store[k];
        store[k] = '\0';
        if (noted == '\\' || noted == '/')
            break;
    }
}
