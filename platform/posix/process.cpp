// The launcher's own process, its image, libraries and the child process on posix systems.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "paths.h"
#include "platform.h"
#include "platform_posix.h"

extern char** environ;

static int argumentCount;
static char** arguments;

void SysSetArguments(int argc, char** argv) {
    argumentCount = argc;
    arguments = argv;
}

const char* SysGetCommandLine(void) {
    return "";
}

void SysShowErrorBox(const char* text, const char*) {
    SYS_FAULT_POINT_VOID();
    size_t length = strlen(text);
    if (write(2, text, length) == (ssize_t)length)
        (void)!write(2, "\n", 1);
}

void SysSleep(uint32_t milliseconds) {
    SYS_FAULT_POINT_VOID();
    struct timespec pause = {(time_t)(milliseconds / 1000), (long)(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

bool SysLockPackage(const char* path) {
    SYS_FAULT_POINT(return false);
    char native[PATH_MAX];
    if (!NativePath(path, native))
        return false;
    // The descriptor stays open, unseen by the program (close-on-exec), until the process ends.
    int fd = open(native, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int locked;
    do
        locked = flock(fd, LOCK_EX);
    while (locked != 0 && errno == EINTR);
    if (locked != 0)
        close(fd);
    return locked == 0;
}

bool SysMapOwnImage(const unsigned char** base, uint64_t* size) {
    static const unsigned char* image;
    static uint64_t imageSize;
    // Every look-up of an item comes here, so a test build can fail each one, as the
    // resource look-up of the other flavour can fail.
    SYS_FAULT_POINT(return false);
    if (image == NULL) {
        int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat st;
        void* view = MAP_FAILED;
        if (fstat(fd, &st) == 0 && st.st_size > 0)
            view = mmap(NULL, (size_t)st.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
        close(fd);
        if (view == MAP_FAILED)
            return false;
        image = (const unsigned char*)view;
        imageSize = (uint64_t)st.st_size;
    }
    *base = image;
    *size = imageSize;
    return true;
}

SysModule SysLoadLibrary(const char* path) {
    SYS_FAULT_POINT(return NULL);
    char native[PATH_MAX];
    if (!NativePath(path, native))
        return NULL;
    return dlopen(native, RTLD_NOW | RTLD_LOCAL);
}

void* SysGetProcAddress(SysModule module, const char* name) {
    SYS_FAULT_POINT(return NULL);
    return dlsym(module, name);
}

void SysFreeLibrary(SysModule module) {
    SYS_FAULT_POINT_VOID();
    dlclose(module);
}

// While the child runs, the terminal's interrupt and quit reach it directly (they go to the
// whole process group), so the launcher ignores them and lives on to clean up; a termination
// or hang-up sent to the launcher alone is passed on to the child.
static volatile sig_atomic_t childId;

static void PassSignalOn(int signal) {
    if (childId > 0)
        kill((pid_t)childId, signal);
}

bool SysStartProcess(const char* path, char*, SysProcess* process) {
    process->id = 0;
    process->status = 0;
    process->ended = false;
    SYS_FAULT_POINT(return false);
    char native[PATH_MAX];
    if (!NativePath(path, native) || arguments == NULL || argumentCount < 1)
        return false;

    sigset_t passed, original;
    sigemptyset(&passed);
    sigaddset(&passed, SIGTERM);
    sigaddset(&passed, SIGHUP);
    sigprocmask(SIG_BLOCK, &passed, &original);

    struct sigaction forward;
    memset(&forward, 0, sizeof forward);
    forward.sa_handler = PassSignalOn;
    sigemptyset(&forward.sa_mask);
    sigaction(SIGTERM, &forward, NULL);
    sigaction(SIGHUP, &forward, NULL);
    struct sigaction ignore;
    memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGINT, &ignore, NULL);
    sigaction(SIGQUIT, &ignore, NULL);

    // The child starts with default signal handling and the launcher's original mask.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGHUP);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &original);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    char* launcherName = arguments[0];
    arguments[0] = native;
    pid_t pid = 0;
    int error = posix_spawn(&pid, native, NULL, &attributes, arguments, environ);
    arguments[0] = launcherName;
    posix_spawnattr_destroy(&attributes);

    if (error == 0) {
        childId = pid;
        process->id = pid;
    }
    sigprocmask(SIG_SETMASK, &original, NULL);
    return error == 0;
}

void SysWaitProcess(SysProcess* process) {
    SYS_FAULT_POINT_VOID();
    int status = 0;
    pid_t done;
    do
        done = waitpid((pid_t)process->id, &status, 0);
    while (done < 0 && errno == EINTR);
    if (done < 0)
        return;
    childId = 0;
    if (WIFEXITED(status))
        process->status = (uint32_t)WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        process->status = 128u + (uint32_t)WTERMSIG(status);
    process->ended = true;
}

bool SysGetExitCode(SysProcess* process, uint32_t* code) {
    SYS_FAULT_POINT(return false);
    if (!process->ended)
        return false;
    *code = process->status;
    return true;
}

void SysCloseProcess(SysProcess* process) {
    process->id = 0;
}
