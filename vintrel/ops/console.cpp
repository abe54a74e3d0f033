#include "ops/console.h"

#include <cstdio>
#include <cstring>

#include "fileio/progress.h"

namespace {

// Whether the narration left a line open (it did not end in a line end).
bool line_open = false;

}  // namespace

void say(const char* text)
{
    progress_erase();
    printf("%s", text);
    const size_t n = std::strlen(text);
    if (n > 0)
        line_open = text[n - 1] != '\n';
}

void say_line(const std::string& line)
{
    progress_erase();
    if (line_open)
        printf("\n");
    line_open = false;
    printf("%s\n", line.c_str());
}
