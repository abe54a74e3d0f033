#include "ops/new_image.h"

#include <cstdio>
#include <stdio_ext.h>
#include <unistd.h>

#include "fileio/io.h"

std::string same_file_error(const Job_Settings& job)
{
    return std::string("Error: ") + job.outname + " is the source image " + job.inname +
           " itself; name another file for the new image";
}

namespace {

// Closes a stream if open and clears the field; gives 0 or an errno value.
int close_stream(FILE*& stream)
{
    int rc = 0;
    if (stream != nullptr && fclose(stream) != 0)
        rc = last_error();
    stream = nullptr;
    return rc;
}

// Drops what the stream still buffers and empties its file; a device has nothing to empty.
void empty_stream(FILE* stream)
{
    __fpurge(stream);
    int rc = ftruncate(fileno(stream), 0);
    (void)rc;
}

}  // namespace

int discard_new_image(Job_Settings& job)
{
    // Nothing half-written may pass for a good image.
    if (job.outfile != nullptr)
        empty_stream(job.outfile);
    close_stream(job.outfile);
    close_stream(job.infile);
    return 1;
}

bool close_new_image(Job_Settings& job, std::string& error)
{
    close_stream(job.infile);
    if (job.outfile == nullptr)
        return true;
    int rc = fflush(job.outfile) != 0 ? last_error() : 0;
    if (rc != 0) {
        empty_stream(job.outfile);
        close_stream(job.outfile);
    } else {
        rc = close_stream(job.outfile);
        if (rc != 0 && truncate(job.outname, 0) != 0)
            rc = rc != 0 ? rc : last_error();
    }
    if (rc != 0) {
        error = std::string("Error: could not write ") + job.outname + ": " + io_reason(rc);
        return false;
    }
    return true;
}
