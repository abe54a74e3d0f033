#include "fileio/io.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

int last_error()
{
    return errno != 0 ? errno : EIO;
}

const char* io_reason(int code)
{
    if (code == IO_SHORT)
        return "unexpected end of file";
    return std::strerror(code);
}

int64_t read_upto_at(int fd, uint64_t off, void* buffer, size_t n)
{
    if (off > static_cast<uint64_t>(INT64_MAX) - n) {
        errno = EOVERFLOW;
        return -1;
    }
    uint8_t* p = static_cast<uint8_t*>(buffer);
    size_t got = 0;
    while (got < n) {
        ssize_t r = pread(fd, p + got, n - got, static_cast<off_t>(off + got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(got);
}

int read_full_at(int fd, uint64_t off, void* buffer, size_t n)
{
    errno = 0;
    int64_t got = read_upto_at(fd, off, buffer, n);
    if (got < 0)
        return last_error();
    return static_cast<size_t>(got) == n ? 0 : IO_SHORT;
}

int write_full_at(int fd, uint64_t off, const void* buffer, size_t n)
{
    if (off > static_cast<uint64_t>(INT64_MAX) - n)
        return EOVERFLOW;
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    size_t put = 0;
    while (put < n) {
        errno = 0;
        ssize_t w = pwrite(fd, p + put, n - put, static_cast<off_t>(off + put));
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return last_error();
        if (w == 0)
            return EIO;
        put += static_cast<size_t>(w);
    }
    return 0;
}

int write_full(int fd, const void* buffer, size_t n)
{
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    while (n > 0) {
        errno = 0;
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return last_error();
        if (w == 0)
            return EIO;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return 0;
}

int64_t file_size(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return -1;
    if (S_ISREG(st.st_mode))
        return static_cast<int64_t>(st.st_size);
    // A device or a pipe: ask the descriptor itself, then put it back.
    off_t here = lseek(fd, 0, SEEK_CUR);
    off_t end = here < 0 ? -1 : lseek(fd, 0, SEEK_END);
    if (end < 0 || lseek(fd, here, SEEK_SET) < 0)
        return -1;
    return static_cast<int64_t>(end);
}
