#pragma once

// Brindle's DirectoryService layer over NSS: the account databases (local
// files, LDAP, sssd alike, in nsswitch.conf's order) as one authentication
// search node whose users and groups are listed in batches that fit a data
// buffer, with a continuation for the rest. Records carry the requested
// attributes they have, in the order requested; only first values exist.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using DirStatus = std::int32_t;
enum : DirStatus {
    eDSNoErr = 0,
    eDSInvalidReference = -1,
    eDSBufferTooSmall = -2,
    eDSNodeNotFound = -3,
    eDSInvalidIndex = -4,
    eDSRecordTypeUnknown = -5,
    eDSUnsupportedPattern = -6,
    eDSServiceUnavailable = -7,
};

using DirPatternMatch = std::uint32_t;
constexpr DirPatternMatch eDSExact = 0x2001;
constexpr DirPatternMatch eDSAuthenticationSearchNodeName = 0x2201;

inline constexpr const char *kDSRecordsAll = "dsRecordsAll";
inline constexpr const char *kDSStdRecordTypeUsers = "dsRecTypeStandard:Users";
inline constexpr const char *kDSStdRecordTypeGroups = "dsRecTypeStandard:Groups";
inline constexpr const char *kDS1AttrRecordName = "dsAttrTypeStandard:RecordName";
inline constexpr const char *kDS1AttrUniqueID = "dsAttrTypeStandard:UniqueID";
inline constexpr const char *kDS1AttrPrimaryGroupID = "dsAttrTypeStandard:PrimaryGroupID";

struct DirService;
struct DirNode;
struct DataBuffer;
struct DataList;
struct ContinueData;
using DirReference = DirService *;
using DirNodeReference = DirNode *;
using AttributeListRef = std::uint32_t;
using AttributeValueListRef = std::uint32_t;

struct RecordEntry
{
    std::uint32_t attributeCount;
};
struct AttributeEntry
{
    std::uint32_t valueCount;
    std::uint32_t typeLength;
    const char *typeName; // NUL-terminated, inside the data buffer
};
struct AttributeValueEntry
{
    std::uint32_t length;
    const char *data; // NUL-terminated, inside the data buffer
};

DirStatus dsOpenDirService(DirReference *directory);
DirStatus dsCloseDirService(DirReference directory);
DataBuffer *dsDataBufferAllocate(DirReference directory, std::uint32_t size);
DirStatus dsDataBufferDeAllocate(DirReference directory, DataBuffer *buffer);
DataList *dsDataListAllocate(DirReference directory);
DirStatus dsDataListDeallocate(DirReference directory, DataList *list);
// Fills list with the given strings, ended by a null pointer.
DirStatus dsBuildListFromStringsAlloc(DirReference directory, DataList *list, const char *first, ...);

// Finds the authentication search node (pattern eDSAuthenticationSearchNodeName).
DirStatus dsFindDirNodes(DirReference directory, DataBuffer *buffer, DataList *nodeNamePattern,
                         DirPatternMatch patternType, std::uint32_t *nodeCount, ContinueData **continuation);
DirStatus dsGetDirNodeName(DirReference directory, DataBuffer *buffer, std::uint32_t nodeIndex, DataList **nodeName);
DirStatus dsOpenDirNode(DirReference directory, DataList *nodeName, DirNodeReference *node);
DirStatus dsCloseDirNode(DirNodeReference node);

// The next batch of records: as many as fit the buffer (recordCount, when
// not 0 on entry, caps the batch). *continuation is null once the last
// record has been handed out.
DirStatus dsGetRecordList(DirNodeReference node, DataBuffer *buffer, DataList *recordNames,
                          DirPatternMatch patternType, DataList *recordTypes, DataList *attributeTypes,
                          bool attributeInfoOnly, std::uint32_t *recordCount, ContinueData **continuation);
DirStatus dsReleaseContinueData(DirNodeReference node, ContinueData *continuation);

DirStatus dsGetRecordEntry(DirNodeReference node, DataBuffer *buffer, std::uint32_t recordIndex,
                           AttributeListRef *attributeList, RecordEntry **recordEntry);
DirStatus dsGetAttributeEntry(DirNodeReference node, DataBuffer *buffer, AttributeListRef attributeList,
                              std::uint32_t attributeIndex, AttributeValueListRef *valueList,
                              AttributeEntry **attributeEntry);
DirStatus dsGetAttributeValue(DirNodeReference node, DataBuffer *buffer, std::uint32_t valueIndex,
                              AttributeValueListRef valueList, AttributeValueEntry **valueEntry);
DirStatus dsDeallocAttributeValueEntry(DirReference directory, AttributeValueEntry *entry);
DirStatus dsDeallocAttributeEntry(DirReference directory, AttributeEntry *entry);
DirStatus dsCloseAttributeValueList(AttributeValueListRef valueList);
DirStatus dsCloseAttributeList(AttributeListRef attributeList);
DirStatus dsDeallocRecordEntry(DirReference directory, RecordEntry *entry);

// Where records come from. The NSS source is the real one; tests put in
// sources that make records NSS never would, or fail where the fill looks.
struct DirectoryRecord
{
    // (attribute type, first value), in the order the record carries them.
    std::vector<std::pair<std::string, std::string>> attributes;
};
// A record as a source hands it over: views into storage of the source's
// own, valid until its next call, so that nothing is copied on the way into
// the data buffer.
struct DirectoryRecordView
{
    static constexpr std::size_t kMaxAttributes = 8;
    std::pair<std::string_view, std::string_view> attributes[kMaxAttributes];
    std::size_t count = 0;
};
class DirectoryBackend
{
public:
    virtual ~DirectoryBackend() = default;
    // Status of finding the search node, of naming it and of opening it.
    virtual DirStatus findNode() { return eDSNoErr; }
    virtual DirStatus nodeName() { return eDSNoErr; }
    virtual DirStatus openNode() { return eDSNoErr; }
    // Starts listing records of a type, asking for these attribute types.
    virtual DirStatus begin(const std::string &recordType, const std::vector<std::string> &attributeTypes) = 0;
    // The next record; false at the end.
    virtual bool next(DirectoryRecordView &record) = 0;
    virtual void end() = 0;
};
// A source that hands out records it holds, for tests.
class ListedDirectoryBackend : public DirectoryBackend
{
public:
    explicit ListedDirectoryBackend(const std::vector<DirectoryRecord> *records)
        : m_records(records)
    {
    }
    DirStatus begin(const std::string &, const std::vector<std::string> &) override { return eDSNoErr; }
    bool next(DirectoryRecordView &record) override;
    void end() override {}

private:
    const std::vector<DirectoryRecord> *m_records;
    std::size_t m_next = 0;
};
std::unique_ptr<DirectoryBackend> makeNssDirectoryBackend();
// Null puts NSS back.
void setDirectoryBackendFactoryForTesting(std::unique_ptr<DirectoryBackend> (*factory)());
