// The account lists from the directory: through the real NSS path, with
// nss_wrapper serving files that this test writes, and at the layer's seam
// for records that NSS can't produce.
#include "AccountLists.h"
#include "DirectoryService.h"
#include "support/Capture.h"
#include "theController.h"

#include "FileAttributes.h"
#include "MainWindowLoader.h"
#include "PathCodec.h"

#include <QMainWindow>
#include <QSaveFile>
#include <QSemaphore>
#include <QTest>

#include <limits>

namespace {

// nss_wrapper reloads a file whose inode changed: replace, don't rewrite.
bool writeDatabase(const char *variable, const QByteArray &content)
{
    QSaveFile file(QString::fromLocal8Bit(qgetenv(variable)));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
}

QList<qulonglong> batchCounts(const QString &output)
{
    QList<qulonglong> counts;
    for (const QString &line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        static const QRegularExpression batch(QStringLiteral("^Get record list returned (\\d+) record entries$"));
        const auto match = batch.match(line);
        if (match.hasMatch())
            counts << match.captured(1).toULongLong();
    }
    return counts;
}

// A record source of the test's own.
struct FakeSource
{
    static inline std::vector<DirectoryRecord> records;
    static inline DirStatus findNode = eDSNoErr, nodeName = eDSNoErr, openNode = eDSNoErr;
    // When set, every listing waits for it before its first record.
    static inline QSemaphore *gate = nullptr;
};
class FakeBackend : public ListedDirectoryBackend
{
public:
    FakeBackend()
        : ListedDirectoryBackend(&FakeSource::records)
    {
    }
    DirStatus findNode() override { return FakeSource::findNode; }
    DirStatus nodeName() override { return FakeSource::nodeName; }
    DirStatus openNode() override { return FakeSource::openNode; }
    DirStatus begin(const std::string &type, const std::vector<std::string> &attributes) override
    {
        if (FakeSource::gate) {
            FakeSource::gate->acquire();
            FakeSource::gate->release();
        }
        return ListedDirectoryBackend::begin(type, attributes);
    }
};
std::unique_ptr<DirectoryBackend> makeFakeBackend()
{
    return std::make_unique<FakeBackend>();
}

} // namespace

class AccountsTest : public QObject
{
    Q_OBJECT

    theController controller;

    QString fillBoth()
    {
        DescriptorCapture out(1);
        controller.fillUsersInformations();
        controller.fillGroupsInformations();
        return out.stop();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariable("LD_PRELOAD").contains(QLatin1String("nss_wrapper")),
                 "run through ctest: nss_wrapper serves this test's accounts");
    }
    void cleanup()
    {
        setDirectoryBackendFactoryForTesting(nullptr);
        FakeSource::gate = nullptr;
        FakeSource::findNode = FakeSource::nodeName = FakeSource::openNode = eDSNoErr;
    }

    void directoryOrderWithDuplicates()
    {
        QVERIFY(writeDatabase("NSS_WRAPPER_PASSWD", "zed:x:1003:300::/home/zed:/bin/sh\n"
                                                    "ärger:x:1001:100::/home/a:/bin/sh\n"
                                                    "zed:x:1004:301::/home/zed:/bin/sh\n"
                                                    "bob:x:1002:100::/home/bob:/bin/sh\n"));
        QVERIFY(writeDatabase("NSS_WRAPPER_GROUP", "staff:x:300:\nadmins:x:100:bob,zed\nstaff:x:301:\n"));
        const QString output = fillBoth();
        QCOMPARE(controller.saElencoUtentiFromDirectory.list(), (QStringList{"zed", "ärger", "zed", "bob"}));
        QCOMPARE(controller.saElencoUIDFromDirectory.list(), (QStringList{"1003", "1001", "1004", "1002"}));
        QCOMPARE(controller.saElencoGIDFromDirectory.list(), (QStringList{"300", "100", "301", "100"}));
        QCOMPARE(controller.saElencoGruppiGIDFromDirectory.list(), (QStringList{"staff", "admins", "staff"}));
        QCOMPARE(controller.saElencoGGIDFromDirectory.list(), (QStringList{"300", "100", "301"}));
        QCOMPARE(batchCounts(output), (QList<qulonglong>{4, 3}));
        // Entries are strings of their own, whatever storage they share.
        QStringList names = controller.saElencoUtentiFromDirectory;
        QString first = names.first();
        names[1].append(QStringLiteral("-changed"));
        controller.saElencoUIDFromDirectory.clear();
        first.append(QStringLiteral("!"));
        QCOMPARE(first, "zed!");
        QCOMPARE(names, (QStringList{"zed", "ärger-changed", "zed", "bob"}));
        QCOMPARE(controller.saElencoUtentiFromDirectory.list(), (QStringList{"zed", "ärger", "zed", "bob"}));
        QCOMPARE(controller.saElencoGIDFromDirectory.list(), (QStringList{"300", "100", "301", "100"}));
        controller.fillUsersInformations();
        // The first of the duplicates answers.
        int uid = -1, gid = -1;
        QVERIFY(controller.getUserInfo(QStringLiteral("ZED"), &uid, &gid));
        QCOMPARE(uid, 1003);
        QCOMPARE(gid, 300);
    }

    // Names are bytes: one that isn't UTF-8 is kept byte for byte, as a path
    // is, and is never taken for another account's name.
    void namesThatAreNotUtf8KeepTheirBytes()
    {
        QVERIFY(writeDatabase("NSS_WRAPPER_PASSWD", "caf\xe9:x:1005:100::/home/c:/bin/sh\n"
                                                    "caf:x:1006:100::/home/c:/bin/sh\n"
                                                    "caf\xc3\xa9:x:1007:100::/home/c:/bin/sh\n"
                                                    "\xf0\x9f\x90\x88-\xff\xc3:x:1008:100::/home/c:/bin/sh\n"));
        QVERIFY(writeDatabase("NSS_WRAPPER_GROUP", "gr\xfcn:x:400:\n"));
        fillBoth();
        const QList<QByteArray> bytes{"caf\xe9", "caf", "caf\xc3\xa9", "\xf0\x9f\x90\x88-\xff\xc3"};
        QCOMPARE(controller.saElencoUtentiFromDirectory.size(), bytes.size());
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const QString name = controller.saElencoUtentiFromDirectory.at(i);
            QCOMPARE(bytesFromPath(name), bytes[i]);
            QCOMPARE(name, pathFromBytes(bytes[i]));
            // The name the item's owner shows under is the listed one.
            QCOMPARE(userNameForUid(1005 + unsigned(i)), name);
            int uid = 0, gid = 0;
            QVERIFY(controller.getUserInfo(name, &uid, &gid));
            QCOMPARE(uid, 1005 + int(i));
        }
        QCOMPARE(controller.saElencoUtentiFromDirectory.at(2), QStringLiteral("café"));
        QCOMPARE(bytesFromPath(controller.saElencoGruppiGIDFromDirectory.at(0)), QByteArray("gr\xfcn"));
        QCOMPARE(groupNameForGid(400), controller.saElencoGruppiGIDFromDirectory.at(0));
    }

    // The window is shown without waiting for the directory; whoever reads
    // the lists waits for the fills, which run users first, then groups.
    void fillsRunBesideTheWindowAndReadersWaitForThem()
    {
        using R = DirectoryRecord;
        FakeSource::records = {R{{{kDS1AttrRecordName, "ann"}, {kDS1AttrUniqueID, "501"}, {kDS1AttrPrimaryGroupID, "20"}}},
                               R{{{kDS1AttrRecordName, "staff"}, {kDS1AttrPrimaryGroupID, "20"}}}};
        QSemaphore gate;
        FakeSource::gate = &gate;
        setDirectoryBackendFactoryForTesting(makeFakeBackend);
        DescriptorCapture out(1);
        const MainWindowLoader loaded = MainWindowLoader::load();
        loaded.window->show();
        // The fill is held at its first listing, yet the window is up.
        QVERIFY(QTest::qWaitForWindowExposed(loaded.window));
        gate.release();
        QCOMPARE(loaded.controller->saElencoUtentiFromDirectory.list(), QStringList{"ann"});
        QCOMPARE(loaded.controller->saElencoGruppiGIDFromDirectory.list(), QStringList{"staff"});
        int gid = -1;
        QVERIFY(loaded.controller->getGroupInfo(QStringLiteral("STAFF"), &gid));
        QCOMPARE(gid, 20);
        // Qt Test reports the platform plugin's warnings on standard output too.
        QStringList batchLines = out.stop().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        batchLines.removeIf([](const QString &line) { return line.startsWith(QLatin1String("QWARN")); });
        QCOMPARE(batchLines, QStringList(2, QStringLiteral("Get record list returned 2 record entries")));
        delete loaded.window;
    }

    // The names' index answers as a scan that upper-cases every entry would.
    void indexAnswersAsAScan()
    {
        QStringList names;
        for (int i = 0; i < 5000; ++i)
            names << QStringLiteral("user%1").arg(i);
        names << QStringLiteral("Straße") << QStringLiteral("USER7") << QStringLiteral("ärger") << QString();
        controller.saElencoGruppiGIDFromDirectory = names;
        controller.saElencoGGIDFromDirectory = QStringList(names.size(), QStringLiteral("1"));
        const QStringList queries{"user0", "USER7", "uSeR4999", "STRASSE", "straße", "ÄRGER", "", "user5000",
                                  "nobody", QString::fromUtf8("\xc3\xa4rger")};
        for (const QString &query : queries) {
            qsizetype scanned = -1;
            for (qsizetype k = 0; k < names.size() && scanned < 0; ++k) {
                if (names[k].toUpper() == query.toUpper())
                    scanned = k;
            }
            QCOMPARE(controller.saElencoGruppiGIDFromDirectory.rowOfName(query), scanned);
        }
        QCOMPARE(controller.saElencoGruppiGIDFromDirectory.rowOfName(QStringLiteral("USER7")), 7);
        QCOMPARE(controller.saElencoGruppiGIDFromDirectory.rowOfName(QStringLiteral("strasse")), 5000);
    }

    void moreRecordsThanOneBufferHolds()
    {
        QByteArray passwd;
        for (int i = 0; i < 3000; ++i)
            passwd += "user-with-a-rather-long-name-" + QByteArray::number(i) + ":x:" + QByteArray::number(20000 + i)
                      + ":100::/home/u:/bin/sh\n";
        QVERIFY(writeDatabase("NSS_WRAPPER_PASSWD", passwd));
        QVERIFY(writeDatabase("NSS_WRAPPER_GROUP", "users:x:100:\n"));
        const QList<qulonglong> counts = batchCounts(fillBoth());
        QVERIFY2(counts.size() > 2, "several user batches and one group batch");
        qulonglong users = 0;
        for (qsizetype i = 0; i + 1 < counts.size(); ++i)
            users += counts[i];
        QCOMPARE(users, 3000ull);
        QCOMPARE(controller.saElencoUtentiFromDirectory.size(), 3000);
        QCOMPARE(controller.saElencoUtentiFromDirectory.last(), "user-with-a-rather-long-name-2999");
        QCOMPARE(controller.saElencoUIDFromDirectory.size(), 3000);
        QCOMPARE(controller.saElencoGIDFromDirectory.size(), 3000);
    }

    void emptySourceStillPrintsItsBatch()
    {
        QVERIFY(writeDatabase("NSS_WRAPPER_PASSWD", ""));
        QVERIFY(writeDatabase("NSS_WRAPPER_GROUP", ""));
        controller.saElencoUtentiFromDirectory = {QStringLiteral("stale")};
        QCOMPARE(batchCounts(fillBoth()), (QList<qulonglong>{0, 0}));
        QVERIFY(controller.saElencoUtentiFromDirectory.isEmpty());
        QVERIFY(controller.saElencoGruppiGIDFromDirectory.isEmpty());
    }

    void recordsAreTakenWholeOrNotAtAll()
    {
        using R = DirectoryRecord;
        FakeSource::records = {
            R{{{kDS1AttrRecordName, "ann"}, {kDS1AttrUniqueID, "501"}, {kDS1AttrPrimaryGroupID, "20"}}},
            R{{{kDS1AttrRecordName, "nogid"}, {kDS1AttrUniqueID, "502"}}},
            R{{{kDS1AttrPrimaryGroupID, "30"}, {kDS1AttrRecordName, "turned"}, {kDS1AttrUniqueID, "503"}}},
            R{{{kDS1AttrRecordName, "odd"}, {"dsAttrTypeStandard:Comment", "x"}, {kDS1AttrUniqueID, "504"}}},
            R{{{kDS1AttrRecordName, "four"}, {kDS1AttrUniqueID, "505"}, {kDS1AttrPrimaryGroupID, "20"},
               {kDS1AttrPrimaryGroupID, "21"}}},
        };
        setDirectoryBackendFactoryForTesting(makeFakeBackend);
        controller.fillUsersInformations();
        // The type name decides the list, whatever the order; a record short
        // of one asked-for type adds nothing, so the lists stay parallel.
        QCOMPARE(controller.saElencoUtentiFromDirectory.list(), (QStringList{"ann", "turned"}));
        QCOMPARE(controller.saElencoUIDFromDirectory.list(), (QStringList{"501", "503"}));
        QCOMPARE(controller.saElencoGIDFromDirectory.list(), (QStringList{"20", "30"}));
    }

    void nodeFailuresLogOneLineAndLeaveListsEmpty_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("line");
        QTest::newRow("find") << 0 << "Finding Authentication Node Failed: -3";
        QTest::newRow("name") << 1 << "Getting Node Name Failed: -3";
        QTest::newRow("open") << 2 << "Opening Node Failed: -3";
    }
    void nodeFailuresLogOneLineAndLeaveListsEmpty()
    {
        QFETCH(int, stage);
        QFETCH(QString, line);
        (stage == 0 ? FakeSource::findNode : stage == 1 ? FakeSource::nodeName : FakeSource::openNode) =
            eDSNodeNotFound;
        FakeSource::records = {DirectoryRecord{{{kDS1AttrRecordName, "x"}, {kDS1AttrPrimaryGroupID, "1"}}}};
        setDirectoryBackendFactoryForTesting(makeFakeBackend);
        controller.saElencoGruppiGIDFromDirectory = {QStringLiteral("stale")};
        DescriptorCapture out(1);
        DescriptorCapture err(2);
        controller.fillGroupsInformations();
        const QString log = err.stop();
        QCOMPARE(out.stop(), QString());
        QCOMPARE(log.count(QLatin1Char('\n')), 1);
        QVERIFY2(log.endsWith(line + QLatin1Char('\n')), qPrintable(log));
        QVERIFY(controller.saElencoGruppiGIDFromDirectory.isEmpty());
        QVERIFY(controller.saElencoGGIDFromDirectory.isEmpty());
    }

    void lookups_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("idText");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("id");
        QTest::newRow("upper case beyond ASCII") << "ÄRGER" << "1001" << true << 1001;
        QTest::newRow("not listed") << "nobody-here" << "1001" << false << 0;
        QTest::newRow("id not a number") << "ärger" << "abc" << true << 0;
        QTest::newRow("blanks, sign, trailing text") << "ärger" << "  -12x" << true << -12;
        QTest::newRow("beyond 32 bits") << "ärger" << "99999999999" << true << std::numeric_limits<int>::max();
        QTest::newRow("below 32 bits") << "ärger" << "-99999999999" << true << std::numeric_limits<int>::min();
    }
    void lookups()
    {
        QFETCH(QString, name);
        QFETCH(QString, idText);
        QFETCH(bool, found);
        QFETCH(int, id);
        controller.saElencoUtentiFromDirectory = {QStringLiteral("bob"), QStringLiteral("ärger")};
        controller.saElencoUIDFromDirectory = {QStringLiteral("7"), idText};
        controller.saElencoGIDFromDirectory = {QStringLiteral("7"), idText};
        controller.saElencoGruppiGIDFromDirectory = {QStringLiteral("ärger")};
        controller.saElencoGGIDFromDirectory = {idText};
        int uid = -1, gid = -1, groupId = -1;
        QCOMPARE(controller.getUserInfo(name, &uid, &gid), found);
        QCOMPARE(uid, id);
        QCOMPARE(gid, id);
        QCOMPARE(controller.getGroupInfo(name, &groupId), found);
        QCOMPARE(groupId, id);
    }
};

QTEST_MAIN(AccountsTest)
#include "tst_accounts.moc"
