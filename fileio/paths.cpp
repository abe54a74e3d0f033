#include "fileio/paths.h"

#include <sys/stat.h>
#include <unistd.h>

bool same_file(const char* a, const char* b)
{
    struct stat sa, sb;
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool same_file_as_fd(int fd, const char* name)
{
    struct stat sa, sb;
    if (fstat(fd, &sa) != 0 || stat(name, &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void remove_partial_output(const char* name)
{
    struct stat st;
    if (lstat(name, &st) == 0 && S_ISREG(st.st_mode))
        unlink(name);
}

std::string folder_of(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}
