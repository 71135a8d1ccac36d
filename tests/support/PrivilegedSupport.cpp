#include "PrivilegedSupport.h"

#include "AuthenticationAgent.h"
#include "AuthenticationDialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

QString Administrator::password()
{
    // New for each set-up of the test environment; scripts/as-tester.sh hands it on.
    return qEnvironmentVariable("BRINDLE_TEST_ADMIN_PASSWORD");
}

Administrator::Administrator()
{
    connect(AuthenticationAgent::instance(), &AuthenticationAgent::passwordRequested, this, &Administrator::answer);
}

void Administrator::answer(AuthenticationDialog *dialog)
{
    ++m_requests;
    if (auto *details = dialog->findChild<QLabel *>(QStringLiteral("details")))
        m_lastDetails = details->isVisibleTo(dialog) ? details->text() : QString();
    const QString reply = m_answers.isEmpty() ? password() : m_answers.takeFirst();
    // Answer once the dialog is on screen, as a person would.
    QTimer::singleShot(0, dialog, [dialog, reply] {
        if (reply == kCancel) {
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
            return;
        }
        auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("password"));
        field->clear();
        QTest::keyClicks(field, reply);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
}

HelperRun runHelper(const QString &program, const QList<QByteArray> &args, const QByteArray &input)
{
    HelperRun run;
    int in[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return run;
    // The whole input fits the pipe's buffer: written before the start.
    if (write(in[1], input.constData(), size_t(input.size())) != input.size())
        return run;
    close(in[1]);

    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> storage{path};
    for (const QByteArray &a : args)
        storage.push_back(a);
    std::vector<char *> argv;
    for (QByteArray &s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, path.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(err[1]);
    if (rc != 0)
        return run;
    QByteArray errors;
    char buffer[4096];
    ssize_t n;
    while ((n = read(err[0], buffer, sizeof buffer)) > 0)
        errors.append(buffer, n);
    close(err[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.standardError = QString::fromUtf8(errors);
    fcntl(in[0], F_SETFL, O_NONBLOCK);
    while ((n = read(in[0], buffer, sizeof buffer)) > 0)
        run.leftOnInput.append(buffer, n);
    close(in[0]);
    return run;
}

Inode inodeOf(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {unsigned(st.st_mode & 07777), unsigned(st.st_uid)};
}

QString fixturesDir()
{
    return qEnvironmentVariable("BRINDLE_FIXTURES", QStringLiteral("/run/brindle-tests/fixtures"));
}

QString fixture(const QString &name)
{
    return fixturesDir() + QLatin1Char('/') + name;
}

bool requireTestEnvironment(QString *why)
{
    if (geteuid() == 0) {
        *why = QStringLiteral("privileged tests run as an ordinary user (root is always authorized); "
                              "ctest starts them as brindle-tester");
        return false;
    }
    if (!QFile::exists(QStringLiteral("/usr/share/polkit-1/actions/it.vantelo.brindle.policy"))
        || !QFile::exists(fixture(QStringLiteral("root-owned-1")))) {
        *why = QStringLiteral("the test environment is missing: run scripts/test-env.sh BUILD_DIR as root");
        return false;
    }
    if (Administrator::password().isEmpty()) {
        *why = QStringLiteral("no administrator password: start the test through scripts/as-tester.sh");
        return false;
    }
    return true;
}
