// What goes into a package: entry names, their order and the manifest text.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "package_file.h"

struct PlannedEntry {
    std::string name;             // as the manifest holds it
    std::filesystem::path source; // the file to read
};

struct Plan {
    std::vector<PlannedEntry> entries; // in manifest order; the program first
    std::string manifest;
    std::vector<std::string> warnings;
};

// The launcher's limits that a plan must keep.
constexpr size_t kManifestLimit = 1024;
constexpr size_t kLineLimit = 255;
constexpr size_t kPathStoreLimit = 259;
constexpr size_t kTargetStoreLimit = 255;
// Package directories shorter than this should always work ("C:\Program Files\Vendor\App\").
constexpr size_t kTypicalDirectoryLength = 64;

// Plans a package of program and inputs (files or directories, taken recursively), named
// relative to base. Throws std::runtime_error with "name: reason" for input that the launcher
// could not run; everything is checked before anything is written.
Plan MakePlan(Target target, const std::filesystem::path& base, const std::string& program,
              const std::vector<std::string>& inputs);

// The entries of a manifest text up to its end marker; false when it has none.
bool SplitManifest(const std::string& text, std::vector<std::string>* entries);
