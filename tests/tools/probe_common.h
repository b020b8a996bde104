// Shared bits of the probe programs that the end-to-end tests package as a launch target.
//
// The probe writes a report (path in SXE_PROBE_REPORT) of what it saw: its arguments or
// command line (hex), current directory, the SXE_PROBE_ENV variable and every file below its
// own directory with size and CRC-32; then it ends with the code in SXE_PROBE_EXIT. Before
// the listing it can delete a file (SXE_PROBE_DELETE) or write one (SXE_PROBE_WRITE), both
// relative to its own directory.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned long Crc32(FILE* f, unsigned long* size) {
    unsigned long crc = 0xFFFFFFFFul;
    unsigned char buffer[65536];
    size_t n;
    *size = 0;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) {
        *size += (unsigned long)n;
        for (size_t i = 0; i < n; ++i) {
            crc ^= buffer[i];
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320ul & (0ul - (crc & 1)));
        }
    }
    return crc ^ 0xFFFFFFFFul;
}

static void WriteHex(FILE* out, const char* key, const char* text) {
    fprintf(out, "%s=", key);
    for (const unsigned char* p = (const unsigned char*)text; *p; ++p)
        fprintf(out, "%02x", *p);
    fputc('\n', out);
}

static void ReportFile(FILE* out, const char* full, const char* relative) {
    FILE* f = fopen(full, "rb");
    unsigned long size = 0, crc = 0;
    if (f != NULL) {
        crc = Crc32(f, &size);
        fclose(f);
    }
    fprintf(out, "file=%s %lu %08lx\n", relative, size, crc);
}

static int ProbeExitCode(void) {
    const char* code = getenv("SXE_PROBE_EXIT");
    return code != NULL ? (int)strtoul(code, NULL, 0) : 0;
}

// Deletes SXE_PROBE_DELETE and writes SXE_PROBE_WRITE, both relative to dir.
static void ApplyProbeActions(const char* dir, char separator) {
    char path[8192];
    const char* del = getenv("SXE_PROBE_DELETE");
    if (del != NULL) {
        snprintf(path, sizeof path, "%s%c%s", dir, separator, del);
        remove(path);
    }
    const char* write = getenv("SXE_PROBE_WRITE");
    if (write != NULL) {
        snprintf(path, sizeof path, "%s%c%s", dir, separator, write);
        FILE* f = fopen(path, "wb");
        if (f != NULL) {
            fputs("probe", f);
            fclose(f);
        }
    }
}

// Ends the report and the probe. With SXE_PROBE_SLEEP_MS, the report says "started", the probe
// pauses that long (pause is the platform's sleep) and the report says "slept"; then "end".
static int FinishReport(FILE* out, void (*pause)(unsigned long milliseconds)) {
    const char* sleepMs = getenv("SXE_PROBE_SLEEP_MS");
    if (sleepMs != NULL) {
        fputs("started\n", out);
        fflush(out);
        pause(strtoul(sleepMs, NULL, 10));
        fputs("slept\n", out);
    }
    fputs("end\n", out);
    fclose(out);
    return ProbeExitCode();
}
