#include "AuthorizationServices.h"
#include "ExternalForm.h"
#include "AuthorizationBackend.h"
#include "ModifyPermissionRight.h"

#include <mutex>
#include <set>
#include <string>
#include <unistd.h>

struct Authorization
{
    ProcessIdentity subject;
    std::set<std::string> rights;
    // Rebuilt from an external form: it speaks for another process and can
    // only confirm the rights that process's reference said it holds.
    bool borrowed = false;
};

namespace {

// Live references: a freed or made-up pointer is refused, not followed.
std::set<const Authorization *> &liveReferences()
{
    static std::set<const Authorization *> live;
    return live;
}

bool isLive(const Authorization *ref)
{
    return ref && liveReferences().count(ref) != 0;
}

AuthorizationRef adopt(const ProcessIdentity &subject, bool borrowed = false)
{
    auto *ref = new Authorization{subject, {}, borrowed};
    liveReferences().insert(ref);
    return ref;
}

void (*agentStarter)() = nullptr;

} // namespace

void AuthorizationSetAgentStarter(void (*starter)())
{
    agentStarter = starter;
}

void authorizationStartAgent()
{
    static std::once_flag once;
    if (agentStarter)
        std::call_once(once, agentStarter);
}

const ProcessIdentity *authorizationSubject(AuthorizationRef authorization)
{
    return isLive(authorization) ? &authorization->subject : nullptr;
}

AuthorizationStatus AuthorizationCreate(const AuthorizationRights *rights, const void *environment,
                                        AuthorizationFlags, AuthorizationRef *authorization)
{
    if (!authorization)
        return errAuthorizationInvalidRef;
    *authorization = nullptr;
    if ((rights && rights->count != 0) || environment)
        return errAuthorizationInvalidSet;
    ProcessIdentity self;
    self.pid = getpid();
    self.uid = getuid();
    const auto start = processStartTime(self.pid);
    if (!start)
        return errAuthorizationInternal;
    self.startTime = *start;
    *authorization = adopt(self);
    return errAuthorizationSuccess;
}

AuthorizationStatus AuthorizationFree(AuthorizationRef authorization, AuthorizationFlags flags)
{
    if (!isLive(authorization))
        return errAuthorizationInvalidRef;
    liveReferences().erase(authorization);
    if ((flags & kAuthorizationFlagDestroyRights) && !authorization->rights.empty() && !authorization->borrowed) {
        // polkit keeps what was granted for the whole process; ending it
        // early is right only when no other reference still relies on it.
        bool othersHoldRights = false;
        for (const Authorization *other : liveReferences())
            othersHoldRights = othersHoldRights || !other->rights.empty();
        if (!othersHoldRights)
            authorizationRevokeKept(authorization->subject);
    }
    delete authorization;
    return errAuthorizationSuccess;
}

AuthorizationStatus AuthorizationCopyRights(AuthorizationRef authorization, const AuthorizationRights *rights,
                                            const void *, AuthorizationFlags flags,
                                            AuthorizationRights **authorizedRights)
{
    if (authorizedRights)
        *authorizedRights = nullptr;
    if (!isLive(authorization))
        return errAuthorizationInvalidRef;
    if (!rights || rights->count == 0 || !rights->items)
        return errAuthorizationInvalidSet;
    const bool interaction = flags & kAuthorizationFlagInteractionAllowed;
    if (interaction)
        authorizationStartAgent();
    for (std::uint32_t i = 0; i < rights->count; ++i) {
        const char *name = rights->items[i].name;
        if (!name || !*name)
            return errAuthorizationInvalidSet;
        const bool held = authorization->rights.count(name) != 0;
        if (!held && (!(flags & kAuthorizationFlagExtendRights) || authorization->borrowed))
            return errAuthorizationDenied;
        // Even a held right is confirmed: polkit's kept authorization may have expired.
        const AuthorizationStatus status = authorizationCheckRight(authorization->subject, name, interaction);
        if (status != errAuthorizationSuccess) {
            authorization->rights.erase(name);
            return status;
        }
        authorization->rights.insert(name);
    }
    return errAuthorizationSuccess;
}

AuthorizationStatus AuthorizationMakeExternalForm(AuthorizationRef authorization,
                                                  AuthorizationExternalForm *externalForm)
{
    if (!isLive(authorization))
        return errAuthorizationInvalidRef;
    if (!externalForm)
        return errAuthorizationInvalidExternalForm;
    std::uint32_t rights = 0;
    for (const std::string &name : authorization->rights)
        rights |= externalFormRightBit(name.c_str());
    *externalForm = encodeExternalForm(authorization->subject, rights);
    return errAuthorizationSuccess;
}

AuthorizationStatus AuthorizationCreateFromExternalForm(const AuthorizationExternalForm *externalForm,
                                                        AuthorizationRef *authorization)
{
    if (!authorization)
        return errAuthorizationInvalidRef;
    *authorization = nullptr;
    if (!externalForm)
        return errAuthorizationInvalidExternalForm;
    std::uint32_t rights = 0;
    const auto claimed = decodeExternalForm(*externalForm, &rights);
    if (!claimed)
        return errAuthorizationInvalidExternalForm;
    const pid_t parent = getppid();
    if (claimed->pid != parent || claimed->uid != getuid())
        return errAuthorizationInvalidExternalForm;
    const auto start = processStartTime(parent);
    // Had the parent died meanwhile, we would have been re-parented and the pid
    // read above could belong to a newcomer.
    if (!start || getppid() != parent || *start != claimed->startTime)
        return errAuthorizationInvalidExternalForm;
    *authorization = adopt(*claimed, true);
    if (rights & kExternalFormModifyPermission)
        (*authorization)->rights.insert(kModifyPermissionRight);
    return errAuthorizationSuccess;
}
