#pragma once

#include <QAbstractTableModel>
#include <QList>

// Every entry of one folder, read with readdir: hidden ones, symbolic links
// whose target is missing, special files, and names that are not UTF-8
// (carried as PathCodec strings, so the path chosen names the very bytes).
// Folders, and links to folders, come first; then names in the locale's order.
class DirectoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Kind { Folder, File, LinkToFolder, LinkToFile, DanglingLink, Special };
    enum Column { NameColumn, KindColumn, ColumnCount };

    struct Entry
    {
        QString name;
        Kind kind = File;
    };

    explicit DirectoryModel(QObject *parent = nullptr);

    // Lists folder; on failure keeps the listing shown and returns errno.
    int setFolder(const QString &folder);
    QString folder() const { return m_folder; }

    const Entry &entry(int row) const { return m_entries.at(row); }
    QString pathAt(int row) const;
    // The row of the entry with this name, or -1.
    int rowOf(const QString &name) const;
    static bool entersAsFolder(Kind kind) { return kind == Folder || kind == LinkToFolder; }
    static QString kindText(Kind kind);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString m_folder;
    QList<Entry> m_entries;
};
