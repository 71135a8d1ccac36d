#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

// The AppleDouble "ad:ea" record that netatalk and Samba's vfs_fruit keep in
// the extended attribute user.org.netatalk.Metadata, big-endian throughout:
// magic, version, 16 filler bytes, the entry count at 24, then entries of
// {id, offset, length}. Only two fields matter here: the Finder flags word
// (byte 8 of the FinderInfo entry) and the AFP attribute word (bytes 2-3 of
// the AFPFileInfo entry), whose invisible bit follows the Finder's.
namespace AppleDoubleRecord {

constexpr std::uint32_t kMagic = 0x00051607;
constexpr std::uint32_t kVersion = 0x00020000;
constexpr int kSize = 402; // the size netatalk 4 and Samba write
constexpr std::uint32_t kFinderInfoId = 9;
constexpr std::uint32_t kAfpFileInfoId = 14;
constexpr std::uint16_t kFinderInvisible = 0x4000;
constexpr std::uint16_t kAfpInvisible = 0x0001;

// Where a valid record keeps the two words.
struct Layout
{
    int finderFlagsOffset = -1;
    int afpAttributesOffset = -1; // -1 when the record has no AFPFileInfo entry
};

// The layout of record, or nothing when it is not a record to trust: wrong
// size, magic or version, an entry table or entry outside the record, or no
// 32-byte FinderInfo entry. Entries are found through the table.
std::optional<Layout> parse(const QByteArray &record);

std::uint16_t finderFlags(const QByteArray &record, const Layout &layout);

// Changes the flags word, and the AFP invisible bit to match its 0x4000;
// every other byte stays as it was.
void setFinderFlags(QByteArray &record, const Layout &layout, std::uint16_t flags);

// A complete record as netatalk 4 writes one for an item that had none:
// creation, modification and access dates unixTime, backup date "never"
// (0x80000000), everything else zero but flags.
QByteArray newRecord(std::uint16_t flags, std::int64_t unixTime);

} // namespace AppleDoubleRecord
