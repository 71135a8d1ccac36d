// bitsmith <pathfile> permission
//
// Sets one file's mode as root for the process that started it, after polkit
// confirms, without asking anyone, that this parent holds the right. Installed
// set-user-ID root. Every step either passes or ends the program with 255.

#include "AuthorizationServices.h"
#include "ModifyPermissionRight.h"
#include "NoLinkPath.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFailure = 255; // exit(-1)

[[noreturn]] void fail()
{
    std::exit(kFailure);
}

[[noreturn]] void usage()
{
    std::fputs("Usage: bitsmith <pathfile> permission\n", stderr);
    fail();
}

// Hardening, in the order main() runs it -------------------------------------

// argv[0] is not even there: nothing after argc may be looked at.
void refuseEmptyArgv(int argc)
{
    if (argc < 1)
        usage();
}

// A descriptor 0-2 that the caller closed would be reused by the next open()
// and our messages or reads would land in a file we opened.
void ensureStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened != fd)
            std::abort();
    }
}

// Nothing of the caller's environment (locale, time zone, bus addresses,
// loader variables the kernel let through) steers what runs as root here.
void scrubEnvironment()
{
    if (clearenv() != 0 || setenv("PATH", "/usr/sbin:/usr/bin:/sbin:/bin", 1) != 0)
        fail();
}

// A helper whose parent is gone has nobody to act for. Runs after the root
// and argument checks, which only ever write their message.
void dieWithParent()
{
    const pid_t parent = getppid();
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent || parent == 1)
        fail();
}

// The tool's own steps ---------------------------------------------------------

void requireRoot()
{
    const uid_t euid = geteuid();
    if (euid != 0) {
        std::fprintf(stderr, "Non sono root...  UID=%d\n", int(euid));
        fail();
    }
}

// As atol(3): leading blanks, a sign, decimal digits; no digits gives 0.
long parseDecimal(const char *text)
{
    return std::strtol(text, nullptr, 10);
}

AuthorizationExternalForm readExternalForm()
{
    AuthorizationExternalForm form{};
    // Unbuffered: the one fread takes 32 bytes from the pipe and not a byte more.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    if (std::fread(form.bytes, sizeof form.bytes, 1, stdin) != 1)
        fail();
    return form;
}

// chmod(2) of path, except that a symbolic link in any component fails it:
// the folders on the way may belong to someone who swaps one for a link.
int changeModeWithoutLinks(const char *path, mode_t mode)
{
    const int item = openWithoutLinks(path);
    if (item < 0)
        return -1;
    const int state = changeModeOfDescriptor(item, mode);
    close(item);
    return state;
}

} // namespace

int main(int argc, char *argv[])
{
    refuseEmptyArgv(argc);
    ensureStandardDescriptors();
    scrubEnvironment();

    requireRoot();
    if (argc != 3)
        usage();
    dieWithParent();
    const char *path = argv[1];
    const auto mode = static_cast<std::int32_t>(parseDecimal(argv[2]));

    const AuthorizationExternalForm form = readExternalForm();
    AuthorizationRef authorization = nullptr;
    if (AuthorizationCreateFromExternalForm(&form, &authorization) != errAuthorizationSuccess)
        fail();

    AuthorizationItem right{kModifyPermissionRight, 0, nullptr, 0};
    const AuthorizationRights rights{1, &right};
    const AuthorizationStatus status =
        AuthorizationCopyRights(authorization, &rights, nullptr, kAuthorizationFlagExtendRights, nullptr);
    if (status != errAuthorizationSuccess) {
        std::fprintf(stderr, "Tool authorizing command failed authorization: %ld.\n", long(status));
        fail();
    }

    const int state = changeModeWithoutLinks(path, mode_t(mode & 0xFFFF));
    if (state != 0) {
        std::fprintf(stderr, "Path %s Stato: %d. ChMod: %o - %d\n", path, state, unsigned(mode), int(mode));
        fail();
    }
    return 0;
}
