// Finds the launcher's error box, writes its caption and text to a file and presses OK.
// Usage: boxclick.exe OUT-FILE [TIMEOUT-MS]; exit code 1 when no box appeared in time.
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    DWORD timeout = argc > 2 ? (DWORD)strtoul(argv[2], NULL, 10) : 20000;
    HWND box = NULL;
    for (DWORD waited = 0; box == NULL && waited < timeout; waited += 50) {
        box = FindWindowA(NULL, "Error");
        if (box == NULL)
            Sleep(50);
    }
    if (box == NULL)
        return 1;
    char caption[256], text[1024], className[64];
    GetWindowTextA(box, caption, sizeof caption);
    GetClassNameA(box, className, sizeof className);
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    FILE* out = fopen(argv[1], "w");
    if (out != NULL) {
        fprintf(out, "class=%s\ncaption=%s\ntext=%s\n", className, caption, text);
        fclose(out);
    }
    SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    return 0;
}
