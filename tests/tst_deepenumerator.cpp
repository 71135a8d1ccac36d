// The walk over a real tree: order, completeness, links left alone, and the
// folders it cannot enter.
#include "DeepEnumerator.h"
#include "ModeChange.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray bytes(const QString &path)
{
    return QFile::encodeName(path);
}

bool makeFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    return fd >= 0 && ::close(fd) == 0;
}

struct Seen
{
    QList<QByteArray> paths; // "F:" folders, "-:" others, "!:" unreadable
    QList<int> errors;
};

Seen walk(const QByteArray &root, const std::function<void(DeepEnumerator &)> &each = {})
{
    Seen seen;
    DeepEnumerator e(root);
    while (e.next()) {
        const char tag = e.kind() == DeepEnumerator::Folder ? 'F' : e.kind() == DeepEnumerator::Other ? '-' : '!';
        seen.paths << QByteArray(1, tag) + ':' + e.relativePath();
        if (e.kind() == DeepEnumerator::Unreadable)
            seen.errors << e.error();
        if (each)
            each(e);
    }
    return seen;
}

} // namespace

class DeepEnumeratorTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void everyEntryFoldersFirstLinksLeftAlone()
    {
        const QByteArray root = bytes(dir.filePath("tree"));
        const QByteArray outside = bytes(dir.filePath("outside"));
        QVERIFY(::mkdir(root, 0755) == 0 && ::mkdir(outside, 0755) == 0);
        QVERIFY(makeFile(outside + "/secret"));
        // Odd names: blank, newline, leading '-', bytes that are not UTF-8.
        const QList<QByteArray> folders{"a", "a/b c", "a/b c/-d", "e\n"};
        for (const QByteArray &f : folders)
            QVERIFY(::mkdir(root + '/' + f, 0755) == 0);
        const QList<QByteArray> files{"top", "a/one", "a/b c/-d/\xff\xfe", "e\n/two"};
        for (const QByteArray &f : files)
            QVERIFY(makeFile(root + '/' + f));
        QVERIFY(::mkfifo(root + "/a/pipe", 0644) == 0);
        QVERIFY(::symlink(outside.constData(), root + "/a/to-folder") == 0);
        QVERIFY(::symlink((outside + "/secret").constData(), root + "/a/b c/to-file") == 0);
        QVERIFY(::symlink("/nonexistent", root + "/dangling") == 0);

        const Seen seen = walk(root);
        QList<QByteArray> expected;
        for (const QByteArray &f : folders)
            expected << "F:" + f;
        for (const QByteArray &f : files)
            expected << "-:" + f;
        expected << "-:a/pipe";
        QList<QByteArray> sorted = seen.paths;
        std::sort(sorted.begin(), sorted.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(sorted, expected);
        // A folder comes before everything inside it.
        for (int i = 0; i < seen.paths.size(); ++i) {
            const QByteArray path = seen.paths[i].mid(2);
            for (int j = 0; j < i; ++j)
                QVERIFY2(!seen.paths[j].mid(2).startsWith(path + '/'), seen.paths[j].constData());
        }
        QVERIFY(::unlink(root + "/a/b c/-d/\xff\xfe") == 0); // QDir can't remove it
    }

    void rootCases_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::addColumn<int>("error");
        QTest::newRow("a file: nothing") << "file" << QList<QByteArray>{} << 0;
        QTest::newRow("an empty folder: nothing") << "empty" << QList<QByteArray>{} << 0;
        QTest::newRow("gone: unreadable") << "gone" << QList<QByteArray>{"!:"} << ENOENT;
        QTest::newRow("a link on the way: unreadable") << "link/inner" << QList<QByteArray>{"!:"} << ELOOP;
    }
    void rootCases()
    {
        QFETCH(QString, root);
        QFETCH(QList<QByteArray>, expected);
        QFETCH(int, error);
        QTemporaryDir here;
        QVERIFY(makeFile(bytes(here.filePath("file"))));
        QVERIFY(::mkdir(bytes(here.filePath("empty")), 0755) == 0);
        QVERIFY(::mkdir(bytes(here.filePath("real")), 0755) == 0);
        QVERIFY(::mkdir(bytes(here.filePath("real/inner")), 0755) == 0);
        QVERIFY(::symlink("real", bytes(here.filePath("link"))) == 0);
        const Seen seen = walk(bytes(here.filePath(root)));
        QCOMPARE(seen.paths, expected);
        if (error)
            QCOMPARE(seen.errors, QList<int>{error});
    }

    // What the caller does to a folder when it is yielded is in force when the
    // walk enters it; a folder swapped for a link, or gone, by then is not
    // entered but reported.
    void foldersAreEnteredAfterTheCallerSawThem_data()
    {
        QTest::addColumn<QString>("meddle");
        QTest::addColumn<int>("error");
        QTest::newRow("swapped for a link") << "link" << ENOTDIR;
        QTest::newRow("gone") << "remove" << ENOENT;
    }
    void foldersAreEnteredAfterTheCallerSawThem()
    {
        QFETCH(QString, meddle);
        QFETCH(int, error);
        QTemporaryDir here;
        const QByteArray root = bytes(here.path());
        QVERIFY(::mkdir(root + "/sub", 0700) == 0 && makeFile(root + "/sub/inner"));
        QVERIFY(::mkdir(root + "/elsewhere", 0700) == 0 && makeFile(root + "/elsewhere/target"));
        bool meddled = false;
        const Seen seen = walk(root, [&](DeepEnumerator &e) {
            if (e.relativePath() != "sub" || meddled)
                return;
            meddled = true;
            QCOMPARE(changeModeAt(e.folderFd(), e.name(), 0751), 0);
            QVERIFY(::rename(root + "/sub", root + "/sub.old") == 0);
            if (meddle == QLatin1String("link"))
                QVERIFY(::symlink("elsewhere", root + "/sub") == 0);
        });
        QVERIFY(seen.paths.contains("!:sub"));
        QVERIFY(!seen.paths.contains("-:sub/target"));
        QVERIFY(!seen.paths.contains("-:sub/inner"));
        QCOMPARE(seen.errors, QList<int>{error});
        struct stat st {};
        QVERIFY(::stat(root + "/sub.old", &st) == 0);
        QCOMPARE(st.st_mode & 07777, 0751u);
    }

    void deeperThanTheDescriptorLimit()
    {
        // One descriptor per level: a deep tree must not stop at the soft limit.
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_NOFILE, &saved) == 0);
        if (saved.rlim_max < 512)
            QSKIP("the hard descriptor limit is too low to raise");
        QTemporaryDir here;
        const QByteArray root = bytes(here.path());
        QByteArray path = root;
        constexpr int depth = 300;
        for (int i = 0; i < depth; ++i) {
            path += "/d";
            QVERIFY(::mkdir(path, 0755) == 0);
        }
        rlimit low = saved;
        low.rlim_cur = 64;
        QVERIFY(setrlimit(RLIMIT_NOFILE, &low) == 0);
        const Seen seen = walk(root);
        setrlimit(RLIMIT_NOFILE, &saved);
        QCOMPARE(seen.errors, QList<int>{});
        QCOMPARE(seen.paths.size(), depth);
    }

    void changeModeAtLeavesLinksAlone()
    {
        QTemporaryDir here;
        const QByteArray root = bytes(here.path());
        QVERIFY(makeFile(root + "/target") && ::chmod(root + "/target", 0600) == 0);
        QVERIFY(::symlink("target", root + "/link") == 0);
        const int fd = ::open(root, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QCOMPARE(changeModeAt(fd, "link", 0666), EOPNOTSUPP);
        QCOMPARE(changeModeAt(fd, "missing", 0666), ENOENT);
        QCOMPARE(changeModeAt(fd, "target", 0640), 0);
        ::close(fd);
        struct stat st {};
        QVERIFY(::stat(root + "/target", &st) == 0);
        QCOMPARE(st.st_mode & 07777, 0640u);
    }
};

QTEST_GUILESS_MAIN(DeepEnumeratorTest)
#include "tst_deepenumerator.moc"
