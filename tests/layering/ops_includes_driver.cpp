// Must not compile: the operations cannot see the driver above them.
#include "driver/flows.h"
