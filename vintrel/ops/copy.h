#pragma once
// Bulk copies between image streams, through the kernel where it can.

#include <cstdint>
#include <cstdio>

// Outcome of a bulk copy: code is 0, an errno value or IO_SHORT; on_target tells which
// stream failed.
struct Copy_Result {
    int code;
    bool on_target;
};

// Copies up to n bytes from the source's position to the target's position, fewer when the
// source ends first; both streams are left after what was copied.
Copy_Result copy_bytes(FILE* source, FILE* target, uint64_t n);

// Writes n zero bytes at the target's position (as a hole where the target is a regular file
// that ends there) and leaves the target after them.
Copy_Result write_zero_bytes(FILE* target, uint64_t n);

// Copies the source from its position to its end onto the target's position.
Copy_Result copy_remaining_bytes(FILE* source, FILE* target);
