#include "DirectoryModel.h"
#include "OpenPanel.h"
#include "PathCodec.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Drives the open panel as a keyboard user would, in a folder holding the
// entries that file dialogs tend to hide.
class OpenPanelTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QByteArray root;

    void touch(const QByteArray &relative)
    {
        const int fd = ::open((root + '/' + relative).constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
    }

    static int rowNamed(OpenPanel &panel, const QString &name)
    {
        return panel.findChild<QTreeView *>()->model()->match(
                   panel.findChild<QTreeView *>()->model()->index(0, 0), Qt::DisplayRole, name, 1,
                   Qt::MatchExactly)
            .value(0)
            .row();
    }

    // Moves the keyboard's selection onto name, as arrow keys would.
    static void selectWithKeyboard(OpenPanel &panel, const QString &name)
    {
        auto *list = panel.findChild<QTreeView *>();
        list->setFocus();
        const QModelIndex index = list->model()->index(rowNamed(panel, name), 0);
        list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

private slots:
    void initTestCase()
    {
        root = QFile::encodeName(dir.path());
        QVERIFY(::mkdir(root + "/inner", 0755) == 0);
        touch("inner/report.txt");
        touch("plain");
        touch(".hidden");
        touch("caf\xe9");
        QVERIFY(::symlink("/nonexistent/target", root + "/dangling") == 0);
        QVERIFY(::symlink("inner", root + "/to-inner") == 0);
        QVERIFY(::mkfifo(root + "/fifo", 0600) == 0);
    }

    void cleanupTestCase()
    {
        ::unlink(root + "/caf\xe9"); // QDir can't remove a name that isn't UTF-8
    }

    void listsEveryEntryFoldersFirst()
    {
        DirectoryModel model;
        QCOMPARE(model.setFolder(dir.path()), 0);
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown << model.entry(row).name + QLatin1Char(':') + DirectoryModel::kindText(model.entry(row).kind);
        // Folders first; the rest in the locale's order, which varies.
        QCOMPARE(shown.mid(0, 2), (QStringList{"inner:Folder", "to-inner:Link to a folder"}));
        QStringList rest = shown.mid(2);
        rest.sort();
        QStringList expected{".hidden:File", "dangling:Link, target missing", "fifo:Special file", "plain:File",
                             pathFromBytes("caf\xe9") + ":File"};
        expected.sort();
        QCOMPARE(rest, expected);
        // A name that is not UTF-8 is chosen as its very bytes.
        QCOMPARE(bytesFromPath(model.pathAt(model.rowOf(pathFromBytes("caf\xe9")))), root + "/caf\xe9");
        // A folder that can't be listed leaves the listing as it was.
        QCOMPARE(model.setFolder(QStringLiteral("/nonexistent/folder")), ENOENT);
        QCOMPARE(model.folder(), dir.path());
    }

    void enterAFolderThenChooseIt()
    {
        OpenPanel panel;
        panel.show();
        QVERIFY(panel.setDirectory(dir.path()));
        QSignalSpy finished(&panel, &QDialog::finished);

        // Enter on a folder enters it; nothing is chosen yet.
        selectWithKeyboard(panel, QStringLiteral("inner"));
        QTest::keyClick(panel.findChild<QTreeView *>(), Qt::Key_Return);
        QCOMPARE(panel.directory(), dir.filePath("inner"));
        QCOMPARE(finished.count(), 0);

        // Nothing is selected inside: Choose takes the folder on show.
        QPushButton *choose = nullptr;
        for (QPushButton *b : panel.findChildren<QPushButton *>()) {
            if (b->text() == QLatin1String("&Choose"))
                choose = b;
        }
        QVERIFY(choose);
        QTest::mouseClick(choose, Qt::LeftButton);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
        QCOMPARE(panel.filename(), dir.filePath("inner"));
    }

    void chooseAFile_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("plain") << QByteArray("plain");
        QTest::newRow("not utf-8") << QByteArray("caf\xe9");
        QTest::newRow("dangling link") << QByteArray("dangling");
        QTest::newRow("hidden") << QByteArray(".hidden");
    }
    void chooseAFile()
    {
        QFETCH(QByteArray, name);
        OpenPanel panel;
        panel.show();
        QVERIFY(panel.setDirectory(dir.path()));
        selectWithKeyboard(panel, pathFromBytes(name));
        QCOMPARE(bytesFromPath(panel.itemToChoose()), root + '/' + name);
        QTest::keyClick(panel.findChild<QTreeView *>(), Qt::Key_Return);
        QCOMPARE(panel.result(), int(QDialog::Accepted));
        QCOMPARE(bytesFromPath(panel.filename()), root + '/' + name);
    }

    void typedPathsEnterFoldersAndChooseItems()
    {
        OpenPanel panel;
        panel.show();
        QVERIFY(panel.setDirectory(dir.path()));
        auto *location = panel.findChild<QLineEdit *>();
        location->setFocus();

        location->setText(QStringLiteral("to-inner")); // relative, through a link
        QTest::keyClick(location, Qt::Key_Return);
        QCOMPARE(panel.directory(), dir.filePath("to-inner"));
        QVERIFY(panel.isVisible());

        location->setFocus();
        location->setText(dir.filePath("missing"));
        QTest::keyClick(location, Qt::Key_Return);
        QVERIFY(panel.isVisible()); // says why, chooses nothing
        QCOMPARE(panel.filename(), QString());

        location->setText(QStringLiteral("report.txt"));
        QTest::keyClick(location, Qt::Key_Return);
        QCOMPARE(panel.result(), int(QDialog::Accepted));
        QCOMPARE(panel.filename(), dir.filePath("to-inner/report.txt"));
    }

    void upGoesToTheEnclosingFolderWithTheOldOneSelected()
    {
        OpenPanel panel;
        QVERIFY(panel.setDirectory(dir.filePath("inner")));
        panel.goUp();
        QCOMPARE(panel.directory(), dir.path());
        QCOMPARE(panel.itemToChoose(), dir.filePath("inner"));
        QVERIFY(!panel.setDirectory(QStringLiteral("/nonexistent")));
        QCOMPARE(panel.directory(), dir.path());
    }
};

QTEST_MAIN(OpenPanelTest)
#include "tst_openpanel.moc"
