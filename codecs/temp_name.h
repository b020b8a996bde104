// Temporary names and whole-file writes for the codecs and the run sequence.
#pragma once

#include <stdint.h>

// Reserves a new empty file "sxe" + a number in directory and writes its full path into name
// (kMaxPath bytes). Returns the platform's number for the name, or 0 when nothing could be
// reserved; name then holds the empty text.
uint32_t MakeTempName(const char* directory, char* name);

// Writes count bytes from buffer as the whole content of the file at path, in one write. True
// when every byte was written; the file is closed either way and keeps what was written.
bool WriteBufferToFile(const unsigned char* buffer, uint32_t count, const char* path);
