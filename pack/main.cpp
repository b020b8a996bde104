// sxe-pack: makes, lists, checks and unpacks sxe packages for win32 and posix.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "codecs/szdd.h"
#include "package_file.h"
#include "plan.h"
#include "platform.h"
#include "szdd_encoder.h"
#include "zlib_stream.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage:\n"
    "  sxe-pack create [--target win32|posix] [--codec inflate|lz] [-C DIR] [--stub FILE]\n"
    "                  [--plugin FILE] [--no-icon] -o OUT PROGRAM [FILE|DIR ...]\n"
    "  sxe-pack list PACKAGE\n"
    "  sxe-pack verify PACKAGE\n"
    "  sxe-pack extract PACKAGE DIR\n"
    "  sxe-pack assemble [--target win32|posix] [--stub FILE] -o OUT [ID=FILE ...]\n"
    "\n"
    "create packs PROGRAM (started when the package runs) and the files and directories\n"
    "after it, named relative to DIR (default: the current directory). The default target is\n"
    "win32 and the default codec inflate (zlib streams, expanded by a plug-in that the package\n"
    "carries); lz stores SZDD data, which the launcher expands itself. assemble writes the\n"
    "given files as items ID unchanged, for building special packages by hand.\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

fs::path OwnDirectory() {
    char name[4096];
    uint32_t n = SysGetModuleFileName(name, sizeof name);
    if (n == 0 || n >= sizeof name)
        return fs::current_path();
    return fs::path(name).parent_path();
}

// Where the launcher stubs and plug-ins live: PREFIX/lib/sxe/<target>/ beside PREFIX/bin.
fs::path LibraryDirectory(Target target) {
    return OwnDirectory().parent_path() / "lib" / "sxe" / TargetName(target);
}

// The launcher stub that packages for target start from, unless --stub names another.
fs::path DefaultStub(Target target) {
    return LibraryDirectory(target) /
           (target == Target::Win32 ? "sxe-launcher.exe" : "sxe-launcher");
}

Target ParseTarget(const std::string& v) {
    if (v == "win32")
        return Target::Win32;
    if (v == "posix")
        return Target::Posix;
    throw UsageError("--target takes win32 or posix, not " + v);
}

struct Expanded {
    bool ok;
    std::vector<uint8_t> bytes;
    std::string error;
};

bool CollectBlock(void* context, const unsigned char* bytes, uint32_t count) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), bytes, bytes + count);
    return true;
}

Expanded ExpandSzdd(const std::vector<uint8_t>& item) {
    Expanded e{false, {}, {}};
    switch (SzddExpand(item.data(), item.size(), CollectBlock, &e.bytes)) {
    case kSzddOk:
        e.ok = true;
        break;
    case kSzddNotSzdd:
        e.error = "not SZDD mode A data";
        break;
    case kSzddEndsEarly:
        e.error = "SZDD data ends before its stated length";
        break;
    case kSzddRunsPast:
        e.error = "SZDD data runs past its stated length";
        break;
    case kSzddSinkRefused:
        e.error = "SZDD expansion stopped";
        break;
    }
    return e;
}

// A package's items, expanded and checked as the launcher would take them.
struct Opened {
    Package package;
    bool inflate = false;
    std::vector<std::string> entries;
    std::vector<Expanded> expanded; // one per entry
    std::vector<std::string> problems;
};

Expanded ExpandItem(const Opened& o, const std::vector<uint8_t>& item) {
    if (!o.inflate)
        return ExpandSzdd(item);
    Expanded e{false, {}, {}};
    e.ok = ZlibExpand(item.data(), item.size(), &e.bytes, &e.error);
    return e;
}

Opened Open(const std::string& path) {
    Opened o;
    try {
        o.package = ReadPackage(ReadWholeFile(path));
    } catch (const std::exception& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
    const ItemMap& items = o.package.items;
    o.inflate = items.count(1) != 0;
    if (o.inflate) {
        Expanded plugin = ExpandSzdd(items.at(1));
        if (!plugin.ok)
            o.problems.push_back("item 1 (the plug-in): " + plugin.error);
    }
    if (!items.count(2))
        throw std::runtime_error(path + ": no manifest (item 2)");
    Expanded manifest = ExpandItem(o, items.at(2));
    if (!manifest.ok)
        throw std::runtime_error(path + ": item 2 (the manifest): " + manifest.error);
    if (manifest.bytes.size() > kManifestLimit)
        o.problems.push_back("the manifest holds " + std::to_string(manifest.bytes.size()) +
                             " bytes; the launcher holds 1,024");
    std::string text(manifest.bytes.begin(), manifest.bytes.end());
    if (!SplitManifest(text, &o.entries))
        o.problems.push_back("the manifest has no end marker");
    for (size_t k = 0; k < o.entries.size(); ++k) {
        const std::string& name = o.entries[k];
        uint32_t id = (uint32_t)(3 + k);
        std::string where = "item " + std::to_string(id) + " (" + name + ")";
        if (name.empty() || name.size() > kLineLimit)
            o.problems.push_back(where + ": the launcher cannot take this name");
        auto item = items.find(id);
        if (item == items.end()) {
            o.problems.push_back(where + ": missing");
            o.expanded.push_back({false, {}, "missing"});
            continue;
        }
        o.expanded.push_back(ExpandItem(o, item->second));
        if (!o.expanded.back().ok)
            o.problems.push_back(where + ": " + o.expanded.back().error);
    }
    if (o.entries.empty())
        o.problems.push_back("the manifest lists no program");
    return o;
}

int List(const std::vector<std::string>& args) {
    if (args.size() != 1)
        throw UsageError("list takes one PACKAGE");
    Opened o = Open(args[0]);
    std::printf("%s: %s package, codec %s, %zu entries\n", args[0].c_str(),
                TargetName(o.package.target), o.inflate ? "inflate" : "lz", o.entries.size());
    std::printf("%12s %12s  %s\n", "stored", "expanded", "entry");
    for (size_t k = 0; k < o.entries.size(); ++k) {
        auto item = o.package.items.find((uint32_t)(3 + k));
        std::string stored =
            item == o.package.items.end() ? "-" : std::to_string(item->second.size());
        std::string expanded =
            o.expanded[k].ok ? std::to_string(o.expanded[k].bytes.size()) : "damaged";
        std::printf("%12s %12s  %s\n", stored.c_str(), expanded.c_str(), o.entries[k].c_str());
    }
    return o.problems.empty() ? 0 : 1;
}

int Verify(const std::vector<std::string>& args) {
    if (args.size() != 1)
        throw UsageError("verify takes one PACKAGE");
    Opened o = Open(args[0]);
    for (const std::string& p : o.problems)
        std::fprintf(stderr, "sxe-pack: %s: %s\n", args[0].c_str(), p.c_str());
    if (!o.problems.empty())
        return 1;
    uint64_t total = 0;
    for (const Expanded& e : o.expanded)
        total += e.bytes.size();
    std::printf("%s: ok, %zu entries, %llu bytes\n", args[0].c_str(), o.entries.size(),
                (unsigned long long)total);
    return 0;
}

int Extract(const std::vector<std::string>& args) {
    if (args.size() != 2)
        throw UsageError("extract takes PACKAGE and DIR");
    Opened o = Open(args[0]);
    for (const std::string& p : o.problems)
        throw std::runtime_error(args[0] + ": " + p);
    fs::path dir(args[1]);
    for (size_t k = 0; k < o.entries.size(); ++k) {
        std::string name = o.entries[k];
        std::replace(name.begin(), name.end(), '\\', '/');
        fs::path out = dir / fs::path(name);
        if (name.find("..") != std::string::npos || fs::path(name).is_absolute())
            throw std::runtime_error(args[0] + ": " + o.entries[k] + ": unsafe name");
        fs::create_directories(out.parent_path());
        WriteFileAtomically(out.string(), o.expanded[k].bytes, k == 0);
    }
    return 0;
}

// Runs work(i) for i in [0, count) on every core.
template <typename Work> void ForEachParallel(size_t count, Work work) {
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::atomic<bool> failed{false};
    auto worker = [&]() {
        for (size_t i; !failed && (i = next++) < count;) {
            try {
                work(i);
            } catch (...) {
                if (!failed.exchange(true))
                    failure = std::current_exception();
            }
        }
    };
    size_t threads = std::max(1u, std::min<unsigned>(std::thread::hardware_concurrency(), 8));
    std::vector<std::thread> pool;
    for (size_t t = 1; t < std::min(threads, count); ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool)
        t.join();
    if (failure)
        std::rethrow_exception(failure);
}

int Create(const std::vector<std::string>& args) {
    Target target = Target::Win32;
    bool lz = false, icon = true;
    std::string base = ".", out, stub, plugin;
    std::vector<std::string> inputs;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--target")
            target = ParseTarget(value());
        else if (a == "--codec") {
            const std::string& v = value();
            if (v != "inflate" && v != "lz")
                throw UsageError("--codec takes inflate or lz, not " + v);
            lz = v == "lz";
        } else if (a == "-C")
            base = value();
        else if (a == "-o")
            out = value();
        else if (a == "--stub")
            stub = value();
        else if (a == "--plugin")
            plugin = value();
        else if (a == "--no-icon")
            icon = false;
        else if (a.size() > 1 && a[0] == '-' && a != "--")
            throw UsageError("unknown option " + a);
        else
            inputs.push_back(a);
    }
    if (out.empty())
        throw UsageError("create needs -o OUT");
    if (inputs.empty())
        throw UsageError("create needs a PROGRAM");
    const bool win32 = target == Target::Win32;
    if (stub.empty())
        stub = DefaultStub(target).string();
    if (plugin.empty())
        plugin = (fs::path(stub).parent_path() / (win32 ? "inflate.dll" : "inflate.so")).string();

    std::string program = inputs[0];
    inputs.erase(inputs.begin());
    Plan plan = MakePlan(target, base, program, inputs);

    std::vector<uint8_t> stubBytes = ReadWholeFile(stub);
    try {
        CheckStub(target, stubBytes);
    } catch (const std::exception& e) {
        throw std::runtime_error(stub + ": " + e.what() + " (not a " + TargetName(target) +
                                 " launcher stub)");
    }
    ResourceTable look;
    std::vector<uint8_t> programBytes = ReadWholeFile(plan.entries[0].source.string());
    if (icon && win32) {
        try {
            look = ProgramLook(programBytes);
        } catch (const std::exception& e) {
            plan.warnings.push_back(program + ": icon and version not copied (" + e.what() + ")");
        }
    }

    ItemMap items;
    if (!lz)
        items[1] = [&] {
            std::vector<uint8_t> p = ReadWholeFile(plugin);
            return SzddCompress(p.data(), p.size());
        }();
    const std::vector<uint8_t> manifest(plan.manifest.begin(), plan.manifest.end());
    auto compress = [lz](const std::vector<uint8_t>& data) {
        return lz ? SzddCompress(data.data(), data.size()) : ZlibCompress(data.data(), data.size());
    };
    items[2] = compress(manifest);
    std::vector<std::vector<uint8_t>> stored(plan.entries.size());
    ForEachParallel(plan.entries.size(), [&](size_t k) {
        stored[k] =
            compress(k == 0 ? programBytes : ReadWholeFile(plan.entries[k].source.string()));
    });
    for (size_t k = 0; k < stored.size(); ++k)
        items[(uint32_t)(3 + k)] = std::move(stored[k]);

    std::vector<uint8_t> package = BuildPackage(target, stubBytes, items, look, &plan.warnings);
    for (const std::string& w : plan.warnings)
        std::fprintf(stderr, "sxe-pack: warning: %s\n", w.c_str());
    WriteFileAtomically(out, package, true);
    return 0;
}

int Assemble(const std::vector<std::string>& args) {
    Target target = Target::Win32;
    std::string out, stub;
    ItemMap items;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--target" || a == "--stub" || a == "-o") && i + 1 >= args.size())
            throw UsageError(a + " needs a value");
        if (a == "--target")
            target = ParseTarget(args[++i]);
        else if (a == "--stub")
            stub = args[++i];
        else if (a == "-o")
            out = args[++i];
        else {
            size_t eq = a.find('=');
            if (eq == std::string::npos || eq == 0)
                throw UsageError("assemble takes items as ID=FILE, not " + a);
            unsigned long id = std::stoul(a.substr(0, eq));
            if (id == 0 || id > 0xFFFF)
                throw UsageError("item ids run from 1 to 65535");
            items[(uint32_t)id] = ReadWholeFile(a.substr(eq + 1));
        }
    }
    if (out.empty())
        throw UsageError("assemble needs -o OUT");
    if (stub.empty())
        stub = DefaultStub(target).string();
    std::vector<uint8_t> stubBytes = ReadWholeFile(stub);
    CheckStub(target, stubBytes);
    std::vector<std::string> warnings;
    WriteFileAtomically(out, BuildPackage(target, stubBytes, items, {}, &warnings), true);
    for (const std::string& w : warnings)
        std::fprintf(stderr, "sxe-pack: warning: %s\n", w.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    try {
        if (command == "create")
            return Create(args);
        if (command == "list")
            return List(args);
        if (command == "verify")
            return Verify(args);
        if (command == "extract")
            return Extract(args);
        if (command == "assemble")
            return Assemble(args);
        throw UsageError("unknown command " + command);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "sxe-pack: %s\n%s", e.what(), kUsage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sxe-pack: %s\n", e.what());
        return 1;
    }
}
