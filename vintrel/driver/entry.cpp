// vintrel: places SYSTEM.CNF of an ISO 9660 image at sector 12231.

#include <csignal>
#include <cstdio>

#include "driver/dispatch.h"

int main(int argc, char** argv)
{
    // Every line is seen as soon as it is printed, on a terminal, a pipe or a file alike.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    // A write past the file size limit fails with "File too large" instead of killing the run.
    signal(SIGXFSZ, SIG_IGN);
    return run_vintrel(argc, argv);
}
