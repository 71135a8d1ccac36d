#include "DeepEnumerator.h"

#include "FolderWithoutLinks.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The fixed head of a getdents64 record; the name follows the type byte.
struct LinuxDirent64
{
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
};
constexpr std::size_t kNameOffset = offsetof(LinuxDirent64, d_type) + 1;

// Each level of the walk holds its folder open: a tree deeper than the soft
// descriptor limit gets the hard limit, as much as the system allows.
bool raiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return false;
    limit.rlim_cur = limit.rlim_max;
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

unsigned char typeFromMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return DT_DIR;
    if (S_ISLNK(mode))
        return DT_LNK;
    return DT_REG;
}

} // namespace

// One open folder: its descriptor and every name it holds (a type byte, the
// name, a terminating zero), read in one go so that only one listing buffer
// is ever in use, however deep the walk goes.
struct DeepEnumerator::Level
{
    int fd = -1;
    QByteArray prefix; // relative path of the folder, with a trailing slash
    std::vector<char> names;
    std::size_t position = 0;

    ~Level()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

DeepEnumerator::DeepEnumerator(const QByteArray &rootPath)
    : m_root(rootPath)
{
}

DeepEnumerator::~DeepEnumerator() = default;

int DeepEnumerator::folderFd() const
{
    return m_levels.empty() ? -1 : m_levels.back()->fd;
}

QByteArray DeepEnumerator::relativePath() const
{
    if (m_kind == Unreadable)
        return m_unreadablePath;
    return m_levels.back()->prefix + QByteArray(m_name);
}

bool DeepEnumerator::openLevel(int parentFd, const char *name, const QByteArray &relative)
{
    auto level = std::make_unique<Level>();
    auto open = [&] {
        // The caller resolved the root: a link on the way now was swapped in since.
        return parentFd == AT_FDCWD ? openFolderWithoutLinks(m_root.constData(), O_RDONLY)
                                    : ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    };
    level->fd = open();
    if (level->fd < 0 && errno == EMFILE && raiseDescriptorLimit())
        level->fd = open();
    if (level->fd < 0)
        return false;
    if (m_scratch.empty())
        m_scratch.resize(64 * 1024);
    for (;;) {
        const long n = syscall(SYS_getdents64, level->fd, m_scratch.data(), m_scratch.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (long offset = 0; offset < n;) {
            const auto *entry = reinterpret_cast<const LinuxDirent64 *>(m_scratch.data() + offset);
            offset += entry->d_reclen;
            const char *entryName = reinterpret_cast<const char *>(entry) + kNameOffset;
            if (entryName[0] == '.' && (entryName[1] == 0 || (entryName[1] == '.' && entryName[2] == 0)))
                continue;
            const std::size_t length = std::strlen(entryName);
            level->names.push_back(char(entry->d_type));
            level->names.insert(level->names.end(), entryName, entryName + length + 1);
        }
    }
    level->prefix = relative.isEmpty() ? QByteArray() : relative + '/';
    m_levels.push_back(std::move(level));
    return true;
}

bool DeepEnumerator::next()
{
    if (m_rootPending) {
        m_rootPending = false;
        if (!openLevel(AT_FDCWD, nullptr, QByteArray())) {
            if (errno == ENOTDIR)
                return false; // a file: nothing beneath it
            m_error = errno;
            m_kind = Unreadable;
            m_unreadablePath.clear();
            return true;
        }
    }
    if (m_descend) {
        m_descend = false;
        const QByteArray relative = relativePath();
        if (!openLevel(m_levels.back()->fd, m_name, relative)) {
            m_error = errno;
            m_kind = Unreadable;
            m_unreadablePath = relative;
            return true;
        }
    }
    while (!m_levels.empty()) {
        Level &top = *m_levels.back();
        if (top.position >= top.names.size()) {
            m_levels.pop_back();
            continue;
        }
        unsigned char type = static_cast<unsigned char>(top.names[top.position]);
        const char *name = top.names.data() + top.position + 1;
        top.position += 1 + std::strlen(name) + 1;
        if (type == DT_UNKNOWN) {
            // File systems that don't fill d_type; an entry gone meanwhile is
            // handed on, and the change then says it is gone.
            struct stat st {};
            type = ::fstatat(top.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? typeFromMode(st.st_mode) : (unsigned char)DT_REG;
        }
        if (type == DT_LNK)
            continue;
        m_kind = type == DT_DIR ? Folder : Other;
        m_name = name;
        m_error = 0;
        m_descend = m_kind == Folder;
        return true;
    }
    return false;
}
