// The Finder flag functions over real extended attributes of the build
// folder's file system: records as netatalk 4 and Samba write them, records
// not to trust, special files and the Part's failure lines.
#include "AppleDoubleRecord.h"
#include "FinderFlags.h"
#include "FinderInfoStore.h"
#include "PathCodec.h"
#include "support/Capture.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

const char *const kAttribute = FinderInfoStore::kNetatalkAttribute;

void put32(QByteArray &b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (24 - 8 * i));
}

quint16 get16(const QByteArray &b, int at)
{
    return quint16(quint8(b[at]) << 8 | quint8(b[at + 1]));
}

struct EntrySpec
{
    quint32 id, offset, length;
};

// A record with the given table; every byte that no table entry makes
// meaningful is filled with a pattern, so a lost byte shows.
QByteArray record(const QList<EntrySpec> &entries, int size = AppleDoubleRecord::kSize)
{
    QByteArray r(size, '\0');
    for (int i = 0; i < size; ++i)
        r[i] = char(0xA0 ^ (i * 7));
    put32(r, 0, AppleDoubleRecord::kMagic);
    put32(r, 4, AppleDoubleRecord::kVersion);
    r[24] = char(entries.size() >> 8);
    r[25] = char(entries.size());
    int at = 26;
    for (const EntrySpec &e : entries) {
        put32(r, at, e.id);
        put32(r, at + 4, e.offset);
        put32(r, at + 8, e.length);
        at += 12;
    }
    return r;
}

QList<EntrySpec> netatalkTable()
{
    return {{4, 154, 200}, {8, 354, 16}, {9, 122, 32}, {14, 370, 4},
            {0x80444556, 374, 8}, {0x80494E4F, 382, 8}, {0x8053594E, 390, 8}, {0x8053567E, 398, 4}};
}

QList<EntrySpec> sambaTable()
{
    return {{4, 154, 0}, {8, 354, 16}, {9, 122, 32}, {14, 370, 4},
            {0x80444556, 374, 0}, {0x80494E4F, 382, 0}, {0x8053594E, 390, 0}, {0x8053567E, 398, 0}};
}

// Sets the flags word (and clears the AFP invisible bit) of a made record.
QByteArray withFlags(QByteArray r, int finderInfoOffset, int afpOffset, quint16 flags, quint16 afp)
{
    r[finderInfoOffset + 8] = char(flags >> 8);
    r[finderInfoOffset + 9] = char(flags);
    if (afpOffset >= 0) {
        r[afpOffset + 2] = char(afp >> 8);
        r[afpOffset + 3] = char(afp);
    }
    return r;
}

} // namespace

class FinderFlagsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir *dir = nullptr;

    QByteArray path(const QByteArray &name) const { return QFile::encodeName(dir->path()) + '/' + name; }

    QByteArray makeFile(const QByteArray &name)
    {
        const QByteArray p = path(name);
        const int fd = ::open(p.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ::close(fd);
        return p;
    }

    static QByteArray attribute(const QByteArray &p)
    {
        QByteArray value(65536, '\0');
        const ssize_t n = ::getxattr(p.constData(), kAttribute, value.data(), size_t(value.size()));
        return n < 0 ? QByteArray() : value.left(n);
    }

    static bool setAttribute(const QByteArray &p, const QByteArray &value)
    {
        return ::setxattr(p.constData(), kAttribute, value.constData(), size_t(value.size()), 0) == 0;
    }

private slots:
    void initTestCase()
    {
        // The build folder's own file system, not a tmpfs that may differ.
        dir = new QTemporaryDir(QCoreApplication::applicationDirPath() + QStringLiteral("/finder-XXXXXX"));
        QVERIFY(dir->isValid());
        const QByteArray probe = makeFile("probe");
        if (::setxattr(probe.constData(), "user.brindle.probe", "1", 1, 0) != 0)
            QSKIP(qPrintable(QStringLiteral("the build folder's file system refuses user extended attributes (%1)")
                                 .arg(QString::fromLocal8Bit(strerror(errno)))));
    }

    void cleanupTestCase() { delete dir; }

    void labelIndexOfFlags_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("index");
        QTest::newRow("invisible and red") << 0x400C << 1;
        QTest::newRow("orange, other bits set") << 0xFFFF << 2;
        QTest::newRow("orange alone") << 0x000E << 2;
        QTest::newRow("gray") << 0x0002 << 7;
        QTest::newRow("green") << 0x0004 << 4;
        QTest::newRow("purple") << 0x0006 << 6;
        QTest::newRow("blue") << 0x0008 << 5;
        QTest::newRow("yellow") << 0x000A << 3;
        QTest::newRow("none, bit 0 and 4 set") << 0x0011 << 0;
    }
    void labelIndexOfFlags()
    {
        QFETCH(int, word);
        QFETCH(int, index);
        QCOMPARE(GetLabelIndex(quint16(word)), short(index));
    }

    void labelIntoFlags_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("result");
        QTest::newRow("gray to blue keeps invisible") << 0x4002 << 5 << 0x4008;
        QTest::newRow("0 clears") << 0xFFFF << 0 << 0xFFF1;
        QTest::newRow("8 clears") << 0xFFFF << 8 << 0xFFF1;
        QTest::newRow("-1 clears") << 0xFFFF << -1 << 0xFFF1;
        QTest::newRow("red on zero") << 0 << 1 << 0x000C;
    }
    void labelIntoFlags()
    {
        QFETCH(int, word);
        QFETCH(int, index);
        QFETCH(int, result);
        quint16 flags = quint16(word);
        SetLabelInFlags(&flags, index);
        QCOMPARE(flags, quint16(result));
    }

    void labelRoundTrip()
    {
        for (short index = 0; index <= 7; ++index) {
            quint16 flags = 0;
            SetLabelInFlags(&flags, index);
            QCOMPARE(GetLabelIndex(flags), index);
        }
    }

    void isFolderByKind()
    {
        const QByteArray folder = path("folder");
        QVERIFY(QDir().mkdir(QFile::decodeName(folder)));
        const QByteArray link = path("link-to-folder");
        QCOMPARE(::symlink(folder.constData(), link.constData()), 0);
        const QByteArray fifo = path("fifo");
        QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        QCOMPARE(IsFolder(folder.constData()), 1);
        QCOMPARE(IsFolder(link.constData()), 1);
        QCOMPARE(IsFolder("/dev/null"), 1);
        QCOMPARE(IsFolder(fifo.constData()), 1);
        QCOMPARE(IsFolder(makeFile("plain").constData()), 0);
        QCOMPARE(IsFolder(path("missing").constData()), -1);
    }

    void noRecordReadsVisibleUnlabelled()
    {
        const QByteArray file = makeFile("bare");
        short index = 5;
        QCOMPARE(fileIsInvisible(file.constData(), &index), 0);
        QCOMPARE(index, short(0));
        QVERIFY(attribute(file).isEmpty()); // reading writes nothing

        // Writing what no record already means creates none.
        const short none = 0;
        QCOMPARE(SetLabelColor(file.constData(), &none), 0);
        QCOMPARE(setFileInvisible(file.constData(), 0), 0);
        QVERIFY(attribute(file).isEmpty());
    }

    // Label and invisibility written into records that other servers wrote:
    // every byte but the flags word and the AFP attribute word stays.
    void foreignRecordsKeptByteForByte_data()
    {
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<int>("finderInfo");
        QTest::addColumn<int>("afp");
        QTest::newRow("netatalk 4") << withFlags(record(netatalkTable()), 122, 370, 0x0100, 0x0000) << 122 << 370;
        QTest::newRow("samba") << withFlags(record(sambaTable()), 122, 370, 0x0100, 0x0020) << 122 << 370;
        // FinderInfo elsewhere than byte 122: found through the table.
        QTest::newRow("finder info moved, no AFP entry")
            << withFlags(record({{8, 60, 16}, {9, 200, 32}}, 300), 200, -1, 0x0100, 0) << 200 << -1;
    }
    void foreignRecordsKeptByteForByte()
    {
        QFETCH(QByteArray, original);
        QFETCH(int, finderInfo);
        QFETCH(int, afp);
        const QByteArray file = makeFile(QByteArray("foreign-") + QTest::currentDataTag());
        QVERIFY(setAttribute(file, original));

        const short orange = 2;
        QCOMPARE(SetLabelColor(file.constData(), &orange), 0);
        QCOMPARE(setFileInvisible(file.constData(), 1), 0);
        QByteArray written = attribute(file);
        QCOMPARE(written.size(), original.size());
        QCOMPARE(get16(written, finderInfo + 8), quint16(0x410E));
        if (afp >= 0)
            QCOMPARE(get16(written, afp + 2), quint16(get16(original, afp + 2) | 0x0001));
        // Everything else, byte for byte.
        QByteArray expected = withFlags(original, finderInfo, afp, 0x410E,
                                        afp >= 0 ? quint16(get16(original, afp + 2) | 1) : 0);
        QCOMPARE(written.toHex(), expected.toHex());

        short index = -1;
        QCOMPARE(fileIsInvisible(file.constData(), &index), 1);
        QCOMPARE(index, orange);

        // Visible again: the AFP bit follows, the label stays.
        QCOMPARE(setFileInvisible(file.constData(), 2), 0);
        written = attribute(file);
        QCOMPARE(get16(written, finderInfo + 8), quint16(0x010E));
        if (afp >= 0)
            QCOMPARE(get16(written, afp + 2), get16(original, afp + 2));
    }

    void newRecordAsNetatalkWritesIt()
    {
        const QByteArray file = makeFile("fresh");
        const qint64 before = std::time(nullptr);
        const short yellow = 3;
        QCOMPARE(SetLabelColor(file.constData(), &yellow), 0);
        const QByteArray r = attribute(file);
        QCOMPARE(r.size(), 402);
        const std::optional<AppleDoubleRecord::Layout> layout = AppleDoubleRecord::parse(r);
        QVERIFY(layout);
        QCOMPARE(layout->finderFlagsOffset, 130);
        QCOMPARE(layout->afpAttributesOffset, 372);
        QCOMPARE(r.left(8).toHex(), QByteArray("0005160700020000"));
        QCOMPARE(get16(r, 24), quint16(8));
        // The table as netatalk 4 writes it.
        QCOMPARE(r.mid(26, 96).toHex(),
                 QByteArray("00000004000000"
                            "9a000000c8"
                            "00000008000001620000001000000009000000"
                            "7a000000200000000e0000017200000004"
                            "80444556000001760000000880494e4f0000017e00000008"
                            "8053594e00000186000000088053567e0000018e00000004"));
        const qint64 created = qint32(quint32(get16(r, 354)) << 16 | get16(r, 356)) + 946684800;
        QVERIFY(created >= before && created <= before + 5);
        QCOMPARE(r.mid(362, 4).toHex(), QByteArray("80000000")); // backup: never
        QCOMPARE(get16(r, 130), quint16(0x000A));
        QCOMPARE(get16(r, 372), quint16(0));

        // The invisible bit goes into both words, the label stays.
        QCOMPARE(setFileInvisible(file.constData(), 1), 0);
        QCOMPARE(get16(attribute(file), 130), quint16(0x400A));
        QCOMPARE(get16(attribute(file), 372), quint16(0x0001));
        QCOMPARE(setFileInvisible(file.constData(), -1), 0);
        QCOMPARE(get16(attribute(file), 130), quint16(0x000A));
        QCOMPARE(get16(attribute(file), 372), quint16(0));
    }

    void invalidRecordLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("bad");
        const QByteArray good = record(netatalkTable());
        QByteArray magic = good;
        magic[3] = 0x00;
        QByteArray version = good;
        version[5] = 0x01;
        QByteArray count = good;
        count[25] = char(40); // a table longer than the record
        QTest::newRow("wrong magic") << magic;
        QTest::newRow("wrong version") << version;
        QTest::newRow("shorter than its header") << good.left(20);
        QTest::newRow("table past the end") << count;
        QTest::newRow("finder info past the end") << good.left(140);
        QTest::newRow("entry inside the table") << record({{9, 30, 32}});
        QTest::newRow("no finder info") << record({{8, 354, 16}, {14, 370, 4}});
        QTest::newRow("finder info too short") << record({{9, 122, 8}});
        QTest::newRow("offset wraps round") << record({{9, 0xFFFFFFF0u, 32}});
    }
    void invalidRecordLeftUntouched()
    {
        QFETCH(QByteArray, bad);
        const QByteArray file = makeFile(QByteArray("bad-") + QTest::currentDataTag());
        QVERIFY(setAttribute(file, bad));

        short index = 6;
        DescriptorCapture capture(2);
        QCOMPARE(fileIsInvisible(file.constData(), &index), 1);
        const short red = 1;
        QVERIFY(SetLabelColor(file.constData(), &red) != 0);
        QVERIFY(setFileInvisible(file.constData(), 1) != 0);
        QCOMPARE(capture.stop(), QStringLiteral("FSGetCatalogInfo error for %1\n").arg(QFile::decodeName(file)));
        QCOMPARE(index, short(6));
        QCOMPARE(attribute(file).toHex(), bad.toHex());
    }

    void dotNameIsInvisibleWithItsLabel()
    {
        const QByteArray file = makeFile(".profile-like");
        const short green = 4;
        QCOMPARE(SetLabelColor(file.constData(), &green), 0);
        short index = 0;
        QCOMPARE(fileIsInvisible(file.constData(), &index), 1);
        QCOMPARE(index, green);
        QCOMPARE(get16(attribute(file), 130) & 0x4000, 0);
    }

    // Links are followed: the target is labelled, and its name decides.
    void linksLeadToTheirTarget()
    {
        const QByteArray target = makeFile("target");
        const QByteArray link = path(".dot-link");
        QCOMPARE(::symlink(target.constData(), link.constData()), 0);
        const short blue = 5;
        QCOMPARE(SetLabelColor(link.constData(), &blue), 0);
        short index = 0;
        QCOMPARE(fileIsInvisible(link.constData(), &index), 0);
        QCOMPARE(index, blue);
        QCOMPARE(get16(attribute(target), 130), quint16(0x0008));
    }

    void oddNamesAndFolders()
    {
        // Not UTF-8, a leading '-', a line end: the bytes reach the kernel.
        const QByteArray odd = makeFile("-odd\nname \xff");
        const QByteArray folder = path("a folder");
        QVERIFY(::mkdir(folder.constData(), 0755) == 0);
        const short purple = 6;
        for (const QByteArray &item : {odd, folder}) {
            // Carried as a string and back, as the window carries paths.
            const QByteArray roundTrip = bytesFromPath(pathFromBytes(item));
            QCOMPARE(SetLabelColor(roundTrip.constData(), &purple), 0);
            short index = 0;
            QCOMPARE(fileIsInvisible(item.constData(), &index), 0);
            QCOMPARE(index, purple);
        }
        ::unlink(odd.constData()); // QDir can't name it to remove it
    }

    void missingItemMessages()
    {
        const QByteArray missing = path("no such item");
        short index = 3;
        const short red = 1;
        DescriptorCapture capture(2);
        QCOMPARE(fileIsInvisible(missing.constData(), &index), 1);
        QVERIFY(setFileInvisible(missing.constData(), 1) != 0);
        QVERIFY(SetLabelColor(missing.constData(), &red) != 0);
        const QString line = QStringLiteral("FSPathMakeRef error for %1\n").arg(QFile::decodeName(missing));
        QCOMPARE(capture.stop(), line + line + line);
        QCOMPARE(index, short(3));
    }

    // User attributes are refused on special files: nothing blocks, nothing
    // is written, the writers fail.
    void specialFilesRefuseWithoutBlocking()
    {
        const QByteArray fifo = path("pipe");
        QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        for (const QByteArray &item : {fifo, QByteArray("/dev/null")}) {
            short index = 4;
            QCOMPARE(fileIsInvisible(item.constData(), &index), 0); // no record: visible
            QCOMPARE(index, short(0));
            const short red = 1;
            QVERIFY(SetLabelColor(item.constData(), &red) != 0);
            QVERIFY(setFileInvisible(item.constData(), 1) != 0);
        }
    }

    // HFS+'s 32 bytes, kept under another name on this file system.
    void hfsPlusFinderInfo()
    {
        const char *const name = "user.brindle.test.FinderInfo";
        FinderInfoStore::treatAsHfsPlusForTesting(name);
        const QByteArray bare = makeFile("hfs-bare");
        const QByteArray kept = makeFile("hfs-kept");
        const QByteArray odd = makeFile("hfs-odd");
        QByteArray info(32, '\0');
        for (int i = 0; i < 32; ++i)
            info[i] = char(0x40 + i);
        info[8] = 0x00;
        info[9] = 0x02; // gray
        ::setxattr(kept.constData(), name, info.constData(), 32, 0);
        ::setxattr(odd.constData(), name, info.constData(), 31, 0);

        const short yellow = 3;
        short index = -1;
        QCOMPARE(fileIsInvisible(kept.constData(), &index), 0);
        QCOMPARE(index, short(7));
        QCOMPARE(SetLabelColor(kept.constData(), &yellow), 0);
        QCOMPARE(setFileInvisible(kept.constData(), 1), 0);
        QCOMPARE(SetLabelColor(bare.constData(), &yellow), 0);
        DescriptorCapture capture(2);
        QCOMPARE(fileIsInvisible(odd.constData(), &index), 1);
        QVERIFY(SetLabelColor(odd.constData(), &yellow) != 0);
        capture.stop();
        FinderInfoStore::treatAsHfsPlusForTesting("");

        auto read = [name](const QByteArray &p) {
            QByteArray v(64, '\0');
            const ssize_t n = ::getxattr(p.constData(), name, v.data(), size_t(v.size()));
            return n < 0 ? QByteArray() : v.left(n);
        };
        QByteArray expected = info;
        expected[8] = 0x40;
        expected[9] = 0x0A;
        QCOMPARE(read(kept).toHex(), expected.toHex());
        QByteArray fresh(32, '\0');
        fresh[9] = 0x0A;
        QCOMPARE(read(bare).toHex(), fresh.toHex());
        QCOMPARE(read(odd).toHex(), info.left(31).toHex());
        QVERIFY(attribute(bare).isEmpty()); // no netatalk record beside it
    }

    void nullPathAborts()
    {
        int err[2];
        QCOMPARE(pipe(err), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(err[1], STDERR_FILENO);
            std::signal(SIGABRT, SIG_DFL); // not the test library's crash report
            short index = 0;
            fileIsInvisible(nullptr, &index);
            _exit(0);
        }
        ::close(err[1]);
        QByteArray text;
        char buffer[256];
        ssize_t n;
        while ((n = read(err[0], buffer, sizeof buffer)) > 0)
            text.append(buffer, n);
        ::close(err[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT);
        QCOMPARE(text, QByteArray("theController:675: failed assertion `itemPath!=NULL'\n"));
    }
};

QTEST_GUILESS_MAIN(FinderFlagsTest)
#include "tst_finderflags.moc"
