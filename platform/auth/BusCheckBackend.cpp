#include "AuthorizationBackend.h"
#include "SystemBusCheck.h"

AuthorizationStatus authorizationCheckRight(const ProcessIdentity &subject, const char *action, bool interaction)
{
    // This side has nobody to ask.
    if (interaction)
        return errAuthorizationInteractionNotAllowed;
    const std::optional<PolkitVerdict> verdict = checkAuthorizationOnSystemBus(subject, action);
    if (!verdict)
        return errAuthorizationInternal;
    if (verdict->authorized)
        return errAuthorizationSuccess;
    if (verdict->dismissed)
        return errAuthorizationCanceled;
    return verdict->challenge ? errAuthorizationInteractionNotAllowed : errAuthorizationDenied;
}

void authorizationRevokeKept(const ProcessIdentity &)
{
    // The helper's references come from external forms and are never the
    // ones that obtained a right.
}
