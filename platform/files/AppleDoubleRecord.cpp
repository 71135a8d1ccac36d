#include "AppleDoubleRecord.h"

namespace AppleDoubleRecord {

namespace {

constexpr int kHeaderSize = 26;
constexpr int kEntrySize = 12;
// AppleDouble dates count seconds from 2000-01-01 00:00 UTC.
constexpr std::int64_t kUnixTimeOf2000 = 946684800;

std::uint32_t get32(const QByteArray &b, int at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData()) + at;
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint16_t get16(const QByteArray &b, int at)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData()) + at;
    return std::uint16_t(p[0] << 8 | p[1]);
}

void put32(QByteArray &b, int at, std::uint32_t v)
{
    b[at] = char(v >> 24);
    b[at + 1] = char(v >> 16);
    b[at + 2] = char(v >> 8);
    b[at + 3] = char(v);
}

void put16(QByteArray &b, int at, std::uint16_t v)
{
    b[at] = char(v >> 8);
    b[at + 1] = char(v);
}

struct Entry
{
    std::uint32_t id, offset, length;
};

// netatalk 4's table for a new record.
constexpr Entry kNetatalkTable[] = {
    {4, 154, 200},          // Comment
    {8, 354, 16},           // FileDates
    {kFinderInfoId, 122, 32},
    {kAfpFileInfoId, 370, 4},
    {0x80444556, 374, 8},   // private: device
    {0x80494E4F, 382, 8},   // private: inode
    {0x8053594E, 390, 8},   // private: sync
    {0x8053567E, 398, 4},   // private
};

} // namespace

std::optional<Layout> parse(const QByteArray &record)
{
    const qsizetype size = record.size();
    if (size < kHeaderSize || size > 65536)
        return std::nullopt;
    if (get32(record, 0) != kMagic || get32(record, 4) != kVersion)
        return std::nullopt;
    const int count = get16(record, 24);
    if (kHeaderSize + qsizetype(count) * kEntrySize > size)
        return std::nullopt;
    const std::uint64_t tableEnd = std::uint64_t(kHeaderSize) + std::uint64_t(count) * kEntrySize;

    Layout layout;
    for (int i = 0; i < count; ++i) {
        const int at = kHeaderSize + i * kEntrySize;
        const Entry e{get32(record, at), get32(record, at + 4), get32(record, at + 8)};
        // Every entry must lie wholly inside the record, past the table
        // (an empty one may sit anywhere inside).
        if (std::uint64_t(e.offset) + e.length > std::uint64_t(size))
            return std::nullopt;
        if (e.length > 0 && e.offset < tableEnd)
            return std::nullopt;
        if (e.id == kFinderInfoId) {
            if (e.length < 32 || layout.finderFlagsOffset >= 0)
                return std::nullopt;
            layout.finderFlagsOffset = int(e.offset) + 8;
        } else if (e.id == kAfpFileInfoId && e.length >= 4 && layout.afpAttributesOffset < 0) {
            layout.afpAttributesOffset = int(e.offset) + 2;
        }
    }
    if (layout.finderFlagsOffset < 0)
        return std::nullopt;
    return layout;
}

std::uint16_t finderFlags(const QByteArray &record, const Layout &layout)
{
    return get16(record, layout.finderFlagsOffset);
}

void setFinderFlags(QByteArray &record, const Layout &layout, std::uint16_t flags)
{
    put16(record, layout.finderFlagsOffset, flags);
    if (layout.afpAttributesOffset >= 0) {
        std::uint16_t attributes = get16(record, layout.afpAttributesOffset);
        attributes = (flags & kFinderInvisible) ? (attributes | kAfpInvisible) : (attributes & ~kAfpInvisible);
        put16(record, layout.afpAttributesOffset, attributes);
    }
}

QByteArray newRecord(std::uint16_t flags, std::int64_t unixTime)
{
    QByteArray record(kSize, '\0');
    put32(record, 0, kMagic);
    put32(record, 4, kVersion);
    put16(record, 24, std::uint16_t(std::size(kNetatalkTable)));
    int at = kHeaderSize;
    for (const Entry &e : kNetatalkTable) {
        put32(record, at, e.id);
        put32(record, at + 4, e.offset);
        put32(record, at + 8, e.length);
        at += kEntrySize;
    }
    const auto date = std::uint32_t(std::int32_t(unixTime - kUnixTimeOf2000));
    put32(record, 354, date);       // created
    put32(record, 358, date);       // modified
    put32(record, 362, 0x80000000); // backed up: never
    put32(record, 366, date);       // accessed
    setFinderFlags(record, *parse(record), flags);
    return record;
}

} // namespace AppleDoubleRecord
