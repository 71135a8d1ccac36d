// The controller's privileged side: pre-authorization, the helper bitsmith,
// programs run as root, and the helper's repair.
#include "theController.h"

#include "AuthenticationAgent.h"
#include "FileAttributes.h"
#include "InputGuard.h"
#include "MainBundle.h"
#include "PathCodec.h"
#include "SystemBeep.h"
#include "SystemLog.h"

#include <QProcess>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// Writes to a pipe whose reader may already be gone, without SIGPIPE
// killing Brindle.
void writeQuietly(int fd, const QByteArray &data)
{
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    if (done < data.size()) {
        const timespec none{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &none); // drop the SIGPIPE the failed write raised
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// argv for execve: the strings' bytes (file names keep theirs), then null.
struct ArgumentVector
{
    std::vector<QByteArray> storage;
    std::vector<char *> pointers;

    explicit ArgumentVector(const QStringList &arguments)
    {
        storage.reserve(size_t(arguments.size()));
        for (const QString &argument : arguments)
            storage.push_back(bytesFromPath(argument));
        for (QByteArray &bytes : storage)
            pointers.push_back(bytes.data());
        pointers.push_back(nullptr);
    }
};

void reportNotStarted(AuthorizationStatus status, const QString &command)
{
    systemLog(QStringLiteral("AuthorizationExecuteWithPrivileges - Errore %1 durante l'esecuzione %2")
                  .arg(status)
                  .arg(command));
    systemBeep();
}

// Why the helper at tool must not be repaired, or nothing when it may. The
// repair makes the file set-user-ID root with chmod and chown, which follow
// links: only a regular file that no one but root could have put there, or
// could swap, is repaired.
QString whyNotRepairable(const QString &tool)
{
    auto replaceableByOthers = [](const struct stat &st) { return st.st_uid != 0 || (st.st_mode & 022) != 0; };
    struct stat st {};
    QByteArray path = bytesFromPath(tool);
    if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return QStringLiteral("repairTool: %1 is not a regular file; nothing repaired").arg(tool);
    if (replaceableByOthers(st))
        return QStringLiteral("repairTool: %1 is not owned by root or can be written by others; nothing repaired")
            .arg(tool);
    while (path.size() > 1) {
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0)
            return QStringLiteral("repairTool: %1 is not an absolute path; nothing repaired").arg(tool);
        path.truncate(slash > 0 ? slash : 1);
        if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || replaceableByOthers(st))
            return QStringLiteral("repairTool: the folder %1 is not owned by root or can be written by others; "
                                  "nothing repaired")
                .arg(pathFromBytes(path));
    }
    return QString();
}

} // namespace

bool theController::preauthorizeForRight(const char *right)
{
    AuthorizationItem item{right, 0, nullptr, 0};
    const AuthorizationRights rights{1, &item};
    const AuthorizationFlags flags =
        kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights | kAuthorizationFlagPreAuthorize;
    // polkit's answer and the password dialog need the event loop; the window must not.
    InputGuard guard(tr("Waiting for an administrator's authorization"));
    return AuthorizationCopyRights(authorizationRef, &rights, nullptr, flags, nullptr) == errAuthorizationSuccess;
}

QByteArray theController::authorizationAsData()
{
    AuthorizationExternalForm form{};
    if (AuthorizationMakeExternalForm(authorizationRef, &form) != errAuthorizationSuccess)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(form.bytes), sizeof form.bytes);
}

bool theController::chModFileAtPathAuthorized(const QString &path)
{
    const QString mode = PermissionRules::decimalModeText(newPermission);
    const QString tool = pathForResource(QStringLiteral("bitsmith"));
    if (tool.isEmpty())
        return false;
    ArgumentVector argv({tool, path, mode});
    InputGuard guard;

    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0)
        return false;
    const QByteArray form = authorizationAsData();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv.pointers[0], &actions, nullptr, argv.pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    if (spawned != 0) {
        ::close(input[1]);
        return false;
    }
    // Without a form nothing is written: the helper sees end of input and refuses.
    writeQuietly(input[1], form);
    ::close(input[1]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QProcess *theController::taskForExecutable(const QString &executable, const QString &argument,
                                           const QString &permission)
{
    auto *task = new QProcess;
    task->setProgram(pathForResource(executable));
    task->setArguments({argument, permission});
    // Standard input and output are pipes by default; standard error is Brindle's.
    task->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    return task;
}

void theController::runCommandWithAutorization(const QString &command, const QStringList &arguments,
                                               AuthorizationRef *authorization)
{
    ArgumentVector argv(arguments);
    InputGuard guard(tr("Running %1 as the administrator").arg(command));
    std::FILE *pipe = nullptr;
    const AuthorizationStatus status =
        AuthorizationExecuteWithPrivileges(authorization ? *authorization : nullptr, bytesFromPath(command).constData(),
                                           kAuthorizationFlagDefaults, argv.pointers.data(), &pipe);
    if (status != errAuthorizationSuccess) {
        reportNotStarted(status, command);
        return;
    }
    char buffer[1024];
    while (AuthorizationReadPipe(fileno(pipe), buffer, sizeof buffer) > 0) {
    }
    std::fclose(pipe);
}

void theController::runCommandWithAutorization(const QString &command, const QStringList &arguments,
                                               AuthorizationRef *authorization, CommandOutcome *outcome)
{
    if (!outcome) {
        runCommandWithAutorization(command, arguments, authorization);
        return;
    }
    *outcome = CommandOutcome();
    ArgumentVector argv(arguments);
    InputGuard guard(tr("Running %1 as the administrator").arg(command));
    std::FILE *pipe = nullptr;
    int processId = -1;
    outcome->status = AuthorizationExecuteWithPrivilegesJoined(authorization ? *authorization : nullptr,
                                                               bytesFromPath(command).constData(),
                                                               kAuthorizationFlagDefaults, argv.pointers.data(),
                                                               &pipe, &processId);
    if (outcome->status != errAuthorizationSuccess) {
        reportNotStarted(outcome->status, command);
        return;
    }
    constexpr qsizetype kKept = 64 * 1024;
    char buffer[1024];
    long n;
    while ((n = AuthorizationReadPipe(fileno(pipe), buffer, sizeof buffer)) > 0) {
        // Still on Brindle's standard error, where the command's messages went
        // before anyone looked at them.
        writeQuietly(STDERR_FILENO, QByteArray::fromRawData(buffer, qsizetype(n)));
        if (outcome->output.size() < kKept)
            outcome->output.append(buffer, qMin<qsizetype>(qsizetype(n), kKept - outcome->output.size()));
    }
    std::fclose(pipe);
    outcome->exitStatus = AuthorizationWaitForExit(processId);
}

void theController::repairTool()
{
    // The runs below and the revocation at the end wait with the event loop turning.
    InputGuard guard;
    AuthorizationRef authorization = nullptr;
    const AuthorizationStatus status =
        AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &authorization);
    if (status != errAuthorizationSuccess)
        systemLog(QString::asprintf("repairTool: Failed to create the authref: %ld.\n", long(status)));

    const QString tool = pathForResource(QStringLiteral("bitsmith"));
    const std::optional<FileAttributes> attributes =
        tool.isEmpty() ? std::nullopt : fileAttributesAtPath(tool, true);
    if (!attributes) {
        systemLog(QStringLiteral("repairTool: the helper bitsmith is missing or unreadable; nothing repaired"));
    } else if (!(attributes->posixPermissions & 0x800)) {
        const QString why = whyNotRepairable(tool);
        if (!why.isEmpty()) {
            systemLog(why);
        } else {
            // chown run by root clears the set-user-ID bit, so the owner goes first.
            QStringList arguments{QStringLiteral("root"), tool};
            runCommandWithAutorization(QStringLiteral("/bin/chown"), arguments, &authorization);
            arguments.clear();
            arguments << QStringLiteral("4755") << tool;
            runCommandWithAutorization(QStringLiteral("/bin/chmod"), arguments, &authorization);
        }
    }
    if (authorization)
        AuthorizationFree(authorization, kAuthorizationFlagDestroyRights);
}
