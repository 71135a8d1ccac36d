// The helper's own D-Bus client reads polkitd's answer; anything it can't
// read for certain refuses. (Its conversation with the real polkitd is
// exercised by tst_helper.)
#include "SystemBusCheck.h"

#include <QTest>

using Bytes = std::string;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(ReplyKind)

namespace {
const char *const kDismissed[] = {"polkit.dismissed", "true", nullptr};
const char *const kOther[] = {"polkit.retains_authorization_after_challenge", "1", nullptr};

// Sets a 32-bit little-endian value at offset.
Bytes patched(Bytes message, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        message[offset + i] = char((value >> (8 * i)) & 0xFF);
    return message;
}
} // namespace

class SystemBusTest : public QObject
{
    Q_OBJECT

private slots:
    void replies_data()
    {
        QTest::addColumn<Bytes>("message");
        QTest::addColumn<ReplyKind>("kind");
        QTest::addColumn<bool>("authorized");
        QTest::addColumn<bool>("challenge");
        QTest::addColumn<bool>("dismissed");
        const Bytes yes = marshalCheckAuthorizationReply(9, 2, true, false, kOther);
        QTest::newRow("authorized") << yes << ReplyKind::Verdict << true << false << false;
        QTest::newRow("challenge") << marshalCheckAuthorizationReply(9, 2, false, true, kOther) << ReplyKind::Verdict
                                   << false << true << false;
        QTest::newRow("dismissed") << marshalCheckAuthorizationReply(9, 2, false, false, kDismissed)
                                   << ReplyKind::Verdict << false << false << true;
        QTest::newRow("answer to another call") << marshalCheckAuthorizationReply(9, 1, true, false, nullptr)
                                                << ReplyKind::Unrelated << false << false << false;
        Bytes error = yes;
        error[1] = 3;
        QTest::newRow("error reply") << error << ReplyKind::Refusal << false << false << false;
        QTest::newRow("truncated") << yes.substr(0, yes.size() - 1) << ReplyKind::Refusal << false << false << false;
        // The body's first boolean sits right after the 8-aligned header.
        const auto fields = std::uint32_t(std::uint8_t(yes[12])) | std::uint32_t(std::uint8_t(yes[13])) << 8;
        const std::size_t body = (16 + fields + 7) / 8 * 8;
        QTest::newRow("boolean 2") << patched(yes, body, 2) << ReplyKind::Refusal << false << false << false;
        QTest::newRow("dictionary past the end")
            << patched(yes, body + 8, 4096) << ReplyKind::Refusal << false << false << false;
        Bytes signature = yes;
        signature[signature.find("(bba{ss})") + 1] = 'u';
        QTest::newRow("other signature") << signature << ReplyKind::Refusal << false << false << false;
        QTest::newRow("header fields past the end")
            << patched(yes, 12, 4000) << ReplyKind::Refusal << false << false << false;
    }
    void replies()
    {
        QFETCH(Bytes, message);
        QFETCH(ReplyKind, kind);
        PolkitVerdict verdict;
        const auto *data = reinterpret_cast<const unsigned char *>(message.data());
        QCOMPARE(readCheckAuthorizationReply(data, message.size(), 2, &verdict), kind);
        if (kind == ReplyKind::Verdict) {
            QTEST(verdict.authorized, "authorized");
            QTEST(verdict.challenge, "challenge");
            QTEST(verdict.dismissed, "dismissed");
        }
    }

    void callsAreWholeMessages()
    {
        const ProcessIdentity subject{1234, 1000, 987654321};
        for (const Bytes &m : {marshalHello(1), marshalCheckAuthorization(2, subject, "it.vantelo.modifyPermission")}) {
            QCOMPARE(dbusMessageLength(reinterpret_cast<const unsigned char *>(m.data()), m.size()), m.size());
        }
        QCOMPARE(dbusMessageLength(reinterpret_cast<const unsigned char *>("GET / HTTP/1.1\r\n"), 16), std::size_t(0));
    }
};

QTEST_APPLESS_MAIN(SystemBusTest)
#include "tst_systembus.moc"
