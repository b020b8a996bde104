// A library that loads but exports no codec: a plug-in item the launcher must refuse.
int SxeSomethingElse(void) {
    return 0;
}
