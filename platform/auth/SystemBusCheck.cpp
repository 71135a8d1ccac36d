#include "SystemBusCheck.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr const char *kSystemBusSocket = "/run/dbus/system_bus_socket";
constexpr std::size_t kMaxMessage = 1 << 20;

enum : unsigned char { MethodCall = 1, MethodReturn = 2, Error = 3, Signal = 4 };
enum : unsigned char { FieldPath = 1, FieldInterface = 2, FieldMember = 3, FieldErrorName = 4, FieldReplySerial = 5,
                       FieldDestination = 6, FieldSender = 7, FieldSignature = 8, FieldUnixFds = 9 };

// Little-endian writer with D-Bus alignment (offsets from the message start).
class Writer
{
public:
    std::string bytes;

    void align(std::size_t n)
    {
        while (bytes.size() % n)
            bytes.push_back('\0');
    }
    void u8(std::uint8_t v) { bytes.push_back(char(v)); }
    void u32(std::uint32_t v)
    {
        align(4);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(char((v >> (8 * i)) & 0xFF));
    }
    void u64(std::uint64_t v)
    {
        align(8);
        for (int i = 0; i < 8; ++i)
            bytes.push_back(char((v >> (8 * i)) & 0xFF));
    }
    void str(const char *s)
    {
        const std::size_t n = std::strlen(s);
        u32(std::uint32_t(n));
        bytes.append(s, n);
        bytes.push_back('\0');
    }
    void sig(const char *s)
    {
        const std::size_t n = std::strlen(s);
        u8(std::uint8_t(n));
        bytes.append(s, n);
        bytes.push_back('\0');
    }
    // Arrays: the length excludes the padding before the first element.
    std::size_t beginArray(std::size_t elementAlignment)
    {
        u32(0);
        const std::size_t lengthAt = bytes.size() - 4;
        align(elementAlignment);
        return lengthAt;
    }
    void endArray(std::size_t lengthAt, std::size_t elementAlignment)
    {
        std::size_t start = lengthAt + 4;
        while (start % elementAlignment)
            ++start;
        const auto length = std::uint32_t(bytes.size() - start);
        for (int i = 0; i < 4; ++i)
            bytes[lengthAt + i] = char((length >> (8 * i)) & 0xFF);
    }
    void headerField(std::uint8_t code, const char *type, const char *value)
    {
        align(8);
        u8(code);
        sig(type);
        if (type[0] == 'g')
            sig(value);
        else
            str(value);
    }
};

std::string message(std::uint32_t serial, const char *path, const char *interface, const char *member,
                    const char *destination, const char *signature, const std::string &body)
{
    Writer w;
    w.u8('l');
    w.u8(MethodCall);
    w.u8(0);
    w.u8(1);
    w.u32(std::uint32_t(body.size()));
    w.u32(serial);
    const std::size_t fields = w.beginArray(8);
    w.headerField(FieldPath, "o", path);
    w.headerField(FieldInterface, "s", interface);
    w.headerField(FieldMember, "s", member);
    w.headerField(FieldDestination, "s", destination);
    if (signature)
        w.headerField(FieldSignature, "g", signature);
    w.endArray(fields, 8);
    w.align(8);
    return w.bytes + body;
}

// Bounds-checked reader of one message in either byte order.
class Reader
{
public:
    Reader(const unsigned char *data, std::size_t length, bool bigEndian)
        : m_data(data), m_length(length), m_big(bigEndian) {}

    bool ok() const { return m_ok; }
    std::size_t position() const { return m_pos; }
    void seek(std::size_t pos) { m_pos = pos <= m_length ? pos : (m_ok = false, m_length); }

    void align(std::size_t n)
    {
        const std::size_t to = (m_pos + n - 1) / n * n;
        if (to > m_length) {
            m_ok = false;
            return;
        }
        m_pos = to;
    }
    std::uint8_t u8()
    {
        if (!need(1))
            return 0;
        return m_data[m_pos++];
    }
    std::uint32_t u32()
    {
        align(4);
        if (!need(4))
            return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(m_data[m_pos + (m_big ? 3 - i : i)]) << (8 * i);
        m_pos += 4;
        return v;
    }
    std::string str()
    {
        const std::uint32_t n = u32();
        return take(n);
    }
    std::string sig()
    {
        const std::uint8_t n = u8();
        return take(n);
    }

private:
    bool need(std::size_t n)
    {
        if (!m_ok || n > m_length - m_pos) {
            m_ok = false;
            return false;
        }
        return true;
    }
    std::string take(std::size_t n)
    {
        if (!need(n) || !need(n + 1) || m_data[m_pos + n] != '\0') {
            m_ok = false;
            return {};
        }
        std::string s(reinterpret_cast<const char *>(m_data + m_pos), n);
        m_pos += n + 1;
        return s;
    }

    const unsigned char *m_data;
    std::size_t m_length;
    bool m_big;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

std::uint32_t rawU32(const unsigned char *p, bool big)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= std::uint32_t(p[big ? 3 - i : i]) << (8 * i);
    return v;
}

bool writeAll(int fd, const std::string &data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

long long nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

// Appends what arrives to buffer; false on end of file, error or deadline.
bool receive(int fd, std::string &buffer, long long deadline)
{
    const long long left = deadline - nowMs();
    if (left <= 0)
        return false;
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, int(left));
    if (ready <= 0)
        return false;
    char chunk[4096];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0)
        return false;
    buffer.append(chunk, std::size_t(n));
    return buffer.size() <= kMaxMessage * 2;
}

struct Socket
{
    int fd = -1;
    ~Socket()
    {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

std::string marshalHello(std::uint32_t serial)
{
    return message(serial, "/org/freedesktop/DBus", "org.freedesktop.DBus", "Hello", "org.freedesktop.DBus", nullptr,
                   {});
}

std::string marshalCheckAuthorization(std::uint32_t serial, const ProcessIdentity &subject, const char *action)
{
    // Body of CheckAuthorization((sa{sv}) subject, s action, a{ss} details,
    // u flags, s cancellation_id). The body starts 8-aligned, so aligning
    // within it is aligning within the message.
    Writer b;
    b.align(8);
    b.str("unix-process");
    const std::size_t dict = b.beginArray(8);
    b.align(8);
    b.str("pid");
    b.sig("u");
    b.u32(std::uint32_t(subject.pid));
    b.align(8);
    b.str("start-time");
    b.sig("t");
    b.u64(subject.startTime);
    b.align(8);
    b.str("uid");
    b.sig("i");
    b.u32(std::uint32_t(subject.uid));
    b.endArray(dict, 8);
    b.str(action);
    const std::size_t details = b.beginArray(8);
    b.endArray(details, 8);
    b.u32(0); // no user interaction
    b.str("");
    return message(serial, "/org/freedesktop/PolicyKit1/Authority", "org.freedesktop.PolicyKit1.Authority",
                   "CheckAuthorization", "org.freedesktop.PolicyKit1", "(sa{sv})sa{ss}us", b.bytes);
}

std::string marshalCheckAuthorizationReply(std::uint32_t serial, std::uint32_t replySerial, bool authorized,
                                           bool challenge, const char *const *details)
{
    Writer b;
    b.u32(authorized);
    b.u32(challenge);
    const std::size_t dict = b.beginArray(8);
    for (const char *const *d = details; d && *d; d += 2) {
        b.align(8);
        b.str(d[0]);
        b.str(d[1]);
    }
    b.endArray(dict, 8);

    Writer w;
    w.u8('l');
    w.u8(MethodReturn);
    w.u8(0);
    w.u8(1);
    w.u32(std::uint32_t(b.bytes.size()));
    w.u32(serial);
    const std::size_t fields = w.beginArray(8);
    w.align(8);
    w.u8(FieldReplySerial);
    w.sig("u");
    w.u32(replySerial);
    w.headerField(FieldSignature, "g", "(bba{ss})");
    w.endArray(fields, 8);
    w.align(8);
    return w.bytes + b.bytes;
}

std::size_t dbusMessageLength(const unsigned char *data, std::size_t available)
{
    if (available < 16 || (data[0] != 'l' && data[0] != 'B') || data[3] != 1)
        return 0;
    const bool big = data[0] == 'B';
    const std::uint64_t body = rawU32(data + 4, big);
    const std::uint64_t fields = rawU32(data + 12, big);
    const std::uint64_t header = (16 + fields + 7) / 8 * 8;
    const std::uint64_t total = header + body;
    return total <= kMaxMessage ? std::size_t(total) : 0;
}

ReplyKind readCheckAuthorizationReply(const unsigned char *data, std::size_t length, std::uint32_t replySerial,
                                      PolkitVerdict *verdict)
{
    if (dbusMessageLength(data, length) != length)
        return ReplyKind::Refusal;
    const bool big = data[0] == 'B';
    const unsigned char type = data[1];
    Reader r(data, length, big);
    r.seek(12);
    const std::uint32_t fieldsLength = r.u32();
    const std::size_t fieldsEnd = r.position() + fieldsLength;
    std::uint32_t inReplyTo = 0;
    std::string signature;
    while (r.ok() && r.position() < fieldsEnd) {
        r.align(8);
        const std::uint8_t code = r.u8();
        const std::string type = r.sig();
        if (type == "s" || type == "o") {
            r.str();
        } else if (type == "g") {
            const std::string value = r.sig();
            if (code == FieldSignature)
                signature = value;
        } else if (type == "u") {
            const std::uint32_t value = r.u32();
            if (code == FieldReplySerial)
                inReplyTo = value;
        } else {
            return ReplyKind::Refusal;
        }
    }
    if (!r.ok() || r.position() != fieldsEnd)
        return ReplyKind::Refusal;
    if ((type != MethodReturn && type != Error) || inReplyTo != replySerial)
        return ReplyKind::Unrelated;
    if (type == Error || signature != "(bba{ss})")
        return ReplyKind::Refusal;

    r.align(8); // the body
    r.align(8); // the struct
    const std::uint32_t authorized = r.u32();
    const std::uint32_t challenge = r.u32();
    const std::uint32_t dictLength = r.u32();
    r.align(8);
    const std::size_t dictEnd = r.position() + dictLength;
    bool dismissed = false;
    while (r.ok() && r.position() < dictEnd) {
        r.align(8);
        const std::string key = r.str();
        const std::string value = r.str();
        if (key == "polkit.dismissed" && value == "true")
            dismissed = true;
    }
    if (!r.ok() || r.position() != dictEnd || authorized > 1 || challenge > 1)
        return ReplyKind::Refusal;
    *verdict = PolkitVerdict{authorized == 1, challenge == 1, dismissed};
    return ReplyKind::Verdict;
}

std::optional<PolkitVerdict> checkAuthorizationOnSystemBus(const ProcessIdentity &subject, const char *action,
                                                           int timeoutMs)
{
    const long long deadline = nowMs() + timeoutMs;
    Socket bus;
    bus.fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (bus.fd < 0)
        return std::nullopt;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, kSystemBusSocket, sizeof address.sun_path - 1);
    if (connect(bus.fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return std::nullopt;

    // SASL EXTERNAL: the bus takes our identity from the socket; we name the
    // effective uid it will see. BEGIN, Hello and the call follow in the same
    // write, as sd-bus does, instead of after the bus's OK: one round trip
    // less. Nothing is read as a message before that OK has arrived, and a
    // refusal (REJECTED) fails closed.
    char uid[16];
    std::snprintf(uid, sizeof uid, "%u", unsigned(geteuid()));
    std::string auth("\0AUTH EXTERNAL ", 15);
    for (const char *c = uid; *c; ++c) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", unsigned(static_cast<unsigned char>(*c)));
        auth += hex;
    }
    auth += "\r\nBEGIN\r\n";
    if (!writeAll(bus.fd, auth + marshalHello(1) + marshalCheckAuthorization(2, subject, action)))
        return std::nullopt;
    std::string incoming;
    while (incoming.find("\r\n") == std::string::npos) {
        if (!receive(bus.fd, incoming, deadline) || incoming.size() > 512)
            return std::nullopt;
    }
    if (incoming.compare(0, 3, "OK ") != 0)
        return std::nullopt;
    incoming.erase(0, incoming.find("\r\n") + 2);

    for (;;) {
        while (incoming.size() < 16 || dbusMessageLength(reinterpret_cast<const unsigned char *>(incoming.data()),
                                                         incoming.size()) > incoming.size()) {
            if (incoming.size() >= 16
                && dbusMessageLength(reinterpret_cast<const unsigned char *>(incoming.data()), incoming.size()) == 0)
                return std::nullopt;
            if (!receive(bus.fd, incoming, deadline))
                return std::nullopt;
        }
        const auto *data = reinterpret_cast<const unsigned char *>(incoming.data());
        const std::size_t length = dbusMessageLength(data, incoming.size());
        PolkitVerdict verdict;
        switch (readCheckAuthorizationReply(data, length, 2, &verdict)) {
        case ReplyKind::Verdict:
            return verdict;
        case ReplyKind::Refusal:
            return std::nullopt;
        case ReplyKind::Unrelated:
            incoming.erase(0, length); // Hello's reply, NameAcquired
            break;
        }
    }
}
