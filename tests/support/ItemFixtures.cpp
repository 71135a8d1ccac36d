#include "ItemFixtures.h"

#include "PathCodec.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString makeItemFile(const QTemporaryDir &dir, const QByteArray &name, mode_t mode)
{
    const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0600);
    if (fd < 0)
        return {};
    ::close(fd);
    // chmod, not open's mode: the umask must not take bits away.
    if (::chmod(path.constData(), mode) != 0)
        return {};
    return pathFromBytes(path);
}
