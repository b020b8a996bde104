// Fuzz target: the argument-tail scan and the child command line over arbitrary command lines.
#include <stdlib.h>
#include <string.h>

#include "launcher/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    char* text = (char*)malloc(size + 1);
    memcpy(text, data, size);
    text[size] = '\0';
    const char* tail = FindArgumentTail(text);
    if (tail < text || tail > text + strlen(text))
        abort();
    char store[260];
    if (BuildChildCommandLine("C:\\package\\app.exe", tail, store, sizeof store) &&
        strlen(store) > 259)
        abort();
    free(text);
    return 0;
}
