#include "InodeFlags.h"

#include "ItemHandle.h"

#include <cerrno>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// The current flags through an open descriptor; -1 on failure.
int openAndRead(const char *path, int *flags)
{
    const ItemHandle item(path);
    const int fd = item.openForIoctl();
    if (fd < 0)
        return -1;
    if (::ioctl(fd, FS_IOC_GETFLAGS, flags) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

int immutableFlag(const char *path)
{
    int flags = 0;
    const int fd = openAndRead(path, &flags);
    if (fd < 0)
        return -1;
    ::close(fd);
    return (flags & FS_IMMUTABLE_FL) ? 1 : 0;
}

int setImmutableFlag(const char *path, bool immutable)
{
    int flags = 0;
    const int fd = openAndRead(path, &flags);
    if (fd < 0)
        return errno;
    int result = 0;
    // Rewriting the flags unchanged would still need the item's owner; a
    // request that changes nothing must not end in an administrator's
    // password dialog.
    if (bool(flags & FS_IMMUTABLE_FL) != immutable) {
        flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)
            result = errno;
    }
    ::close(fd);
    return result;
}
