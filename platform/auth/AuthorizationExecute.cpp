#include "AuthorizationServices.h"
#include "CommandLineText.h"
#include "ExternalForm.h"
#include "AuthorizationBackend.h"
#include "PolkitWait.h"

#include <glib-unix.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <string>
#include <unistd.h>
#include <vector>


namespace {

constexpr const char *kPkexec = "/usr/bin/pkexec";

// The action pkexec will check for this program: the one whose exec.path
// annotation names it, else polkit's generic exec action.
std::string actionForProgram(const char *path)
{
    std::string found = "org.freedesktop.policykit.exec";
    PolkitAuthority *authority = polkitAuthority();
    if (!authority)
        return found;
    PolkitWait wait;
    polkit_authority_enumerate_actions(authority, nullptr, PolkitWait::ready, &wait);
    wait.run();
    GError *error = nullptr;
    GList *actions = polkit_authority_enumerate_actions_finish(authority, wait.result, &error);
    g_clear_error(&error);
    for (GList *l = actions; l; l = l->next) {
        auto *description = POLKIT_ACTION_DESCRIPTION(l->data);
        const gchar *annotated =
            polkit_action_description_get_annotation(description, "org.freedesktop.policykit.exec.path");
        if (annotated && g_strcmp0(annotated, path) == 0) {
            found = polkit_action_description_get_action_id(description);
            break;
        }
    }
    g_list_free_full(actions, g_object_unref);
    return found;
}

std::string &pendingCommandLine()
{
    static std::string text;
    return text;
}

void reap(GPid pid, gint, gpointer)
{
    g_spawn_close_pid(pid);
}

// Asks polkit, then starts pkexec with the program. With joined, the program's
// output and errors share one pipe and the caller reaps it; otherwise its
// errors go where Brindle's go and it is reaped on its own.
AuthorizationStatus executeWithPrivileges(AuthorizationRef authorization, const char *pathToTool,
                                          char *const *arguments, std::FILE **communicationsPipe, bool joined,
                                          GPid *processId)
{
    if (communicationsPipe)
        *communicationsPipe = nullptr;
    if (!authorizationSubject(authorization))
        return errAuthorizationInvalidRef;
    if (!pathToTool || pathToTool[0] != '/' || access(pathToTool, X_OK) != 0 || access(kPkexec, X_OK) != 0)
        return errAuthorizationToolExecuteFailure;

    // Ask first, for this process: pkexec checks its parent, us, and then
    // finds polkit's kept authorization instead of asking again.
    const std::string action = actionForProgram(pathToTool);
    AuthorizationItem item{action.c_str(), 0, nullptr, 0};
    const AuthorizationRights rights{1, &item};
    // polkit takes no details from a caller asking about itself, so the
    // dialog learns what will run from here.
    pendingCommandLine() = describeCommandLine(pathToTool, arguments);
    const AuthorizationStatus status = AuthorizationCopyRights(
        authorization, &rights, nullptr, kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights,
        nullptr);
    pendingCommandLine().clear();
    if (status != errAuthorizationSuccess)
        return status;

    std::vector<char *> argv{const_cast<char *>(kPkexec), const_cast<char *>(pathToTool)};
    for (char *const *a = arguments; a && *a; ++a)
        argv.push_back(*a);
    argv.push_back(nullptr);

    GPid pid = 0;
    gint out = -1;
    GError *error = nullptr;
    const auto flags = GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL | G_SPAWN_CLOEXEC_PIPES);
    // No shell and no PATH lookup: the vector goes to execve as it is.
    bool spawned;
    if (joined) {
        int both[2];
        if (pipe2(both, O_CLOEXEC) != 0)
            return errAuthorizationInternal;
        spawned = g_spawn_async_with_pipes_and_fds(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, -1,
                                                   both[1], both[1], nullptr, nullptr, 0, &pid, nullptr, nullptr,
                                                   nullptr, &error);
        close(both[1]);
        out = both[0];
        if (!spawned)
            close(out);
    } else {
        spawned = g_spawn_async_with_pipes(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, &pid, nullptr,
                                           &out, nullptr, &error);
    }
    if (!spawned) {
        g_clear_error(&error);
        return errAuthorizationToolExecuteFailure;
    }
    if (joined)
        *processId = pid;
    else
        g_child_watch_add(pid, reap, nullptr);
    std::FILE *pipe = fdopen(out, "r");
    if (!pipe) {
        close(out);
        return errAuthorizationInternal;
    }
    if (communicationsPipe)
        *communicationsPipe = pipe;
    else
        std::fclose(pipe);
    return errAuthorizationSuccess;
}

struct ExitWait
{
    bool ended = false;
    int status = 0;
};

void noteExit(GPid pid, gint status, gpointer data)
{
    auto *wait = static_cast<ExitWait *>(data);
    wait->ended = true;
    wait->status = status;
    g_spawn_close_pid(pid);
}

} // namespace

AuthorizationStatus AuthorizationExecuteWithPrivileges(AuthorizationRef authorization, const char *pathToTool,
                                                       AuthorizationFlags, char *const *arguments,
                                                       std::FILE **communicationsPipe)
{
    return executeWithPrivileges(authorization, pathToTool, arguments, communicationsPipe, false, nullptr);
}

AuthorizationStatus AuthorizationExecuteWithPrivilegesJoined(AuthorizationRef authorization, const char *pathToTool,
                                                             AuthorizationFlags, char *const *arguments,
                                                             std::FILE **communicationsPipe, int *processId)
{
    GPid pid = 0;
    const AuthorizationStatus status =
        executeWithPrivileges(authorization, pathToTool, arguments, communicationsPipe, true, &pid);
    if (processId)
        *processId = status == errAuthorizationSuccess ? int(pid) : -1;
    return status;
}

int AuthorizationWaitForExit(int processId)
{
    if (processId <= 0)
        return -1;
    ExitWait wait;
    GMainContext *context = g_main_context_ref_thread_default();
    GSource *watch = g_child_watch_source_new(GPid(processId));
    g_source_set_callback(watch, G_SOURCE_FUNC(noteExit), &wait, nullptr);
    g_source_attach(watch, context);
    while (!wait.ended)
        g_main_context_iteration(context, TRUE);
    g_source_destroy(watch);
    g_source_unref(watch);
    g_main_context_unref(context);
    return WIFEXITED(wait.status) ? WEXITSTATUS(wait.status) : -1;
}

const std::string &AuthorizationPendingCommandLine()
{
    return pendingCommandLine();
}

namespace {
gboolean markReady(gint, GIOCondition, gpointer ready)
{
    *static_cast<bool *>(ready) = true;
    return G_SOURCE_REMOVE;
}
} // namespace

long AuthorizationReadPipe(int fd, void *buffer, std::size_t length)
{
    bool ready = false;
    GMainContext *context = g_main_context_ref_thread_default();
    GSource *watch = g_unix_fd_source_new(fd, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR));
    g_source_set_callback(watch, G_SOURCE_FUNC(markReady), &ready, nullptr);
    g_source_attach(watch, context);
    while (!ready)
        g_main_context_iteration(context, TRUE);
    g_source_destroy(watch);
    g_source_unref(watch);
    g_main_context_unref(context);
    ssize_t n;
    do {
        n = read(fd, buffer, length);
    } while (n < 0 && errno == EINTR);
    return long(n);
}
