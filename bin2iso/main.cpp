// bin2iso: turns a raw CD image into an ISO 9660 image of 2048-byte sectors.

#include <cstdio>

#include "convert.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        printf("Usage: bin2iso INPUT OUTPUT\n"
               "Converts a raw CD image (2352-byte sectors of mode 1 or 2, 2336-byte sectors of\n"
               "mode 2) into an ISO 9660 image of 2048-byte sectors; an image that already has\n"
               "2048-byte sectors is copied unchanged.\n");
        return 1;
    }
    return convert_image(argv[1], argv[2]);
}
