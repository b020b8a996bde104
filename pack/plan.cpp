// Planning a package.
//
// The launcher creates one directory level per entry, right before it expands the entry, and
// after the run removes an entry's directory right after deleting the entry's file. So a
// directory can be made only after its parent got an entry, and goes only if its last entry
// comes after everything in its subdirectories. The order below does both wherever possible:
// a directory's first file, then its subdirectories, then its other files.
#include "plan.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// The name as a message can show it on one line: control bytes are written as escapes.
std::string Shown(const std::string& name) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : name) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c == 0x7F)
            out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
        else
            out += (char)c;
    }
    return out;
}

[[noreturn]] void Refuse(const std::string& name, const std::string& why) {
    throw std::runtime_error(Shown(name) + ": " + why);
}

// The components of a relative name, "." dropped; refuses what the launcher cannot take.
std::vector<std::string> Components(const std::string& given, Target target) {
    if (given.empty())
        Refuse("\"\"", "empty entry name");
    for (char c : given) {
        if (c == '\r' || c == '\n' || c == '\0')
            Refuse(given, "entry names cannot hold line ends");
    }
    if (given[0] == '/' || given[0] == '\\')
        Refuse(given, "absolute path: name files relative to -C DIR");
    if (given.size() >= 2 && given[1] == ':')
        Refuse(given, "a drive letter is not a relative name");
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&]() {
        if (part == "..")
            Refuse(given, "climbs out of the package directory with ..");
        if (!part.empty() && part != ".")
            parts.push_back(part);
        part.clear();
    };
    for (char c : given) {
        if (c == '/' || (c == '\\' && target == Target::Win32))
            flush();
        else
            part += c;
    }
    flush();
    if (parts.empty())
        Refuse(given, "names no file");
    for (const std::string& p : parts) {
        if (target == Target::Posix && p.find('\\') != std::string::npos)
            Refuse(given, "the launcher takes \\ as a directory separator");
        if (target == Target::Win32 && p.find_first_of("<>:\"|?*") != std::string::npos)
            Refuse(given, "Windows cannot name a file with any of < > : \" | ? *");
    }
    return parts;
}

struct Node {
    std::vector<size_t> files; // indexes into the entry list, in input order
    std::map<std::string, Node> children;
};

void Emit(const Node& node, const std::string& path, std::vector<size_t>* order,
          std::vector<std::string>* warnings) {
    if (!node.files.empty())
        order->push_back(node.files[0]);
    for (const auto& [name, child] : node.children)
        Emit(child, path + name + "/", order, warnings);
    for (size_t i = 1; i < node.files.size(); ++i)
        order->push_back(node.files[i]);
    if (node.files.size() == 1 && !node.children.empty() && !path.empty())
        warnings->push_back(path.substr(0, path.size() - 1) +
                            ": directory will remain after the run (its one file must come "
                            "before its subdirectories; add a second file to it)");
}

// Every directory below the top level needs a file directly in its parent.
void CheckCreatable(const Node& node, const std::string& path, int depth) {
    for (const auto& [name, child] : node.children) {
        if (depth >= 1 && node.files.empty())
            Refuse(path.substr(0, path.size() - 1),
                   "holds no file directly, so the launcher cannot create " + path + name +
                       " (it makes one directory level per entry)");
        CheckCreatable(child, path + name + "/", depth + 1);
    }
}

// The manifest's name for an entry: its components joined with the target's separator.
std::string JoinName(const std::vector<std::string>& parts, char separator) {
    std::string joined;
    for (const std::string& p : parts)
        joined += (joined.empty() ? "" : std::string(1, separator)) + p;
    return joined;
}

} // namespace

bool SplitManifest(const std::string& text, std::vector<std::string>* entries) {
    size_t at = 0;
    entries->clear();
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end;
        if (at < text.size() && text[at] == '\r')
            ++at;
        if (at < text.size() && text[at] == '\n')
            ++at;
        if (line == "end")
            return true;
        entries->push_back(line);
    }
    return false;
}

Plan MakePlan(Target target, const fs::path& base, const std::string& program,
              const std::vector<std::string>& inputs) {
    Plan plan;
    const char separator = target == Target::Win32 ? '\\' : '/';
    std::vector<std::vector<std::string>> names;
    std::vector<fs::path> sources;
    std::set<std::vector<std::string>> seen;

    auto addFile = [&](const std::vector<std::string>& parts, const fs::path& source,
                       const std::string& shown) {
        std::error_code error;
        if (!fs::is_regular_file(source, error))
            Refuse(shown, "not a regular file");
        if (fs::file_size(source, error) > UINT32_MAX)
            Refuse(shown, "4 GiB or more: an item holds less");
        if (!seen.insert(parts).second)
            return;
        names.push_back(parts);
        sources.push_back(source);
    };
    auto addInput = [&](const std::string& given, bool isProgram) {
        std::vector<std::string> parts = Components(given, target);
        fs::path source = base;
        for (const std::string& p : parts)
            source /= p;
        std::error_code error;
        fs::file_status status = fs::status(source, error);
        if (!fs::exists(status))
            Refuse(given, "no such file");
        if (fs::is_directory(status)) {
            if (isProgram)
                Refuse(given, "the program must be a file");
            std::vector<fs::path> found;
            for (auto it = fs::recursive_directory_iterator(source, error);
                 !error && it != fs::recursive_directory_iterator(); it.increment(error))
                if (!it->is_directory())
                    found.push_back(it->path());
            if (error)
                Refuse(given, "cannot be read (" + error.message() + ")");
            std::sort(found.begin(), found.end());
            for (const fs::path& file : found) {
                addFile(
                    Components(given + "/" + fs::relative(file, source).generic_string(), target),
                    file, file.string());
            }
            return;
        }
        addFile(parts, source, given);
        if (isProgram && names.size() == 1 && parts.size() > 2)
            Refuse(given, "the program may lie at most one directory down (the launcher "
                          "creates one level for it)");
    };
    addInput(program, true);
    for (const std::string& input : inputs)
        addInput(input, false);

    std::vector<std::string> joinedNames;
    for (const std::vector<std::string>& parts : names) {
        std::string joined = JoinName(parts, separator);
        if (joined == "end")
            Refuse(joined, "a file named end would read as the manifest's end marker");
        if (joined.size() > kLineLimit)
            Refuse(joined, "name of " + std::to_string(joined.size()) +
                               " bytes; a manifest line holds 255");
        joinedNames.push_back(joined);
    }

    Node root;
    for (size_t i = 0; i < names.size(); ++i) {
        Node* node = &root;
        for (size_t k = 0; k + 1 < names[i].size(); ++k)
            node = &node->children[names[i][k]];
        node->files.push_back(i);
    }
    CheckCreatable(root, "", 0);

    // The program first (in its directory's tree when it lies one level down), then
    // everything else.
    std::vector<size_t> order;
    const std::vector<std::string>& first = names[0];
    const bool programAtTop = first.size() == 1;
    if (!programAtTop)
        Emit(root.children[first[0]], first[0] + "/", &order, &plan.warnings);
    order.insert(order.end(), root.files.begin(), root.files.end());
    for (const auto& [name, child] : root.children)
        if (programAtTop || name != first[0])
            Emit(child, name + "/", &order, &plan.warnings);

    for (size_t index : order) {
        plan.entries.push_back({joinedNames[index], sources[index]});
        plan.manifest += joinedNames[index] + "\r\n";
    }
    plan.manifest += "end\r\n";
    if (plan.manifest.size() > kManifestLimit)
        throw std::runtime_error("manifest: needs " + std::to_string(plan.manifest.size()) +
                                 " bytes; the launcher holds 1,024 (pack fewer files, or "
                                 "shorter names, or archive the data in one file)");

    size_t longest = 0;
    for (const PlannedEntry& e : plan.entries)
        longest = std::max(longest, e.name.size());
    size_t room =
        std::min(kPathStoreLimit - longest, kTargetStoreLimit - plan.entries[0].name.size());
    if (target == Target::Win32) // the child command line: quotes and a blank around the target
        room = std::min(room, kPathStoreLimit - 3 - plan.entries[0].name.size());
    if (room < kTypicalDirectoryLength)
        plan.warnings.push_back("names are long: the package fails to run from a directory of "
                                "more than " +
                                std::to_string(room) + " characters");
    return plan;
}
