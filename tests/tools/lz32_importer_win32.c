// Imports LZ32 the ordinary way, to show that a planted lz32.dll beside a program catches
// such an import.
#include <windows.h>
#include <lzexpand.h>

int main(void) {
    return LZInit(-1) < 0 ? 0 : 1;
}
