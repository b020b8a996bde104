// The benchmark's limit: the least work a run of a posix package can take. It maps the package,
// inflates its zlib items from memory in 32 KiB passes into files beside it, runs the first
// one, waits, and deletes the files; no plug-in, no temporary files, no manifest file.
// Usage: limit PACKAGE
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "package/appended_format.h"

extern char** environ;

static bool Inflate(const unsigned char* data, uint32_t size, int fd, std::string* text) {
    z_stream s{};
    if (inflateInit(&s) != Z_OK)
        return false;
    s.next_in = const_cast<unsigned char*>(data);
    s.avail_in = size;
    unsigned char buffer[32768];
    int r;
    do {
        s.next_out = buffer;
        s.avail_out = sizeof buffer;
        r = inflate(&s, Z_NO_FLUSH);
        size_t n = sizeof buffer - s.avail_out;
        if (text != nullptr)
            text->append((const char*)buffer, n);
        else if (n > 0 && write(fd, buffer, n) != (ssize_t)n)
            r = Z_ERRNO;
    } while (r == Z_OK);
    inflateEnd(&s);
    return r == Z_STREAM_END;
}

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0)
        return 3;
    auto* image = (const unsigned char*)mmap(nullptr, st.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
    std::string dir(argv[1]);
    dir = dir.substr(0, dir.rfind('/') + 1);
    const unsigned char* data;
    uint32_t size;
    std::string manifest;
    if (!FindAppendedItem(image, st.st_size, 2, &data, &size) ||
        !Inflate(data, size, -1, &manifest))
        return 4;
    std::vector<std::string> names;
    for (size_t at = 0; at < manifest.size();) {
        size_t end = manifest.find("\r\n", at);
        std::string line = manifest.substr(at, end - at);
        if (line == "end")
            break;
        names.push_back(dir + line);
        at = end + 2;
    }
    for (size_t k = 0; k < names.size(); ++k) {
        std::string d = names[k].substr(0, names[k].rfind('/'));
        mkdir(d.c_str(), 0777);
        int out = open(names[k].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0755);
        if (out < 0 || !FindAppendedItem(image, st.st_size, 3 + k, &data, &size) ||
            !Inflate(data, size, out, nullptr))
            return 5;
        close(out);
    }
    pid_t pid;
    char* child[] = {const_cast<char*>(names[0].c_str()), nullptr};
    int status = 0;
    if (posix_spawn(&pid, names[0].c_str(), nullptr, nullptr, child, environ) != 0 ||
        waitpid(pid, &status, 0) < 0)
        return 6;
    for (const std::string& name : names) {
        unlink(name.c_str());
        rmdir(name.substr(0, name.rfind('/')).c_str());
    }
    return WEXITSTATUS(status);
}
