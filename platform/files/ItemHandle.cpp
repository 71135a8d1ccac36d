#include "ItemHandle.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/statfs.h>
#include <unistd.h>

ItemHandle::ItemHandle(const char *path)
{
    m_fd = ::open(path, O_PATH | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    if (::fstat(m_fd, &m_status) != 0) {
        m_error = errno;
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_procPath = "/proc/self/fd/" + QByteArray::number(m_fd);
}

ItemHandle::~ItemHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ItemHandle::isRegularFileOrFolder() const
{
    return S_ISREG(m_status.st_mode) || S_ISDIR(m_status.st_mode);
}

long ItemHandle::fileSystemType() const
{
    struct statfs fs {};
    return m_fd >= 0 && ::fstatfs(m_fd, &fs) == 0 ? long(fs.f_type) : 0;
}

QByteArray ItemHandle::realPath() const
{
    if (m_fd < 0)
        return {};
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(m_procPath.constData(), target.data(), size_t(target.size()));
    if (n <= 0 || n >= target.size())
        return {};
    target.truncate(n);
    return target;
}

QByteArray ItemHandle::ownName() const
{
    const QByteArray path = realPath();
    if (path == "/")
        return path;
    return path.mid(path.lastIndexOf('/') + 1);
}

int ItemHandle::openForIoctl() const
{
    if (m_fd < 0) {
        errno = m_error;
        return -1;
    }
    if (!isRegularFileOrFolder()) {
        // What chattr and lsattr answer too: their ioctls would reach the
        // device's driver, not the file system.
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(m_procPath.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}
