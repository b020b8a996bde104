// Path text for posix calls.
#include "paths.h"

bool NativePath(const char* path, char* native) {
    for (int i = 0; i < PATH_MAX; ++i) {
        char c = path[i];
        native[i] = c == '\\' ? '/' : c;
        if (c == '\0')
            return true;
    }
    native[0] = '\0';
    return false;
}
