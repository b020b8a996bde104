// The launch step: start the packaged program with the launcher's arguments and wait for it.
#include "command_line.h"
#include "run_package.h"

bool LaunchTarget(SysModule* plugin, const char* pluginFile, const char* target,
                  const char* lastOutput, uint32_t* exitCode) {
    // The program runs without the plug-in loaded and without its file on disk.
    ReleasePlugin(plugin, pluginFile);

    char commandLine[kMaxPath];
    const char* tail = FindArgumentTail(SysGetCommandLine());
    SysProcess process;
    SysMakeExecutable(target);
    if (!BuildChildCommandLine(target, tail, commandLine, sizeof commandLine) ||
        !SysStartProcess(target, commandLine, &process)) {
        if (lastOutput != NULL)
            SysDeleteFile(lastOutput);
        return false;
    }
    SysWaitProcess(&process);
    if (!SysGetExitCode(&process, exitCode))
        *exitCode = kExitCodeUnknown;
    SysCloseProcess(&process);
    return true;
}
