// The LZ expansion codec over the system's LZ32 library (Windows). LZ32 expands files, not
// memory, so the stored item first goes to a scratch file in the package directory.
#include "codec.h"
#include "temp_name.h"

#include "platform_win32.h"

int SXE_CODEC_CALL ExpandWithLz(const unsigned char* source, uint32_t size, const char* directory,
                                const char* output) {
    char scratch[kMaxPath];
    if (MakeTempName(directory, scratch) == 0)
        return 0;
    int result = 0;
    if (WriteBufferToFile(source, size, scratch)) {
        int32_t from = SysLzOpenRead(scratch);
        if (from >= 0) {
            int32_t to = SysLzCreate(output);
            if (to >= 0) {
                result = SysLzCopy(from, to) >= 0 ? 1 : 0;
                SysLzClose(from);
                SysLzClose(to);
            } else {
                SysLzClose(from);
            }
        }
    }
    SysDeleteFile(scratch);
    return result;
}
