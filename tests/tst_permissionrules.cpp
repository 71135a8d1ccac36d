#include "PermissionRules.h"
#include "WindowPlacement.h"

#include <QTest>

using namespace PermissionRules;

class PermissionRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void classAndReadableText_data()
    {
        QTest::addColumn<bool>("r");
        QTest::addColumn<bool>("w");
        QTest::addColumn<bool>("x");
        QTest::addColumn<QString>("letters");
        QTest::addColumn<QString>("words");
        QTest::newRow("all") << true << true << true << "rwx" << "read write execute ";
        QTest::newRow("read execute") << true << false << true << "r-x" << "read execute ";
        QTest::newRow("write alone") << false << true << false << "-w-" << "write ";
        QTest::newRow("none") << false << false << false << "---" << "";
    }
    void classAndReadableText()
    {
        QFETCH(bool, r);
        QFETCH(bool, w);
        QFETCH(bool, x);
        QFETCH(QString, letters);
        QFETCH(QString, words);
        QCOMPARE(classText(r, w, x), letters);
        QCOMPARE(readableText(r, w, x), words);
    }

    void modeTexts_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("symbolic");
        QTest::addColumn<QString>("octal");
        QTest::addColumn<QString>("decimal");
        QTest::newRow("0755") << 0755 << "rwxr-xr-x" << "chmod = 755" << "493";
        // Special bits show in the octal line only, never as s/S/t/T.
        QTest::newRow("04755") << 04755 << "rwxr-xr-x" << "chmod = 4755" << "2541";
        QTest::newRow("044") << 044 << "---r--r--" << "chmod = 44" << "36";
        QTest::newRow("0") << 0 << "---------" << "chmod = 0" << "0";
        QTest::newRow("07000") << 07000 << "---------" << "chmod = 7000" << "3584";
        QTest::newRow("01777") << 01777 << "rwxrwxrwx" << "chmod = 1777" << "1023";
    }
    void modeTexts()
    {
        QFETCH(int, mode);
        QFETCH(QString, symbolic);
        QFETCH(QString, octal);
        QFETCH(QString, decimal);
        QCOMPARE(symbolicText(mode), symbolic);
        QCOMPARE(octalLine(mode), octal);
        QCOMPARE(decimalModeText(mode), decimal);
    }

    void compose_data()
    {
        QTest::addColumn<int>("mode"); // the twelve boxes set as this mode's bits
        QTest::addColumn<int>("own");
        QTest::addColumn<int>("grp");
        QTest::addColumn<int>("oth");
        QTest::newRow("none") << 0 << 0 << 0 << 0;
        QTest::newRow("0755") << 0755 << 0700 << 050 << 05;
        QTest::newRow("04755") << 04755 << 0700 << 050 << 05;
        QTest::newRow("07000") << 07000 << 0 << 0 << 0;
        QTest::newRow("01777") << 01777 << 0700 << 070 << 07;
    }
    void compose()
    {
        QFETCH(int, mode);
        QFETCH(int, own);
        QFETCH(int, grp);
        QFETCH(int, oth);
        const NewPermission p = composeNewPermission(boxStatesFromMode(mode));
        QCOMPARE(p.ownPermission, own);
        QCOMPARE(p.grpPermission, grp);
        QCOMPARE(p.othPermission, oth);
        QCOMPARE(p.newPermission, mode);
        QCOMPARE(p.newPermission, p.ownPermission | p.grpPermission | p.othPermission | p.newStickyBit * 01000
                                      | p.newSetGIDBit * 02000 | p.newSetUIDBit * 04000);
    }

    void composeCountsAnyNonZeroPermissionState()
    {
        BoxStates states{};
        states[OwnRead] = 2; // a tri-state "checked" still counts as ticked
        states[SetUID] = 1;
        const NewPermission p = composeNewPermission(states);
        QCOMPARE(p.newPermission, 04400);
        QCOMPARE(p.newSetUIDBit, 1);
    }

    void placement_data()
    {
        QTest::addColumn<float>("screenHeight");
        QTest::addColumn<float>("windowHeight");
        QTest::addColumn<float>("originY");
        QTest::newRow("fits") << 768.f << 500.f << 268.f;
        QTest::newRow("fraction cut down") << 768.f << 500.5f << 267.f;
        QTest::newRow("taller: cut towards zero") << 768.f << 800.7f << -32.f;
    }
    void placement()
    {
        QFETCH(float, screenHeight);
        QFETCH(float, windowHeight);
        QFETCH(float, originY);
        const float y = WindowPlacement::bottomLeftOriginY(screenHeight, windowHeight);
        QCOMPARE(y, originY);
        // In Qt's coordinates the top edge is at the top of the screen, give
        // or take the fraction that the cut drops.
        const QPoint topLeft = WindowPlacement::topLeftFromBottomLeft(screenHeight, y, windowHeight);
        QCOMPARE(topLeft.x(), 0);
        QVERIFY(qAbs(topLeft.y()) <= 1);
    }
};

QTEST_APPLESS_MAIN(PermissionRulesTest)
#include "tst_permissionrules.moc"
