#include "fileio/replace.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fileio/io.h"
#include "fileio/paths.h"

namespace {

// Tries a few names before giving up on a unique one.
constexpr int NAME_TRIES = 100;

// The start of every hidden temporary name for target.
std::string hidden_stem(const std::string& target)
{
    return std::string(PENDING_PREFIX) + target + PENDING_INFIX;
}

// A hidden name for target that is unlikely to be taken.
std::string hidden_name(const std::string& target, int attempt)
{
    static unsigned counter = 0;
    char tail[64];
    snprintf(tail, sizeof tail, "%ld-%u-%d", static_cast<long>(getpid()), counter++, attempt);
    return hidden_stem(target) + tail;
}

// Removes the hidden temporary files of target that no run holds any more: a run holds its
// file locked for as long as it lives.
void remove_stale(int folder_fd, const std::string& target)
{
    const int scan_fd = dup(folder_fd);
    DIR* dir = scan_fd < 0 ? nullptr : fdopendir(scan_fd);
    if (dir == nullptr) {
        if (scan_fd >= 0)
            close(scan_fd);
        return;
    }
    const std::string stem = hidden_stem(target);
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, stem.size(), stem) != 0)
            continue;
        const int fd = openat(folder_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlinkat(folder_fd, name.c_str(), 0);
        close(fd);
    }
    closedir(dir);
}

// Creates a hidden, locked temporary file in the folder; gives 0 or an errno value.
int create_hidden(Pending_File& p)
{
    for (int attempt = 0; attempt < NAME_TRIES; ++attempt) {
        const std::string name = hidden_name(p.target, attempt);
        const int fd = openat(p.folder_fd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return last_error();
        flock(fd, LOCK_EX);
        p.fd = fd;
        p.hidden = name;
        return 0;
    }
    return EEXIST;
}

// Gives the unnamed temporary file a hidden name; gives 0 or an errno value.
int name_unnamed(Pending_File& p)
{
    char proc[64];
    snprintf(proc, sizeof proc, "/proc/self/fd/%d", p.fd);
    for (int attempt = 0; attempt < NAME_TRIES; ++attempt) {
        const std::string name = hidden_name(p.target, attempt);
        // Through /proc any user can link the file; without /proc only a privileged one.
        if (linkat(AT_FDCWD, proc, p.folder_fd, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno == ENOENT && linkat(p.fd, "", p.folder_fd, name.c_str(), AT_EMPTY_PATH) == 0)) {
            p.hidden = name;
            return 0;
        }
        if (errno != EEXIST)
            return last_error();
    }
    return EEXIST;
}

}  // namespace

int pending_create(const std::string& path, Pending_File& p)
{
    pending_discard(p);
    const std::string folder = folder_of(path);
    const size_t slash = path.rfind('/');
    p.target = slash == std::string::npos ? path : path.substr(slash + 1);
    p.folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (p.folder_fd < 0)
        return last_error();
    remove_stale(p.folder_fd, p.target);
    const int fd = openat(p.folder_fd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd >= 0) {
        flock(fd, LOCK_EX);
        p.fd = fd;
        return 0;
    }
    const int rc = create_hidden(p);
    if (rc != 0) {
        close(p.folder_fd);
        p.folder_fd = -1;
    }
    return rc;
}

int pending_commit(Pending_File& p)
{
    if (fsync(p.fd) != 0)
        return last_error();
    if (p.hidden.empty()) {
        const int rc = name_unnamed(p);
        if (rc != 0)
            return rc;
    }
    // The hidden name is the file's own: the rename below is the one step at which the
    // target changes, from what it was to the whole new file.
    if (renameat(p.folder_fd, p.hidden.c_str(), p.folder_fd, p.target.c_str()) != 0)
        return last_error();
    p.hidden.clear();
    if (fsync(p.folder_fd) != 0)
        return last_error();
    close(p.fd);
    close(p.folder_fd);
    p.fd = p.folder_fd = -1;
    return 0;
}

void pending_discard(Pending_File& p)
{
    if (!p.hidden.empty() && p.folder_fd >= 0)
        unlinkat(p.folder_fd, p.hidden.c_str(), 0);
    p.hidden.clear();
    if (p.fd >= 0)
        close(p.fd);
    if (p.folder_fd >= 0)
        close(p.folder_fd);
    p.fd = p.folder_fd = -1;
}
