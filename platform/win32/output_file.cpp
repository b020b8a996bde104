// Writing files on Windows: the calls that both the launcher and the inflate plug-in make.
#include <windows.h>

#include "platform.h"

SysFile SysCreateForWrite(const char* path) {
    SYS_FAULT_POINT(return kNoFile);
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    return h == INVALID_HANDLE_VALUE ? kNoFile : (SysFile)h;
}

bool SysWriteFile(SysFile file, const void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    SYS_FAULT_POINT(return false);
    DWORD written = 0;
    BOOL ok = WriteFile((HANDLE)file, buffer, count, &written, NULL);
    *done = written;
    return ok != FALSE;
}

void SysCloseFile(SysFile file) {
    SYS_FAULT_POINT_VOID();
    CloseHandle((HANDLE)file);
}

bool SysDeleteFile(const char* path) {
    SYS_FAULT_POINT(return false);
    return DeleteFileA(path) != FALSE;
}
