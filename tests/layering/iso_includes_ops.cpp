// Must not compile: the image layer cannot see the operations above it.
#include "ops/console.h"
