#pragma once

// Brindle's polkit side (the authorization layer, the authentication agent
// and its dialog) is built twice: linked into the tests, and as a module
// that Brindle loads the first time it needs authorization, so that
// libpolkit, GIO and GObject are not loaded by every start. The module hands
// its entry points over in this table.

#include "AuthorizationServices.h"

struct PolkitModule
{
    int version;
    decltype(&AuthorizationCreate) create;
    decltype(&AuthorizationFree) free;
    decltype(&AuthorizationCopyRights) copyRights;
    decltype(&AuthorizationMakeExternalForm) makeExternalForm;
    decltype(&AuthorizationCreateFromExternalForm) createFromExternalForm;
    decltype(&AuthorizationExecuteWithPrivileges) executeWithPrivileges;
    decltype(&AuthorizationExecuteWithPrivilegesJoined) executeWithPrivilegesJoined;
    decltype(&AuthorizationWaitForExit) waitForExit;
    decltype(&AuthorizationReadPipe) readPipe;
    decltype(&AuthorizationSetAgentStarter) setAgentStarter;
    void (*startAgent)();
};
constexpr int kPolkitModuleVersion = 2;
constexpr const char *kPolkitModuleEntry = "brindle_polkit_module";

extern "C" const PolkitModule *brindle_polkit_module();
