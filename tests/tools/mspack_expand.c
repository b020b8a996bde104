// Expands an SZDD file with libmspack, an independent decoder. Usage: mspack_expand IN OUT
#include <mspack.h>
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    struct msszdd_decompressor* d = mspack_create_szdd_decompressor(NULL);
    if (d == NULL)
        return 3;
    int error = d->decompress(d, argv[1], argv[2]);
    mspack_destroy_szdd_decompressor(d);
    if (error != MSPACK_ERR_OK) {
        fprintf(stderr, "mspack_expand: error %d\n", error);
        return 1;
    }
    return 0;
}
