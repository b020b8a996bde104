// The LZ expansion codec with the project's own SZDD decoder, for systems without LZ32. It
// expands straight from memory into the output: no scratch file is needed.
#include "codec.h"
#include "szdd.h"

static bool WriteBlock(void* context, const unsigned char* bytes, uint32_t count) {
    uint32_t written = 0;
    return SysWriteFile(*(SysFile*)context, bytes, count, &written) && written == count;
}

int SXE_CODEC_CALL ExpandWithLz(const unsigned char* source, uint32_t size, const char*,
                                const char* output) {
    SysFile file = SysCreateForWrite(output);
    if (file == kNoFile)
        return 0;
    SzddStatus status = SzddExpand(source, size, WriteBlock, &file);
    SysCloseFile(file);
    return status == kSzddOk ? 1 : 0;
}
