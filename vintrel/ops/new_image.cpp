#include "ops/new_image.h"

#include <cerrno>
#include <cstdio>
#include <stdio_ext.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "fileio/io.h"
#include "fileio/paths.h"

namespace {

// File systems that cannot hold a file of 4 GiB or more (FAT12/16/32).
constexpr long MSDOS_MAGIC = 0x4d44;
constexpr uint64_t FAT_LARGEST_FILE = 4294967295ull;
// File systems where copies share the source's blocks instead of taking new ones.
constexpr long BTRFS_MAGIC = 0x9123683E;
constexpr long XFS_MAGIC = 0x58465342;

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

// Whether the stream's file is a regular file.
bool regular(FILE* stream)
{
    struct stat st;
    return fstat(fileno(stream), &st) == 0 && S_ISREG(st.st_mode);
}

// "N bytes" for messages.
std::string bytes_text(uint64_t n)
{
    return std::to_string(n) + " bytes";
}

}  // namespace

std::string same_file_error(const Job_Settings& job)
{
    return std::string("Error: ") + job.outname + " is the source image " + job.inname +
           " itself; name another file for the new image";
}

bool check_room(const Job_Settings& job, uint64_t bytes, uint64_t data_bytes, std::string& error)
{
    if (!regular(job.outfile))
        return true;
    const int fd = fileno(job.outfile);
    const std::string head = std::string("Error: ") + job.outname + " would be " + bytes_text(bytes);
    rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && bytes > limit.rlim_cur) {
        error = head + ", more than the file size limit of this process (" + bytes_text(limit.rlim_cur) + ")";
        return false;
    }
    struct statfs fs;
    if (fstatfs(fd, &fs) != 0)
        return true;
    if (fs.f_type == MSDOS_MAGIC && bytes > FAT_LARGEST_FILE) {
        error = head + ", more than its FAT file system can hold in one file (" + bytes_text(FAT_LARGEST_FILE) + ")";
        return false;
    }
    struct stat in, out;
    const bool shared = fstat(fileno(job.infile), &in) == 0 && fstat(fd, &out) == 0 && in.st_dev == out.st_dev &&
                        (fs.f_type == BTRFS_MAGIC || fs.f_type == XFS_MAGIC);
    struct statvfs vfs;
    if (!shared && fstatvfs(fd, &vfs) == 0) {
        const uint64_t free_bytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
        if (data_bytes > free_bytes) {
            error = std::string("Error: ") + job.outname + " needs " + bytes_text(data_bytes) +
                    " of disk space, but its file system has " + bytes_text(free_bytes) + " free";
            return false;
        }
    }
    return true;
}

bool begin_new_image(Job_Settings& job, Pending_File& pending, std::string& error)
{
    if (!regular(job.outfile))
        return true;
    int rc = pending_create(job.outname, pending);
    FILE* temporary = nullptr;
    if (rc == 0) {
        const int fd = dup(pending.fd);
        temporary = fd < 0 ? nullptr : fdopen(fd, "w+b");
        if (temporary == nullptr) {
            rc = last_error();
            if (fd >= 0)
                close(fd);
        }
    }
    if (rc != 0) {
        error = std::string("Error: could not create a temporary file beside ") + job.outname + ": " + io_reason(rc);
        pending_discard(pending);
        return false;
    }
    // The name stays as the command left it, empty, until the image is done.
    close_stream(job.outfile);
    job.outfile = temporary;
    return true;
}

bool commit_new_image(Job_Settings& job, Pending_File& pending, std::string& error)
{
    close_stream(job.infile);
    int rc = fflush(job.outfile) != 0 ? last_error() : 0;
    if (rc == 0 && pending.fd < 0 && fsync(fileno(job.outfile)) != 0 && errno != EINVAL && errno != EROFS)
        rc = last_error();
    const int closed = close_stream(job.outfile);
    if (rc == 0)
        rc = closed;
    if (rc == 0 && pending.fd >= 0)
        rc = pending_commit(pending);
    if (rc != 0) {
        error = std::string("Error: could not write ") + job.outname + ": " + io_reason(rc);
        pending_discard(pending);
        return false;
    }
    return true;
}

int discard_new_image(Job_Settings& job, Pending_File& pending)
{
    // Nothing half-written may pass for a good image.
    if (job.outfile != nullptr && pending.fd < 0)
        empty_stream(job.outfile);
    close_stream(job.outfile);
    close_stream(job.infile);
    pending_discard(pending);
    return 1;
}
