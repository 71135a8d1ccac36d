#include "DirectoryService.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <unordered_set>

struct DirService
{
    std::unique_ptr<DirectoryBackend> backend;
};
struct DirNode
{
    DirService *service;
};
struct DataBuffer
{
    std::vector<char> bytes; // capacity is the buffer's size
    std::uint32_t length = 0;
    std::vector<std::uint32_t> records; // offsets of the records of the last batch
    // Where the last attribute handed out ends, so that reading a record's
    // attributes in order doesn't walk from its first one each time.
    AttributeListRef cursorList = 0;
    std::uint32_t cursorIndex = 0;
    std::uint32_t cursorNext = 0;
};
struct DataList
{
    std::vector<std::string> items;
};
struct ContinueData
{
    std::unique_ptr<DirectoryBackend> backend;
    bool pending = false;
    DirectoryRecordView record;
};

namespace {

constexpr const char *kSearchNodeName = "/Search";

std::unique_ptr<DirectoryBackend> (*backendFactory)() = nullptr;

std::unique_ptr<DirectoryBackend> newBackend()
{
    return backendFactory ? backendFactory() : makeNssDirectoryBackend();
}

std::unordered_set<const void *> &live()
{
    static auto *objects = new std::unordered_set<const void *>; // outlives a fill still running at exit
    return *objects;
}
// The node and buffer of a fill are checked on every record and attribute:
// the last few objects found alive answer without a hash lookup. Any
// release forgets them.
const void *recentlyLive[4] = {};
template <typename T> T *adopt(T *object)
{
    live().insert(object);
    return object;
}
bool isLive(const void *object)
{
    if (!object)
        return false;
    for (const void *recent : recentlyLive) {
        if (recent == object)
            return true;
    }
    if (!live().count(object))
        return false;
    std::memmove(recentlyLive + 1, recentlyLive, sizeof recentlyLive - sizeof recentlyLive[0]);
    recentlyLive[0] = object;
    return true;
}
// Entries are handed out and given back by the hundred thousand: they come
// from a free list instead of the heap, and are not tracked like the
// long-lived objects.
// Never destroyed: a fill thread may still be running while the process
// exits.
template <typename T> std::vector<T *> &freeEntries()
{
    static auto *entries = new std::vector<T *>;
    return *entries;
}
template <typename T> T *newEntry(const T &value)
{
    auto &pool = freeEntries<T>();
    if (pool.empty())
        return new T(value);
    T *entry = pool.back();
    pool.pop_back();
    *entry = value;
    return entry;
}
template <typename T> DirStatus releaseEntry(T *object)
{
    if (!object)
        return eDSInvalidReference;
    auto &pool = freeEntries<T>();
    if (pool.size() < 64)
        pool.push_back(object);
    else
        delete object;
    return eDSNoErr;
}
template <typename T> DirStatus release(T *object)
{
    if (!isLive(object))
        return eDSInvalidReference;
    std::fill(std::begin(recentlyLive), std::end(recentlyLive), nullptr);
    live().erase(object);
    delete object;
    return eDSNoErr;
}

void putU32(char *at, std::uint32_t value)
{
    std::memcpy(at, &value, 4);
}
std::uint32_t getU32(const DataBuffer *buffer, std::uint32_t at, bool *ok)
{
    if (at > buffer->length || buffer->length - at < 4) {
        *ok = false;
        return 0;
    }
    std::uint32_t value;
    std::memcpy(&value, buffer->bytes.data() + at, 4);
    return value;
}

// Layout of a record: u32 attribute count; per attribute: u32 type length,
// type, NUL, u32 value count (1), u32 value length, value, NUL.
std::size_t encodedSize(const DirectoryRecordView &record)
{
    std::size_t size = 4;
    for (std::size_t a = 0; a < record.count; ++a)
        size += 4 + record.attributes[a].first.size() + 1 + 4 + 4 + record.attributes[a].second.size() + 1;
    return size;
}
void encode(DataBuffer *buffer, const DirectoryRecordView &record)
{
    char *p = buffer->bytes.data() + buffer->length;
    putU32(p, std::uint32_t(record.count));
    p += 4;
    for (std::size_t a = 0; a < record.count; ++a) {
        const auto &[type, value] = record.attributes[a];
        putU32(p, std::uint32_t(type.size()));
        std::memcpy(p + 4, type.data(), type.size());
        p[4 + type.size()] = '\0';
        p += 4 + type.size() + 1;
        putU32(p, 1);
        putU32(p + 4, std::uint32_t(value.size()));
        std::memcpy(p + 8, value.data(), value.size());
        p[8 + value.size()] = '\0';
        p += 8 + value.size() + 1;
    }
    buffer->records.push_back(buffer->length);
    buffer->length = std::uint32_t(p - buffer->bytes.data());
}

// --- NSS ---------------------------------------------------------------------

class NssBackend : public DirectoryBackend
{
public:
    DirStatus begin(const std::string &recordType, const std::vector<std::string> &attributeTypes) override
    {
        if (recordType == kDSStdRecordTypeUsers)
            m_users = true;
        else if (recordType == kDSStdRecordTypeGroups)
            m_users = false;
        else
            return eDSRecordTypeUnknown;
        // Only the types a record of this kind has; unknown ones are left out.
        m_attributes.clear();
        m_fields.clear();
        for (const std::string &type : attributeTypes) {
            if (m_attributes.size() == DirectoryRecordView::kMaxAttributes)
                break;
            if (type == kDS1AttrRecordName)
                m_fields.push_back(Field::Name);
            else if (type == kDS1AttrUniqueID && m_users)
                m_fields.push_back(Field::Id);
            else if (type == kDS1AttrPrimaryGroupID)
                m_fields.push_back(Field::GroupId);
            else
                continue;
            m_attributes.push_back(type);
        }
        m_buffer.resize(16384);
        m_users ? setpwent() : setgrent();
        m_open = true;
        return eDSNoErr;
    }

    bool next(DirectoryRecordView &record) override
    {
        if (!m_open)
            return false;
        record.count = 0;
        return m_users ? nextUser(record) : nextGroup(record);
    }

    void end() override
    {
        if (m_open)
            m_users ? endpwent() : endgrent();
        m_open = false;
    }

    ~NssBackend() override { end(); }

private:
    // getpwent_r/getgrent_r return ERANGE with the cursor unmoved: retry larger.
    template <typename Entry, typename Next>
    Entry *fetch(Entry &entry, Next nextEntry)
    {
        for (;;) {
            Entry *result = nullptr;
            const int rc = nextEntry(&entry, m_buffer.data(), m_buffer.size(), &result);
            if (rc == ERANGE && m_buffer.size() < (std::size_t(1) << 24)) {
                m_buffer.resize(m_buffer.size() * 2);
                continue;
            }
            return rc == 0 ? result : nullptr;
        }
    }

    // The attribute types asked for, as the fill names them; the values
    // stay where getpwent_r/getgrent_r put them.
    enum class Field { Name, Id, GroupId };

    bool nextUser(DirectoryRecordView &record)
    {
        passwd entry{};
        const passwd *pw = fetch(entry, getpwent_r);
        if (!pw)
            return false;
        for (std::size_t a = 0; a < m_fields.size(); ++a) {
            switch (m_fields[a]) {
            case Field::Name: put(record, a, pw->pw_name); break;
            case Field::Id: putNumber(record, a, pw->pw_uid); break;
            case Field::GroupId: putNumber(record, a, pw->pw_gid); break;
            }
        }
        return true;
    }

    bool nextGroup(DirectoryRecordView &record)
    {
        group entry{};
        const group *gr = fetch(entry, getgrent_r);
        if (!gr)
            return false;
        for (std::size_t a = 0; a < m_fields.size(); ++a) {
            switch (m_fields[a]) {
            case Field::Name: put(record, a, gr->gr_name); break;
            case Field::GroupId: putNumber(record, a, gr->gr_gid); break;
            case Field::Id: break;
            }
        }
        return true;
    }

    void put(DirectoryRecordView &record, std::size_t a, const char *value)
    {
        record.attributes[record.count++] = {m_attributes[a], value};
    }
    void putNumber(DirectoryRecordView &record, std::size_t a, unsigned long value)
    {
        char *digits = m_digits[a];
        const auto end = std::to_chars(digits, digits + sizeof m_digits[a], value).ptr;
        record.attributes[record.count++] = {m_attributes[a], std::string_view(digits, std::size_t(end - digits))};
    }

    bool m_users = true;
    bool m_open = false;
    std::vector<std::string> m_attributes;
    std::vector<Field> m_fields;
    char m_digits[DirectoryRecordView::kMaxAttributes][24];
    std::vector<char> m_buffer;
};

} // namespace

bool ListedDirectoryBackend::next(DirectoryRecordView &record)
{
    if (!m_records || m_next >= m_records->size())
        return false;
    const DirectoryRecord &listed = (*m_records)[m_next++];
    record.count = 0;
    for (const auto &[type, value] : listed.attributes) {
        if (record.count == DirectoryRecordView::kMaxAttributes)
            break;
        record.attributes[record.count++] = {type, value};
    }
    return true;
}

std::unique_ptr<DirectoryBackend> makeNssDirectoryBackend()
{
    return std::make_unique<NssBackend>();
}

void setDirectoryBackendFactoryForTesting(std::unique_ptr<DirectoryBackend> (*factory)())
{
    backendFactory = factory;
}

// --- service, buffers, lists ---------------------------------------------------

DirStatus dsOpenDirService(DirReference *directory)
{
    if (!directory)
        return eDSInvalidReference;
    *directory = adopt(new DirService{newBackend()});
    return eDSNoErr;
}

DirStatus dsCloseDirService(DirReference directory)
{
    return release(directory);
}

DataBuffer *dsDataBufferAllocate(DirReference directory, std::uint32_t size)
{
    if (!isLive(directory))
        return nullptr;
    auto *buffer = new DataBuffer;
    buffer->bytes.resize(size);
    return adopt(buffer);
}

DirStatus dsDataBufferDeAllocate(DirReference, DataBuffer *buffer)
{
    return release(buffer);
}

DataList *dsDataListAllocate(DirReference directory)
{
    return isLive(directory) ? adopt(new DataList) : nullptr;
}

DirStatus dsDataListDeallocate(DirReference, DataList *list)
{
    return release(list);
}

DirStatus dsBuildListFromStringsAlloc(DirReference directory, DataList *list, const char *first, ...)
{
    if (!isLive(directory) || !isLive(list))
        return eDSInvalidReference;
    list->items.clear();
    va_list strings;
    va_start(strings, first);
    for (const char *s = first; s; s = va_arg(strings, const char *))
        list->items.emplace_back(s);
    va_end(strings);
    return eDSNoErr;
}

// --- nodes -----------------------------------------------------------------------

DirStatus dsFindDirNodes(DirReference directory, DataBuffer *buffer, DataList *, DirPatternMatch patternType,
                         std::uint32_t *nodeCount, ContinueData **continuation)
{
    if (!isLive(directory) || !isLive(buffer) || !nodeCount)
        return eDSInvalidReference;
    if (continuation)
        *continuation = nullptr;
    if (patternType != eDSAuthenticationSearchNodeName)
        return eDSUnsupportedPattern;
    if (const DirStatus status = directory->backend->findNode(); status != eDSNoErr)
        return status;
    const std::size_t length = std::strlen(kSearchNodeName) + 1;
    if (buffer->bytes.size() < length)
        return eDSBufferTooSmall;
    std::memcpy(buffer->bytes.data(), kSearchNodeName, length);
    buffer->length = std::uint32_t(length);
    buffer->records.clear();
    buffer->cursorList = 0;
    *nodeCount = 1;
    return eDSNoErr;
}

DirStatus dsGetDirNodeName(DirReference directory, DataBuffer *buffer, std::uint32_t nodeIndex, DataList **nodeName)
{
    if (!isLive(directory) || !isLive(buffer) || !nodeName || !isLive(*nodeName))
        return eDSInvalidReference;
    if (const DirStatus status = directory->backend->nodeName(); status != eDSNoErr)
        return status;
    if (nodeIndex != 1 || buffer->length == 0)
        return eDSInvalidIndex;
    (*nodeName)->items = {std::string(buffer->bytes.data())};
    return eDSNoErr;
}

DirStatus dsOpenDirNode(DirReference directory, DataList *nodeName, DirNodeReference *node)
{
    if (!isLive(directory) || !isLive(nodeName) || !node)
        return eDSInvalidReference;
    if (const DirStatus status = directory->backend->openNode(); status != eDSNoErr)
        return status;
    if (nodeName->items != std::vector<std::string>{kSearchNodeName})
        return eDSNodeNotFound;
    *node = adopt(new DirNode{directory});
    return eDSNoErr;
}

DirStatus dsCloseDirNode(DirNodeReference node)
{
    return release(node);
}

// --- records -----------------------------------------------------------------------

DirStatus dsGetRecordList(DirNodeReference node, DataBuffer *buffer, DataList *recordNames,
                          DirPatternMatch patternType, DataList *recordTypes, DataList *attributeTypes, bool,
                          std::uint32_t *recordCount, ContinueData **continuation)
{
    if (!isLive(node) || !isLive(buffer) || !isLive(recordNames) || !isLive(recordTypes)
        || !isLive(attributeTypes) || !recordCount || !continuation)
        return eDSInvalidReference;
    const std::uint32_t limit = *recordCount;
    *recordCount = 0;
    buffer->length = 0;
    buffer->records.clear();
    buffer->cursorList = 0;
    if (patternType != eDSExact || recordNames->items != std::vector<std::string>{kDSRecordsAll})
        return eDSUnsupportedPattern;

    ContinueData *state = *continuation;
    if (state && !isLive(state))
        return eDSInvalidReference;
    if (!state) {
        if (recordTypes->items.size() != 1)
            return eDSRecordTypeUnknown;
        auto fresh = std::make_unique<ContinueData>();
        fresh->backend = newBackend();
        if (const DirStatus status = fresh->backend->begin(recordTypes->items.front(), attributeTypes->items);
            status != eDSNoErr)
            return status;
        state = adopt(fresh.release());
    }

    for (;;) {
        if (!state->pending && !state->backend->next(state->record)) {
            // The last record is out: the enumeration ends here.
            release(state);
            *continuation = nullptr;
            return eDSNoErr;
        }
        state->pending = true;
        const std::size_t size = encodedSize(state->record);
        if (size > buffer->bytes.size()) {
            state->pending = false; // can never fit: dropped
            continue;
        }
        if ((limit && *recordCount >= limit) || size > buffer->bytes.size() - buffer->length)
            break;
        encode(buffer, state->record);
        state->pending = false;
        ++*recordCount;
    }
    *continuation = state;
    return eDSNoErr;
}

DirStatus dsReleaseContinueData(DirNodeReference, ContinueData *continuation)
{
    return release(continuation);
}

DirStatus dsGetRecordEntry(DirNodeReference node, DataBuffer *buffer, std::uint32_t recordIndex,
                           AttributeListRef *attributeList, RecordEntry **recordEntry)
{
    if (!isLive(node) || !isLive(buffer) || !attributeList || !recordEntry)
        return eDSInvalidReference;
    if (recordIndex < 1 || recordIndex > buffer->records.size())
        return eDSInvalidIndex;
    const std::uint32_t at = buffer->records[recordIndex - 1];
    bool ok = true;
    const std::uint32_t count = getU32(buffer, at, &ok);
    if (!ok)
        return eDSInvalidIndex;
    *attributeList = at + 4 + 1; // never 0
    *recordEntry = newEntry(RecordEntry{count});
    return eDSNoErr;
}

DirStatus dsGetAttributeEntry(DirNodeReference node, DataBuffer *buffer, AttributeListRef attributeList,
                              std::uint32_t attributeIndex, AttributeValueListRef *valueList,
                              AttributeEntry **attributeEntry)
{
    if (!isLive(node) || !isLive(buffer) || !attributeList || !valueList || !attributeEntry)
        return eDSInvalidReference;
    bool ok = true;
    const std::uint32_t recordAt = attributeList - 1 - 4;
    const std::uint32_t count = getU32(buffer, recordAt, &ok);
    if (!ok || attributeIndex < 1 || attributeIndex > count)
        return eDSInvalidIndex;
    std::uint32_t at = attributeList - 1;
    std::uint32_t i = 1;
    if (buffer->cursorList == attributeList && buffer->cursorIndex + 1 == attributeIndex) {
        at = buffer->cursorNext;
        i = attributeIndex;
    }
    for (; ok; ++i) {
        const std::uint32_t typeLength = getU32(buffer, at, &ok);
        const std::uint32_t valuesAt = at + 4 + typeLength + 1;
        const std::uint32_t values = getU32(buffer, valuesAt, &ok);
        const std::uint32_t valueLength = getU32(buffer, valuesAt + 4, &ok);
        if (!ok)
            break;
        const std::uint32_t next = valuesAt + 8 + valueLength + 1;
        if (i == attributeIndex) {
            buffer->cursorList = attributeList;
            buffer->cursorIndex = attributeIndex;
            buffer->cursorNext = next;
            *valueList = valuesAt + 1;
            *attributeEntry = newEntry(AttributeEntry{values, typeLength, buffer->bytes.data() + at + 4});
            return eDSNoErr;
        }
        at = next;
    }
    return eDSInvalidIndex;
}

DirStatus dsGetAttributeValue(DirNodeReference node, DataBuffer *buffer, std::uint32_t valueIndex,
                              AttributeValueListRef valueList, AttributeValueEntry **valueEntry)
{
    if (!isLive(node) || !isLive(buffer) || !valueList || !valueEntry)
        return eDSInvalidReference;
    bool ok = true;
    const std::uint32_t at = valueList - 1;
    const std::uint32_t values = getU32(buffer, at, &ok);
    const std::uint32_t length = getU32(buffer, at + 4, &ok);
    if (!ok || valueIndex != 1 || values < 1 || at + 8 + length >= buffer->length)
        return eDSInvalidIndex;
    *valueEntry = newEntry(AttributeValueEntry{length, buffer->bytes.data() + at + 8});
    return eDSNoErr;
}

DirStatus dsDeallocAttributeValueEntry(DirReference, AttributeValueEntry *entry)
{
    return releaseEntry(entry);
}

DirStatus dsDeallocAttributeEntry(DirReference, AttributeEntry *entry)
{
    return releaseEntry(entry);
}

DirStatus dsCloseAttributeValueList(AttributeValueListRef)
{
    return eDSNoErr;
}

DirStatus dsCloseAttributeList(AttributeListRef)
{
    return eDSNoErr;
}

DirStatus dsDeallocRecordEntry(DirReference, RecordEntry *entry)
{
    return releaseEntry(entry);
}
