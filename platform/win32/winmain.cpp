// The Windows entry point.
#include <windows.h>

#include "launcher/entry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return (int)RunLauncher();
}
