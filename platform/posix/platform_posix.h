// Services that only the posix flavour has.
#pragma once

#include <stdint.h>

// Keeps the launcher's argument vector for SysStartProcess; argv must stay valid for the run.
void SysSetArguments(int argc, char** argv);

// Maps the running executable read-only, once per process; later calls return the same view.
bool SysMapOwnImage(const unsigned char** base, uint64_t* size);
