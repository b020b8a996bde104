// The command line handed to the packaged program.
#include "command_line.h"

#include "text.h"

const char* FindArgumentTail(const char* commandLine) {
    const char* p = commandLine;
    bool quoted = *p == '"';
    if (quoted)
        ++p;
    for (;; ++p) {
        if (*p == '\0' || (*p == ' ' && !quoted))
            return p;
        if (*p == '"')
            return p + 1;
    }
}

bool BuildChildCommandLine(const char* target, const char* tail, char* store, size_t capacity) {
    size_t length = 0;
    store[0] = '\0';
    if (AppendText(store, capacity, &length, "\"") &&
        AppendText(store, capacity, &length, target) &&
        AppendText(store, capacity, &length, "\" ") && AppendText(store, capacity, &length, tail))
        return true;
    store[0] = '\0';
    return false;
}
