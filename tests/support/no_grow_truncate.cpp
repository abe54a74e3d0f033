// Loaded with LD_PRELOAD into a program under test: refuses, as some FUSE file systems (FAT)
// do, to make a regular file longer by truncation.

// Both names are defined here, so the one must not stand for the other.
#undef _FILE_OFFSET_BITS
#include <cerrno>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether growing fd to length is to be refused.
bool refused(int fd, off_t length)
{
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && length > st.st_size;
}

}  // namespace

extern "C" int ftruncate64(int fd, off64_t length)
{
    if (refused(fd, length)) {
        errno = EPERM;
        return -1;
    }
    using Real = int (*)(int, off64_t);
    static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "ftruncate64"));
    return real(fd, length);
}

extern "C" int ftruncate(int fd, off_t length)
{
    return ftruncate64(fd, length);
}
