// Packages on disk: a launcher stub with its items, for either target.
#include "package_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "launcher/entry.h"
#include "package/appended_format.h"
#include "package/byte_order.h"
#include "package/package_item.h"

namespace fs = std::filesystem;

namespace {

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kSubsystemGui = 2;
constexpr uint16_t kFileDll = 0x2000;
constexpr uint16_t kNeutralLanguage = 0;

bool Contains(const std::vector<uint8_t>& bytes, const char* text) {
    size_t n = std::strlen(text);
    return std::search(bytes.begin(), bytes.end(), text, text + n) != bytes.end();
}

bool IsElf(const std::vector<uint8_t>& f) {
    return f.size() > 4 && f[0] == 0x7F && f[1] == 'E' && f[2] == 'L' && f[3] == 'F';
}

bool IsPe(const std::vector<uint8_t>& f) {
    return f.size() > 2 && f[0] == 'M' && f[1] == 'Z';
}

} // namespace

const char* TargetName(Target target) {
    return target == Target::Win32 ? "win32" : "posix";
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(path + ": cannot be read");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad())
        throw std::runtime_error(path + ": read error");
    return bytes;
}

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes,
                         bool executable) {
    fs::path target(path);
    fs::path temporary = target;
    temporary += ".sxe-part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            throw std::runtime_error(path + ": cannot be written");
        out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw std::runtime_error(path + ": write failed (disk full?)");
        }
    }
    std::error_code error;
    if (executable)
        fs::permissions(temporary,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec,
                        error);
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw std::runtime_error(path + ": cannot be written (" + error.message() + ")");
    }
}

Package ReadPackage(const std::vector<uint8_t>& file) {
    Package package;
    if (IsPe(file)) {
        package.target = Target::Win32;
        PeImage image = PeImage::Parse(file);
        ResourceTable table = ReadResources(image);
        auto type = table.find(ResourceKey::Id(kPackageResourceType));
        if (type == table.end())
            throw std::runtime_error("no package items (no resources of type 99)");
        for (const auto& [name, languages] : type->second) {
            if (name.named || languages.empty())
                continue;
            package.items[name.id] = languages.begin()->second.bytes;
        }
        return package;
    }
    if (IsElf(file)) {
        package.target = Target::Posix;
        int64_t count = CountAppendedItems(file.data(), file.size());
        if (count < 0)
            throw std::runtime_error("no package items (no sound item table at the end)");
        for (int64_t k = 0; k < count; ++k) {
            uint32_t id, size;
            const unsigned char* data;
            if (!GetAppendedItem(file.data(), file.size(), (uint32_t)k, &id, &data, &size))
                throw std::runtime_error("item table entry " + std::to_string(k) +
                                         " points outside the file");
            package.items[id].assign(data, data + size);
        }
        return package;
    }
    throw std::runtime_error("not a package (neither a PE nor an ELF executable)");
}

void CheckStub(Target target, const std::vector<uint8_t>& stub) {
    if (target == Target::Win32) {
        if (!IsPe(stub))
            throw std::runtime_error("not a Windows executable");
        PeImage image = PeImage::Parse(stub);
        if (image.machine != kMachineI386 || image.subsystem != kSubsystemGui ||
            (image.characteristics & kFileDll))
            throw std::runtime_error("not a 32-bit Windows GUI executable");
        if (ReadResources(image).count(ResourceKey::Id(kPackageResourceType)))
            throw std::runtime_error("already carries a package");
    } else {
        if (!IsElf(stub))
            throw std::runtime_error("not an ELF executable");
        if (CountAppendedItems(stub.data(), stub.size()) >= 0)
            throw std::runtime_error("already carries a package");
    }
    if (!Contains(stub, kErrorText))
        throw std::runtime_error("not an sxe launcher");
}

std::vector<uint8_t> BuildPackage(Target target, const std::vector<uint8_t>& stub,
                                  const ItemMap& items, const ResourceTable& extra,
                                  std::vector<std::string>* warnings) {
    if (target == Target::Win32) {
        PeImage image = PeImage::Parse(stub);
        ResourceTable table = ReadResources(image);
        for (const auto& [type, names] : extra)
            for (const auto& [name, languages] : names)
                for (const auto& [language, data] : languages)
                    table[type][name][language] = data;
        auto& packageType = table[ResourceKey::Id(kPackageResourceType)];
        for (const auto& [id, bytes] : items) {
            ResourceData data;
            data.bytes = bytes;
            packageType[ResourceKey::Id((uint16_t)id)][kNeutralLanguage] = std::move(data);
        }
        bool droppedCertificate = false;
        std::vector<uint8_t> out = WriteResources(image, table, &droppedCertificate);
        if (droppedCertificate)
            warnings->push_back("the stub's signature was dropped: sign the package after packing");
        return out;
    }
    std::vector<uint8_t> out = stub;
    std::vector<uint8_t> table;
    for (const auto& [id, bytes] : items) {
        unsigned char entry[kAppendedEntrySize];
        WriteLe32(entry, id);
        WriteLe32(entry + 4, (uint32_t)bytes.size());
        WriteLe64(entry + 8, out.size());
        table.insert(table.end(), entry, entry + kAppendedEntrySize);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    unsigned char trailer[kAppendedTrailerSize] = {};
    WriteLe64(trailer, out.size());
    WriteLe32(trailer + 8, (uint32_t)items.size());
    std::memcpy(trailer + kAppendedMagicOffset, kAppendedMagic, kAppendedMagicSize);
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), trailer, trailer + kAppendedTrailerSize);
    return out;
}

ResourceTable ProgramLook(const std::vector<uint8_t>& program) {
    ResourceTable look;
    if (!IsPe(program))
        return look;
    ResourceTable all = ReadResources(PeImage::Parse(program));
    for (uint16_t type : {kResourceIcon, kResourceGroupIcon, kResourceVersion}) {
        auto found = all.find(ResourceKey::Id(type));
        if (found != all.end())
            look[found->first] = found->second;
    }
    return look;
}
