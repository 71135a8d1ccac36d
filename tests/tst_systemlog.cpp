// One message, one line: formats that end in "\n" print no empty line.
#include "SystemLog.h"
#include "support/Capture.h"

#include <QTest>

#include <unistd.h>

class SystemLogTest : public QObject
{
    Q_OBJECT

private slots:
    void oneLinePerMessage_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("line");
        QTest::newRow("plain") << "repairTool: nothing repaired" << "repairTool: nothing repaired";
        QTest::newRow("format ending in \\n") << "repairTool: Failed to create the authref: -6.\n"
                                              << "repairTool: Failed to create the authref: -6.";
        QTest::newRow("several line ends") << "done\n\n" << "done";
    }
    void oneLinePerMessage()
    {
        QFETCH(QString, message);
        QFETCH(QString, line);
        DescriptorCapture err(2);
        systemLog(message);
        QCOMPARE(err.stop(), QStringLiteral("%1[%2]: %3\n").arg(QString::fromLocal8Bit(program_invocation_short_name))
                                 .arg(getpid())
                                 .arg(line));
    }
};

QTEST_APPLESS_MAIN(SystemLogTest)
#include "tst_systemlog.moc"
