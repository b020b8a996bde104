// The codec contract shared by the built-in LZ expansion codec and the inflate plug-in.
//
// A codec expands one whole stored item (source, size bytes; never written, not kept) into the
// file at output, which it creates or truncates; output's directory must exist already. It
// returns 1 once the file holds all of the expanded data and is closed, 0 on failure, and shows
// no message. Scratch files that a codec makes in directory (the package directory, ending in
// a separator) are gone again when it returns. After a failure the output is not to be used.
#pragma once

#include <stdint.h>

#include "platform.h"

typedef int(SXE_CODEC_CALL* Codec)(const unsigned char* source, uint32_t size,
                                   const char* directory, const char* output);

// The LZ expansion codec: SZDD data, compression mode 'A'.
int SXE_CODEC_CALL ExpandWithLz(const unsigned char* source, uint32_t size, const char* directory,
                                const char* output);

// The name under which the inflate plug-in exports its codec.
#define SXE_PLUGIN_EXPORT "DllInflate"
