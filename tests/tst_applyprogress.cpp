// The status line of a recursive apply: its texts, formed from the
// path text as it stands, and only the latest one drawn when items come
// faster than the redraws.
#include "ApplyProgress.h"

#include "StatusLine.h"
#include <QTest>

class ApplyProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void texts_data()
    {
        QTest::addColumn<QString>("pathText");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("relative");
        QTest::addColumn<QString>("expected");
        QTest::newRow("under way") << "/a b" << int(ApplyProgress::UnderWay) << QByteArray("c/d") << "/a b/c/d";
        QTest::newRow("ok") << "/a" << int(ApplyProgress::Ok) << QByteArray("c") << "/a/c - OK";
        QTest::newRow("error") << "/a" << int(ApplyProgress::Error) << QByteArray("c") << "/a/c - ERROR!";
        QTest::newRow("the chosen folder itself") << "/a" << int(ApplyProgress::Error) << QByteArray() << "/a - ERROR!";
        QTest::newRow("a path text ending in a slash doubles it")
            << "/a/" << int(ApplyProgress::Ok) << QByteArray("c") << "/a//c - OK";
        QTest::newRow("bytes that are not UTF-8 survive")
            << "/a" << int(ApplyProgress::UnderWay) << QByteArray("\xff") << QStringLiteral("/a/") + QChar(0xDCFF);
    }
    void texts()
    {
        QFETCH(QString, pathText);
        QFETCH(int, kind);
        QFETCH(QByteArray, relative);
        QFETCH(QString, expected);
        StatusLine status;
        ApplyProgress::setIntervalForTesting(0);
        ApplyProgress progress(&status, pathText);
        progress.show(ApplyProgress::Kind(kind), relative);
        ApplyProgress::setIntervalForTesting(33);
        QCOMPARE(status.text(), expected);
    }

    void betweenRedrawsOnlyTheLatestIsShownAtTheEnd()
    {
        StatusLine status;
        status.setText(QStringLiteral("/a"));
        ApplyProgress::setIntervalForTesting(60 * 60 * 1000);
        ApplyProgress progress(&status, QStringLiteral("/a"));
        progress.show(ApplyProgress::UnderWay, "x");
        progress.show(ApplyProgress::Ok, "x");
        progress.show(ApplyProgress::Error, "y");
        progress.show(ApplyProgress::UnderWay, "z");
        QCOMPARE(status.text(), QStringLiteral("/a"));
        progress.finish();
        ApplyProgress::setIntervalForTesting(33);
        QCOMPARE(status.text(), QStringLiteral("/a/z"));
    }
};

QTEST_MAIN(ApplyProgressTest)
#include "tst_applyprogress.moc"
