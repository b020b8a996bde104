// The fault plan of a test build: which call of a fault point is to fail.
//
// SXE_FAIL_CALL=N makes the Nth fault point reached in the process fail (counted from 1);
// with SXE_FAIL_MODE=after, that call and every later one fail. SXE_FAIL_TRACE=PATH appends
// the number of fault points reached to PATH when the process ends, so a test knows how many
// calls a run makes.
#include <stdio.h>
#include <stdlib.h>

#include "platform.h"

static unsigned long callsSeen;
static unsigned long failAt;
static bool failAfter;
static bool planRead;

static void ReportCalls(void) {
    const char* trace = getenv("SXE_FAIL_TRACE");
    if (trace == NULL)
        return;
    FILE* out = fopen(trace, "a");
    if (out != NULL) {
        fprintf(out, "%lu\n", callsSeen);
        fclose(out);
    }
}

bool SysFaultHere(void) {
    if (!planRead) {
        planRead = true;
        const char* at = getenv("SXE_FAIL_CALL");
        const char* mode = getenv("SXE_FAIL_MODE");
        failAt = at != NULL ? strtoul(at, NULL, 10) : 0;
        failAfter = mode != NULL && mode[0] == 'a';
        atexit(ReportCalls);
    }
    ++callsSeen;
    if (failAt == 0)
        return false;
    return failAfter ? callsSeen >= failAt : callsSeen == failAt;
}
