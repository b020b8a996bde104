// Memory on Windows: fixed, zero-filled blocks from the local heap.
#include <windows.h>

#include "platform.h"

void* SysAllocZeroed(size_t count) {
    SYS_FAULT_POINT(return NULL);
    return (void*)LocalAlloc(LPTR, count);
}

void SysFree(void* block) {
    SYS_FAULT_POINT_VOID();
    LocalFree((HLOCAL)block);
}
