#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// What the inspection needs of an item's attributes.
struct FileAttributes
{
    QString ownerAccountName;      // user name, or the uid in decimal when NSS has none
    QString groupOwnerAccountName; // group name, or the gid in decimal
    std::int32_t posixPermissions = 0; // the twelve mode bits, no file-type bits
};

// Attributes of the item at path, following a symbolic link to its target when
// traverseLink is true. Empty when the item can't be read; errno then tells why.
std::optional<FileAttributes> fileAttributesAtPath(const QString &path, bool traverseLink);

// The target that the symbolic link at path names, as it stands in the link;
// empty when path is no symbolic link.
std::optional<QString> symbolicLinkTarget(const QString &path);

// Account names through NSS (getpwuid_r / getgrgid_r); an id without a name
// gives its number, as ls -l shows it.
QString userNameForUid(unsigned uid);
QString groupNameForGid(unsigned gid);
