// SZDD from the command line, for the tests that check the project's encoder and decoder
// against other SZDD programs. Usage: szdd_tool compress|expand IN OUT
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/szdd.h"
#include "pack/package_file.h"
#include "pack/szdd_encoder.h"

static bool Collect(void* context, const unsigned char* bytes, uint32_t count) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), bytes, bytes + count);
    return true;
}

int main(int argc, char** argv) {
    if (argc != 4)
        return 2;
    std::string mode = argv[1];
    std::vector<uint8_t> in = ReadWholeFile(argv[2]), out;
    if (mode == "compress") {
        out = SzddCompress(in.data(), in.size());
    } else if (mode == "expand") {
        SzddStatus status = SzddExpand(in.data(), in.size(), Collect, &out);
        if (status != kSzddOk) {
            std::fprintf(stderr, "szdd_tool: %s: status %d\n", argv[2], (int)status);
            return 1;
        }
    } else {
        return 2;
    }
    std::ofstream(argv[3], std::ios::binary)
        .write(reinterpret_cast<const char*>(out.data()), (std::streamsize)out.size());
    return 0;
}
