// The inflate plug-in's codec: expands one zlib stream from memory into a new file.
//
// The whole source is offered to zlib at once and never refilled, so every pass either makes
// progress or ends the call (zlib answers Z_BUF_ERROR when no progress is possible). Output
// goes to the file in writes of at most one pass. After a failure nothing is left at the output
// path: a file that stood there was replaced when the output was created.
#include <zlib.h>

#include "codecs/codec.h"
#include "platform.h"

enum { kPassSize = 0x8000 };

extern "C" SXE_PLUGIN_VISIBLE int SXE_CODEC_CALL DllInflate(const unsigned char* source,
                                                            uint32_t size, const char*,
                                                            const char* output) {
    SysFile file = SysCreateForWrite(output);
    if (file == kNoFile)
        return 0;

    z_stream stream;
    unsigned char* fill = (unsigned char*)&stream;
    for (size_t i = 0; i < sizeof stream; ++i)
        fill[i] = 0;
    stream.next_in = (Bytef*)source;
    stream.avail_in = size;
    stream.zalloc = Z_NULL;
    stream.zfree = Z_NULL;
    stream.opaque = Z_NULL;

    unsigned char* buffer = NULL;
    bool done = false;
    if (inflateInit(&stream) == Z_OK)
        buffer = (unsigned char*)SysAllocZeroed(kPassSize);
    while (buffer != NULL) {
        stream.next_out = buffer;
        stream.avail_out = kPassSize;
        int result = inflate(&stream, Z_NO_FLUSH);
        if (result < 0 || result == Z_NEED_DICT)
            break;
        uint32_t produced = kPassSize - stream.avail_out;
        uint32_t written = 0;
        if (!SysWriteFile(file, buffer, produced, &written) || written != produced)
            break;
        if (result == Z_STREAM_END) {
            done = true;
            break;
        }
    }

    if (done) {
        SysFree(buffer);
        inflateEnd(&stream);
        SysCloseFile(file);
        return 1;
    }
    inflateEnd(&stream);
    if (buffer != NULL)
        SysFree(buffer);
    SysCloseFile(file);
    SysDeleteFile(output);
    return 0;
}
