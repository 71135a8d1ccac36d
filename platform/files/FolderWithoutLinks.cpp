#include "FolderWithoutLinks.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

int openFolderWithoutLinks(const char *path, int flags)
{
    open_how how{};
    how.flags = unsigned(flags | O_DIRECTORY | O_CLOEXEC);
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = syscall(SYS_openat2, AT_FDCWD, path, &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS)
        return int(fd);
    return ::open(path, flags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}
