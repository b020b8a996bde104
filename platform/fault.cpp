// The fault plan of a test build: which call of a fault point is to fail.
//
// SXE_FAIL_CALL=N makes the Nth fault point reached in the process fail (counted from 1);
// with SXE_FAIL_MODE=after, that call and every later one fail. SXE_FAIL_TRACE=PATH writes the
// routines reached, one name a line in order, to PATH when the process ends, so that a test
// knows which calls a run makes.
#include <stdio.h>
#include <stdlib.h>

#include "platform.h"

enum { kTraceSize = 4096 };

static unsigned long callsSeen;
static unsigned long failAt;
static bool failAfter;
static bool planRead;
static const char* trace[kTraceSize];

static void WriteTrace(void) {
    const char* path = getenv("SXE_FAIL_TRACE");
    FILE* out = path != NULL ? fopen(path, "w") : NULL;
    if (out == NULL)
        return;
    for (unsigned long i = 0; i < callsSeen && i < kTraceSize; ++i)
        fprintf(out, "%s\n", trace[i]);
    fclose(out);
}

bool SysFaultHere(const char* call) {
    if (!planRead) {
        planRead = true;
        const char* at = getenv("SXE_FAIL_CALL");
        const char* mode = getenv("SXE_FAIL_MODE");
        failAt = at != NULL ? strtoul(at, NULL, 10) : 0;
        failAfter = mode != NULL && mode[0] == 'a';
        atexit(WriteTrace);
    }
    if (callsSeen < kTraceSize)
        trace[callsSeen] = call;
    ++callsSeen;
    if (failAt == 0)
        return false;
    return failAfter ? callsSeen >= failAt : callsSeen == failAt;
}
