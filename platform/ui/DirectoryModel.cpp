#include "DirectoryModel.h"

#include "PathCodec.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QStyle>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

DirectoryModel::Kind kindOf(int dirFd, const dirent &entry)
{
    const char *name = entry.d_name;
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        // A folder that may be read but not searched: its entries can't be
        // examined, only their type as the listing gives it.
        switch (entry.d_type) {
        case DT_DIR: return DirectoryModel::Folder;
        case DT_REG: return DirectoryModel::File;
        case DT_LNK: return DirectoryModel::LinkToFile;
        default: return DirectoryModel::Special;
        }
    }
    if (S_ISDIR(st.st_mode))
        return DirectoryModel::Folder;
    if (S_ISREG(st.st_mode))
        return DirectoryModel::File;
    if (!S_ISLNK(st.st_mode))
        return DirectoryModel::Special;
    if (::fstatat(dirFd, name, &st, 0) != 0)
        return DirectoryModel::DanglingLink;
    return S_ISDIR(st.st_mode) ? DirectoryModel::LinkToFolder : DirectoryModel::LinkToFile;
}

} // namespace

DirectoryModel::DirectoryModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int DirectoryModel::setFolder(const QString &folder)
{
    DIR *dir = ::opendir(bytesFromPath(folder).constData());
    if (!dir)
        return errno;
    QList<Entry> entries;
    const int fd = ::dirfd(dir);
    errno = 0;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArray name(d->d_name);
        if (name == "." || name == "..")
            continue;
        entries.append({pathFromBytes(name), kindOf(fd, *d)});
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError)
        return readError;

    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        const bool aFolder = entersAsFolder(a.kind), bFolder = entersAsFolder(b.kind);
        if (aFolder != bFolder)
            return aFolder;
        const int byLocale = QString::localeAwareCompare(a.name.toCaseFolded(), b.name.toCaseFolded());
        return byLocale != 0 ? byLocale < 0 : a.name < b.name;
    });
    beginResetModel();
    m_folder = folder;
    m_entries = std::move(entries);
    endResetModel();
    return 0;
}

QString DirectoryModel::pathAt(int row) const
{
    return m_folder.endsWith(QLatin1Char('/')) ? m_folder + entry(row).name
                                               : m_folder + QLatin1Char('/') + entry(row).name;
}

int DirectoryModel::rowOf(const QString &name) const
{
    for (int row = 0; row < m_entries.size(); ++row) {
        if (m_entries.at(row).name == name)
            return row;
    }
    return -1;
}

QString DirectoryModel::kindText(Kind kind)
{
    switch (kind) {
    case Folder: return tr("Folder");
    case File: return tr("File");
    case LinkToFolder: return tr("Link to a folder");
    case LinkToFile: return tr("Link");
    case DanglingLink: return tr("Link, target missing");
    case Special: return tr("Special file");
    }
    return {};
}

int DirectoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int DirectoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DirectoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const Entry &e = m_entries.at(index.row());
    if (index.column() == NameColumn) {
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return e.name;
        if (role == Qt::DecorationRole) {
            static QFileIconProvider icons;
            return icons.icon(entersAsFolder(e.kind) ? QAbstractFileIconProvider::Folder
                                                     : QAbstractFileIconProvider::File);
        }
    } else if (index.column() == KindColumn && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)) {
        return kindText(e.kind);
    }
    return {};
}

QVariant DirectoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == NameColumn ? tr("Name") : tr("Kind");
}
