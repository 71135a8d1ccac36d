#include "AuthorizationBackend.h"
#include "PolkitWait.h"

AuthorizationStatus authorizationCheckRight(const ProcessIdentity &subject, const char *action, bool interaction)
{
    PolkitAuthority *authority = polkitAuthority();
    if (!authority)
        return errAuthorizationInternal;
    PolkitSubject *process = polkit_unix_process_new_for_owner(subject.pid, subject.startTime, gint(subject.uid));
    const auto flags = interaction ? POLKIT_CHECK_AUTHORIZATION_FLAGS_ALLOW_USER_INTERACTION
                                   : POLKIT_CHECK_AUTHORIZATION_FLAGS_NONE;
    PolkitWait wait;
    polkit_authority_check_authorization(authority, process, action, nullptr, flags, nullptr, PolkitWait::ready,
                                         &wait);
    wait.run();
    GError *error = nullptr;
    PolkitAuthorizationResult *result = polkit_authority_check_authorization_finish(authority, wait.result, &error);
    g_object_unref(process);

    AuthorizationStatus status;
    if (!result) {
        status = errAuthorizationInternal;
        g_clear_error(&error);
    } else if (polkit_authorization_result_get_is_authorized(result)) {
        status = errAuthorizationSuccess;
    } else if (polkit_authorization_result_get_dismissed(result)) {
        status = errAuthorizationCanceled;
    } else if (polkit_authorization_result_get_is_challenge(result)) {
        status = interaction ? errAuthorizationDenied : errAuthorizationInteractionNotAllowed;
    } else {
        status = errAuthorizationDenied;
    }
    if (result)
        g_object_unref(result);
    return status;
}

void authorizationRevokeKept(const ProcessIdentity &subject)
{
    PolkitAuthority *authority = polkitAuthority();
    if (!authority)
        return;
    // The login session the process runs in, as logind knows it; none (no
    // session, as under a service manager or in CI) leaves polkit's five minutes.
    PolkitWait found;
    polkit_unix_session_new_for_process(subject.pid, nullptr, PolkitWait::ready, &found);
    found.run();
    GError *error = nullptr;
    PolkitSubject *session = polkit_unix_session_new_for_process_finish(found.result, &error);
    if (!session) {
        g_clear_error(&error);
        return;
    }
    PolkitWait revoked;
    polkit_authority_revoke_temporary_authorizations(authority, session, nullptr, PolkitWait::ready, &revoked);
    revoked.run();
    polkit_authority_revoke_temporary_authorizations_finish(authority, revoked.result, &error);
    g_clear_error(&error);
    g_object_unref(session);
}
