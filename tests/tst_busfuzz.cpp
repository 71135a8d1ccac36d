// The helper's bus client reads bytes that other local processes can shape.
// A bounded, deterministic mutation run over its parsers, built with
// AddressSanitizer and UBSan: any read out of bounds or undefined step ends
// the test. BRINDLE_FUZZ_ITERATIONS makes a longer run.
#include "SystemBusCheck.h"

#include <QTest>

#include <random>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
#include <vector>

using Bytes = std::string;

namespace {

const char *const kPolkitd = ":1.7";
const char *const kDetails[] = {"polkit.dismissed", "true", "polkit.retains_authorization_after_challenge", "1",
                                nullptr};

std::vector<Bytes> corpus()
{
    const ProcessIdentity subject{4321, 1000, 123456789};
    return {
        marshalCheckAuthorizationReply(9, 3, kPolkitd, true, false, kDetails),
        marshalCheckAuthorizationReply(9, 3, kPolkitd, false, true, nullptr),
        marshalCheckAuthorizationReply(9, 3, ":1.99", true, false, kDetails),
        marshalNameOwnerReply(4, 2, kPolkitd),
        marshalSignal(5, "org.freedesktop.DBus", 40),
        marshalHello(1),
        marshalGetNameOwner(2, "org.freedesktop.PolicyKit1"),
        marshalCheckAuthorization(3, subject, "it.vantelo.modifyPermission"),
    };
}

class Mutator
{
public:
    explicit Mutator(unsigned seed) : m_random(seed) {}

    std::size_t below(std::size_t n) { return n ? std::size_t(m_random() % n) : 0; }

    Bytes mutate(Bytes data, const std::vector<Bytes> &corpus)
    {
        const int steps = 1 + int(below(4));
        for (int i = 0; i < steps; ++i) {
            switch (below(7)) {
            case 0: // flip a bit
                if (!data.empty())
                    data[below(data.size())] ^= char(1 << below(8));
                break;
            case 1: { // an interesting byte
                static const unsigned char values[] = {0, 1, 0x7f, 0x80, 0xff, 'l', 'B', 's', 'g', 'u', '(', '{'};
                if (!data.empty())
                    data[below(data.size())] = char(values[below(sizeof values)]);
                break;
            }
            case 2: { // an interesting 32-bit value where lengths live
                static const std::uint32_t values[] = {0, 1, 3, 7, 8, 0x7fffffff, 0x80000000, 0xffffffff, 0xfffffff8,
                                                       1u << 27, (1u << 27) + 1, 64 * 1024};
                if (data.size() >= 4) {
                    const std::size_t at = below(data.size() - 3) & ~std::size_t(3);
                    const std::uint32_t v = values[below(sizeof values / sizeof *values)];
                    for (int b = 0; b < 4; ++b)
                        data[at + b] = char((v >> (8 * b)) & 0xff);
                }
                break;
            }
            case 3: // cut
                data.resize(below(data.size() + 1));
                break;
            case 4: { // insert random bytes
                Bytes extra(below(16) + 1, '\0');
                for (char &c : extra)
                    c = char(below(256));
                data.insert(below(data.size() + 1), extra);
                break;
            }
            case 5: { // splice in a piece of another message
                const Bytes &other = corpus[below(corpus.size())];
                const std::size_t from = below(other.size());
                data.insert(below(data.size() + 1), other.substr(from, below(other.size() - from) + 1));
                break;
            }
            case 6: // erase a piece
                if (!data.empty()) {
                    const std::size_t from = below(data.size());
                    data.erase(from, below(data.size() - from) + 1);
                }
                break;
            }
        }
        // Half the time the body length is set to what is there, so that
        // mutated messages get past the length check into the parsers.
        if (below(2) && data.size() >= 16 && data[0] == 'l') {
            const std::uint64_t fields = std::uint8_t(data[12]) | std::uint8_t(data[13]) << 8
                                         | std::uint8_t(data[14]) << 16 | std::uint64_t(std::uint8_t(data[15])) << 24;
            const std::uint64_t header = (16 + fields + 7) / 8 * 8;
            if (header <= data.size()) {
                const std::uint64_t body = data.size() - header;
                for (int b = 0; b < 4; ++b)
                    data[4 + b] = char((body >> (8 * b)) & 0xff);
            }
        }
        return data;
    }

private:
    std::mt19937 m_random;
};

int iterations(int fallback)
{
    const int asked = qEnvironmentVariableIntValue("BRINDLE_FUZZ_ITERATIONS");
    return asked > 0 ? asked : fallback;
}

long long monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

} // namespace

class BusFuzzTest : public QObject
{
    Q_OBJECT

private slots:
    void messageParsers()
    {
        const std::vector<Bytes> seeds = corpus();
        Mutator mutator(20261211);
        const int runs = iterations(300000);
        int verdicts = 0;
        int parsed = 0;
        for (int i = 0; i < runs; ++i) {
            const Bytes input = mutator.mutate(seeds[mutator.below(seeds.size())], seeds);
            const auto *data = reinterpret_cast<const unsigned char *>(input.data());
            const std::uint64_t length = dbusMessageLength(data, input.size());
            // The parsers get whole messages only, as the stream reader hands them.
            if (length == 0 || length != input.size())
                continue;
            ++parsed;
            PolkitVerdict verdict;
            const ReplyKind kind = readCheckAuthorizationReply(data, input.size(), 3, kPolkitd, &verdict);
            QVERIFY(kind == ReplyKind::Unrelated || kind == ReplyKind::Verdict || kind == ReplyKind::Refusal);
            verdicts += kind == ReplyKind::Verdict;
            std::string owner;
            if (readNameOwnerReply(data, input.size(), 2, &owner) == ReplyKind::Verdict)
                QVERIFY(owner.size() >= 2 && owner[0] == ':');
        }
        // The run reached the deep end of the parser, not just its first checks.
        QVERIFY(verdicts > 0);
        qInfo("%d inputs, %d whole messages parsed, %d verdicts", runs, parsed, verdicts);
    }

    // Mutated conversations through the stream reader: it ends on every one.
    void streamReader()
    {
        const std::vector<Bytes> seeds = corpus();
        Mutator mutator(4242);
        const int runs = iterations(300000) / 50;
        for (int i = 0; i < runs; ++i) {
            Bytes stream = marshalNameOwnerReply(1, 2, kPolkitd);
            const int count = 1 + int(mutator.below(4));
            for (int m = 0; m < count; ++m)
                stream += mutator.mutate(seeds[mutator.below(seeds.size())], seeds);
            int pair[2];
            QCOMPARE(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
            QCOMPARE(send(pair[1], stream.data(), stream.size(), MSG_NOSIGNAL), ssize_t(stream.size()));
            close(pair[1]);
            readPolkitAnswer(pair[0], {}, monotonicMs() + 5000);
            close(pair[0]);
        }
    }
};

QTEST_APPLESS_MAIN(BusFuzzTest)
#include "tst_busfuzz.moc"
