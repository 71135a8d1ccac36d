#include "AuthenticationAgentStart.h"

#include "AuthenticationAgent.h"

void startAuthenticationAgent()
{
    AuthenticationAgent::instance()->ensureRegistered();
}
