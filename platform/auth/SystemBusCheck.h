#pragma once

// polkit's CheckAuthorization, asked over the system bus by a small D-Bus
// client of our own: the helper needs nothing else of D-Bus, so it links no
// GLib and starts in a fraction of the time. Every doubt refuses.

#include "ExternalForm.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct PolkitVerdict
{
    bool authorized = false;
    bool challenge = false;
    bool dismissed = false;
};

// Asks polkitd about subject and action, without user interaction. Empty on
// any failure: no bus, no polkitd, an error reply, a malformed message, or
// no answer within timeoutMs.
std::optional<PolkitVerdict> checkAuthorizationOnSystemBus(const ProcessIdentity &subject, const char *action,
                                                           int timeoutMs = 25000);

// The pieces, for tests. Our calls go out with serials 1 (Hello),
// 2 (GetNameOwner of polkitd's name) and 3 (CheckAuthorization).
std::string marshalCheckAuthorization(std::uint32_t serial, const ProcessIdentity &subject, const char *action);
std::string marshalHello(std::uint32_t serial);
std::string marshalGetNameOwner(std::uint32_t serial, const char *name);
// polkitd's answer to the call with serial replySerial, as sent by sender;
// details as key=value.
std::string marshalCheckAuthorizationReply(std::uint32_t serial, std::uint32_t replySerial, const char *sender,
                                           bool authorized, bool challenge, const char *const *details);
// The bus's answer to GetNameOwner.
std::string marshalNameOwnerReply(std::uint32_t serial, std::uint32_t replySerial, const char *owner);
// A signal from sender with payload bytes in its body.
std::string marshalSignal(std::uint32_t serial, const char *sender, std::size_t payload);

// Size of the whole message whose first 16 bytes are at data, or 0 when those
// bytes are not a message header D-Bus allows.
std::uint64_t dbusMessageLength(const unsigned char *data, std::size_t available);

enum class ReplyKind { Unrelated, Verdict, Refusal };
// Reads one complete message: polkitd's answer to replySerial, sent by
// polkitOwner (a verdict, or a refusal for an error or anything malformed),
// or something else.
ReplyKind readCheckAuthorizationReply(const unsigned char *data, std::size_t length, std::uint32_t replySerial,
                                      const std::string &polkitOwner, PolkitVerdict *verdict);
// Reads one complete message: the bus's answer to GetNameOwner (Verdict, with
// the owner), a refusal (polkitd not on the bus, malformed), or something else.
ReplyKind readNameOwnerReply(const unsigned char *data, std::size_t length, std::uint32_t replySerial,
                             std::string *owner);
// Follows the stream after authentication (incoming: what already arrived)
// until polkitd's verdict. Messages too long to be the answer are dropped as
// they arrive, never kept. Empty on end of stream, deadline (CLOCK_MONOTONIC
// milliseconds) or refusal.
std::optional<PolkitVerdict> readPolkitAnswer(int fd, std::string incoming, long long deadline);
