#include "AccountLists.h"

#include "DirectoryService.h"
#include "PathCodec.h"
#include "SystemLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// The names and IDs of a fill share a few large allocations: each is a few
// characters, and a heap block of its own for each of several hundred
// thousand of them costs more than reading them from the directory. Each
// string holds a reference to its block, which lives as long as the last of
// them; writing to one copies it out first, as for any shared QString.
class StringArena
{
public:
    StringArena() = default;
    ~StringArena() { release(); }
    StringArena(const StringArena &) = delete;
    StringArena &operator=(const StringArena &) = delete;

    QString take(const char *bytes, qsizetype length)
    {
        // Decoding never needs more UTF-16 units than there are bytes.
        if (m_used + length + 1 > m_capacity && !renew(length + 1))
            return pathFromBytes(QByteArray(bytes, length));
        char16_t *begin = m_data + m_used;
        const qsizetype size = decodeBytesInto(begin, bytes, length);
        begin[size] = u'\0';
        m_used += size + 1;
        ++m_handedOut; // counted in the block's reference count since renew()
        return QString(QString::DataPointer(m_header, begin, size));
    }

private:
    static constexpr qsizetype kBlock = 8192; // UTF-16 units: 16 KiB

    bool renew(qsizetype atLeast)
    {
        release();
        const qsizetype capacity = std::max(kBlock, atLeast);
        auto [header, data] = QTypedArrayData<char16_t>::allocate(capacity);
        if (!header)
            return false;
        m_header = header;
        m_data = data;
        m_capacity = capacity;
        m_used = 0;
        // One reference for each string the block can hold (each takes at
        // least its NUL), taken at once instead of one atomic step per
        // string; release() gives back those never handed out.
        m_handedOut = 0;
        m_header->ref_.fetchAndAddRelaxed(int(capacity));
        return true;
    }
    void release()
    {
        if (m_header) {
            m_header->ref_.fetchAndAddRelaxed(-int(m_capacity - m_handedOut));
            QString::DataPointer(m_header, m_data, 0); // drops the arena's own reference
        }
        m_header = nullptr;
        m_capacity = m_used = 0;
    }

    QTypedArrayData<char16_t> *m_header = nullptr;
    char16_t *m_data = nullptr;
    qsizetype m_capacity = 0;
    qsizetype m_used = 0;
    qsizetype m_handedOut = 0;
};

} // namespace

void fillAccountLists(const char *recordType, const std::vector<AccountListTarget> &targets)
{
    DirReference directory = nullptr;
    DataList *nodeName = nullptr;
    DirNodeReference node = nullptr;
    ContinueData *continuation = nullptr;
    std::uint32_t recordCount = 0;

    dsOpenDirService(&directory);
    DataBuffer *buffer = dsDataBufferAllocate(directory, 0x8000);
    auto releaseSoFar = [&] {
        if (nodeName)
            dsDataListDeallocate(directory, nodeName);
        dsDataBufferDeAllocate(directory, buffer);
        dsCloseDirService(directory);
    };

    std::uint32_t nodeCount = 0;
    DirStatus status = dsFindDirNodes(directory, buffer, nullptr, eDSAuthenticationSearchNodeName, &nodeCount,
                                      &continuation);
    if (status != eDSNoErr) {
        systemLog(QStringLiteral("Finding Authentication Node Failed: %1").arg(status));
        releaseSoFar();
        return;
    }
    nodeName = dsDataListAllocate(directory);
    status = dsGetDirNodeName(directory, buffer, 1, &nodeName);
    if (status != eDSNoErr) {
        systemLog(QStringLiteral("Getting Node Name Failed: %1").arg(status));
        releaseSoFar();
        return;
    }
    status = dsOpenDirNode(directory, nodeName, &node);
    if (status != eDSNoErr) {
        systemLog(QStringLiteral("Opening Node Failed: %1").arg(status));
        releaseSoFar();
        return;
    }

    DataList *recordNames = dsDataListAllocate(directory);
    DataList *recordTypes = dsDataListAllocate(directory);
    DataList *attributeTypes = dsDataListAllocate(directory);
    dsBuildListFromStringsAlloc(directory, recordNames, kDSRecordsAll, nullptr);
    dsBuildListFromStringsAlloc(directory, recordTypes, recordType, nullptr);
    // Two or three attribute types: the fills ask for no more.
    Q_ASSERT(!targets.empty() && targets.size() <= 3);
    dsBuildListFromStringsAlloc(directory, attributeTypes, targets.at(0).attributeType,
                                targets.size() > 1 ? targets[1].attributeType : nullptr,
                                targets.size() > 2 ? targets[2].attributeType : nullptr, nullptr);

    const std::uint32_t wanted = std::uint32_t(targets.size());
    std::size_t typeLengths[3] = {};
    for (std::size_t t = 0; t < targets.size(); ++t)
        typeLengths[t] = std::strlen(targets[t].attributeType);
    // Which target an attribute type names: records usually carry them in
    // the order asked for, so that one is tried first.
    StringArena strings;
    auto targetOf = [&](const AttributeEntry *attribute, std::size_t guess) -> int {
        for (std::size_t n = 0; n < targets.size(); ++n) {
            const std::size_t t = (guess + n) % targets.size();
            if (attribute->typeLength == typeLengths[t]
                && std::memcmp(attribute->typeName, targets[t].attributeType, typeLengths[t]) == 0)
                return int(t);
        }
        return -1;
    };
    do {
        dsGetRecordList(node, buffer, recordNames, eDSExact, recordTypes, attributeTypes, false, &recordCount,
                        &continuation);
        std::printf("Get record list returned %lu record entries\n", static_cast<unsigned long>(recordCount));
        std::fflush(stdout); // line by line, as it happens, also into a pipe
        for (std::uint32_t i = 1; i <= recordCount; ++i) {
            AttributeListRef attributes = 0;
            RecordEntry *record = nullptr;
            if (dsGetRecordEntry(node, buffer, i, &attributes, &record) != eDSNoErr)
                continue;
            if (record->attributeCount == wanted) {
                // The record is looked at whole before anything is added, so
                // that one short of a type adds nothing and the lists stay
                // parallel.
                const AttributeValueEntry *values[3] = {};
                AttributeEntry *attributeEntries[3] = {};
                AttributeValueEntry *valueEntries[3] = {};
                AttributeValueListRef valueLists[3] = {};
                bool whole = true;
                for (std::uint32_t j = 1; j <= wanted; ++j) {
                    AttributeEntry *&attribute = attributeEntries[j - 1];
                    AttributeValueEntry *&value = valueEntries[j - 1];
                    dsGetAttributeEntry(node, buffer, attributes, j, &valueLists[j - 1], &attribute);
                    dsGetAttributeValue(node, buffer, 1, valueLists[j - 1], &value);
                    const int t = attribute && value ? targetOf(attribute, j - 1) : -1;
                    if (t >= 0 && !values[t])
                        values[t] = value;
                    else
                        whole = false;
                }
                for (std::size_t t = 0; whole && t < targets.size(); ++t)
                    targets[t].list->appendFilled(strings.take(values[t]->data, values[t]->length));
                for (std::uint32_t j = 0; j < wanted; ++j) {
                    dsDeallocAttributeValueEntry(directory, valueEntries[j]);
                    dsDeallocAttributeEntry(directory, attributeEntries[j]);
                    dsCloseAttributeValueList(valueLists[j]);
                }
            }
            dsCloseAttributeList(attributes);
            dsDeallocRecordEntry(directory, record);
        }
    } while (continuation);
    for (const AccountListTarget &target : targets)
        target.list->finishFilled();

    dsDataListDeallocate(directory, recordNames);
    dsDataListDeallocate(directory, recordTypes);
    dsDataListDeallocate(directory, attributeTypes);
    dsDataListDeallocate(directory, nodeName);
    dsCloseDirNode(node);
    dsDataBufferDeAllocate(directory, buffer);
    dsCloseDirService(directory);
}

int intValueOfText(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    constexpr long long limit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i) {
        value = value * 10 + (text.at(i).unicode() - '0');
        if (value > limit)
            value = limit; // clamped; further digits can't bring it back
    }
    if (negative)
        return value >= limit ? std::numeric_limits<int>::min() : int(-value);
    return value >= limit ? std::numeric_limits<int>::max() : int(value);
}
