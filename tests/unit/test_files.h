// Files and directories for unit tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

// A fresh directory, removed again when the test ends.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path& path() const { return path_; }
    // The directory as the launcher passes it: ending in a separator.
    std::string WithSeparator() const;
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

void WriteTestFile(const std::string& path, const std::string& bytes);
std::string ReadTestFile(const std::string& path);
// The names of the directory's entries.
std::set<std::string> Listing(const std::filesystem::path& dir);
std::vector<uint8_t> Bytes(const std::string& s);
// Reproducible mixed test data: text-like runs and noise.
std::string TestData(size_t size, uint32_t seed);
