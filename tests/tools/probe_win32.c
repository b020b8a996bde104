// The Windows probe program (see probe_common.h). With SXE_PROBE_HOLD_MS it first starts a
// detached copy of itself ("--hold FILE MS READY") that opens the launcher's manifest file
// without sharing, holds it for MS milliseconds and then exits.
#include <windows.h>

#include "probe_common.h"

static void List(FILE* out, const char* root, const char* relative) {
    char pattern[MAX_PATH * 2];
    snprintf(pattern, sizeof pattern, "%s\\%s%s*", root, relative, *relative ? "\\" : "");
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern, &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
            continue;
        char rel[MAX_PATH * 2], full[MAX_PATH * 3];
        snprintf(rel, sizeof rel, "%s%s%s", relative, *relative ? "\\" : "", found.cFileName);
        snprintf(full, sizeof full, "%s\\%s", root, rel);
        char shown[MAX_PATH * 2];
        strcpy(shown, rel);
        for (char* p = shown; *p; ++p)
            if (*p == '\\')
                *p = '/';
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            fprintf(out, "dir=%s\n", shown);
            List(out, root, rel);
        } else {
            ReportFile(out, full, shown);
        }
    } while (FindNextFileA(h, &found));
    FindClose(h);
}

static int Hold(const char* file, DWORD ms, const char* ready) {
    HANDLE h = CreateFileA(file, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    HANDLE r =
        CreateFileA(ready, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (r != INVALID_HANDLE_VALUE) {
        DWORD w;
        WriteFile(r, h == INVALID_HANDLE_VALUE ? "fail" : "held", 4, &w, NULL);
        CloseHandle(r);
    }
    Sleep(ms);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return 0;
}

// The launcher's manifest file: the one "sxe" temporary left while the program runs.
static int FindTemporary(const char* dir, char* name, size_t size) {
    char pattern[MAX_PATH * 2];
    snprintf(pattern, sizeof pattern, "%s\\sxe*.tmp", dir);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern, &found);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    snprintf(name, size, "%s\\%s", dir, found.cFileName);
    FindClose(h);
    return 1;
}

static void StartHolder(const char* self, const char* dir, const char* ms, const char* report) {
    char manifest[MAX_PATH * 2], ready[MAX_PATH * 2], command[MAX_PATH * 8];
    if (!FindTemporary(dir, manifest, sizeof manifest))
        return;
    snprintf(ready, sizeof ready, "%s.ready", report);
    snprintf(command, sizeof command, "\"%s\" --hold \"%s\" %s \"%s\"", self, manifest, ms, ready);
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (!CreateProcessA(self, command, NULL, NULL, FALSE, DETACHED_PROCESS, NULL, NULL, &si, &pi))
        return;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 500 && GetFileAttributesA(ready) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(10);
}

static void Pause(unsigned long milliseconds) {
    Sleep((DWORD)milliseconds);
}

int main(int argc, char** argv) {
    if (argc == 5 && strcmp(argv[1], "--hold") == 0)
        return Hold(argv[2], (DWORD)strtoul(argv[3], NULL, 10), argv[4]);
    const char* reportPath = getenv("SXE_PROBE_REPORT");
    if (reportPath == NULL)
        return ProbeExitCode();
    char self[MAX_PATH], dir[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    strcpy(dir, self);
    char* slash = strrchr(dir, '\\');
    if (slash != NULL)
        *slash = '\0';

    ApplyProbeActions(dir, '\\');
    const char* hold = getenv("SXE_PROBE_HOLD_MS");
    if (hold != NULL)
        StartHolder(self, dir, hold, reportPath);

    FILE* out = fopen(reportPath, "w");
    if (out == NULL)
        return 120;
    WriteHex(out, "cmdline", GetCommandLineA());
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    fprintf(out, "cwd=%s\n", cwd);
    const char* env = getenv("SXE_PROBE_ENV");
    fprintf(out, "env=%s\n", env ? env : "");
    fprintf(out, "self=%s\n", dir);
    List(out, dir, "");
    return FinishReport(out, Pause);
}
