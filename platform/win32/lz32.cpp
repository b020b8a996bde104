// LZ32 on Windows, bound at run time from the system directory.
//
// lz32.dll is not one of the system's known libraries, so an import of it would be searched for
// first in the launcher's own directory, where a downloaded launcher sits beside whatever else
// was downloaded. Loading it by its full system path leaves no such choice. Files are opened
// with CreateFileA and handed over as handles: LZ32's own open goes through OpenFile, whose
// record holds names of fewer than 128 characters only.
#include <windows.h>

#include "platform_win32.h"
#include "platform.h"

typedef INT(WINAPI* LzInitCall)(INT);
typedef LONG(WINAPI* LzCopyCall)(INT, INT);
typedef VOID(WINAPI* LzCloseCall)(INT);

static LzInitCall lzInit;
static LzCopyCall lzCopy;
static LzCloseCall lzClose;

static const char kLz32Name[] = "\\lz32.dll";
static const int32_t kLzError = -1; // LZERROR_BADINHANDLE

static bool BindLz32(void) {
    if (lzInit != NULL)
        return true;
    char path[MAX_PATH];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n + sizeof kLz32Name > MAX_PATH)
        return false;
    for (UINT i = 0; i < sizeof kLz32Name; ++i)
        path[n + i] = kLz32Name[i];
    HMODULE lz32 = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (lz32 == NULL)
        return false;
    LzInitCall init = (LzInitCall)(void*)GetProcAddress(lz32, "LZInit");
    lzCopy = (LzCopyCall)(void*)GetProcAddress(lz32, "LZCopy");
    lzClose = (LzCloseCall)(void*)GetProcAddress(lz32, "LZClose");
    if (init == NULL || lzCopy == NULL || lzClose == NULL)
        return false;
    lzInit = init;
    return true;
}

static int32_t HandleOf(HANDLE h) {
    return (int32_t)(intptr_t)h;
}

int32_t SysLzOpenRead(const char* path) {
    SYS_FAULT_POINT(return kLzError);
    if (!BindLz32())
        return kLzError;
    HANDLE h = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return kLzError;
    int32_t lz = lzInit(HandleOf(h));
    if (lz < 0)
        CloseHandle(h);
    return lz;
}

int32_t SysLzCreate(const char* path) {
    SYS_FAULT_POINT(return kLzError);
    if (!BindLz32())
        return kLzError;
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    return h == INVALID_HANDLE_VALUE ? kLzError : HandleOf(h);
}

int32_t SysLzCopy(int32_t source, int32_t destination) {
    SYS_FAULT_POINT(return kLzError);
    return lzCopy(source, destination);
}

void SysLzClose(int32_t handle) {
    SYS_FAULT_POINT(return );
    lzClose(handle);
}
