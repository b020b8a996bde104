// The launcher's entry: finds the package directory, runs the package, reports a failure.
#pragma once

#include <stdint.h>

// The text of the launcher's one error box.
extern const char kErrorText[];
extern const char kErrorCaption[];

// Runs the package next to the launcher. Returns the packaged program's exit code after a run,
// or 0 after showing the error box when extraction or the launch failed.
uint32_t RunLauncher(void);
