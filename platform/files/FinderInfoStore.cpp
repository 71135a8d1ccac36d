#include "FinderInfoStore.h"

#include "AppleDoubleRecord.h"
#include "ItemHandle.h"

#include <QByteArray>

#include <cerrno>
#include <ctime>
#include <sys/xattr.h>

namespace FinderInfoStore {

namespace {

static_assert(kInvalidRecord == -EBADMSG);

constexpr int kHfsFinderInfoSize = 32;
constexpr int kMaxAttributeSize = 65536;

QByteArray g_hfsAttributeForTesting;

bool onHfsPlus(const ItemHandle &item)
{
    return !g_hfsAttributeForTesting.isEmpty() || item.fileSystemType() == kHfsPlusMagic;
}

const char *hfsAttribute()
{
    return g_hfsAttributeForTesting.isEmpty() ? kHfsPlusAttribute : g_hfsAttributeForTesting.constData();
}

// The attribute's bytes: 0 and the value, 0 and empty when there is none, or
// a negative errno.
int readAttribute(const ItemHandle &item, const char *name, QByteArray *value)
{
    value->clear();
    if (!item.isOpen())
        return -item.error();
    QByteArray buffer(kMaxAttributeSize, Qt::Uninitialized);
    const ssize_t n = ::getxattr(item.procPath(), name, buffer.data(), size_t(buffer.size()));
    if (n < 0)
        return errno == ENODATA ? 0 : -errno;
    buffer.truncate(n);
    *value = buffer;
    return 0;
}

int writeAttribute(const ItemHandle &item, const char *name, const QByteArray &value, int how)
{
    if (::setxattr(item.procPath(), name, value.constData(), size_t(value.size()), how) != 0)
        return -errno;
    return 0;
}

int readHfs(const ItemHandle &item, QByteArray *info)
{
    const int status = readAttribute(item, hfsAttribute(), info);
    if (status != 0)
        return status;
    if (info->isEmpty())
        *info = QByteArray(kHfsFinderInfoSize, '\0');
    return info->size() == kHfsFinderInfoSize ? 0 : kInvalidRecord;
}

std::uint16_t flagsAt(const QByteArray &bytes, int at)
{
    return std::uint16_t(std::uint8_t(bytes[at]) << 8 | std::uint8_t(bytes[at + 1]));
}

} // namespace

void treatAsHfsPlusForTesting(const char *attributeName)
{
    g_hfsAttributeForTesting = attributeName;
}

int readFinderFlags(const ItemHandle &item, std::uint16_t *flags)
{
    QByteArray bytes;
    if (onHfsPlus(item)) {
        const int status = readHfs(item, &bytes);
        if (status == 0)
            *flags = flagsAt(bytes, 8);
        return status;
    }
    const int status = readAttribute(item, kNetatalkAttribute, &bytes);
    if (status != 0)
        return status;
    if (bytes.isEmpty()) {
        *flags = 0;
        return 0;
    }
    const std::optional<AppleDoubleRecord::Layout> layout = AppleDoubleRecord::parse(bytes);
    if (!layout)
        return kInvalidRecord;
    *flags = AppleDoubleRecord::finderFlags(bytes, *layout);
    return 0;
}

int writeFinderFlags(const ItemHandle &item, std::uint16_t flags)
{
    QByteArray bytes;
    if (onHfsPlus(item)) {
        const int status = readHfs(item, &bytes);
        if (status != 0)
            return status;
        bytes[8] = char(flags >> 8);
        bytes[9] = char(flags);
        return writeAttribute(item, hfsAttribute(), bytes, 0);
    }
    // A file server may write the record between our read and our write:
    // replace only what we read, create only where there was none, and
    // start again once if the other side won.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int status = readAttribute(item, kNetatalkAttribute, &bytes);
        if (status != 0)
            return status;
        int written;
        if (bytes.isEmpty() && flags == 0) {
            // No record reads as all zero already. A new one would only give
            // the item a creation date of now for Mac clients to see.
            return 0;
        }
        if (bytes.isEmpty()) {
            written = writeAttribute(item, kNetatalkAttribute,
                                     AppleDoubleRecord::newRecord(flags, std::time(nullptr)), XATTR_CREATE);
            if (written == -EEXIST)
                continue;
        } else {
            const std::optional<AppleDoubleRecord::Layout> layout = AppleDoubleRecord::parse(bytes);
            if (!layout)
                return kInvalidRecord;
            AppleDoubleRecord::setFinderFlags(bytes, *layout, flags);
            written = writeAttribute(item, kNetatalkAttribute, bytes, XATTR_REPLACE);
            if (written == -ENODATA)
                continue;
        }
        return written;
    }
    return -EAGAIN;
}

} // namespace FinderInfoStore
