// Bounded text joins for the launcher's fixed stores.
#pragma once

#include <stddef.h>

// Appends text to the text of *length bytes in store (capacity bytes, terminator included) and
// advances *length. False when it does not fit; the caller then discards the store.
bool AppendText(char* store, size_t capacity, size_t* length, const char* text);

// Copies text into store. False, with store empty, when it does not fit: nothing is ever cut
// short.
bool CopyText(char* store, size_t capacity, const char* text);

// Writes first followed directly by second into store; false, store empty, when it does not fit.
bool JoinText(char* store, size_t capacity, const char* first, const char* second);

bool TextEquals(const char* a, const char* b);
