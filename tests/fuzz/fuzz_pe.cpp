// Fuzz target: sxe-pack's PE reader over arbitrary files; where a resource tree reads and the
// writer takes the layout, the image it writes must read again, with the same tree.
#include <stdexcept>
#include <stdlib.h>

#include "pack/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    ResourceTable table;
    std::vector<uint8_t> rewritten;
    try {
        PeImage image = PeImage::Parse(std::vector<uint8_t>(data, data + size));
        table = ReadResources(image);
        bool dropped = false;
        rewritten = WriteResources(image, table, &dropped);
    } catch (const std::runtime_error&) {
        return 0; // not a sound image, or a layout the writer does not take
    }
    try {
        if (ReadResources(PeImage::Parse(rewritten)) != table)
            abort();
    } catch (const std::runtime_error&) {
        abort(); // the writer made an image that does not read
    }
    return 0;
}
