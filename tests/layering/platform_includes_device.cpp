// Must not compile: the platform stand-ins sit below the display device.
#include "device.h"
