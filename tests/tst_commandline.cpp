#include "CommandLine.h"
#include "PathCodec.h"

#include <QTest>

// `brindle PATH`: the item named is inspected as the path it names, bytes
// and links as typed.
class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void absoluteItemPath_data()
    {
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QByteArray>("cwd");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("absolute") << QByteArray("/etc/hosts") << QByteArray("/home/u") << QByteArray("/etc/hosts");
        QTest::newRow("relative") << QByteArray("report.txt") << QByteArray("/home/u") << QByteArray("/home/u/report.txt");
        QTest::newRow("from /") << QByteArray("etc") << QByteArray("/") << QByteArray("/etc");
        QTest::newRow("dot-dot kept") << QByteArray("../x") << QByteArray("/a/link") << QByteArray("/a/link/../x");
        QTest::newRow("leading dash") << QByteArray("-rf") << QByteArray("/tmp") << QByteArray("/tmp/-rf");
        QTest::newRow("not utf-8") << QByteArray("caf\xe9") << QByteArray("/d\xff") << QByteArray("/d\xff/caf\xe9");
        QTest::newRow("no cwd") << QByteArray("x") << QByteArray() << QByteArray("x");
    }
    void absoluteItemPath()
    {
        QFETCH(QByteArray, argument);
        QFETCH(QByteArray, cwd);
        QFETCH(QByteArray, expected);
        QCOMPARE(bytesFromPath(CommandLine::absoluteItemPath(argument, cwd)), expected);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
