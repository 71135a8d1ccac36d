#include "NoLinkPath.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/openat2.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// O_PATH opens nothing: FIFOs and devices are neither blocked on nor woken.
constexpr int kOpenFlags = O_PATH | O_CLOEXEC;

// The component's descriptor, refusing a link. openat(O_PATH | O_NOFOLLOW) on
// a link gives a descriptor of the link itself, which fstat then shows.
int openComponent(int directory, const char *name, bool mustBeDirectory)
{
    const int fd = openat(directory, name, kOpenFlags | O_NOFOLLOW);
    if (fd < 0)
        return -1;
    struct stat st {};
    int error = 0;
    if (fstat(fd, &st) != 0)
        error = errno;
    else if (S_ISLNK(st.st_mode))
        error = ELOOP;
    else if (mustBeDirectory && !S_ISDIR(st.st_mode))
        error = ENOTDIR;
    if (error != 0) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

int walkWithoutLinks(const char *path)
{
    if (!path || !*path) {
        errno = ENOENT;
        return -1;
    }
    int current = open(path[0] == '/' ? "/" : ".", kOpenFlags | O_DIRECTORY);
    if (current < 0)
        return -1;
    const std::string whole(path);
    std::size_t at = 0;
    while (at < whole.size()) {
        while (at < whole.size() && whole[at] == '/')
            ++at;
        if (at == whole.size())
            break; // trailing slashes: the folder reached is the item
        const std::size_t slash = whole.find('/', at);
        const std::string name = whole.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        at = slash == std::string::npos ? whole.size() : slash;
        // Anything but the last component (or one followed by '/') is a folder.
        const bool folder = at < whole.size();
        const int next = openComponent(current, name.c_str(), folder);
        const int error = errno;
        close(current);
        if (next < 0) {
            errno = error;
            return -1;
        }
        current = next;
    }
    return current;
}

int openWithoutLinks(const char *path)
{
    open_how how{};
    how.flags = kOpenFlags;
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = syscall(SYS_openat2, AT_FDCWD, path, &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS)
        return int(fd);
    return walkWithoutLinks(path);
}

int changeModeOfDescriptor(int descriptor, unsigned mode)
{
    // fchmod refuses O_PATH descriptors; /proc's entry for the descriptor is
    // the very inode that was opened, whatever happens to the path meanwhile.
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", descriptor);
    return fchmodat(AT_FDCWD, self, mode_t(mode), 0);
}
