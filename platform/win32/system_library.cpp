// Loading libraries from the system directory only.
//
// Libraries that are not among the system's known libraries are searched for first in the
// program's own directory, where a downloaded launcher sits beside whatever else was
// downloaded. Loading them by their full system path leaves no such choice.
#include "system_library.h"

HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return NULL;
    path[n++] = '\\';
    for (const char* c = name; *c != '\0'; ++c) {
        if (n + 1 >= MAX_PATH)
            return NULL;
        path[n++] = *c;
    }
    path[n] = '\0';
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}
