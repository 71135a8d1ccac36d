#include "MainBundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString &overrideDirectory()
{
    static QString directory;
    return directory;
}
} // namespace

void setResourceDirectoryForTesting(const QString &directory)
{
    overrideDirectory() = directory;
}

QString pathForResource(const QString &name)
{
    const QString directory = !overrideDirectory().isEmpty()
                                  ? overrideDirectory()
                                  : QCoreApplication::applicationDirPath() + QStringLiteral("/../libexec/brindle");
    const QString path = QDir::cleanPath(directory + QLatin1Char('/') + name);
    return QFileInfo::exists(path) ? path : QString();
}
