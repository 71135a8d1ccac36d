#pragma once

#include "AuthorizationServices.h"

#include <sys/types.h>

#include <cstdint>
#include <optional>

// Who an authorization speaks for: a unix process as polkit names it.
struct ProcessIdentity
{
    pid_t pid = 0;
    uid_t uid = 0;
    std::uint64_t startTime = 0; // field 22 of /proc/PID/stat, in clock ticks
};

// The rights a form can say its reference holds, one bit each: the helper
// acts only on a right the caller's reference itself obtained.
enum : std::uint32_t { kExternalFormModifyPermission = 1u << 0 };
// The bit of a right's name; 0 for a right the form cannot carry.
std::uint32_t externalFormRightBit(const char *name);

AuthorizationExternalForm encodeExternalForm(const ProcessIdentity &identity, std::uint32_t rights);
// Empty when the magic, version, reserved bytes or right bits are wrong.
std::optional<ProcessIdentity> decodeExternalForm(const AuthorizationExternalForm &form, std::uint32_t *rights);

// The start time of a live process; empty when it can't be read.
std::optional<std::uint64_t> processStartTime(pid_t pid);
