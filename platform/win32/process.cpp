// The launcher's own process, libraries and the child process on Windows.
#include <windows.h>

#include "platform.h"
#include "system_library.h"

bool SysLockPackage(const char* path) {
    SYS_FAULT_POINT(return false);
    // The handle is not inherited and stays open until the process ends.
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED whole;
    for (DWORD i = 0; i < sizeof whole; ++i)
        ((char*)&whole)[i] = 0;
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
        CloseHandle(h);
        return false;
    }
    return true;
}

const char* SysGetCommandLine(void) {
    SYS_FAULT_POINT(return "");
    return GetCommandLineA();
}

// user32 is bound only when a box is to be shown: loading it sets up the window system, which
// a run that succeeds never needs.
typedef int(WINAPI* MessageBoxCall)(HWND, LPCSTR, LPCSTR, UINT);

void SysShowErrorBox(const char* text, const char* caption) {
    SYS_FAULT_POINT_VOID();
    HMODULE user32 = LoadSystemLibrary("user32.dll");
    MessageBoxCall messageBox =
        user32 != NULL ? (MessageBoxCall)(void*)GetProcAddress(user32, "MessageBoxA") : NULL;
    if (messageBox != NULL)
        messageBox(NULL, text, caption, MB_OK);
}

void SysSleep(uint32_t milliseconds) {
    SYS_FAULT_POINT_VOID();
    Sleep(milliseconds);
}

SysModule SysLoadLibrary(const char* path) {
    SYS_FAULT_POINT(return NULL);
    return (SysModule)LoadLibraryA(path);
}

void* SysGetProcAddress(SysModule module, const char* name) {
    SYS_FAULT_POINT(return NULL);
    return (void*)GetProcAddress((HMODULE)module, name);
}

void SysFreeLibrary(SysModule module) {
    SYS_FAULT_POINT_VOID();
    FreeLibrary((HMODULE)module);
}

bool SysStartProcess(const char* path, char* commandLine, SysProcess* process) {
    process->id = 0;
    process->status = 0;
    SYS_FAULT_POINT(return false);
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    PROCESS_INFORMATION info;
    if (!CreateProcessA(path, commandLine, NULL, NULL, TRUE, NORMAL_PRIORITY_CLASS, NULL, NULL,
                        &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process->id = (intptr_t)info.hProcess;
    return true;
}

void SysWaitProcess(SysProcess* process) {
    SYS_FAULT_POINT_VOID();
    WaitForSingleObject((HANDLE)process->id, INFINITE);
}

bool SysGetExitCode(SysProcess* process, uint32_t* code) {
    SYS_FAULT_POINT(return false);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess((HANDLE)process->id, &exitCode))
        return false;
    *code = exitCode;
    return true;
}

void SysCloseProcess(SysProcess* process) {
    SYS_FAULT_POINT_VOID();
    CloseHandle((HANDLE)process->id);
}
