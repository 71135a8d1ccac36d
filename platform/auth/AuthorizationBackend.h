#pragma once

// Between the authorization layer's bookkeeping and the way it asks polkit:
// Brindle asks through libpolkit with its event loop running; the helper asks
// over the system bus with a client of its own.

#include "AuthorizationServices.h"
#include "ExternalForm.h"

// One polkit check of action for subject; interaction lets polkitd ask the
// user through an authentication agent.
AuthorizationStatus authorizationCheckRight(const ProcessIdentity &subject, const char *action, bool interaction);

// Ends, where polkit allows it, the kept authorizations that subject's
// rights rest on: polkit revokes only the caller's own login session's, all
// of them at once; outside a session nothing can be revoked early.
void authorizationRevokeKept(const ProcessIdentity &subject);

// Lets the application register its agent, once, before the first request
// that may ask the user.
void authorizationStartAgent();

// The process a live reference speaks for; null for anything else.
const ProcessIdentity *authorizationSubject(AuthorizationRef authorization);
