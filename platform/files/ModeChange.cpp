#include "ModeChange.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef SYS_fchmodat2
#define SYS_fchmodat2 452
#endif

int changeModeAt(int folderFd, const char *name, mode_t mode)
{
    // fchmodat2 (Linux 6.6) honours AT_SYMLINK_NOFOLLOW in one call; older
    // kernels get the C library's emulation through an O_PATH descriptor.
    static bool haveFchmodat2 = true;
    if (haveFchmodat2) {
        if (syscall(SYS_fchmodat2, folderFd, name, mode, AT_SYMLINK_NOFOLLOW) == 0)
            return 0;
        if (errno != ENOSYS)
            return errno;
        haveFchmodat2 = false;
    }
    return fchmodat(folderFd, name, mode, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}
