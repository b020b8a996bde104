// The running executable's own file name on posix systems.
#include <unistd.h>

#include "platform.h"

uint32_t SysGetModuleFileName(char* buffer, uint32_t size) {
    buffer[0] = '\0';
    SYS_FAULT_POINT(return 0);
    ssize_t n = readlink("/proc/self/exe", buffer, size);
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    if ((uint32_t)n >= size) {
        buffer[size - 1] = '\0';
        return size;
    }
    buffer[n] = '\0';
    return (uint32_t)n;
}
