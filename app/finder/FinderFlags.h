#pragma once

#include <QByteArray>

#include <cstdint>
#include <memory>

class ItemHandle;

// The Finder flags word's label and invisibility, read and written on items
// by path. Paths are C strings as the kernel takes them; trouble is reported
// with one line on standard error and a plain integer result.

// Finder flags word bits.
constexpr std::uint16_t kIsInvisible = 0x4000;
constexpr std::uint16_t kLabelMask = 0x000E;

// An item as found by its path (links followed) and its own name.
struct FSSpec
{
    std::shared_ptr<ItemHandle> item;
    QByteArray name;
};

// What the catalog keeps of an item that the label route reads and writes.
struct CInfoPBRec
{
    FSSpec spec;
    std::uint16_t finderFlags = 0;
};

// The label index 0-7 (position in the label colour table) of a flags word.
short GetLabelIndex(std::uint16_t flags);
// Replaces the label of *flags with the index's; 0 and any index outside 1-7
// clear it. Other bits stay.
void SetLabelInFlags(std::uint16_t *flags, int labelIndex);
// -1 when path can't be stat()ed (links followed); 0 for a regular file;
// 1 for anything else.
int IsFolder(const char *path);
// Reads spec's catalog record into *block; on failure *block is untouched.
int FSpGetPBRec(const FSSpec *spec, CInfoPBRec *block);
// 1 when the item is invisible (its name starts with '.' or its invisible bit
// is set) or its Finder information can't be read; 0 otherwise. Stores the
// item's label index through labelIndex once the information is read.
int fileIsInvisible(const char *itemPath, short *labelIndex);
// flag 1 hides the item, any other value shows it. 0 when written.
int setFileInvisible(const char *path, int flag);
// Writes the label index read through labelIndex. 0 when written.
int SetLabelColor(const char *path, const short *labelIndex);
