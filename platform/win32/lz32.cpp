// LZ32 on Windows, bound at run time from the system directory (see system_library.cpp).
// Files are opened with CreateFileA and handed over as handles: LZ32's own open goes through
// OpenFile, whose record holds names of fewer than 128 characters only.
#include <windows.h>

#include "platform_win32.h"
#include "platform.h"
#include "system_library.h"

typedef INT(WINAPI* LzInitCall)(INT);
typedef LONG(WINAPI* LzCopyCall)(INT, INT);
typedef VOID(WINAPI* LzCloseCall)(INT);

static LzInitCall lzInit;
static LzCopyCall lzCopy;
static LzCloseCall lzClose;

static const int32_t kLzError = -1; // LZERROR_BADINHANDLE

static bool BindLz32(void) {
    if (lzInit != NULL)
        return true;
    HMODULE lz32 = LoadSystemLibrary("lz32.dll");
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
    SYS_FAULT_POINT_VOID();
    lzClose(handle);
}
