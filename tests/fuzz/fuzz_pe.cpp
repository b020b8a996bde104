// Fuzz target: sxe-pack's PE reader over arbitrary files; where a resource tree reads, writing
// it back into the image and reading that again must give the same tree.
#include <stdexcept>
#include <stdlib.h>

#include "pack/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    try {
        PeImage image = PeImage::Parse(std::vector<uint8_t>(data, data + size));
        ResourceTable table = ReadResources(image);
        bool dropped = false;
        std::vector<uint8_t> rewritten;
        try {
            rewritten = WriteResources(image, table, &dropped);
        } catch (const std::runtime_error&) {
            return 0; // a layout the writer does not take
        }
        if (ReadResources(PeImage::Parse(rewritten)) != table)
            abort();
    } catch (const std::runtime_error&) {
    }
    return 0;
}
