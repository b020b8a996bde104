// The running executable's own file name on Windows.
#include <windows.h>

#include "platform.h"

uint32_t SysGetModuleFileName(char* buffer, uint32_t size) {
    buffer[0] = '\0';
    SYS_FAULT_POINT(return 0);
    DWORD n = GetModuleFileNameA(NULL, buffer, size);
    // Older systems do not terminate a name that fills the buffer.
    if (n >= size)
        buffer[size - 1] = '\0';
    return n;
}
