#include "convert.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "fileio/copy.h"
#include "fileio/io.h"
#include "fileio/paths.h"
#include "fileio/progress.h"
#include "layout.h"

namespace {

// Sectors converted per block.
constexpr uint32_t BLOCK_SECTORS = 256;

// Counts a piece of the conversion for the progress line.
bool show_progress(uint64_t bytes)
{
    progress_advance(bytes);
    return true;
}

// Copies an image that already has 2048-byte sectors; gives 0, an errno value, or -errno
// for a failed read.
int copy_unchanged(int in, int out, uint64_t length)
{
    uint64_t in_off = 0, out_off = 0;
    Copy_Result r = copy_span(in, in_off, out, out_off, length, show_progress);
    if (r.code == 0 && in_off < length)
        r = {IO_SHORT, false};
    if (r.code == 0)
        return 0;
    const int code = r.code == IO_SHORT ? EIO : r.code;
    return r.on_target ? code : -code;
}

// Takes the user data of every raw sector; gives as copy_unchanged.
int extract_user_data(int in, int out, uint64_t length, const Raw_Layout& layout)
{
    const size_t raw_block = static_cast<size_t>(BLOCK_SECTORS) * layout.sector_size;
    std::unique_ptr<uint8_t[]> raw(new uint8_t[raw_block]);
    std::unique_ptr<uint8_t[]> data(new uint8_t[BLOCK_SECTORS * USER_DATA]);
    for (uint64_t off = 0; off < length; off += raw_block) {
        errno = 0;
        int64_t got = read_upto_at(in, off, raw.get(), raw_block);
        if (got < 0)
            return -last_error();
        const size_t sectors = static_cast<size_t>(got) / layout.sector_size;
        if (sectors == 0)
            return -EIO;
        for (size_t s = 0; s < sectors; ++s)
            std::memcpy(data.get() + s * USER_DATA, raw.get() + s * layout.sector_size + layout.data_offset,
                        USER_DATA);
        int rc = write_full(out, data.get(), sectors * USER_DATA);
        if (rc != 0)
            return rc;
        progress_advance(static_cast<uint64_t>(got));
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
    struct stat in_st;
    if (fstat(in, &in_st) != 0) {
        printf("Error: cannot open %s: %s\n", input, strerror(errno));
        close(in);
        return 1;
    }
    if (same_file_as_fd(in, output)) {
        printf("Error: %s is the input image %s itself; name another file for the output\n", output, input);
        close(in);
        return 1;
    }
    const uint64_t length = static_cast<uint64_t>(in_st.st_size);
    const size_t head_size = PROBE_SECTORS * 2352 + 2352;
    std::unique_ptr<uint8_t[]> head(new uint8_t[head_size]());
    int64_t got = read_upto_at(in, 0, head.get(), head_size);
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
    progress_start(length);
    int rc = layout.data_offset == 0 && layout.sector_size == USER_DATA
                 ? copy_unchanged(in, out, length)
                 : extract_user_data(in, out, length, layout);
    progress_end();
    if (rc == 0 && close(out) != 0)
        rc = last_error();
    else if (rc != 0)
        close(out);
    close(in);
    if (rc != 0) {
        if (rc < 0)
            printf("Error: could not read %s: %s\n", input, strerror(-rc));
        else
            printf("Error: could not write %s: %s\n", output, strerror(rc));
        // A partial image is of no use; a device is never removed.
        remove_partial_output(output);
        return 1;
    }
    printf("Done: %llu sectors of 2048 bytes\n",
           static_cast<unsigned long long>(length / layout.sector_size));
    return 0;
}
