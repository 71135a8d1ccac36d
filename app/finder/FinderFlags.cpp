#include "FinderFlags.h"

#include "FinderInfoStore.h"
#include "ItemHandle.h"

#include <QByteArray>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace {

// Finder label value (0-7) to label index, and back.
constexpr short kIndexOfLabelValue[8] = {0, 7, 4, 6, 5, 3, 1, 2};
constexpr std::uint16_t kBitsOfIndex[8] = {0x0000, 0x000C, 0x000E, 0x000A, 0x0004, 0x0008, 0x0006, 0x0002};

// FSPathMakeRef: the item by its path, links followed.
std::shared_ptr<ItemHandle> makeRef(const char *path)
{
    auto item = std::make_shared<ItemHandle>(path);
    return item->isOpen() ? item : nullptr;
}

int statusOf(int error)
{
    return error ? -error : -EIO;
}

} // namespace

short GetLabelIndex(std::uint16_t flags)
{
    return kIndexOfLabelValue[(flags & kLabelMask) >> 1];
}

void SetLabelInFlags(std::uint16_t *flags, int labelIndex)
{
    std::uint16_t word = *flags & std::uint16_t(~kLabelMask);
    if (labelIndex >= 1 && labelIndex <= 7)
        word |= kBitsOfIndex[labelIndex];
    *flags = word;
}

int IsFolder(const char *path)
{
    struct stat st {};
    if (::stat(path, &st) != 0)
        return -1;
    return (st.st_mode & 0xF000) == 0x8000 ? 0 : 1;
}

int FSpGetPBRec(const FSSpec *spec, CInfoPBRec *block)
{
    CInfoPBRec local;
    local.spec = *spec;
    const int status = FinderInfoStore::readFinderFlags(*spec->item, &local.finderFlags);
    if (status != 0)
        return status;
    *block = local;
    return 0;
}

int fileIsInvisible(const char *itemPath, short *labelIndex)
{
    if (itemPath == nullptr) {
        std::fprintf(stderr, "%s:%u: failed assertion `%s'\n", "theController", 675u, "itemPath!=NULL");
        std::fflush(stderr);
        std::abort();
    }
    const std::shared_ptr<ItemHandle> item = makeRef(itemPath);
    if (!item) {
        std::fprintf(stderr, "FSPathMakeRef error for %s\n", itemPath);
        return 1;
    }
    std::uint16_t flags = 0;
    const QByteArray name = item->ownName();
    if (FinderInfoStore::readFinderFlags(*item, &flags) != 0 || name.isEmpty()) {
        std::fprintf(stderr, "FSGetCatalogInfo error for %s\n", itemPath);
        return 1;
    }
    *labelIndex = GetLabelIndex(flags);
    if (name.startsWith('.'))
        return 1;
    return (flags & kIsInvisible) ? 1 : 0;
}

int setFileInvisible(const char *path, int flag)
{
    const std::shared_ptr<ItemHandle> item = makeRef(path);
    if (!item) {
        std::fprintf(stderr, "FSPathMakeRef error for %s\n", path);
        return statusOf(errno);
    }
    std::uint16_t flags = 0;
    const int status = FinderInfoStore::readFinderFlags(*item, &flags);
    if (status != 0)
        return status;
    if (flag == 1)
        flags |= kIsInvisible;
    else
        flags &= 0xBFFF;
    return FinderInfoStore::writeFinderFlags(*item, flags);
}

int SetLabelColor(const char *path, const short *labelIndex)
{
    const std::shared_ptr<ItemHandle> item = makeRef(path);
    if (!item) {
        std::fprintf(stderr, "FSPathMakeRef error for %s\n", path);
        return statusOf(errno);
    }
    const FSSpec spec{item, item->ownName()};
    if (spec.name.isEmpty()) {
        std::fprintf(stderr, "FSGetCatalogInfo error for %s\n", path);
        return -EIO;
    }
    const int kind = IsFolder(path);
    if (kind == -1)
        return -1;
    if (kind == 1) {
        CInfoPBRec block;
        const int status = FSpGetPBRec(&spec, &block);
        if (status != 0)
            return status;
        SetLabelInFlags(&block.finderFlags, *labelIndex);
        // The write goes to the item the block was read from.
        block.spec = spec;
        return FinderInfoStore::writeFinderFlags(*block.spec.item, block.finderFlags);
    }
    std::uint16_t fdFlags = 0;
    const int status = FinderInfoStore::readFinderFlags(*spec.item, &fdFlags);
    if (status != 0)
        return status;
    SetLabelInFlags(&fdFlags, *labelIndex);
    return FinderInfoStore::writeFinderFlags(*spec.item, fdFlags);
}
