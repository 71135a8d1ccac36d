#include "FileAttributes.h"

#include "PathCodec.h"

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Grows the buffer on ERANGE: NSS sources such as LDAP have no fixed bound.
template <typename Entry, typename Lookup, typename Name>
QString lookUpName(unsigned id, Lookup lookup, Name nameOf, long sizeHint)
{
    std::vector<char> buffer(sizeHint > 0 ? size_t(sizeHint) : 1024);
    for (;;) {
        Entry entry{};
        Entry *result = nullptr;
        const int rc = lookup(id, &entry, buffer.data(), buffer.size(), &result);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        // Byte for byte, as the account lists carry them.
        if (rc == 0 && result)
            return pathFromBytes(QByteArray(nameOf(*result)));
        return QString::number(id);
    }
}

} // namespace

QString userNameForUid(unsigned uid)
{
    return lookUpName<passwd>(uid, getpwuid_r, [](const passwd &p) { return p.pw_name; },
                              sysconf(_SC_GETPW_R_SIZE_MAX));
}

QString groupNameForGid(unsigned gid)
{
    return lookUpName<group>(gid, getgrgid_r, [](const group &g) { return g.gr_name; },
                             sysconf(_SC_GETGR_R_SIZE_MAX));
}

std::optional<FileAttributes> fileAttributesAtPath(const QString &path, bool traverseLink)
{
    const QByteArray bytes = bytesFromPath(path);
    struct stat st {};
    const int rc = traverseLink ? ::stat(bytes.constData(), &st) : ::lstat(bytes.constData(), &st);
    if (rc != 0)
        return std::nullopt;
    FileAttributes a;
    a.ownerAccountName = userNameForUid(st.st_uid);
    a.groupOwnerAccountName = groupNameForGid(st.st_gid);
    a.posixPermissions = std::int32_t(st.st_mode & 07777);
    return a;
}

std::optional<QString> symbolicLinkTarget(const QString &path)
{
    const QByteArray bytes = bytesFromPath(path);
    struct stat st {};
    if (::lstat(bytes.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return std::nullopt;
    // The size lstat gives may be 0 (procfs) or stale; grow until it fits.
    std::vector<char> target(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
    for (;;) {
        const ssize_t n = ::readlink(bytes.constData(), target.data(), target.size());
        if (n < 0)
            return std::nullopt;
        if (size_t(n) < target.size())
            return pathFromBytes(QByteArray(target.data(), n));
        if (target.size() > (1u << 16))
            return std::nullopt;
        target.resize(target.size() * 2);
    }
}
