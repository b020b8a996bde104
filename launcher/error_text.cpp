// The text of the launcher's one error box. sxe-pack also looks for it to recognise a stub.
#include "entry.h"

const char kErrorText[] =
    "An error has occured while executing this program. Free up harddrive space and try again.";
const char kErrorCaption[] = "Error";
