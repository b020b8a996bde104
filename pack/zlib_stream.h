// zlib streams (RFC 1950) for package items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One complete zlib stream at level 9 (header 78 DA), nothing after it.
std::vector<uint8_t> ZlibCompress(const uint8_t* data, size_t size);

// Expands the one zlib stream that fills source exactly. False, with the reason in *error, when
// the stream is damaged, incomplete or followed by other bytes.
bool ZlibExpand(const uint8_t* source, size_t size, std::vector<uint8_t>* out, std::string* error);
