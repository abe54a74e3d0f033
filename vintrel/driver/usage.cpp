#include "driver/usage.h"

#include <cstdio>

const char usage_text[USAGE_ROWS][USAGE_ROW_SLOT] = {
    "Vintrel v1.0 (beta) - by zub\n",
    "===================\n",
    "Usage:\n",
    "Vintrel <command> command parameters\n",
    "------------------------------------\n",
    "command : a - auto mode [attempts to automatically dummy and patch]\n",
    "   Vintrel a infile.iso outfile.iso\n",
    "\tinfile.iso  - the source ISO file\n",
    "\toutfile.iso - the new ISO file we will create\n",
    "------------------------------------\n",
    "command : n - normal mode [inserts a dummy and patches]\n",
    "   Vintrel n infile.iso outfile.iso startLBA\n",
    "\tinfile.iso  - the source ISO file\n",
    "\toutfile.iso - the new ISO file we will create\n",
    "\tStartLBA    - the LBA where the hole will begin\n",
    "\t              Should always be located on a file that already\n",
    "\t              exists in the source ISO.\n",
    "--------------------------------------\n",
    "command : p - patch mode [like kq5 overwrites 12231]\n",
    "   Vintrel p file.iso\n",
    "--------------------------------------\n",
    "command : g - generate dummy mode [makes dummy file for you to insert]\n",
    "   Vintrel g dummyname size\n",
    "\tdummyname - a filename of your choice\n",
    "\tsize      - size of dummy file in bytes\n",
    "---------------------------------------\n",
};

void print_usage()
{
    for (int row = 0; row < USAGE_ROWS; ++row)
        printf("%s", usage_text[row]);
}
