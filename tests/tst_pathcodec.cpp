#include "FileAttributes.h"
#include "PathCodec.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class PathCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QByteArray("/tmp/a b");
        QTest::newRow("utf-8") << QByteArray("/tmp/\xc3\xa4rger \xf0\x9f\x90\x88");
        QTest::newRow("latin-1 byte") << QByteArray("/tmp/caf\xe9");
        QTest::newRow("truncated sequence") << QByteArray("/tmp/\xe2\x82");
        QTest::newRow("overlong slash") << QByteArray("/tmp/\xc0\xaf");
        QTest::newRow("encoded surrogate") << QByteArray("/tmp/\xed\xb2\x80");
        QTest::newRow("newline and dash") << QByteArray("/tmp/-x\ny");
    }
    void roundTrip()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(bytesFromPath(pathFromBytes(bytes)), bytes);
    }

    void validUtf8ReadsAsText()
    {
        QCOMPARE(pathFromBytes("/tmp/\xc3\xa4rger"), QStringLiteral("/tmp/ärger"));
    }

    void nonUtf8NameIsInspected()
    {
        QTemporaryDir dir;
        const QByteArray name = QFile::encodeName(dir.path()) + "/caf\xe9";
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0640);
        QVERIFY(fd >= 0);
        ::close(fd);
        ::chmod(name.constData(), 0640);
        const auto attributes = fileAttributesAtPath(pathFromBytes(name), true);
        QVERIFY(attributes);
        QCOMPARE(attributes->posixPermissions, 0640);
        ::unlink(name.constData()); // QDir cannot remove a name that is not UTF-8
    }
};

QTEST_APPLESS_MAIN(PathCodecTest)
#include "tst_pathcodec.moc"
