/* The demo program: greets with the text of its data file, lists its arguments and ends with
 * their number as its exit code. */
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    char path[4096];
    size_t cut = 0;
    for (size_t i = 0; argv[0][i] != '\0' && i < sizeof path - 64; ++i)
        if (argv[0][i] == '/' || argv[0][i] == '\\')
            cut = i + 1;
    memcpy(path, argv[0], cut);
    strcpy(path + cut, "data/greeting.txt");
    FILE* f = fopen(path, "r");
    char line[256] = "(no greeting found)\n";
    if (f != NULL) {
        if (fgets(line, sizeof line, f) == NULL)
            strcpy(line, "(empty greeting)\n");
        fclose(f);
    }
    printf("hello: %s", line);
    for (int i = 1; i < argc; ++i)
        printf("hello: argument %d: [%s]\n", i, argv[i]);
    printf("hello: ending with exit code %d\n", argc - 1);
    return argc - 1;
}
