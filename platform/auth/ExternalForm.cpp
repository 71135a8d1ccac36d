#include "ExternalForm.h"
#include "ModifyPermissionRight.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kMagic = 0x42524E44; // "BRND"
constexpr std::uint16_t kVersion = 2;
constexpr std::uint32_t kKnownRights = kExternalFormModifyPermission;

void put(unsigned char *at, std::uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) {
        at[i] = static_cast<unsigned char>(value & 0xFF);
        value >>= 8;
    }
}

std::uint64_t get(const unsigned char *at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | at[i];
    return value;
}

} // namespace

std::uint32_t externalFormRightBit(const char *name)
{
    return name && std::strcmp(name, kModifyPermissionRight) == 0 ? std::uint32_t(kExternalFormModifyPermission) : 0u;
}

// Layout: 0 magic (4), 4 version (2), 6 zero (2), 8 pid (4), 12 uid (4),
// 16 start time (8), 24 rights held (4), 28 zero (4).
AuthorizationExternalForm encodeExternalForm(const ProcessIdentity &identity, std::uint32_t rights)
{
    AuthorizationExternalForm form{};
    put(form.bytes + 0, kMagic, 4);
    put(form.bytes + 4, kVersion, 2);
    put(form.bytes + 8, static_cast<std::uint32_t>(identity.pid), 4);
    put(form.bytes + 12, identity.uid, 4);
    put(form.bytes + 16, identity.startTime, 8);
    put(form.bytes + 24, rights & kKnownRights, 4);
    return form;
}

std::optional<ProcessIdentity> decodeExternalForm(const AuthorizationExternalForm &form, std::uint32_t *rights)
{
    const auto held = static_cast<std::uint32_t>(get(form.bytes + 24, 4));
    if (get(form.bytes + 0, 4) != kMagic || get(form.bytes + 4, 2) != kVersion || get(form.bytes + 6, 2) != 0
        || (held & ~kKnownRights) != 0 || get(form.bytes + 28, 4) != 0)
        return std::nullopt;
    ProcessIdentity identity;
    identity.pid = static_cast<pid_t>(get(form.bytes + 8, 4));
    identity.uid = static_cast<uid_t>(get(form.bytes + 12, 4));
    identity.startTime = get(form.bytes + 16, 8);
    if (identity.pid <= 0)
        return std::nullopt;
    if (rights)
        *rights = held;
    return identity;
}

std::optional<std::uint64_t> processStartTime(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char text[1024];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return std::nullopt;
    text[n] = '\0';
    // The command name (field 2) may hold blanks and parentheses: count
    // fields from the last ')'.
    const char *p = std::strrchr(text, ')');
    if (!p)
        return std::nullopt;
    ++p;
    for (int field = 2; field < 22; ++field) {
        while (*p == ' ')
            ++p;
        if (field == 21)
            break;
        while (*p && *p != ' ')
            ++p;
        if (!*p)
            return std::nullopt;
    }
    char *end = nullptr;
    const unsigned long long value = std::strtoull(p, &end, 10);
    if (end == p)
        return std::nullopt;
    return value;
}
