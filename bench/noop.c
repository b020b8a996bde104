/* The benchmark's packaged program: starts and ends at once. */
int main(void) {
    return 0;
}
