// The password dialog says what will be done, and shows every text as it is:
// neither polkit's message nor a file name can turn into markup.
#include "AuthenticationDialog.h"
#include "CommandLineText.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

class AuthenticationDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void textsStayPlain()
    {
        const QString message = QStringLiteral("<b>Trust me</b><br><img src=\"/etc/passwd\">");
        const QString details = QStringLiteral("This will run as the administrator: /bin/chown root '<i>x</i>'");
        AuthenticationDialog dialog(message, details, QStringLiteral("<u>root</u>"));
        for (const char *name : {"message", "details"}) {
            auto *label = dialog.findChild<QLabel *>(QLatin1String(name));
            QVERIFY(label);
            QCOMPARE(label->textFormat(), Qt::PlainText);
        }
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("message"))->text(), message);
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("details"))->text(), details);
        for (QLabel *label : dialog.findChildren<QLabel *>())
            QVERIFY2(label->textFormat() == Qt::PlainText || label->text().isEmpty(), qPrintable(label->text()));
    }

    void nothingToSayHidesTheLine()
    {
        AuthenticationDialog dialog(QStringLiteral("polkit's message"), QString(), QStringLiteral("root"));
        QVERIFY(!dialog.findChild<QLabel *>(QStringLiteral("details"))->isVisibleTo(&dialog));
    }

    void commandLines_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArrayList{"root", "/srv/a-file.txt"} << "/bin/chown root /srv/a-file.txt";
        QTest::newRow("none") << QByteArrayList{} << "/bin/chown";
        QTest::newRow("blanks") << QByteArrayList{"-R", "a folder/x y"} << "/bin/chown -R 'a folder/x y'";
        QTest::newRow("a quote") << QByteArrayList{"it's"} << "/bin/chown 'it'\\''s'";
        QTest::newRow("a line break posing as dialog text")
            << QByteArrayList{"/tmp/a\n\nThis is safe."} << "/bin/chown '/tmp/a\\n\\nThis is safe.'";
        QTest::newRow("control and empty") << QByteArrayList{QByteArray("\x1b[2J"), QByteArray()}
                                           << "/bin/chown '\\x1b[2J' ''";
        QTest::newRow("UTF-8 stays") << QByteArrayList{"caffè"} << "/bin/chown caffè";
    }
    void commandLines()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(QString, text);
        std::vector<char *> argv;
        for (QByteArray &a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        QCOMPARE(QString::fromStdString(describeCommandLine("/bin/chown", argv.data())), text);
    }

    // Root's programs are handed items through Brindle's own descriptors;
    // the administrator reads the path each one holds, quoted like any other.
    void heldItemsShowTheirPaths()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("a folder"));
        QVERIFY(QDir().mkdir(folder));
        const int held = ::open(QFile::encodeName(folder).constData(), O_PATH | O_CLOEXEC);
        int pipeEnds[2];
        QVERIFY(held >= 0 && ::pipe2(pipeEnds, O_CLOEXEC) == 0);
        const QByteArray mine = "/proc/" + QByteArray::number(::getpid()) + "/fd/";
        QByteArrayList arguments{mine + QByteArray::number(held) + "/.", mine + QByteArray::number(held) + "0",
                                 mine + QByteArray::number(pipeEnds[0]), "/proc/1/fd/" + QByteArray::number(held)};
        std::vector<char *> argv;
        for (QByteArray &a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const QString text = QString::fromStdString(describeCommandLine("/usr/bin/chattr", argv.data()));
        ::close(held);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        QCOMPARE(text, QStringLiteral("/usr/bin/chattr '%1/.' %2 %3 %4")
                           .arg(QDir(folder).canonicalPath(), QString::fromUtf8(arguments[1]),
                                QString::fromUtf8(arguments[2]), QString::fromUtf8(arguments[3])));
    }
};

QTEST_MAIN(AuthenticationDialogTest)
#include "tst_authenticationdialog.moc"
