#include "ops/new_image.h"

#include <cerrno>
#include <cstdio>
#include <stdio_ext.h>
#include <unistd.h>

#include "iso/stream.h"
#include "ops/io_messages.h"

void print_same_file_error(const Job_Settings& job)
{
    printf("Error: %s is the source image %s itself; name another file for the new image\n",
           job.outname, job.inname);
}

// Closes a stream if open and clears the field; gives 0 or an errno value.
static int close_stream(FILE*& stream)
{
    int rc = 0;
    if (stream != nullptr && fclose(stream) != 0)
        rc = last_error();
    stream = nullptr;
    return rc;
}

// Drops what the stream still buffers and empties its file; a device has nothing to empty.
static void empty_stream(FILE* stream)
{
    __fpurge(stream);
    int rc = ftruncate(fileno(stream), 0);
    (void)rc;
}

int discard_new_image(Job_Settings& job)
{
    // Nothing half-written may pass for a good image.
    if (job.outfile != nullptr)
        empty_stream(job.outfile);
    close_stream(job.outfile);
    close_stream(job.infile);
    return 1;
}

bool close_new_image(Job_Settings& job)
{
    close_stream(job.infile);
    if (job.outfile == nullptr)
        return true;
    int rc = fflush(job.outfile) != 0 ? last_error() : 0;
    if (rc != 0) {
        empty_stream(job.outfile);
        close_stream(job.outfile);
        print_write_error(job.outname, rc);
        return false;
    }
    rc = close_stream(job.outfile);
    if (rc != 0) {
        print_write_error(job.outname, rc);
        int emptied = truncate(job.outname, 0);
        (void)emptied;
        return false;
    }
    return true;
}
