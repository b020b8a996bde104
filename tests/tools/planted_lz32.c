// A stand-in lz32.dll planted next to a launcher: when anything loads it, it leaves a marker
// file (path in SXE_PLANTED_MARKER), and its LZ calls fail.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char marker[MAX_PATH];
        DWORD n = GetEnvironmentVariableA("SXE_PLANTED_MARKER", marker, sizeof marker);
        if (n > 0 && n < sizeof marker) {
            HANDLE h = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, NULL);
            if (h != INVALID_HANDLE_VALUE)
                CloseHandle(h);
        }
    }
    return TRUE;
}

__declspec(dllexport) INT WINAPI LZInit(INT h) {
    return (void)h, -1;
}
__declspec(dllexport) LONG WINAPI LZCopy(INT a, INT b) {
    return (void)a, (void)b, -1;
}
__declspec(dllexport) VOID WINAPI LZClose(INT h) {
    (void)h;
}
