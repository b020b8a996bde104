// Bounded text joins.
#include "text.h"

bool AppendText(char* store, size_t capacity, size_t* length, const char* text) {
    for (; *text != '\0'; ++text) {
        if (*length + 1 >= capacity)
            return false;
        store[(*length)++] = *text;
    }
    store[*length] = '\0';
    return true;
}

bool CopyText(char* store, size_t capacity, const char* text) {
    return JoinText(store, capacity, text, "");
}

bool JoinText(char* store, size_t capacity, const char* first, const char* second) {
    size_t length = 0;
    store[0] = '\0';
    if (AppendText(store, capacity, &length, first) && AppendText(store, capacity, &length, second))
        return true;
    store[0] = '\0';
    return false;
}

bool TextEquals(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}
