// The release launcher's process entry: no C run-time start-up. The launcher uses nothing of
// the C library, and the run-time's start-up would load the window system (user32) into every
// run for the sake of its own error reports.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

extern "C" void WINAPI LauncherStartup(void) {
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, GetCommandLineA(), SW_SHOWDEFAULT));
}
