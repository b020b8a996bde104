// Flavour constants for Windows.
#pragma once

// Codecs are called through one pointer type; the plug-in exports its codec in the Windows
// calling convention.
#define SXE_CODEC_CALL __stdcall

// The plug-in names its one export in a module definition file.
#define SXE_PLUGIN_VISIBLE

// What ends the directory part of the launcher's own file name.
const char kPathSeparator = '\\';
