#include "HeldItem.h"

#include "FolderWithoutLinks.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

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
        m_folder = openFolderWithoutLinks(slash == 0 ? "/" : real.left(slash).constData(), O_PATH);
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
