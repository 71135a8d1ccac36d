// The helper resolves the path it changes without following any symbolic
// link, by openat2 and by the component walk kept for older kernels.
#include "NoLinkPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Opened
{
    int fd = -1;
    int error = 0;
};

Opened openBoth(int (*open)(const char *), const QByteArray &path)
{
    errno = 0;
    const int fd = open(path.constData());
    return {fd, fd < 0 ? errno : 0};
}

ino_t inodeOf(int fd)
{
    struct stat st {};
    return fstat(fd, &st) == 0 ? st.st_ino : 0;
}

ino_t inodeOf(const QByteArray &path)
{
    struct stat st {};
    return lstat(path.constData(), &st) == 0 ? st.st_ino : 0;
}

unsigned modeOf(const QByteArray &path)
{
    struct stat st {};
    return stat(path.constData(), &st) == 0 ? st.st_mode & 07777 : ~0u;
}

} // namespace

class NoLinkPathTest : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    QByteArray root;

private slots:
    void initTestCase()
    {
        // dir/sub/file, a FIFO, and links to a file, to folders and to nothing.
        root = QFile::encodeName(scratch.path());
        QVERIFY(QDir().mkpath(scratch.filePath(QStringLiteral("dir/sub"))));
        QFile file(scratch.filePath(QStringLiteral("dir/sub/file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(mkfifo(root + "/dir/fifo", 0600), 0);
        QCOMPARE(symlink(root + "/dir/sub/file", root + "/file-link"), 0);
        QCOMPARE(symlink(root + "/dir", root + "/dir-link"), 0);
        QCOMPARE(symlink("sub", root + "/dir/sub-link"), 0);
        QCOMPARE(symlink("nowhere", root + "/dangling"), 0);
    }

    void resolve_data()
    {
        QTest::addColumn<QByteArray>("path"); // below the scratch folder
        QTest::addColumn<int>("error");       // 0: opens the item itself
        QTest::newRow("plain file") << QByteArray("/dir/sub/file") << 0;
        QTest::newRow("folder with trailing slashes") << QByteArray("/dir/sub//") << 0;
        QTest::newRow("dot and dot-dot") << QByteArray("/dir/./sub/../sub/file") << 0;
        QTest::newRow("FIFO, without blocking") << QByteArray("/dir/fifo") << 0;
        QTest::newRow("the file is a link") << QByteArray("/file-link") << ELOOP;
        QTest::newRow("a folder above is a link") << QByteArray("/dir-link/sub/file") << ELOOP;
        QTest::newRow("a relative link in the middle") << QByteArray("/dir/sub-link/file") << ELOOP;
        QTest::newRow("dangling link") << QByteArray("/dangling") << ELOOP;
        QTest::newRow("missing") << QByteArray("/dir/none") << ENOENT;
        QTest::newRow("a file used as a folder") << QByteArray("/dir/sub/file/") << ENOTDIR;
    }
    void resolve()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, error);
        const QByteArray full = root + path;
        for (auto open : {openWithoutLinks, walkWithoutLinks}) {
            const Opened opened = openBoth(open, full);
            QCOMPARE(opened.error, error);
            if (error == 0) {
                QCOMPARE(inodeOf(opened.fd), inodeOf(full));
                close(opened.fd);
            } else {
                QCOMPARE(opened.fd, -1);
            }
        }
    }

    void relativePathsStartAtTheWorkingFolder()
    {
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(scratch.path()));
        for (auto open : {openWithoutLinks, walkWithoutLinks}) {
            const Opened good = openBoth(open, "dir/sub/file");
            QCOMPARE(inodeOf(good.fd), inodeOf(root + "/dir/sub/file"));
            close(good.fd);
            QCOMPARE(openBoth(open, "dir-link/sub/file").error, ELOOP);
        }
        QDir::setCurrent(before);
    }

    // The race a caller-side check loses: the path turns into a link between
    // the open and the change. The change still lands on what was opened.
    void theModeChangesWhatWasOpened()
    {
        const QByteArray victim = root + "/victim";
        const QByteArray swapped = root + "/swapped";
        for (const QByteArray &p : {victim, swapped})
            QVERIFY(QFile(QFile::decodeName(p)).open(QIODevice::WriteOnly));
        QCOMPARE(chmod(victim.constData(), 0600), 0);
        const int fd = openWithoutLinks(swapped.constData());
        QVERIFY(fd >= 0);
        QCOMPARE(rename(swapped.constData(), (swapped + ".old").constData()), 0);
        QCOMPARE(symlink(victim.constData(), swapped.constData()), 0);
        QCOMPARE(changeModeOfDescriptor(fd, 0741), 0);
        close(fd);
        QCOMPARE(modeOf(victim), 0600u);
        QCOMPARE(modeOf(swapped + ".old"), 0741u);

        const int fifo = walkWithoutLinks(root + "/dir/fifo");
        QCOMPARE(changeModeOfDescriptor(fifo, 0640), 0);
        close(fifo);
        QCOMPARE(modeOf(root + "/dir/fifo"), 0640u);
    }
};

QTEST_APPLESS_MAIN(NoLinkPathTest)
#include "tst_nolinkpath.moc"
