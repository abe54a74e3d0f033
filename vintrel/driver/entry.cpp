// vintrel: places SYSTEM.CNF of an ISO 9660 image at sector 12231.

#include "driver/dispatch.h"

int main(int argc, char** argv)
{
    return run_vintrel(argc, argv);
}
