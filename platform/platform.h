// The operating-system services that the launcher and the plug-in use, one routine per service.
// Every call to the system goes through here; platform/win32 and platform/posix implement it,
// and the build links exactly one of them. A test build (SXE_FAULTS) can make any single call
// fail; in a release build the fault points compile to nothing.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform_defs.h" // per flavour: SXE_CODEC_CALL, kPathSeparator

// Sizes of the launcher's path stores, one for every flavour.
enum {
    kMaxPath = 260,   // package directory, temporary names, output paths, child command line
    kShortStore = 256 // launch target, entry directory, manifest line
};

// An open file; kNoFile when an open failed.
typedef intptr_t SysFile;
const SysFile kNoFile = -1;

// A loaded library; null when a load failed.
typedef void* SysModule;

// A started child process. The platform fills it; the caller only passes it back.
struct SysProcess {
    intptr_t id;
    uint32_t status;
    bool ended;
};

// --- The process itself -------------------------------------------------------------------

// Waits until no other run of the package at path (the running executable) is under way, then
// keeps others waiting until this process ends. Runs of one package share its directory, so
// they take turns. False when the lock cannot be had (the run then goes on without it).
bool SysLockPackage(const char* path);

// Writes the full path of the running executable into buffer (size bytes with the terminator).
// Returns its length, 0 on failure, or size when the path did not fit.
uint32_t SysGetModuleFileName(char* buffer, uint32_t size);

// The launcher's own command line as one text, program name first. Platforms whose programs get
// their arguments as a vector (posix) return an empty text: the vector travels unchanged to the
// child in SysStartProcess instead.
const char* SysGetCommandLine(void);

// Shows the error box (Windows) or writes the text to standard error, and returns when it is
// dismissed.
void SysShowErrorBox(const char* text, const char* caption);

void SysSleep(uint32_t milliseconds);

// --- Files --------------------------------------------------------------------------------
// Paths may use '\' or '/' between directories on every flavour.

// Opens an existing file for reading with exclusive access.
SysFile SysOpenForRead(const char* path);

// Creates a file, or truncates an existing one, for writing with exclusive access.
SysFile SysCreateForWrite(const char* path);

// One read or write; true only when the call succeeded. *done receives the bytes moved.
bool SysReadFile(SysFile file, void* buffer, uint32_t count, uint32_t* done);
bool SysWriteFile(SysFile file, const void* buffer, uint32_t count, uint32_t* done);

// The low 32 bits of the file's size.
uint32_t SysGetFileSize(SysFile file);

void SysCloseFile(SysFile file);
bool SysDeleteFile(const char* path);

// Reserves a new empty file named prefix + a number in directory and writes its full path into
// name (kMaxPath bytes). Returns the number, nonzero, or 0 when no name could be reserved (the
// name then holds the empty text).
uint32_t SysGetTempFileName(const char* directory, const char* prefix, char* name);

// Creates one directory level; false when it could not be made (an existing one included).
bool SysCreateDirectory(const char* path);
bool SysRemoveDirectory(const char* path);

// Makes the file startable as a program (posix: the owner-execute bit); nothing on Windows.
void SysMakeExecutable(const char* path);

// --- Memory (the plug-in's only allocations) ------------------------------------------------

// A zero-filled block of count bytes, or null.
void* SysAllocZeroed(size_t count);
void SysFree(void* block);

// --- Libraries ----------------------------------------------------------------------------

SysModule SysLoadLibrary(const char* path);
void* SysGetProcAddress(SysModule module, const char* name);
void SysFreeLibrary(SysModule module);

// --- Child processes -------------------------------------------------------------------------

// Starts the program at path with the given Windows command line (posix: with the launcher's own
// argument vector, path as its first element), inheriting the launcher's environment, current
// directory, startup information and inheritable handles. True when it runs.
bool SysStartProcess(const char* path, char* commandLine, SysProcess* process);

// Waits without a time limit for the process to end.
void SysWaitProcess(SysProcess* process);

// The ended process's exit code (posix: 128 + N for a process ended by signal N).
bool SysGetExitCode(SysProcess* process, uint32_t* code);

void SysCloseProcess(SysProcess* process);

// --- Fault points ----------------------------------------------------------------------------

#ifdef SXE_FAULTS
// True when the fault plan says that this call, of the routine named call, is to fail (see
// platform/fault.cpp).
bool SysFaultHere(const char* call);
#define SYS_FAULT_POINT(failure)                                                                   \
    do {                                                                                           \
        if (SysFaultHere(__func__)) {                                                              \
            failure;                                                                               \
        }                                                                                          \
    } while (0)
#else
#define SYS_FAULT_POINT(failure)                                                                   \
    do {                                                                                           \
    } while (0)
#endif
// The fault point of a routine without a result: a failed call does nothing.
#define SYS_FAULT_POINT_VOID() SYS_FAULT_POINT(return (void)0)
