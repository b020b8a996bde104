// Path text for posix calls: '\' separates directories as '/' does.
#pragma once

#include <limits.h>

// Copies path into native (PATH_MAX bytes) with every '\' turned into '/'. False when it does
// not fit.
bool NativePath(const char* path, char* native);
