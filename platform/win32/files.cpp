// Reading files, temporary names and directories on Windows.
#include <windows.h>

#include "platform.h"

SysFile SysOpenForRead(const char* path) {
    SYS_FAULT_POINT(return kNoFile);
    HANDLE h = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    return h == INVALID_HANDLE_VALUE ? kNoFile : (SysFile)h;
}

bool SysReadFile(SysFile file, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    SYS_FAULT_POINT(return false);
    DWORD got = 0;
    BOOL ok = ReadFile((HANDLE)file, buffer, count, &got, NULL);
    *done = got;
    return ok != FALSE;
}

uint32_t SysGetFileSize(SysFile file) {
    SYS_FAULT_POINT(return 0);
    return GetFileSize((HANDLE)file, NULL);
}

uint32_t SysGetTempFileName(const char* directory, const char* prefix, char* name) {
    name[0] = '\0';
    SYS_FAULT_POINT(return 0);
    UINT number = GetTempFileNameA(directory, prefix, 0, name);
    if (number == 0)
        name[0] = '\0';
    return number;
}

bool SysCreateDirectory(const char* path) {
    SYS_FAULT_POINT(return false);
    return CreateDirectoryA(path, NULL) != FALSE;
}

bool SysRemoveDirectory(const char* path) {
    SYS_FAULT_POINT(return false);
    return RemoveDirectoryA(path) != FALSE;
}

void SysMakeExecutable(const char*) {}
