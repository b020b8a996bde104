// The manifest reader: the expanded manifest held in memory and handed out line by line.
//
// The manifest is 8-bit text of at most kManifestSize bytes. A line runs up to the first CR or
// LF or the end of the text; after it at most one CR and then at most one LF are skipped, so
// CR LF, LF and CR each end one line. Every line before the end marker "end" (exactly those
// three bytes) names one packaged file relative to the package directory, with '\' or '/'
// between directories; nothing after the end marker is read. One reader per process serves both
// walks of a run: the extraction, then the clean-up after RewindManifest.
#pragma once

#include <stdint.h>

enum {
    kManifestSize = 1024, // the manifest buffer
    kLineSize = 256       // the line buffer, terminator included
};

// The current line, NUL-terminated; valid until the next ReadManifestLine.
extern char manifestLine[kLineSize];

// Reads the named file into the manifest buffer and sets the cursor to its start. False, with
// the reader unchanged, when the file cannot be opened or holds more than kManifestSize bytes.
bool LoadManifest(const char* path);

// Sets the cursor back to the start of the loaded text.
void RewindManifest(void);

// True when the cursor is at or beyond the end of the loaded text.
bool ManifestAtEnd(void);

// True when the byte at the cursor is CR or LF; only asked when ManifestAtEnd is false.
bool ManifestAtLineEnd(void);

// Copies the next line into manifestLine and moves the cursor past it and its line end. At the
// end of the text the line is empty, every time. False when the line is longer than
// kLineSize - 1 bytes: manifestLine is then empty and the cursor stays before the line.
bool ReadManifestLine(void);

// True when the current line is the end marker.
bool AtManifestEndMarker(void);

// The size of the named file (its low 32 bits), or 0 when it cannot be opened.
uint32_t GetFileSizeByName(const char* path);

// Writes into store (kLineSize bytes) the entry's text before its last '\' or '/', without that
// separator; the empty text when the entry has none. entry holds at most kLineSize - 1 bytes.
void EntryDirectory(const char* entry, char* store);
