// Loading libraries from the system directory only.
#pragma once

#include <windows.h>

// Loads the library name (e.g. "lz32.dll") from the system directory by its full path, so
// that no copy in the launcher's own directory can stand in for it. Null on failure.
HMODULE LoadSystemLibrary(const char* name);
