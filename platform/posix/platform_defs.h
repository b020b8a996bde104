// Flavour constants for posix systems.
#pragma once

#define SXE_CODEC_CALL

// The plug-in exports DllInflate alone; everything else stays hidden.
#define SXE_PLUGIN_VISIBLE __attribute__((visibility("default")))

// What ends the directory part of the launcher's own file name.
const char kPathSeparator = '/';
