// The helper's own D-Bus client reads polkitd's answer; anything it can't
// read for certain refuses. (Its conversation with the real polkitd is
// exercised by tst_helper.)
#include "SystemBusCheck.h"

#include <QTest>

#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>

using Bytes = std::string;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(ReplyKind)

namespace {
const char *const kPolkitd = ":1.7";
const char *const kDismissed[] = {"polkit.dismissed", "true", nullptr};
const char *const kOther[] = {"polkit.retains_authorization_after_challenge", "1", nullptr};

long long monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

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
        const Bytes yes = marshalCheckAuthorizationReply(9, 2, kPolkitd, true, false, kOther);
        QTest::newRow("authorized") << yes << ReplyKind::Verdict << true << false << false;
        QTest::newRow("challenge") << marshalCheckAuthorizationReply(9, 2, kPolkitd, false, true, kOther)
                                   << ReplyKind::Verdict << false << true << false;
        QTest::newRow("dismissed") << marshalCheckAuthorizationReply(9, 2, kPolkitd, false, false, kDismissed)
                                   << ReplyKind::Verdict << false << false << true;
        QTest::newRow("answer to another call") << marshalCheckAuthorizationReply(9, 1, kPolkitd, true, false, nullptr)
                                                << ReplyKind::Unrelated << false << false << false;
        QTest::newRow("forged by another sender")
            << marshalCheckAuthorizationReply(9, 2, ":1.99", true, false, nullptr) << ReplyKind::Unrelated << false
            << false << false;
        QTest::newRow("without a sender") << marshalCheckAuthorizationReply(9, 2, nullptr, true, false, nullptr)
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
        QCOMPARE(readCheckAuthorizationReply(data, message.size(), 2, kPolkitd, &verdict), kind);
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
            QCOMPARE(dbusMessageLength(reinterpret_cast<const unsigned char *>(m.data()), m.size()), std::uint64_t(m.size()));
        }
        QCOMPARE(dbusMessageLength(reinterpret_cast<const unsigned char *>("GET / HTTP/1.1\r\n"), 16), std::uint64_t(0));
    }

    void nameOwner_data()
    {
        QTest::addColumn<Bytes>("message");
        QTest::addColumn<ReplyKind>("kind");
        QTest::newRow("the bus names polkitd") << marshalNameOwnerReply(5, 2, kPolkitd) << ReplyKind::Verdict;
        QTest::newRow("answer to another call") << marshalNameOwnerReply(5, 3, kPolkitd) << ReplyKind::Unrelated;
        Bytes notUnique = marshalNameOwnerReply(5, 2, "org.example.x");
        QTest::newRow("not a unique name") << notUnique << ReplyKind::Refusal;
        Bytes error = marshalNameOwnerReply(5, 2, kPolkitd);
        error[1] = 3;
        QTest::newRow("polkitd not on the bus") << error << ReplyKind::Refusal;
        // Looks like the bus's answer, but a peer sent it.
        QTest::newRow("from a peer") << marshalCheckAuthorizationReply(5, 2, ":1.99", true, false, nullptr)
                                     << ReplyKind::Unrelated;
    }
    void nameOwner()
    {
        QFETCH(Bytes, message);
        QFETCH(ReplyKind, kind);
        std::string owner;
        QCOMPARE(readNameOwnerReply(reinterpret_cast<const unsigned char *>(message.data()), message.size(), 2, &owner),
                 kind);
        if (kind == ReplyKind::Verdict)
            QCOMPARE(owner, std::string(kPolkitd));
    }

    // The answer is found in a stream with noise of any size around it: a
    // forged reply from another sender is passed over, and a 64 MiB message
    // is dropped as it arrives, never kept.
    void theStreamYieldsPolkitdsOwnAnswer()
    {
        int pair[2];
        QCOMPARE(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        const Bytes before = marshalNameOwnerReply(1, 1, ":1.3") // Hello's reply, as the bus gives it
                             + marshalSignal(2, "org.freedesktop.DBus", 16) + marshalNameOwnerReply(3, 2, kPolkitd);
        const Bytes noise = marshalSignal(4, ":1.99", 64u << 20);
        const Bytes after = marshalCheckAuthorizationReply(5, 3, ":1.99", true, false, nullptr)
                            + marshalCheckAuthorizationReply(6, 3, kPolkitd, false, true, nullptr);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const long peakBefore = usage.ru_maxrss;
        std::thread peer([fd = pair[1], &before, &noise, &after] {
            for (const Bytes *part : {&before, &noise, &after}) {
                for (std::size_t done = 0; done < part->size();) {
                    const ssize_t n = send(fd, part->data() + done, part->size() - done, MSG_NOSIGNAL);
                    if (n <= 0)
                        break;
                    done += std::size_t(n);
                }
            }
            close(fd);
        });
        const std::optional<PolkitVerdict> verdict = readPolkitAnswer(pair[0], {}, monotonicMs() + 20000);
        peer.join();
        getrusage(RUSAGE_SELF, &usage);
        close(pair[0]);
        QVERIFY(verdict);
        QVERIFY(!verdict->authorized);
        QVERIFY(verdict->challenge);
        // Reading kept far less than the 64 MiB that passed (ru_maxrss is in KiB).
        QVERIFY2(usage.ru_maxrss - peakBefore < 8 * 1024, qPrintable(QString::number(usage.ru_maxrss - peakBefore)));
    }

    void aStreamThatIsNotDbusIsRefused()
    {
        int pair[2];
        QCOMPARE(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        Bytes tooLong = marshalSignal(2, ":1.99", 0);
        tooLong = patched(tooLong, 4, 0xFFFFFFF0u); // a body beyond what D-Bus allows
        send(pair[1], tooLong.data(), tooLong.size(), MSG_NOSIGNAL);
        close(pair[1]);
        QVERIFY(!readPolkitAnswer(pair[0], {}, monotonicMs() + 5000));
        close(pair[0]);
    }
};

QTEST_APPLESS_MAIN(SystemBusTest)
#include "tst_systembus.moc"
