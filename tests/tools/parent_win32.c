// Starts a program with a literal command line read from a file (wine re-quotes arguments
// given from a shell) and writes the child's full 32-bit exit code, in hex, to a second file.
// Usage: parent.exe COMMAND-LINE-FILE EXIT-CODE-FILE
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    static char command[32768];
    FILE* in = fopen(argv[1], "rb");
    if (in == NULL)
        return 3;
    size_t n = fread(command, 1, sizeof command - 1, in);
    fclose(in);
    command[n] = '\0';
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (!CreateProcessA(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi))
        return 4;
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    FILE* out = fopen(argv[2], "w");
    if (out == NULL)
        return 5;
    fprintf(out, "%08lx\n", (unsigned long)code);
    fclose(out);
    return 0;
}
