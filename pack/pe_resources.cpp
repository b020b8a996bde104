// Reading and rewriting PE32 resources.
//
// Resource section: a tree of directories, types -> names -> languages -> data entries.
//   directory (16 bytes): characteristics, time stamp, major, minor (u32 u32 u16 u16), then
//     u16 number of named entries, u16 number of id entries; then 8-byte entries, named ones
//     first (sorted), then ids ascending.
//   entry: u32 name (high bit: offset of a name, else the id), u32 offset (high bit: offset of
//     a subdirectory, else of a data entry); offsets are relative to the section start.
//   data entry (16 bytes): u32 RVA of the data, u32 size, u32 code page, u32 reserved.
//   name: u16 length, then that many UTF-16 units, no terminator.
// The writer lays the tree out breadth-first, then the data entries, the names and the data,
// each blob 8-aligned, in a new section behind the image's others; a relocation section after
// the old resources moves behind the new ones (nothing refers to either by address).
#include "pe_resources.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "package/byte_order.h"

namespace {

// Offsets in the headers.
constexpr uint32_t kDosLfanew = 0x3C;
constexpr uint32_t kCoffMachine = 0, kCoffSections = 2, kCoffOptionalSize = 16, kCoffFlags = 18;
constexpr uint32_t kOptMagic = 0, kOptInitializedData = 8, kOptSectionAlign = 32,
                   kOptFileAlign = 36, kOptImageSize = 56, kOptHeadersSize = 60, kOptChecksum = 64,
                   kOptSubsystem = 68, kOptDirectoryCount = 92, kOptDirectories = 96;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kDirResource = 2, kDirCertificate = 4, kDirRelocation = 5;
constexpr uint32_t kScnInitializedData = 0x40, kScnRead = 0x40000000;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr int kMaxTreeEntries = 65536;

[[noreturn]] void Fail(const std::string& why) {
    throw std::runtime_error(why);
}

uint32_t Align(uint32_t v, uint32_t a) {
    return (v + a - 1) / a * a;
}

uint64_t Align64(uint64_t v, uint64_t a) {
    return (v + a - 1) / a * a;
}

uint32_t Le32(const std::vector<uint8_t>& f, size_t at) {
    if (at + 4 > f.size())
        Fail("truncated PE headers");
    return ReadLe32(&f[at]);
}
uint16_t Le16(const std::vector<uint8_t>& f, size_t at) {
    if (at + 2 > f.size())
        Fail("truncated PE headers");
    return (uint16_t)ReadLe16(&f[at]);
}

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? (char16_t)(c - 32) : c;
}

} // namespace

bool ResourceKey::operator<(const ResourceKey& other) const {
    if (named != other.named)
        return named;
    if (!named)
        return id < other.id;
    size_t n = std::min(name.size(), other.name.size());
    for (size_t i = 0; i < n; ++i)
        if (Upper(name[i]) != Upper(other.name[i]))
            return Upper(name[i]) < Upper(other.name[i]);
    if (name.size() != other.name.size())
        return name.size() < other.name.size();
    return name < other.name;
}

PeImage PeImage::Parse(std::vector<uint8_t> file) {
    PeImage image;
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z')
        Fail("not a Windows executable (no MZ header)");
    uint32_t pe = Le32(file, kDosLfanew);
    if (pe > file.size() - 4 || Le32(file, pe) != 0x00004550)
        Fail("not a PE image (no PE signature)");
    uint32_t coff = pe + 4;
    image.machine = Le16(file, coff + kCoffMachine);
    uint16_t count = Le16(file, coff + kCoffSections);
    uint16_t optionalSize = Le16(file, coff + kCoffOptionalSize);
    image.characteristics = Le16(file, coff + kCoffFlags);
    image.optionalHeader = coff + 20;
    if (Le16(file, image.optionalHeader + kOptMagic) != 0x10B)
        Fail("not a 32-bit PE image (PE32)");
    if (optionalSize < kOptDirectories + 8 * 6 ||
        Le32(file, image.optionalHeader + kOptDirectoryCount) < 6)
        Fail("PE optional header too small");
    image.sectionAlignment = Le32(file, image.optionalHeader + kOptSectionAlign);
    image.fileAlignment = Le32(file, image.optionalHeader + kOptFileAlign);
    image.sizeOfHeaders = Le32(file, image.optionalHeader + kOptHeadersSize);
    image.subsystem = Le16(file, image.optionalHeader + kOptSubsystem);
    if (image.fileAlignment == 0 || image.sectionAlignment == 0 || image.fileAlignment > 0x10000 ||
        image.sectionAlignment < image.fileAlignment || image.sectionAlignment > 0x10000000 ||
        (image.fileAlignment & (image.fileAlignment - 1)) != 0 ||
        (image.sectionAlignment & (image.sectionAlignment - 1)) != 0)
        Fail("bad PE alignment");
    image.sectionTable = image.optionalHeader + optionalSize;
    if ((uint64_t)image.sectionTable + (uint64_t)count * kSectionHeaderSize > file.size())
        Fail("truncated PE section table");
    if (image.sizeOfHeaders > file.size() ||
        image.sectionTable + (uint32_t)count * kSectionHeaderSize > image.sizeOfHeaders)
        Fail("PE headers larger than their stated size or the file");
    uint64_t mappedEnd = 0;
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* h = &file[image.sectionTable + i * kSectionHeaderSize];
        PeSection s;
        std::memcpy(s.name, h, 8);
        s.virtualSize = ReadLe32(h + 8);
        s.virtualAddress = ReadLe32(h + 12);
        s.rawSize = ReadLe32(h + 16);
        s.rawPointer = ReadLe32(h + 20);
        s.characteristics = ReadLe32(h + 36);
        if (s.rawSize != 0 && (uint64_t)s.rawPointer + s.rawSize > file.size())
            Fail("PE section data beyond the end of the file");
        // the loader maps sections in ascending order, each after the one before; the
        // writer places the new resources after the last one
        uint64_t end = (uint64_t)s.virtualAddress + std::max(s.virtualSize, s.rawSize);
        if (end > 0xFFFFFFFFu || (!image.sections.empty() && s.virtualAddress < mappedEnd))
            Fail("PE sections overlap or are out of order");
        mappedEnd = end;
        image.sections.push_back(s);
    }
    image.file = std::move(file);
    return image;
}

uint32_t PeImage::Directory(int index, uint32_t* size) const {
    uint32_t at = optionalHeader + kOptDirectories + 8 * (uint32_t)index;
    *size = Le32(file, at + 4);
    return Le32(file, at);
}

const PeSection* PeImage::SectionAt(uint32_t rva) const {
    for (const PeSection& s : sections) {
        uint32_t extent = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.virtualAddress && rva - s.virtualAddress < extent)
            return &s;
    }
    return nullptr;
}

const PeSection* PeImage::SectionHolding(uint32_t rva, uint32_t size) const {
    for (const PeSection& s : sections) {
        if (rva >= s.virtualAddress && rva - s.virtualAddress <= s.rawSize &&
            size <= s.rawSize - (rva - s.virtualAddress))
            return &s;
    }
    return nullptr;
}

namespace {

struct TreeReader {
    const PeImage& image;
    const PeSection& section;
    int entriesSeen = 0;
    uint64_t bytesTaken = 0; // entries may share data, but not without end

    const uint8_t* At(uint32_t offset, uint32_t size) {
        if (offset > section.rawSize || size > section.rawSize - offset)
            Fail("resource tree points outside its section");
        return &image.file[section.rawPointer + offset];
    }

    ResourceKey Key(uint32_t field) {
        if (!(field & kHighBit))
            return ResourceKey::Id((uint16_t)field);
        uint32_t offset = field & ~kHighBit;
        uint32_t length = ReadLe16(At(offset, 2));
        const uint8_t* p = At(offset + 2, length * 2);
        ResourceKey key;
        key.named = true;
        for (uint32_t i = 0; i < length; ++i)
            key.name.push_back((char16_t)ReadLe16(p + 2 * i));
        return key;
    }

    // Calls visit(key, entryOffsetField) for each entry of the directory at offset.
    template <typename Visit> void Directory(uint32_t offset, Visit visit) {
        const uint8_t* header = At(offset, 16);
        uint32_t count = ReadLe16(header + 12) + ReadLe16(header + 14);
        entriesSeen += (int)count;
        if (entriesSeen > kMaxTreeEntries)
            Fail("resource tree too large");
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* e = At(offset + 16 + 8 * i, 8);
            visit(Key(ReadLe32(e)), ReadLe32(e + 4));
        }
    }

    uint32_t Subdirectory(uint32_t field) {
        if (!(field & kHighBit))
            Fail("resource tree has data where a directory belongs");
        return field & ~kHighBit;
    }

    ResourceData Data(uint32_t field) {
        if (field & kHighBit)
            Fail("resource tree is deeper than three levels");
        const uint8_t* entry = At(field, 16);
        uint32_t rva = ReadLe32(entry), size = ReadLe32(entry + 4);
        const PeSection* holder = image.SectionHolding(rva, size);
        if (holder == nullptr)
            Fail("resource data outside the file");
        const uint8_t* p = &image.file[holder->rawPointer + (rva - holder->virtualAddress)];
        bytesTaken += size;
        if (bytesTaken > 4 * (uint64_t)image.file.size())
            Fail("resource data overlaps itself too often");
        ResourceData data;
        data.bytes.assign(p, p + size);
        data.codePage = ReadLe32(entry + 8);
        return data;
    }
};

} // namespace

ResourceTable ReadResources(const PeImage& image) {
    ResourceTable table;
    uint32_t size;
    uint32_t rva = image.Directory(kDirResource, &size);
    if (rva == 0 || size == 0)
        return table;
    const PeSection* section = image.SectionAt(rva);
    if (section == nullptr || section->virtualAddress != rva)
        Fail("resource directory does not start a section");
    TreeReader reader{image, *section};
    reader.Directory(0, [&](const ResourceKey& type, uint32_t typeField) {
        reader.Directory(
            reader.Subdirectory(typeField), [&](const ResourceKey& name, uint32_t nameField) {
                reader.Directory(reader.Subdirectory(nameField),
                                 [&](const ResourceKey& language, uint32_t dataField) {
                                     if (language.named)
                                         Fail("resource language given by name");
                                     table[type][name][language.id] = reader.Data(dataField);
                                 });
            });
    });
    return table;
}

namespace {

// Lays out a resource section for the given RVA.
std::vector<uint8_t> BuildSection(const ResourceTable& table, uint32_t rva) {
    auto directorySize = [](size_t entries) { return (uint32_t)(16 + 8 * entries); };
    // Sizes of the three directory levels, then the data entries and names.
    uint32_t dirBytes = directorySize(table.size());
    uint32_t dataEntries = 0, nameBytes = 0;
    auto nameSize = [](const ResourceKey& k) {
        return k.named ? (uint32_t)(2 + 2 * k.name.size()) : 0u;
    };
    for (const auto& [type, names] : table) {
        dirBytes += directorySize(names.size());
        nameBytes += nameSize(type);
        for (const auto& [name, languages] : names) {
            dirBytes += directorySize(languages.size());
            nameBytes += nameSize(name);
            dataEntries += (uint32_t)languages.size();
        }
    }
    uint32_t entriesAt = dirBytes;
    uint32_t namesAt = entriesAt + 16 * dataEntries;
    uint32_t blobsAt = Align(namesAt + nameBytes, 8);
    uint32_t total = blobsAt;
    for (const auto& [type, names] : table)
        for (const auto& [name, languages] : names)
            for (const auto& [language, data] : languages)
                total = Align(total + (uint32_t)data.bytes.size(), 8);

    std::vector<uint8_t> out(total, 0);
    uint32_t nextDir = directorySize(table.size()), nextEntry = entriesAt, nextName = namesAt,
             nextBlob = blobsAt;
    auto writeName = [&](const ResourceKey& k) -> uint32_t {
        if (!k.named)
            return k.id;
        uint32_t at = nextName;
        WriteLe16(&out[at], (uint32_t)k.name.size());
        for (size_t i = 0; i < k.name.size(); ++i)
            WriteLe16(&out[at + 2 + 2 * i], k.name[i]);
        nextName += nameSize(k);
        return kHighBit | at;
    };
    auto writeHeader = [&](uint32_t at, size_t named, size_t ids) {
        WriteLe16(&out[at + 12], (uint32_t)named);
        WriteLe16(&out[at + 14], (uint32_t)ids);
    };
    auto countNamed = [](const auto& map) {
        size_t n = 0;
        for (const auto& kv : map)
            n += kv.first.named ? 1 : 0;
        return n;
    };

    // Breadth-first: the root's entries point at the type directories laid out after it, and
    // so on; directory offsets are handed out in the order the levels are written.
    writeHeader(0, countNamed(table), table.size() - countNamed(table));
    std::vector<std::pair<uint32_t, const std::map<ResourceKey, std::map<uint16_t, ResourceData>>*>>
        typeDirs;
    uint32_t slot = 16;
    for (const auto& [type, names] : table) {
        WriteLe32(&out[slot], writeName(type));
        WriteLe32(&out[slot + 4], kHighBit | nextDir);
        typeDirs.push_back({nextDir, &names});
        nextDir += directorySize(names.size());
        slot += 8;
    }
    std::vector<std::pair<uint32_t, const std::map<uint16_t, ResourceData>*>> nameDirs;
    for (const auto& [at, names] : typeDirs) {
        writeHeader(at, countNamed(*names), names->size() - countNamed(*names));
        uint32_t s = at + 16;
        for (const auto& [name, languages] : *names) {
            WriteLe32(&out[s], writeName(name));
            WriteLe32(&out[s + 4], kHighBit | nextDir);
            nameDirs.push_back({nextDir, &languages});
            nextDir += directorySize(languages.size());
            s += 8;
        }
    }
    for (const auto& [at, languages] : nameDirs) {
        writeHeader(at, 0, languages->size());
        uint32_t s = at + 16;
        for (const auto& [language, data] : *languages) {
            WriteLe32(&out[s], language);
            WriteLe32(&out[s + 4], nextEntry);
            WriteLe32(&out[nextEntry], rva + nextBlob);
            WriteLe32(&out[nextEntry + 4], (uint32_t)data.bytes.size());
            WriteLe32(&out[nextEntry + 8], data.codePage);
            std::copy(data.bytes.begin(), data.bytes.end(), out.begin() + nextBlob);
            nextBlob = Align(nextBlob + (uint32_t)data.bytes.size(), 8);
            nextEntry += 16;
            s += 8;
        }
    }
    return out;
}

void WriteSectionHeader(std::vector<uint8_t>& f, uint32_t at, const PeSection& s) {
    std::fill(f.begin() + at, f.begin() + at + kSectionHeaderSize, 0);
    std::memcpy(&f[at], s.name, 8);
    WriteLe32(&f[at + 8], s.virtualSize);
    WriteLe32(&f[at + 12], s.virtualAddress);
    WriteLe32(&f[at + 16], s.rawSize);
    WriteLe32(&f[at + 20], s.rawPointer);
    WriteLe32(&f[at + 36], s.characteristics);
}

} // namespace

std::vector<uint8_t> WriteResources(const PeImage& image, const ResourceTable& table,
                                    bool* droppedCertificate) {
    uint32_t size;
    uint32_t resourceRva = image.Directory(kDirResource, &size);
    if (size == 0)
        resourceRva = 0;
    uint32_t relocationSize;
    uint32_t relocationRva = image.Directory(kDirRelocation, &relocationSize);
    uint32_t certificateSize;
    uint32_t certificateAt = image.Directory(kDirCertificate, &certificateSize);
    *droppedCertificate = certificateAt != 0 && certificateSize != 0;

    // The old resource and relocation sections go; they must come after all others.
    std::vector<PeSection> kept;
    const PeSection* relocation = nullptr;
    bool movedSeen = false;
    for (const PeSection& s : image.sections) {
        bool isResource = resourceRva != 0 && s.virtualAddress == resourceRva;
        bool isRelocation = relocationSize != 0 && s.virtualAddress == relocationRva;
        if (isResource || isRelocation) {
            movedSeen = true;
            if (isRelocation)
                relocation = &s;
            continue;
        }
        if (movedSeen)
            throw std::runtime_error("resources or relocations are not the last sections");
        kept.push_back(s);
    }
    if (kept.empty())
        throw std::runtime_error("PE image has no sections");

    uint32_t virtualEnd = 0, rawEnd = image.sizeOfHeaders;
    for (const PeSection& s : kept) {
        virtualEnd = std::max(virtualEnd, s.virtualAddress + std::max(s.virtualSize, s.rawSize));
        if (s.rawSize != 0)
            rawEnd = std::max(rawEnd, s.rawPointer + s.rawSize);
    }
    uint32_t lastRaw = rawEnd;
    for (const PeSection& s : image.sections)
        if (s.rawSize != 0)
            lastRaw = std::max(lastRaw, s.rawPointer + s.rawSize);
    uint32_t fileEnd = *droppedCertificate ? certificateAt : (uint32_t)image.file.size();
    if (fileEnd > Align(lastRaw, image.fileAlignment) || fileEnd < lastRaw)
        throw std::runtime_error("PE image carries data after its sections");

    // the new sections must fit the 32-bit address space after the kept ones
    uint64_t resourcesAt = Align64(virtualEnd, image.sectionAlignment);
    std::vector<uint8_t> tree = BuildSection(table, (uint32_t)resourcesAt);
    uint64_t imageEnd = resourcesAt + Align64(tree.size(), image.sectionAlignment);
    if (relocation != nullptr)
        imageEnd +=
            Align64(std::max(relocation->virtualSize, relocation->rawSize), image.sectionAlignment);
    if (imageEnd > UINT32_MAX)
        throw std::runtime_error("no room for the resources in the image's address space");

    PeSection resources{};
    std::memcpy(resources.name, ".rsrc\0\0\0", 8);
    resources.virtualAddress = (uint32_t)resourcesAt;
    resources.virtualSize = (uint32_t)tree.size();
    resources.rawPointer = Align(rawEnd, image.fileAlignment);
    resources.rawSize = Align((uint32_t)tree.size(), image.fileAlignment);
    resources.characteristics = kScnInitializedData | kScnRead;
    std::vector<PeSection> sections = kept;
    sections.push_back(resources);
    PeSection movedRelocation{};
    if (relocation != nullptr) {
        movedRelocation = *relocation;
        movedRelocation.virtualAddress =
            Align(resources.virtualAddress + resources.virtualSize, image.sectionAlignment);
        movedRelocation.rawPointer = resources.rawPointer + resources.rawSize;
        sections.push_back(movedRelocation);
    }
    uint32_t tableEnd = image.sectionTable + kSectionHeaderSize * (uint32_t)sections.size();
    uint32_t firstRaw = UINT32_MAX;
    for (const PeSection& s : kept)
        if (s.rawSize != 0)
            firstRaw = std::min(firstRaw, s.rawPointer);
    if (tableEnd > image.sizeOfHeaders || tableEnd > firstRaw)
        throw std::runtime_error("no room for another section header");

    std::vector<uint8_t> out(image.file.begin(), image.file.begin() + rawEnd);
    out.resize(resources.rawPointer, 0);
    out.insert(out.end(), tree.begin(), tree.end());
    out.resize(resources.rawPointer + resources.rawSize, 0);
    if (relocation != nullptr) {
        const uint8_t* from = &image.file[relocation->rawPointer];
        out.insert(out.end(), from, from + relocation->rawSize);
    }

    // The section table, then the header fields that follow from it.
    uint32_t coff = image.optionalHeader - 20;
    std::fill(out.begin() + image.sectionTable,
              out.begin() + image.sectionTable +
                  kSectionHeaderSize * std::max(sections.size(), image.sections.size()),
              0);
    for (size_t i = 0; i < sections.size(); ++i)
        WriteSectionHeader(out, image.sectionTable + kSectionHeaderSize * (uint32_t)i, sections[i]);
    WriteLe16(&out[coff + kCoffSections], (uint32_t)sections.size());
    const PeSection& last = sections.back();
    uint32_t opt = image.optionalHeader;
    WriteLe32(&out[opt + kOptImageSize],
              Align(last.virtualAddress + std::max(last.virtualSize, last.rawSize),
                    image.sectionAlignment));
    uint32_t initialized = 0;
    for (const PeSection& s : sections)
        if (s.characteristics & kScnInitializedData)
            initialized += s.rawSize;
    WriteLe32(&out[opt + kOptInitializedData], initialized);
    WriteLe32(&out[opt + kOptDirectories + 8 * kDirResource], resources.virtualAddress);
    WriteLe32(&out[opt + kOptDirectories + 8 * kDirResource + 4], resources.virtualSize);
    if (relocation != nullptr)
        WriteLe32(&out[opt + kOptDirectories + 8 * kDirRelocation], movedRelocation.virtualAddress);
    WriteLe32(&out[opt + kOptDirectories + 8 * kDirCertificate], 0);
    WriteLe32(&out[opt + kOptDirectories + 8 * kDirCertificate + 4], 0);
    WriteLe32(&out[opt + kOptChecksum], PeChecksum(out, opt + kOptChecksum));
    return out;
}

uint32_t PeChecksum(const std::vector<uint8_t>& file, uint32_t checksumOffset) {
    uint64_t sum = 0;
    size_t n = file.size();
    for (size_t i = 0; i < n; i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2)
            continue;
        uint32_t word = file[i] | (i + 1 < n ? (uint32_t)file[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return (uint32_t)sum + (uint32_t)n;
}
