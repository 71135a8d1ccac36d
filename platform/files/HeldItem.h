#pragma once

#include <QByteArray>

#include <sys/stat.h>

// An item held open for a program that runs as root (chown, chattr through
// pkexec), which is then handed a path through Brindle's own descriptors,
// /proc/<pid>/fd/N. The item may sit in folders that someone else owns: while
// the administrator reads the password dialog, that someone can swap a folder
// on the way, or the item itself, for a symbolic link. A path from / would
// lead root's program through the link; a held descriptor keeps leading to
// the item that was looked at.
class HeldItem
{
public:
    // path's links are followed, as the chosen item's are.
    explicit HeldItem(const QByteArray &path);
    ~HeldItem();
    HeldItem(const HeldItem &) = delete;
    HeldItem &operator=(const HeldItem &) = delete;

    bool isOpen() const { return m_item >= 0; }
    // errno of the failed look-up; 0 when all went well.
    int error() const { return m_error; }
    bool isFolder() const { return S_ISDIR(m_status.st_mode); }

    // The item itself: a folder as ".../fd/N/.", anything else as the
    // descriptor's link ".../fd/N", which a program that follows the last
    // link of its argument (chown without -R) takes to the very inode.
    QByteArray itself() const;
    // A path in which nothing is a symbolic link, for a program that follows
    // no link at the end of its argument and refuses the descriptor's (chattr):
    // a folder as ".../fd/N/.", anything else by its name now in its folder,
    // which is held too. Empty, with error() set, when the item was deleted or
    // its folder can't be held or no longer holds it under that name.
    QByteArray withoutLinks();

private:
    static QByteArray throughDescriptor(int fd);

    int m_item = -1;
    int m_folder = -1;
    int m_error = 0;
    struct stat m_status {};
};
