#include "iso/stream.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

const char* io_reason(int code)
{
    if (code == IO_SHORT)
        return "unexpected end of file";
    return std::strerror(code);
}

int last_error()
{
    return errno != 0 ? errno : EIO;
}

int seek_to(FILE* stream, uint64_t pos)
{
    if (pos > static_cast<uint64_t>(INT64_MAX))
        return EOVERFLOW;
    errno = 0;
    if (fseeko(stream, static_cast<off_t>(pos), SEEK_SET) != 0)
        return last_error();
    return 0;
}

int64_t stream_position(FILE* stream)
{
    return ftello(stream);
}

int read_exact(FILE* stream, void* buffer, size_t n)
{
    if (n == 0)
        return 0;
    errno = 0;
    size_t got = fread(buffer, 1, n, stream);
    if (got == n)
        return 0;
    if (ferror(stream)) {
        clearerr(stream);
        return last_error();
    }
    clearerr(stream);
    return IO_SHORT;
}

int write_exact(FILE* stream, const void* buffer, size_t n)
{
    if (n == 0)
        return 0;
    errno = 0;
    if (fwrite(buffer, 1, n, stream) != n) {
        clearerr(stream);
        return last_error();
    }
    return 0;
}

int read_at(FILE* stream, uint64_t pos, void* buffer, size_t n)
{
    int rc = seek_to(stream, pos);
    return rc != 0 ? rc : read_exact(stream, buffer, n);
}

int write_at(FILE* stream, uint64_t pos, const void* buffer, size_t n)
{
    int rc = seek_to(stream, pos);
    return rc != 0 ? rc : write_exact(stream, buffer, n);
}

int64_t stream_length(FILE* stream)
{
    if (fflush(stream) != 0)
        return -1;
    struct stat st;
    if (fstat(fileno(stream), &st) == 0 && S_ISREG(st.st_mode))
        return static_cast<int64_t>(st.st_size);
    // Not a regular file: ask the stream itself, then put it back.
    off_t here = ftello(stream);
    if (here < 0 || fseeko(stream, 0, SEEK_END) != 0)
        return -1;
    off_t end = ftello(stream);
    if (fseeko(stream, here, SEEK_SET) != 0)
        return -1;
    return static_cast<int64_t>(end);
}
