#include "HeldItem.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// A folder by its real path, refusing any symbolic link on the way: one
// there now was swapped in since the kernel told us the path.
int openFolderWithoutLinks(const QByteArray &path)
{
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = syscall(SYS_openat2, AT_FDCWD, path.constData(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS)
        return int(fd);
    return ::open(path.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

HeldItem::HeldItem(const QByteArray &path)
{
    m_item = ::open(path.constData(), O_PATH | O_CLOEXEC);
    if (m_item < 0 || ::fstat(m_item, &m_status) != 0) {
        m_error = errno;
        if (m_item >= 0)
            ::close(m_item);
        m_item = -1;
    }
}

HeldItem::~HeldItem()
{
    if (m_folder >= 0)
        ::close(m_folder);
    if (m_item >= 0)
        ::close(m_item);
}

QByteArray HeldItem::throughDescriptor(int fd)
{
    return "/proc/" + QByteArray::number(qint64(::getpid())) + "/fd/" + QByteArray::number(fd);
}

QByteArray HeldItem::itself() const
{
    if (!isOpen())
        return {};
    return throughDescriptor(m_item) + (isFolder() ? "/." : "");
}

QByteArray HeldItem::withoutLinks()
{
    if (!isOpen() || isFolder())
        return itself();
    QByteArray real(PATH_MAX, Qt::Uninitialized);
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_item);
    const ssize_t n = ::readlink(self.constData(), real.data(), size_t(real.size()));
    if (n <= 0 || n >= real.size() || real.at(0) != '/') {
        m_error = n < 0 ? errno : ENOENT;
        return {};
    }
    real.truncate(n);
    const qsizetype slash = real.lastIndexOf('/');
    const QByteArray name = real.mid(slash + 1);
    if (m_folder < 0)
        m_folder = openFolderWithoutLinks(slash == 0 ? QByteArray("/") : real.left(slash));
    // The folder must hold the very item under that name (a file deleted or
    // renamed meanwhile shows an old name).
    struct stat there {};
    if (m_folder < 0 || ::fstatat(m_folder, name.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
        m_error = errno;
        return {};
    }
    if (there.st_dev != m_status.st_dev || there.st_ino != m_status.st_ino) {
        m_error = ESTALE;
        return {};
    }
    return throughDescriptor(m_folder) + '/' + name;
}
