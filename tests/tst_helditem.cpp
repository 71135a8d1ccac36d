// What root's programs are handed for an item: paths through Brindle's own
// descriptors that keep leading to the item that was looked at.
#include "HeldItem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ino_t inodeAt(const QByteArray &path, bool followLast = true)
{
    struct stat st {};
    const int state = followLast ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
    return state == 0 ? st.st_ino : 0;
}

} // namespace

class HeldItemTest : public QObject
{
    Q_OBJECT

private slots:
    // Moved, and its old name given to a link, after it was held: both paths
    // still reach the item, and the one for chattr holds no link.
    void pathsReachTheHeldItem_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("a file") << false;
        QTest::newRow("a folder") << true;
    }
    void pathsReachTheHeldItem()
    {
        QFETCH(bool, folder);
        QTemporaryDir dir;
        const QByteArray item = QFile::encodeName(dir.filePath(QStringLiteral("sub/-item\nname")));
        QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("sub"))));
        QVERIFY(folder ? ::mkdir(item.constData(), 0755) == 0
                       : ::close(::open(item.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
        const ino_t inode = inodeAt(item);

        HeldItem held(item);
        QVERIFY(held.isOpen());
        QCOMPARE(held.isFolder(), folder);
        const QByteArray forChattr = held.withoutLinks();
        const QByteArray sub = QFile::encodeName(dir.filePath(QStringLiteral("sub")));
        QVERIFY(::rename(sub.constData(), (sub + ".old").constData()) == 0);
        QVERIFY(::symlink("/", sub.constData()) == 0);

        QCOMPARE(inodeAt(held.itself()), inode);
        QCOMPARE(inodeAt(forChattr, false), inode);
        QCOMPARE(held.itself().endsWith("/."), folder);
        QCOMPARE(forChattr, folder ? held.itself() : forChattr);
    }

    // Asked after the item was renamed and another file took its old name:
    // chattr gets the held item by its new name; a deleted item, nothing.
    void renamedFollowedDeletedRefused()
    {
        QTemporaryDir dir;
        const QByteArray item = QFile::encodeName(dir.filePath(QStringLiteral("item")));
        QVERIFY(::close(::open(item.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
        const ino_t inode = inodeAt(item);
        HeldItem held(item);
        QVERIFY(::rename(item.constData(), (item + ".old").constData()) == 0);
        QVERIFY(::close(::open(item.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
        const QByteArray forChattr = held.withoutLinks();
        QVERIFY2(forChattr.endsWith("/item.old"), forChattr.constData());
        QCOMPARE(inodeAt(forChattr, false), inode);

        HeldItem deleted(item);
        QVERIFY(::unlink(item.constData()) == 0);
        QVERIFY(deleted.withoutLinks().isEmpty());
        QCOMPARE(deleted.error(), ENOENT);

        const HeldItem gone(QFile::encodeName(dir.filePath(QStringLiteral("gone"))));
        QVERIFY(!gone.isOpen());
        QCOMPARE(gone.error(), ENOENT);
        QVERIFY(gone.itself().isEmpty());
    }
};

QTEST_GUILESS_MAIN(HeldItemTest)
#include "tst_helditem.moc"
