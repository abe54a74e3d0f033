#include "convert.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "layout.h"

namespace {

// Sectors converted per block.
constexpr uint32_t BLOCK_SECTORS = 256;

// errno after a failed call, never 0.
int error_code()
{
    return errno != 0 ? errno : EIO;
}

// Reads n bytes at off; gives the count read (less at the end) or -1.
ssize_t read_full(int fd, uint8_t* buffer, size_t n, off_t off)
{
    size_t got = 0;
    while (got < n) {
        ssize_t r = pread(fd, buffer + got, n - got, off + static_cast<off_t>(got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

// Writes all n bytes; gives 0 or an errno value.
int write_full(int fd, const uint8_t* buffer, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, buffer, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return w < 0 ? error_code() : EIO;
        buffer += w;
        n -= static_cast<size_t>(w);
    }
    return 0;
}

// Copies an image that already has 2048-byte sectors; gives 0, an errno value, or -errno
// for a failed read.
int copy_unchanged(int in, int out, uint64_t length)
{
    loff_t in_off = 0, out_off = 0;
    while (static_cast<uint64_t>(in_off) < length) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(length - in_off, 32u << 20));
        ssize_t moved = copy_file_range(in, &in_off, out, &out_off, want, 0);
        if (moved > 0)
            continue;
        if (moved < 0 && errno == EINTR)
            continue;
        break;  // refused or ended: the block path does the rest
    }
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[1 << 20]);
    while (static_cast<uint64_t>(in_off) < length) {
        ssize_t got = read_full(in, buffer.get(), 1 << 20, in_off);
        if (got <= 0)
            return got < 0 ? -error_code() : -EIO;
        if (lseek(out, out_off, SEEK_SET) < 0)
            return error_code();
        int rc = write_full(out, buffer.get(), static_cast<size_t>(got));
        if (rc != 0)
            return rc;
        in_off += got;
        out_off += got;
    }
    return 0;
}

// Takes the user data of every raw sector; gives as copy_unchanged.
int extract_user_data(int in, int out, uint64_t length, const Raw_Layout& layout)
{
    const size_t raw_block = static_cast<size_t>(BLOCK_SECTORS) * layout.sector_size;
    std::unique_ptr<uint8_t[]> raw(new uint8_t[raw_block]);
    std::unique_ptr<uint8_t[]> data(new uint8_t[BLOCK_SECTORS * USER_DATA]);
    for (uint64_t off = 0; off < length; off += raw_block) {
        ssize_t got = read_full(in, raw.get(), raw_block, static_cast<off_t>(off));
        if (got < 0)
            return -error_code();
        const size_t sectors = static_cast<size_t>(got) / layout.sector_size;
        if (sectors == 0)
            return -EIO;
        for (size_t s = 0; s < sectors; ++s)
            std::memcpy(data.get() + s * USER_DATA, raw.get() + s * layout.sector_size + layout.data_offset,
                        USER_DATA);
        int rc = write_full(out, data.get(), sectors * USER_DATA);
        if (rc != 0)
            return rc;
    }
    return 0;
}

}  // namespace

int convert_image(const char* input, const char* output)
{
    int in = open(input, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        printf("Error: cannot open %s: %s\n", input, strerror(errno));
        return 1;
    }
    struct stat in_st, out_st;
    if (fstat(in, &in_st) != 0) {
        printf("Error: cannot open %s: %s\n", input, strerror(errno));
        close(in);
        return 1;
    }
    if (stat(output, &out_st) == 0 && out_st.st_dev == in_st.st_dev && out_st.st_ino == in_st.st_ino) {
        printf("Error: %s is the input image %s itself; name another file for the output\n", output, input);
        close(in);
        return 1;
    }
    const uint64_t length = static_cast<uint64_t>(in_st.st_size);
    const size_t head_size = PROBE_SECTORS * 2352 + 2352;
    std::unique_ptr<uint8_t[]> head(new uint8_t[head_size]());
    ssize_t got = read_full(in, head.get(), head_size, 0);
    if (got < 0) {
        printf("Error: could not read %s: %s\n", input, strerror(errno));
        close(in);
        return 1;
    }
    Raw_Layout layout;
    if (!detect_layout(head.get(), static_cast<uint64_t>(got), length, layout)) {
        printf("Error: %s is not a CD image of a known layout (2352-byte sectors of mode 1 or 2, "
               "2336-byte sectors of mode 2, or an ISO 9660 image of 2048-byte sectors)\n",
               input);
        close(in);
        return 1;
    }
    printf("Converting %s (%s) to %s\n", input, layout.name, output);
    fflush(stdout);

    int out = open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        printf("Error: cannot create %s: %s\n", output, strerror(errno));
        close(in);
        return 1;
    }
    int rc = layout.data_offset == 0 && layout.sector_size == USER_DATA
                 ? copy_unchanged(in, out, length)
                 : extract_user_data(in, out, length, layout);
    if (rc == 0 && close(out) != 0)
        rc = error_code();
    else if (rc != 0)
        close(out);
    close(in);
    if (rc != 0) {
        if (rc < 0)
            printf("Error: could not read %s: %s\n", input, strerror(-rc));
        else
            printf("Error: could not write %s: %s\n", output, strerror(rc));
        struct stat st;
        // A partial image is of no use; a device is never removed.
        if (stat(output, &st) == 0 && S_ISREG(st.st_mode))
            unlink(output);
        return 1;
    }
    printf("Done: %llu sectors of 2048 bytes\n",
           static_cast<unsigned long long>(length / layout.sector_size));
    return 0;
}
