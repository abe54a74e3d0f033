#include "ops/io_messages.h"

#include <cstdio>

#include "iso/stream.h"

void print_read_error(const char* name, int code)
{
    printf("Error: could not read %s: %s\n", name, io_reason(code));
}

void print_write_error(const char* name, int code)
{
    printf("Error: could not write %s: %s\n", name, io_reason(code));
}

void print_copy_error(const Copy_Result& result, const char* source_name, const char* target_name)
{
    if (result.on_target)
        print_write_error(target_name, result.code);
    else
        print_read_error(source_name, result.code);
}
