// The posix package format: items appended to the launcher executable.
//
//   [launcher executable][item bytes ...][item table][trailer]
//
// Item table: one 16-byte entry per item, in ascending id order:
//   offset 0  u32 item id
//   offset 4  u32 item size in bytes
//   offset 8  u64 file offset of the item's first byte
// Trailer: the last 24 bytes of the file:
//   offset 0  u64 file offset of the item table
//   offset 8  u32 number of table entries
//   offset 12 u32 reserved, 0
//   offset 16 8 bytes "SXEPACK1"
// All numbers little-endian. The table must end exactly where the trailer begins, and every
// item must lie before the table. Nothing in the format depends
// on time or place, so the same items give the same bytes.
#pragma once

#include <stdint.h>

enum {
    kAppendedEntrySize = 16,
    kAppendedTrailerSize = 24,
    kAppendedMagicOffset = 16,
    kAppendedMagicSize = 8,
};

extern const char kAppendedMagic[kAppendedMagicSize + 1];

// The number of entries of the package that ends file, or -1 when it has no sound table.
int64_t CountAppendedItems(const unsigned char* file, uint64_t fileSize);

// Entry index (from 0) of that table: its id, bytes and size. False when the entry's bytes do
// not lie before the table.
bool GetAppendedItem(const unsigned char* file, uint64_t fileSize, uint32_t index, uint32_t* id,
                     const unsigned char** data, uint32_t* size);

// Looks item id up in the package that ends file (size bytes). True with *data and *size set
// when the table is sound and holds the item; a damaged or missing table holds no item.
bool FindAppendedItem(const unsigned char* file, uint64_t fileSize, uint32_t id,
                      const unsigned char** data, uint32_t* size);
