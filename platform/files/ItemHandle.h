#pragma once

#include <QByteArray>

#include <sys/stat.h>

// An item reached by its path, symbolic links followed, and held by an O_PATH
// descriptor: nothing is read from it and nothing opens it for I/O, so a FIFO
// or a device never blocks or wakes up, and every later call reaches the very
// inode that was looked up, whatever happens to the path meanwhile.
class ItemHandle
{
public:
    explicit ItemHandle(const char *path);
    ~ItemHandle();
    ItemHandle(const ItemHandle &) = delete;
    ItemHandle &operator=(const ItemHandle &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // errno of the failed look-up; 0 when open.
    int error() const { return m_error; }
    const struct stat &status() const { return m_status; }
    bool isRegularFileOrFolder() const;

    // A path that names this inode for the *xattr calls ("/proc/self/fd/N").
    const char *procPath() const { return m_procPath.constData(); }
    // The file system's magic number (statfs f_type); 0 when unknown.
    long fileSystemType() const;
    // The item's own name once links are followed: the last component of
    // its real path ("/" for the root).
    QByteArray ownName() const;
    // The real path, links resolved; empty when the kernel can't tell.
    QByteArray realPath() const;

    // A descriptor open for reading, for ioctls: regular files and folders
    // only (other kinds: -1, errno EOPNOTSUPP), opened without blocking and
    // without becoming a controlling terminal. The caller closes it.
    int openForIoctl() const;

private:
    int m_fd = -1;
    int m_error = 0;
    struct stat m_status {};
    QByteArray m_procPath;
};
