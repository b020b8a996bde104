// Files and directories for unit tests.
#include "test_files.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() /
            ("sxe-unit-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::WithSeparator() const {
    return path_.string() + (char)fs::path::preferred_separator;
}

void WriteTestFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), (std::streamsize)bytes.size());
}

std::string ReadTestFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::string TestData(size_t size, uint32_t seed) {
    static const char* words[] = {"launcher ", "package ", "manifest ", "entry ", "\r\n", "zlib "};
    std::string out;
    uint32_t x = seed * 2654435761u + 1;
    while (out.size() < size) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        if (x % 4 == 0)
            out += (char)(x >> 8);
        else
            out += words[(x >> 4) % 6];
    }
    out.resize(size);
    return out;
}
