// The command line handed to the packaged program.
#pragma once

#include <stddef.h>

// Where the arguments begin in the launcher's own command line: behind its program name, which
// is either quoted (blanks inside the quotes belong to the name) or ends at the first blank.
// A double quote ends the name wherever it stands, and the tail starts right behind it. The
// tail keeps the blank before the first argument; it is empty when nothing follows the name or
// a quoted name has no closing quote.
const char* FindArgumentTail(const char* commandLine);

// Writes '"' target '" ' tail into store (capacity bytes). False, store empty, when it does not
// fit.
bool BuildChildCommandLine(const char* target, const char* tail, char* store, size_t capacity);
