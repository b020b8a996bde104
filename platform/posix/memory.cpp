// Memory on posix systems.
#include <stdlib.h>

#include "platform.h"

void* SysAllocZeroed(size_t count) {
    SYS_FAULT_POINT(return NULL);
    return calloc(1, count);
}

void SysFree(void* block) {
    SYS_FAULT_POINT_VOID();
    free(block);
}
