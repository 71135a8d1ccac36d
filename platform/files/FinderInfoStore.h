#pragma once

#include <cstdint>

class ItemHandle;

// Where Mac clients of a Linux file server find an item's Finder flags word:
// on an HFS+ volume the 32-byte osx.com.apple.FinderInfo that the kernel
// keeps in the catalog; elsewhere the AppleDouble record of netatalk and
// Samba (user.org.netatalk.Metadata). Statuses: 0, or a negative errno.
namespace FinderInfoStore {

constexpr long kHfsPlusMagic = 0x482B;
constexpr const char *kNetatalkAttribute = "user.org.netatalk.Metadata";
constexpr const char *kHfsPlusAttribute = "osx.com.apple.FinderInfo";
// The item's record is there but not one to trust; it is never overwritten.
constexpr int kInvalidRecord = -74; // -EBADMSG

// The flags word; an item without a record has 0 (visible, no label).
int readFinderFlags(const ItemHandle &item, std::uint16_t *flags);

// Writes the flags word, keeping every other byte of the item's record; an
// item without one gets a complete new record, unless the word is 0, which
// is what no record means.
int writeFinderFlags(const ItemHandle &item, std::uint16_t flags);

// No HFS+ volume can be mounted where the tests run: they have the build
// folder's file system taken for one, its Finder information kept in the
// named user attribute. An empty name ends it.
void treatAsHfsPlusForTesting(const char *attributeName);

} // namespace FinderInfoStore
