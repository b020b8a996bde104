// Writing files on posix systems: the calls that both the launcher and the inflate plug-in make.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "paths.h"
#include "platform.h"

SysFile SysCreateForWrite(const char* path) {
    SYS_FAULT_POINT(return kNoFile);
    char native[PATH_MAX];
    if (!NativePath(path, native))
        return kNoFile;
    int fd;
    do
        fd = open(native, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd < 0 ? kNoFile : (SysFile)fd;
}

// Writes the whole count unless the system refuses: a short count then tells the caller why.
bool SysWriteFile(SysFile file, const void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    SYS_FAULT_POINT(return false);
    const char* p = (const char*)buffer;
    uint32_t total = 0;
    while (total < count) {
        ssize_t n = write((int)file, p + total, count - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *done = total;
            return total > 0; // a short count, as a full disk reports it
        }
        total += (uint32_t)n;
    }
    *done = total;
    return true;
}

void SysCloseFile(SysFile file) {
    SYS_FAULT_POINT_VOID();
    close((int)file);
}

bool SysDeleteFile(const char* path) {
    SYS_FAULT_POINT(return false);
    char native[PATH_MAX];
    return NativePath(path, native) && unlink(native) == 0;
}
