#include "fileio/copy.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include "fileio/io.h"

namespace {

// Amount handed to one copy call: well below the 2 GiB that Linux moves at most per call,
// and small enough for a progress line to move a few times a second.
constexpr uint64_t CALL_LIMIT = 32u << 20;
// Block size of the read/write path: measured fastest here (it stays in the CPU's cache).
constexpr size_t BLOCK = 256u << 10;
// The file system block size assumed when the file system does not tell.
constexpr uint64_t FALLBACK_FS_BLOCK = 4096;

// Tells progress of n bytes done; false when the copy is to stop.
bool advance(Copy_Progress progress, uint64_t n)
{
    return progress == nullptr || progress(n);
}

// Starts writing back the n bytes of out just written at off, without waiting: the disk
// works while the copy goes on, so the final sync has little left to do.
void start_writeback(int out, uint64_t off, uint64_t n)
{
    sync_file_range(out, static_cast<off_t>(off), static_cast<off_t>(n), SYNC_FILE_RANGE_WRITE);
}

// Copies up to n bytes with pread/pwrite; copied counts what was done.
Copy_Result copy_by_blocks(int in, uint64_t& in_off, int out, uint64_t& out_off, uint64_t n,
                           uint64_t& copied, Copy_Progress progress)
{
    std::unique_ptr<uint8_t[], decltype(&free)> buffer(static_cast<uint8_t*>(aligned_alloc(FALLBACK_FS_BLOCK, BLOCK)),
                                                        &free);
    if (!buffer)
        return {ENOMEM, false};
    while (copied < n) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(BLOCK, n - copied));
        errno = 0;
        int64_t got = read_upto_at(in, in_off, buffer.get(), want);
        if (got < 0)
            return {last_error(), false};
        if (got == 0)
            break;
        int rc = write_full_at(out, out_off, buffer.get(), static_cast<size_t>(got));
        if (rc != 0)
            return {rc, true};
        in_off += static_cast<uint64_t>(got);
        out_off += static_cast<uint64_t>(got);
        copied += static_cast<uint64_t>(got);
        if ((out_off & (CALL_LIMIT - 1)) < static_cast<uint64_t>(got))
            start_writeback(out, out_off - CALL_LIMIT, CALL_LIMIT);
        if (!advance(progress, static_cast<uint64_t>(got)))
            return {EINTR, false};
        if (static_cast<size_t>(got) < want)
            break;
    }
    return {0, false};
}

// Whether the kernel's copy suits these offsets: they must agree modulo the target file
// system's block size. Then the copy shares extents where the file system can (btrfs, XFS)
// and copies in the kernel elsewhere; when they do not agree, it copies page by misaligned
// page, which costs more than reading into an aligned buffer and writing from it.
bool kernel_copy_suits(int out, uint64_t in_off, uint64_t out_off)
{
    struct statfs fs;
    const uint64_t block = fstatfs(out, &fs) == 0 && fs.f_bsize > 0 ? static_cast<uint64_t>(fs.f_bsize)
                                                                     : FALLBACK_FS_BLOCK;
    return in_off % block == out_off % block;
}

// Copies up to n bytes as data, by the fastest path for the offsets.
Copy_Result copy_data(int in, uint64_t& in_off, int out, uint64_t& out_off, uint64_t n,
                      Copy_Progress progress)
{
    uint64_t copied = 0;
    if (!kernel_copy_suits(out, in_off, out_off))
        return copy_by_blocks(in, in_off, out, out_off, n, copied, progress);
    while (copied < n) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(CALL_LIMIT, n - copied));
        loff_t i = static_cast<loff_t>(in_off), o = static_cast<loff_t>(out_off);
        ssize_t moved = copy_file_range(in, &i, out, &o, want, 0);
        if (moved > 0) {
            start_writeback(out, out_off, static_cast<uint64_t>(moved));
            in_off += static_cast<uint64_t>(moved);
            out_off += static_cast<uint64_t>(moved);
            copied += static_cast<uint64_t>(moved);
            if (!advance(progress, static_cast<uint64_t>(moved)))
                return {EINTR, false};
            continue;
        }
        if (moved == 0)
            return {0, false};
        if (errno == EINTR)
            continue;
        // Refused or failed: the block path either does the rest or tells which side fails.
        return copy_by_blocks(in, in_off, out, out_off, n, copied, progress);
    }
    return {0, false};
}

// True when fd is a regular file that ends at or before off, so that what is not written
// there reads as zeros.
bool appending(int fd, uint64_t off)
{
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= off;
}

}  // namespace

int write_zeros(int fd, uint64_t& out_off, uint64_t n, Copy_Progress progress)
{
    std::unique_ptr<uint8_t[]> zeros(new (std::nothrow) uint8_t[BLOCK]());
    if (!zeros)
        return ENOMEM;
    for (uint64_t done = 0; done < n;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(BLOCK, n - done));
        int rc = write_full_at(fd, out_off, zeros.get(), want);
        if (rc != 0)
            return rc;
        out_off += want;
        done += want;
        if (!advance(progress, want))
            return EINTR;
    }
    return 0;
}

int extend_with_zeros(int fd, uint64_t to, Copy_Progress progress)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return last_error();
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size >= to)
        return 0;
    if (ftruncate(fd, static_cast<off_t>(to)) == 0)
        return advance(progress, to - size) ? 0 : EINTR;
    // Some file systems (FAT through FUSE among them) refuse to grow a file by truncation;
    // a real failure such as a full disk or a size limit shows again in the writes.
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EINVAL && errno != ENOSYS)
        return last_error();
    return write_zeros(fd, size, to - size, progress);
}

Copy_Result copy_span(int in, uint64_t& in_off, int out, uint64_t& out_off, uint64_t n,
                      Copy_Progress progress)
{
    struct stat st;
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode) || !appending(out, out_off))
        return copy_data(in, in_off, out, out_off, n, progress);
    const uint64_t source_end = static_cast<uint64_t>(st.st_size);
    const uint64_t stop =
        in_off >= source_end || n >= source_end - in_off ? source_end : in_off + n;
    // Each turn copies one data segment of the source and passes over the hole after it.
    while (in_off < stop) {
        off_t data = lseek(in, static_cast<off_t>(in_off), SEEK_DATA);
        if (data < 0 && errno != ENXIO)
            return copy_data(in, in_off, out, out_off, stop - in_off, progress);
        uint64_t d = data < 0 || static_cast<uint64_t>(data) > stop ? stop : static_cast<uint64_t>(data);
        off_t hole = d < stop ? lseek(in, static_cast<off_t>(d), SEEK_HOLE) : static_cast<off_t>(stop);
        uint64_t h = hole < 0 || static_cast<uint64_t>(hole) > stop ? stop : static_cast<uint64_t>(hole);
        if (!advance(progress, d - in_off))
            return {EINTR, false};
        out_off += d - in_off;
        in_off = d;
        if (h > d) {
            Copy_Result r = copy_data(in, in_off, out, out_off, h - d, progress);
            if (r.code != 0)
                return r;
            if (in_off < h)  // the source ended early
                break;
        }
    }
    // A copy that ends in a hole still makes the target as long as the copy.
    int rc = extend_with_zeros(out, out_off, nullptr);
    if (rc != 0)
        return {rc, true};
    return {0, false};
}
