// Packages on disk: a launcher stub with its items, for either target.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "pe_resources.h"

enum class Target { Win32, Posix };

const char* TargetName(Target target);

using ItemMap = std::map<uint32_t, std::vector<uint8_t>>;

struct Package {
    Target target = Target::Win32;
    ItemMap items;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Writes bytes to path through a temporary file beside it, renamed at the end, so that a
// failure leaves nothing at path. executable sets the permission bits for running it.
void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         bool executable);

// The package items of a file written for either target. Throws std::runtime_error naming the
// reason when the file is no package.
Package ReadPackage(const std::vector<uint8_t>& file);

// Checks that stub is a launcher of ours for target, carrying no package yet. Throws otherwise.
void CheckStub(Target target, const std::vector<uint8_t>& stub);

// The stub with items added. For win32, extra holds more resources to copy in (the program's
// icon and version information); warnings receives what the user should know.
std::vector<uint8_t> BuildPackage(Target target, const std::vector<uint8_t>& stub,
                                  const ItemMap& items, const ResourceTable& extra,
                                  std::vector<std::string>* warnings);

// The resources of the program that make a package look like it: icons and version.
ResourceTable ProgramLook(const std::vector<uint8_t>& program);
