// Must not compile: the display device sits below the application.
#include "Navek.h"
