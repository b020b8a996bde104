// Temporary names and whole-file writes.
#include "temp_name.h"

#include "platform.h"

uint32_t MakeTempName(const char* directory, char* name) {
    return SysGetTempFileName(directory, "sxe", name);
}

bool WriteBufferToFile(const unsigned char* buffer, uint32_t count, const char* path) {
    SysFile file = SysCreateForWrite(path);
    if (file == kNoFile)
        return false;
    uint32_t written = 0;
    bool ok = SysWriteFile(file, buffer, count, &written) && written == count;
    SysCloseFile(file);
    return ok;
}
