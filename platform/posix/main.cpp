// The posix entry point.
#include "launcher/entry.h"
#include "platform_posix.h"

int main(int argc, char** argv) {
    SysSetArguments(argc, argv);
    return (int)RunLauncher();
}
