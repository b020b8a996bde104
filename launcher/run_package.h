// The run sequence: expand the package next to the launcher, run its program, clean up.
#pragma once

#include <stdint.h>

#include "platform.h"

// Runs the package in directory (the launcher's own, ending in a separator). True once the
// packaged program has been started and has ended, with its exit code in *exitCode; false on
// every failure of extraction or launch, with *exitCode unwritten and what the failure left in
// the package directory.
bool RunPackage(const char* directory, uint32_t* exitCode);

// Frees the loaded plug-in, if any, and deletes its file.
void ReleasePlugin(SysModule* plugin, const char* pluginFile);

// Starts target with the launcher's arguments, waits for it and takes its exit code; the plug-in
// is released first. When the start fails, lastOutput (if any) is deleted and the result is
// false.
bool LaunchTarget(SysModule* plugin, const char* pluginFile, const char* target,
                  const char* lastOutput, uint32_t* exitCode);

// Deletes the manifest file (retrying while another process holds it) and then the files and
// entry directories of the first entryCount manifest entries.
void CleanUpAfterRun(const char* directory, const char* manifestFile, uint32_t entryCount);

// The exit code when the ended program's own cannot be read.
const uint32_t kExitCodeUnknown = 1;
