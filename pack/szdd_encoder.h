// SZDD mode 'A' compression (the format is described in codecs/szdd.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Compresses data into SZDD mode 'A' that every reader takes: matches of at most 16 bytes, the
// exact expanded length in the header, nothing after the data. The parse is optimal in bits for
// the matches that the match finder sees.
std::vector<uint8_t> SzddCompress(const uint8_t* data, size_t size);
