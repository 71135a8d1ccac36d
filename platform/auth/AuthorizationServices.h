#pragma once

// Brindle's authorization layer over polkit. A reference speaks for one
// process (pid, start time, uid) and remembers the rights it obtained; its
// external form says which, and a helper acts only on those.
//
// polkit keeps a temporary authorization (auth_admin_keep) for the subject
// process until it expires (5 minutes) or the process ends. Destroying the
// rights of the last reference that holds any asks polkit to revoke the login
// session's kept authorizations; outside a login session polkit allows no
// early revocation.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

using AuthorizationStatus = std::int32_t;
using AuthorizationFlags = std::uint32_t;

enum : AuthorizationFlags {
    kAuthorizationFlagDefaults = 0,
    kAuthorizationFlagInteractionAllowed = 1 << 0,
    kAuthorizationFlagExtendRights = 1 << 1,
    kAuthorizationFlagDestroyRights = 1 << 3,
    kAuthorizationFlagPreAuthorize = 1 << 4,
};

enum : AuthorizationStatus {
    errAuthorizationSuccess = 0,
    errAuthorizationInvalidRef = -1,            // null, freed or foreign reference
    errAuthorizationInvalidSet = -2,            // empty right set or a right without a name
    errAuthorizationDenied = -3,                // polkit said no
    errAuthorizationCanceled = -4,              // the user dismissed the authentication
    errAuthorizationInteractionNotAllowed = -5, // the right needs authentication, none was allowed
    errAuthorizationInternal = -6,              // polkit could not be asked (no bus, no polkitd)
    errAuthorizationToolExecuteFailure = -7,    // the program could not be started
    errAuthorizationInvalidExternalForm = -8,   // 32 bytes that don't name the caller
};

struct AuthorizationItem
{
    const char *name;
    std::size_t valueLength;
    void *value;
    AuthorizationFlags flags;
};

struct AuthorizationRights
{
    std::uint32_t count;
    AuthorizationItem *items;
};

constexpr std::size_t kAuthorizationExternalFormLength = 32;

struct AuthorizationExternalForm
{
    unsigned char bytes[kAuthorizationExternalFormLength];
};

struct Authorization;
using AuthorizationRef = Authorization *;

// A reference for the calling process, holding no rights. rights and
// environment must be null/empty: rights are obtained with CopyRights.
AuthorizationStatus AuthorizationCreate(const AuthorizationRights *rights, const void *environment,
                                        AuthorizationFlags flags, AuthorizationRef *authorization);

// Frees the reference. With kAuthorizationFlagDestroyRights, when no other
// live reference holds a right, polkit's kept authorizations of the caller's
// login session are revoked (see above).
AuthorizationStatus AuthorizationFree(AuthorizationRef authorization, AuthorizationFlags flags);

// Asks polkit for each right for the reference's process. With
// kAuthorizationFlagInteractionAllowed the user may be asked (through the
// registered agent); the wait serves the thread's GLib main context, never a
// private one. Without kAuthorizationFlagExtendRights only rights the reference
// already obtained count; a reference made from an external form never
// extends. A challenge without interaction refuses.
// authorizedRights, when given, is set to null: granted sets aren't handed out.
AuthorizationStatus AuthorizationCopyRights(AuthorizationRef authorization, const AuthorizationRights *rights,
                                            const void *environment, AuthorizationFlags flags,
                                            AuthorizationRights **authorizedRights);

// 32 bytes that bind the reference to its process: magic, version, pid, uid,
// the process start time and the rights the reference holds, in a fixed
// (big-endian) byte order.
AuthorizationStatus AuthorizationMakeExternalForm(AuthorizationRef authorization,
                                                  AuthorizationExternalForm *externalForm);

// For a helper started by the reference's process: valid only when the bytes
// name the caller's parent (getppid(), re-checked after its start time is read)
// with that start time and the caller's real uid. The reference holds the
// rights the form names, and only those.
AuthorizationStatus AuthorizationCreateFromExternalForm(const AuthorizationExternalForm *externalForm,
                                                        AuthorizationRef *authorization);

// Runs the program at the absolute path pathToTool as root through pkexec,
// with the arguments unchanged and no shell. The user is asked inside this
// call unless polkit already holds the program's action for this process.
// Cancel, refusal or a program that can't be started: non-zero, nothing runs.
// Otherwise *communicationsPipe reads the program's standard output to its end
// (read it with AuthorizationReadPipe so the authentication agent stays served).
AuthorizationStatus AuthorizationExecuteWithPrivileges(AuthorizationRef authorization, const char *pathToTool,
                                                       AuthorizationFlags options, char *const *arguments,
                                                       std::FILE **communicationsPipe);

// As AuthorizationExecuteWithPrivileges, except that the program's standard
// error is joined to its output on *communicationsPipe (pkexec's own
// messages too), and *processId names it for AuthorizationWaitForExit, which
// must then be called once.
AuthorizationStatus AuthorizationExecuteWithPrivilegesJoined(AuthorizationRef authorization, const char *pathToTool,
                                                             AuthorizationFlags options, char *const *arguments,
                                                             std::FILE **communicationsPipe, int *processId);

// Waits, serving the thread's GLib main context, until the program started by
// AuthorizationExecuteWithPrivilegesJoined has ended; its exit status, or -1
// when a signal ended it. pkexec exits 126 when dismissed, 127 when refused.
int AuthorizationWaitForExit(int processId);

// While AuthorizationExecuteWithPrivileges asks polkit: the program and its
// arguments it is about to run, for the password dialog; empty otherwise.
// (Brindle's build only.)
const std::string &AuthorizationPendingCommandLine();

// read(2) on fd, serving the thread's GLib main context until data or end of
// file arrive.
long AuthorizationReadPipe(int fd, void *buffer, std::size_t length);

// Called once before the first request that may involve the user, so the
// application can register its authentication agent.
void AuthorizationSetAgentStarter(void (*starter)());
