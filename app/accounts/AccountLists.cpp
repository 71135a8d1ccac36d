#include "AccountLists.h"

#include "DirectoryService.h"
#include "SystemLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

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
                // Collected first, appended only when every list gets its
                // value, so that the lists stay parallel.
                QString values[3];
                bool filled[3] = {false, false, false};
                for (std::uint32_t j = 1; j <= wanted; ++j) {
                    AttributeValueListRef valueList = 0;
                    AttributeEntry *attribute = nullptr;
                    AttributeValueEntry *value = nullptr;
                    dsGetAttributeEntry(node, buffer, attributes, j, &valueList, &attribute);
                    dsGetAttributeValue(node, buffer, 1, valueList, &value);
                    if (attribute && value) {
                        for (std::size_t t = 0; t < targets.size(); ++t) {
                            if (std::strcmp(attribute->typeName, targets[t].attributeType) == 0) {
                                values[t] = QString::fromUtf8(value->data, value->length);
                                filled[t] = true;
                                break;
                            }
                        }
                    }
                    dsDeallocAttributeValueEntry(directory, value);
                    dsDeallocAttributeEntry(directory, attribute);
                    dsCloseAttributeValueList(valueList);
                }
                if (std::all_of(filled, filled + wanted, [](bool f) { return f; })) {
                    for (std::size_t t = 0; t < targets.size(); ++t)
                        targets[t].list->append(values[t]);
                }
            }
            dsCloseAttributeList(attributes);
            dsDeallocRecordEntry(directory, record);
        }
    } while (continuation);

    dsDataListDeallocate(directory, recordNames);
    dsDataListDeallocate(directory, recordTypes);
    dsDataListDeallocate(directory, attributeTypes);
    dsDataListDeallocate(directory, nodeName);
    dsCloseDirNode(node);
    dsDataBufferDeAllocate(directory, buffer);
    dsCloseDirService(directory);
}

qsizetype indexOfAccountName(const QStringList &names, const QString &name)
{
    const QString wanted = name.toUpper();
    const qsizetype count = names.size();
    for (qsizetype k = 0; k < count; ++k) {
        if (names.at(k).toUpper() == wanted)
            return k;
    }
    return -1;
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
