#include "PolkitModule.h"

#include "AuthenticationAgentStart.h"

// The module's one exported symbol; everything else in it is hidden.
extern "C" __attribute__((visibility("default"))) const PolkitModule *brindle_polkit_module()
{
    static const PolkitModule module{kPolkitModuleVersion,
                                     AuthorizationCreate,
                                     AuthorizationFree,
                                     AuthorizationCopyRights,
                                     AuthorizationMakeExternalForm,
                                     AuthorizationCreateFromExternalForm,
                                     AuthorizationExecuteWithPrivileges,
                                     AuthorizationExecuteWithPrivilegesJoined,
                                     AuthorizationWaitForExit,
                                     AuthorizationReadPipe,
                                     AuthorizationSetAgentStarter,
                                     startAuthenticationAgent};
    return &module;
}
