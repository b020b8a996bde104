// The posix probe program (see probe_common.h). SXE_PROBE_SLEEP_MS makes it wait before it
// ends, after writing "started" to the report, for the signal tests.
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "probe_common.h"

static void List(FILE* out, const char* root, const char* relative) {
    char path[PATH_MAX];
    snprintf(path, sizeof path, "%s/%s", root, relative);
    DIR* dir = opendir(path);
    if (dir == NULL)
        return;
    struct dirent* e;
    while ((e = readdir(dir)) != NULL) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        char rel[PATH_MAX], full[PATH_MAX];
        snprintf(rel, sizeof rel, "%s%s%s", relative, *relative ? "/" : "", e->d_name);
        snprintf(full, sizeof full, "%s/%s", root, rel);
        struct stat st;
        if (lstat(full, &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            fprintf(out, "dir=%s\n", rel);
            List(out, root, rel);
        } else {
            ReportFile(out, full, rel);
        }
    }
    closedir(dir);
}

static void Pause(unsigned long milliseconds) {
    struct timespec t = {(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

int main(int argc, char** argv) {
    const char* reportPath = getenv("SXE_PROBE_REPORT");
    if (reportPath == NULL)
        return ProbeExitCode();
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = '\0';
    char* slash = strrchr(self, '/');
    if (slash != NULL)
        *slash = '\0';

    ApplyProbeActions(self, '/');

    FILE* out = fopen(reportPath, "w");
    if (out == NULL)
        return 120;
    fprintf(out, "argc=%d\n", argc);
    for (int i = 0; i < argc; ++i)
        WriteHex(out, "arg", argv[i]);
    char cwd[PATH_MAX];
    fprintf(out, "cwd=%s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
    const char* env = getenv("SXE_PROBE_ENV");
    fprintf(out, "env=%s\n", env ? env : "");
    fprintf(out, "self=%s\n", self);
    List(out, self, "");
    return FinishReport(out, Pause);
}
