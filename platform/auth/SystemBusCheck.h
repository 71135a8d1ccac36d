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

// The pieces, for tests.
std::string marshalCheckAuthorization(std::uint32_t serial, const ProcessIdentity &subject, const char *action);
std::string marshalHello(std::uint32_t serial);
// polkitd's answer to the call with serial replySerial; details as key=value.
std::string marshalCheckAuthorizationReply(std::uint32_t serial, std::uint32_t replySerial, bool authorized,
                                           bool challenge, const char *const *details);

// Size of the whole message whose first 16 bytes are at data, or 0 when those
// bytes are not a message header we accept.
std::size_t dbusMessageLength(const unsigned char *data, std::size_t available);

enum class ReplyKind { Unrelated, Verdict, Refusal };
// Reads one complete message: the answer to replySerial (a verdict, or a
// refusal for an error or anything malformed), or something else.
ReplyKind readCheckAuthorizationReply(const unsigned char *data, std::size_t length, std::uint32_t replySerial,
                                      PolkitVerdict *verdict);
