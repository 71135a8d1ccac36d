#pragma once

#include <QByteArray>

#include <memory>
#include <vector>

// Every entry beneath a folder, at any depth, each folder before its
// contents. Symbolic links met inside the tree are skipped: never followed,
// never yielded. A folder is opened only when the walk moves on from it, so
// a caller that changes a folder's mode when it is yielded has that change
// in force when the folder is entered. Works on descriptors (openat,
// getdents64), relative to each folder, like chmod -R.
class DeepEnumerator
{
public:
    enum Kind {
        Folder,     // a folder: entered after the caller has seen it
        Other,      // a file, or a special file (device, pipe, socket)
        Unreadable, // a folder that could not be entered or read; error() says why
    };

    // rootPath must be resolved already (realpath): a symbolic link on the
    // way to the root means it was swapped since, and the root counts as
    // unreadable. A root that is not a folder yields nothing; one that can't
    // be opened yields one Unreadable entry with an empty path.
    explicit DeepEnumerator(const QByteArray &rootPath);
    ~DeepEnumerator();
    DeepEnumerator(const DeepEnumerator &) = delete;
    DeepEnumerator &operator=(const DeepEnumerator &) = delete;

    // Moves to the next entry; false when the walk is over.
    bool next();

    Kind kind() const { return m_kind; }
    int error() const { return m_error; }
    // The folder that holds the entry, and its name there; valid until next().
    int folderFd() const;
    const char *name() const { return m_name; }
    // The entry's path relative to the root ("a/b/c"); empty for the root.
    QByteArray relativePath() const;

private:
    struct Level;
    bool openLevel(int parentFd, const char *name, const QByteArray &relative);

    std::vector<std::unique_ptr<Level>> m_levels;
    QByteArray m_root;
    bool m_rootPending = true;
    bool m_descend = false; // the last entry yielded was a folder
    Kind m_kind = Other;
    int m_error = 0;
    const char *m_name = "";
    QByteArray m_unreadablePath;
    std::vector<char> m_scratch;
};
