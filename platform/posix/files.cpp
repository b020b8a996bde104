// Reading files, temporary names and directories on posix systems.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "paths.h"
#include "platform.h"

SysFile SysOpenForRead(const char* path) {
    SYS_FAULT_POINT(return kNoFile);
    char native[PATH_MAX];
    if (!NativePath(path, native))
        return kNoFile;
    int fd;
    do
        fd = open(native, O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd < 0 ? kNoFile : (SysFile)fd;
}

bool SysReadFile(SysFile file, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    SYS_FAULT_POINT(return false);
    char* p = (char*)buffer;
    uint32_t total = 0;
    while (total < count) {
        ssize_t n = read((int)file, p + total, count - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *done = total;
            return false;
        }
        if (n == 0)
            break;
        total += (uint32_t)n;
    }
    *done = total;
    return true;
}

uint32_t SysGetFileSize(SysFile file) {
    SYS_FAULT_POINT(return 0);
    struct stat st;
    if (fstat((int)file, &st) != 0)
        return 0;
    return (uint32_t)st.st_size;
}

// Names are prefix + four hex digits + ".tmp", as on Windows; the file is created exclusively,
// so two launchers in one directory never share a name.
uint32_t SysGetTempFileName(const char* directory, const char* prefix, char* name) {
    name[0] = '\0';
    SYS_FAULT_POINT(return 0);
    static uint32_t next;
    if (next == 0) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        next = (uint32_t)getpid() * 2654435761u ^ (uint32_t)now.tv_nsec;
    }
    for (uint32_t tries = 0; tries < 0x10000; ++tries) {
        uint32_t number = (next++ & 0xFFFF);
        if (number == 0)
            continue;
        int n = snprintf(name, kMaxPath, "%s%s%X.tmp", directory, prefix, (unsigned)number);
        if (n < 0 || n >= kMaxPath)
            break;
        char native[PATH_MAX];
        if (!NativePath(name, native))
            break;
        int fd = open(native, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            return number;
        }
        if (errno != EEXIST && errno != EINTR)
            break;
    }
    name[0] = '\0';
    return 0;
}

bool SysCreateDirectory(const char* path) {
    SYS_FAULT_POINT(return false);
    char native[PATH_MAX];
    return NativePath(path, native) && mkdir(native, 0777) == 0;
}

bool SysRemoveDirectory(const char* path) {
    SYS_FAULT_POINT(return false);
    char native[PATH_MAX];
    return NativePath(path, native) && rmdir(native) == 0;
}

void SysMakeExecutable(const char* path) {
    SYS_FAULT_POINT_VOID();
    char native[PATH_MAX];
    struct stat st;
    if (NativePath(path, native) && stat(native, &st) == 0)
        chmod(native, (st.st_mode & 07777) | S_IXUSR);
}
