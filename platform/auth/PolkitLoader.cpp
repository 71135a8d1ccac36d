// Brindle's authorization calls, forwarded to the polkit module, which is
// loaded on the first call that needs it: bin/../lib/brindle/brindle-polkit.so,
// the same in the build tree and in the installed tree. Without the module
// every call fails as polkit itself would be out of reach.
#include "AuthenticationAgentStart.h"
#include "PolkitModule.h"
#include "SystemLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <dlfcn.h>
#include <unistd.h>

namespace {

void (*agentStarter)() = nullptr;
const PolkitModule *loadedModule = nullptr;

const PolkitModule *module()
{
    static const PolkitModule *loaded = [] {
        const QString path = QDir::cleanPath(QCoreApplication::applicationDirPath()
                                             + QStringLiteral("/../lib/brindle/brindle-polkit.so"));
        void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        const auto entry = handle ? reinterpret_cast<const PolkitModule *(*)()>(dlsym(handle, kPolkitModuleEntry))
                                  : nullptr;
        const PolkitModule *table = entry ? entry() : nullptr;
        if (!table || table->version != kPolkitModuleVersion) {
            const char *why = dlerror();
            systemLog(QStringLiteral("Can't load the polkit module %1: %2")
                          .arg(path, why ? QString::fromLocal8Bit(why) : QStringLiteral("not Brindle's")));
            return static_cast<const PolkitModule *>(nullptr);
        }
        if (agentStarter)
            table->setAgentStarter(agentStarter);
        return table;
    }();
    loadedModule = loaded;
    return loaded;
}

} // namespace

AuthorizationStatus AuthorizationCreate(const AuthorizationRights *rights, const void *environment,
                                        AuthorizationFlags flags, AuthorizationRef *authorization)
{
    const PolkitModule *m = module();
    return m ? m->create(rights, environment, flags, authorization) : errAuthorizationInternal;
}

AuthorizationStatus AuthorizationFree(AuthorizationRef authorization, AuthorizationFlags flags)
{
    const PolkitModule *m = module();
    return m ? m->free(authorization, flags) : errAuthorizationInvalidRef;
}

AuthorizationStatus AuthorizationCopyRights(AuthorizationRef authorization, const AuthorizationRights *rights,
                                            const void *environment, AuthorizationFlags flags,
                                            AuthorizationRights **authorizedRights)
{
    const PolkitModule *m = module();
    if (authorizedRights)
        *authorizedRights = nullptr;
    return m ? m->copyRights(authorization, rights, environment, flags, authorizedRights) : errAuthorizationInternal;
}

AuthorizationStatus AuthorizationMakeExternalForm(AuthorizationRef authorization,
                                                  AuthorizationExternalForm *externalForm)
{
    const PolkitModule *m = module();
    return m ? m->makeExternalForm(authorization, externalForm) : errAuthorizationInvalidRef;
}

AuthorizationStatus AuthorizationCreateFromExternalForm(const AuthorizationExternalForm *externalForm,
                                                        AuthorizationRef *authorization)
{
    const PolkitModule *m = module();
    return m ? m->createFromExternalForm(externalForm, authorization) : errAuthorizationInternal;
}

AuthorizationStatus AuthorizationExecuteWithPrivileges(AuthorizationRef authorization, const char *pathToTool,
                                                       AuthorizationFlags options, char *const *arguments,
                                                       std::FILE **communicationsPipe)
{
    const PolkitModule *m = module();
    return m ? m->executeWithPrivileges(authorization, pathToTool, options, arguments, communicationsPipe)
             : errAuthorizationInternal;
}

AuthorizationStatus AuthorizationExecuteWithPrivilegesJoined(AuthorizationRef authorization, const char *pathToTool,
                                                             AuthorizationFlags options, char *const *arguments,
                                                             std::FILE **communicationsPipe, int *processId)
{
    const PolkitModule *m = module();
    return m ? m->executeWithPrivilegesJoined(authorization, pathToTool, options, arguments, communicationsPipe,
                                              processId)
             : errAuthorizationInternal;
}

int AuthorizationWaitForExit(int processId)
{
    const PolkitModule *m = module();
    return m ? m->waitForExit(processId) : -1;
}

long AuthorizationReadPipe(int fd, void *buffer, std::size_t length)
{
    const PolkitModule *m = module();
    return m ? m->readPipe(fd, buffer, length) : long(::read(fd, buffer, length));
}

// Kept until the module is loaded: setting the starter alone loads nothing.
void AuthorizationSetAgentStarter(void (*starter)())
{
    agentStarter = starter;
    if (loadedModule)
        loadedModule->setAgentStarter(starter);
}

void startAuthenticationAgent()
{
    if (const PolkitModule *m = module())
        m->startAgent();
}
