// Reading and rewriting the resources of PE32 executables, in portable code.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A resource type or name: an integer id or a UTF-16 name. Named ones sort first, by their
// upper-case text, then ids in ascending order, which is the order the tree must keep.
struct ResourceKey {
    bool named = false;
    uint16_t id = 0;
    std::u16string name;
    static ResourceKey Id(uint16_t id) { return ResourceKey{false, id, {}}; }
    bool operator<(const ResourceKey& other) const;
    bool operator==(const ResourceKey& other) const {
        return named == other.named && id == other.id && name == other.name;
    }
};

struct ResourceData {
    std::vector<uint8_t> bytes;
    uint32_t codePage = 0;
    bool operator==(const ResourceData& other) const {
        return bytes == other.bytes && codePage == other.codePage;
    }
};

// type -> name -> language -> data
using ResourceTable =
    std::map<ResourceKey, std::map<ResourceKey, std::map<uint16_t, ResourceData>>>;

struct PeSection {
    char name[8];
    uint32_t virtualSize, virtualAddress, rawSize, rawPointer, characteristics;
};

// The parts of a PE32 image that the resource writer needs; Parse checks them.
struct PeImage {
    std::vector<uint8_t> file;
    uint32_t optionalHeader = 0; // file offset
    uint32_t sectionTable = 0;   // file offset
    uint32_t sizeOfHeaders = 0, fileAlignment = 0, sectionAlignment = 0;
    uint16_t machine = 0, subsystem = 0, characteristics = 0;
    std::vector<PeSection> sections;

    // Throws std::runtime_error naming what is wrong when file is not a sound PE32 image.
    static PeImage Parse(std::vector<uint8_t> file);
    uint32_t Directory(int index, uint32_t* size) const;
    const PeSection* SectionAt(uint32_t rva) const;
    // The section whose bytes in the file hold [rva, rva + size); an empty range may sit at
    // the very end of a section.
    const PeSection* SectionHolding(uint32_t rva, uint32_t size) const;
};

enum : uint16_t {
    kResourceIcon = 3,
    kResourceGroupIcon = 14,
    kResourceVersion = 16,
    kResourceManifest = 24,
};

// The resource tree of the image (empty when it has none). Throws on a damaged tree.
ResourceTable ReadResources(const PeImage& image);

// A copy of image whose resources are exactly table, with its section table, sizes, resource
// and relocation directories and checksum brought up to date. A certificate table cannot stay
// valid and is dropped (*droppedCertificate tells).
std::vector<uint8_t> WriteResources(const PeImage& image, const ResourceTable& table,
                                    bool* droppedCertificate);

// The PE checksum of file, with the checksum field itself counted as 0.
uint32_t PeChecksum(const std::vector<uint8_t>& file, uint32_t checksumOffset);
