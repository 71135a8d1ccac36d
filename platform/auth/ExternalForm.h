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

AuthorizationExternalForm encodeExternalForm(const ProcessIdentity &identity);
// Empty when the magic, version or reserved bytes are wrong.
std::optional<ProcessIdentity> decodeExternalForm(const AuthorizationExternalForm &form);

// The start time of a live process; empty when it can't be read.
std::optional<std::uint64_t> processStartTime(pid_t pid);
