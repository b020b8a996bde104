// zlib streams for package items.
#include "zlib_stream.h"

#include <stdexcept>
#include <zlib.h>

std::vector<uint8_t> ZlibCompress(const uint8_t* data, size_t size) {
    z_stream s{};
    if (deflateInit(&s, 9) != Z_OK)
        throw std::runtime_error("zlib: no memory");
    std::vector<uint8_t> out(deflateBound(&s, (uLong)size));
    s.next_in = const_cast<Bytef*>(data);
    s.avail_in = (uInt)size;
    s.next_out = out.data();
    s.avail_out = (uInt)out.size();
    int r = deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    if (r != Z_STREAM_END)
        throw std::runtime_error("zlib: compression failed");
    return out;
}

bool ZlibExpand(const uint8_t* source, size_t size, std::vector<uint8_t>* out, std::string* error) {
    z_stream s{};
    if (inflateInit(&s) != Z_OK) {
        *error = "zlib: no memory";
        return false;
    }
    s.next_in = const_cast<Bytef*>(source);
    s.avail_in = (uInt)size;
    out->clear();
    uint8_t block[1 << 16];
    int r;
    do {
        s.next_out = block;
        s.avail_out = sizeof block;
        r = inflate(&s, Z_NO_FLUSH);
        out->insert(out->end(), block, block + (sizeof block - s.avail_out));
    } while (r == Z_OK);
    size_t left = s.avail_in;
    inflateEnd(&s);
    if (r == Z_STREAM_END && left == 0)
        return true;
    if (r == Z_STREAM_END)
        *error = "bytes after the end of the zlib stream";
    else if (r == Z_NEED_DICT)
        *error = "the zlib stream asks for a preset dictionary";
    else if (r == Z_BUF_ERROR)
        *error = "the zlib stream ends early";
    else
        *error =
            std::string("damaged zlib stream") + (s.msg ? std::string(" (") + s.msg + ")" : "");
    return false;
}
