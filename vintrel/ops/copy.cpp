#include "ops/copy.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "iso/stream.h"
#include "ops/progress.h"

namespace {

// Amount handed to one copy call: well below the 2 GiB that Linux moves at most per call,
// and small enough for the progress line to move a few times a second.
constexpr uint64_t CALL_LIMIT = 32u << 20;
// Block size of the read/write path.
constexpr size_t BLOCK = 1u << 20;

// The result of a copy that went well.
Copy_Result ok()
{
    return {0, false};
}

// Writes all of buffer at *out_off, advancing it.
int write_all(int fd, const uint8_t* buffer, size_t n, off_t* out_off)
{
    while (n > 0) {
        ssize_t put = pwrite(fd, buffer, n, *out_off);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return last_error();
        }
        if (put == 0)
            return EIO;
        buffer += put;
        n -= static_cast<size_t>(put);
        *out_off += put;
    }
    return 0;
}

// Copies up to n bytes with pread/pwrite; *copied counts what was done.
Copy_Result copy_by_blocks(int in_fd, off_t* in_off, int out_fd, off_t* out_off, uint64_t n,
                           uint64_t* copied)
{
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[BLOCK]);
    if (!buffer)
        return {ENOMEM, false};
    while (*copied < n) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(BLOCK, n - *copied));
        ssize_t got = pread(in_fd, buffer.get(), want, *in_off);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return {last_error(), false};
        }
        if (got == 0)
            break;
        int rc = write_all(out_fd, buffer.get(), static_cast<size_t>(got), out_off);
        if (rc != 0)
            return {rc, true};
        *in_off += got;
        *copied += static_cast<uint64_t>(got);
        progress_advance(static_cast<uint64_t>(got));
    }
    return ok();
}

// Copies up to n bytes between the descriptors at the given offsets, kernel-side first.
Copy_Result copy_data(int in_fd, off_t* in_off, int out_fd, off_t* out_off, uint64_t n)
{
    uint64_t copied = 0;
    while (copied < n) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(CALL_LIMIT, n - copied));
        ssize_t moved = copy_file_range(in_fd, in_off, out_fd, out_off, want, 0);
        if (moved > 0) {
            copied += static_cast<uint64_t>(moved);
            progress_advance(static_cast<uint64_t>(moved));
            continue;
        }
        if (moved == 0)
            return ok();
        if (errno == EINTR)
            continue;
        // Refused or failed: the block path either does the rest or tells which side fails.
        return copy_by_blocks(in_fd, in_off, out_fd, out_off, n, &copied);
    }
    return ok();
}

// True when the target is a regular file that ends at or before off, so that what is not
// written there reads as zeros.
bool appending(int out_fd, off_t off)
{
    struct stat st;
    return fstat(out_fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= off;
}

// Copies up to n bytes, keeping the source's holes as holes where the target allows it.
Copy_Result copy_range(int in_fd, off_t* in_off, int out_fd, off_t* out_off, uint64_t n)
{
    struct stat st;
    if (fstat(in_fd, &st) != 0 || !S_ISREG(st.st_mode) || !appending(out_fd, *out_off))
        return copy_data(in_fd, in_off, out_fd, out_off, n);
    const off_t source_end = st.st_size;
    const off_t stop = n >= static_cast<uint64_t>(source_end) ||
                               *in_off >= source_end - static_cast<off_t>(n)
                           ? source_end
                           : *in_off + static_cast<off_t>(n);
    // Each turn copies one data segment of the source and passes over the hole after it.
    while (*in_off < stop) {
        off_t data = lseek(in_fd, *in_off, SEEK_DATA);
        if (data < 0 && errno != ENXIO)
            return copy_data(in_fd, in_off, out_fd, out_off, static_cast<uint64_t>(stop - *in_off));
        if (data < 0 || data > stop)
            data = stop;
        off_t hole = data < stop ? lseek(in_fd, data, SEEK_HOLE) : stop;
        if (hole < 0 || hole > stop)
            hole = stop;
        progress_advance(static_cast<uint64_t>(data - *in_off));
        *out_off += data - *in_off;
        *in_off = data;
        if (hole > data) {
            Copy_Result r = copy_data(in_fd, in_off, out_fd, out_off, static_cast<uint64_t>(hole - data));
            if (r.code != 0)
                return r;
            if (*in_off < hole)  // the source ended early
                break;
        }
    }
    // A copy that ends in a hole still makes the target as long as the copy.
    struct stat now;
    if (fstat(out_fd, &now) == 0 && now.st_size < *out_off && ftruncate(out_fd, *out_off) != 0)
        return {last_error(), true};
    return ok();
}

// Flushes both streams and takes their positions; code != 0 on failure.
Copy_Result positions(FILE* source, FILE* target, off_t* in_off, off_t* out_off)
{
    if (target != nullptr && fflush(target) != 0)
        return {last_error(), true};
    if (source != nullptr) {
        *in_off = ftello(source);
        if (*in_off < 0)
            return {last_error(), false};
    }
    *out_off = ftello(target);
    if (*out_off < 0)
        return {last_error(), true};
    return ok();
}

// Puts both streams on the offsets the copy reached.
Copy_Result settle(FILE* source, FILE* target, off_t in_off, off_t out_off)
{
    if (source != nullptr) {
        int rc = seek_to(source, static_cast<uint64_t>(in_off));
        if (rc != 0)
            return {rc, false};
    }
    int rc = seek_to(target, static_cast<uint64_t>(out_off));
    if (rc != 0)
        return {rc, true};
    return ok();
}

}  // namespace

Copy_Result copy_bytes(FILE* source, FILE* target, uint64_t n)
{
    off_t in_off = 0, out_off = 0;
    Copy_Result r = positions(source, target, &in_off, &out_off);
    if (r.code != 0)
        return r;
    r = copy_range(fileno(source), &in_off, fileno(target), &out_off, n);
    if (r.code != 0)
        return r;
    return settle(source, target, in_off, out_off);
}

Copy_Result write_zero_bytes(FILE* target, uint64_t n)
{
    off_t out_off = 0;
    Copy_Result r = positions(nullptr, target, nullptr, &out_off);
    if (r.code != 0)
        return r;
    const int fd = fileno(target);
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && out_off >= st.st_size) {
        // Past the end of a regular file the zeros need no writing: extend it with a hole.
        if (ftruncate(fd, out_off + static_cast<off_t>(n)) != 0)
            return {last_error(), true};
        progress_advance(n);
        out_off += static_cast<off_t>(n);
    } else {
        std::unique_ptr<uint8_t[]> zeros(new (std::nothrow) uint8_t[BLOCK]());
        if (!zeros)
            return {ENOMEM, true};
        for (uint64_t done = 0; done < n;) {
            size_t want = static_cast<size_t>(std::min<uint64_t>(BLOCK, n - done));
            int rc = write_all(fd, zeros.get(), want, &out_off);
            if (rc != 0)
                return {rc, true};
            done += want;
            progress_advance(want);
        }
    }
    return settle(nullptr, target, 0, out_off);
}

Copy_Result copy_remaining_bytes(FILE* source, FILE* target)
{
    return copy_bytes(source, target, UINT64_MAX);
}
