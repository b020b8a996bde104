// The inflate plug-in's library entry routine: the module needs nothing set up or torn down.
#include <windows.h>

extern "C" BOOL WINAPI PluginEntry(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
