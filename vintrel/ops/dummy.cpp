#include "ops/dummy.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "fileio/io.h"
#include "ops/console.h"
#include "ops/interrupt.h"
#include "fileio/progress.h"

namespace {

// Bytes handed to one write.
constexpr size_t BLOCK = 1u << 20;

// Gives fd size zero bytes: allocated at once where the file system can (they read back as
// zeros, and a full disk is still reported), written in large blocks elsewhere. Gives 0 or an
// errno value.
int write_zeros(int fd, uint64_t size)
{
    if (size == 0)
        return 0;
    if (fallocate(fd, 0, 0, static_cast<off_t>(size)) == 0) {
        progress_advance(size);
        return 0;
    }
    if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG || errno == EIO)
        return errno;
    std::unique_ptr<uint8_t[]> zeros(new (std::nothrow) uint8_t[BLOCK]());
    if (!zeros)
        return ENOMEM;
    uint64_t done = 0;
    while (done < size) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(BLOCK, size - done));
        ssize_t put = write(fd, zeros.get(), want);
        if (put < 0) {
            if (errno == EINTR && !interrupted())
                continue;
            return last_error();
        }
        if (put == 0)
            return EIO;
        done += static_cast<uint64_t>(put);
        progress_advance(static_cast<uint64_t>(put));
        if (interrupted())
            return EINTR;
    }
    return 0;
}

}  // namespace

int make_dummy_file(Job_Settings job)
{
    watch_interruptions();
    printf("\nGenerating dummy file %s\nSize : %u bytes\n", job.outname, job.sizeDummy);
    printf("Please Wait...\n");
    int fd = open(job.outname, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        printf("Error: couldn't make file %s\n", job.outname);
        return 1;
    }
    progress_start(job.sizeDummy);
    int rc = write_zeros(fd, job.sizeDummy);
    progress_end();
    struct stat st;
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (close(fd) != 0 && rc == 0)
        rc = last_error();
    if (rc != 0 || interrupted()) {
        // A dummy shorter than asked is of no use; a device is never removed.
        if (regular)
            unlink(job.outname);
        if (interrupted()) {
            say_line(std::string("Interrupted: ") + job.outname + " was not written");
            end_by_interruption();
        }
        say_line(std::string("Error: couldn't write file ") + job.outname + ": " + strerror(rc));
        return 1;
    }
    printf("Done.\n");
    return 0;
}
