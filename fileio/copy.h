#pragma once
// Bulk copies between files through the kernel where it can, keeping holes as holes.

#include <cstdint>

// Told of every piece of a copy as it is done, for a progress line; may be null. Giving
// false stops the copy, which then ends with the code EINTR.
using Copy_Progress = bool (*)(uint64_t bytes);

// Outcome of a bulk copy: code is 0, an errno value or IO_SHORT; on_target tells which side
// failed.
struct Copy_Result {
    int code;
    bool on_target;
};

// Copies up to n bytes from in at in_off to out at out_off (fewer when the source ends
// first), advancing both offsets. Where the source is a regular file and the target a regular
// file that ends at or before out_off, the source's holes stay holes.
Copy_Result copy_span(int in, uint64_t& in_off, int out, uint64_t& out_off, uint64_t n,
                      Copy_Progress progress);

// Makes the regular file fd at least `to` bytes long; the new bytes read as zeros. Extends by
// truncation where the file system allows it and writes zeros where it does not. Gives 0 or
// an errno value.
int extend_with_zeros(int fd, uint64_t to, Copy_Progress progress);

// Writes n zero bytes at out_off, advancing it; gives 0 or an errno value.
int write_zeros(int fd, uint64_t& out_off, uint64_t n, Copy_Progress progress);
