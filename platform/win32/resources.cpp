// Resources of the running executable on Windows.
#include <windows.h>

#include "platform_win32.h"
#include "platform.h"

const unsigned char* SysFindResource(uint16_t type, uint16_t id, uint32_t* size) {
    SYS_FAULT_POINT(return NULL);
    HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    if (found == NULL)
        return NULL;
    *size = SizeofResource(NULL, found);
    HGLOBAL loaded = LoadResource(NULL, found);
    if (loaded == NULL)
        return NULL;
    return (const unsigned char*)LockResource(loaded);
}
