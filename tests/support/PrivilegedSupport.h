#pragma once

// What the privileged tests share: an administrator who types into Brindle's
// own password dialog, standard error captured around a call, and the helper
// run the way Brindle runs it.

#include "Capture.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class AuthenticationDialog;

// Answers Brindle's password dialog whenever it asks, with the next scripted
// answer, then with the administrator's password.
class Administrator : public QObject
{
    Q_OBJECT
public:
    static QString password();
    static inline const QString kCancel = QStringLiteral("\x01cancel");

    Administrator();
    void script(const QStringList &answers) { m_answers = answers; }
    int requests() const { return m_requests; }
    // What the last dialog said would be done.
    QString lastDetails() const { return m_lastDetails; }

private:
    void answer(AuthenticationDialog *dialog);
    QStringList m_answers;
    int m_requests = 0;
    QString m_lastDetails;
};

// Standard error of this process, collected between start and stop.
class StderrCapture : public DescriptorCapture
{
public:
    StderrCapture() : DescriptorCapture(2) {}
};

struct HelperRun
{
    int exitStatus = -1;
    QString standardError;
    QByteArray leftOnInput; // bytes the helper did not read
};

// Starts program with args (argv[0] is the program), input on standard input
// followed by end of input, and waits for it.
HelperRun runHelper(const QString &program, const QList<QByteArray> &args, const QByteArray &input);

// Mode bits and owner of path.
struct Inode
{
    unsigned mode = 0;
    unsigned uid = 0;
    bool operator==(const Inode &) const = default;
};
Inode inodeOf(const QString &path);

// The folder of root-owned fixture files that scripts/test-env.sh made.
QString fixturesDir();
// fixturesDir() + "/" + name
QString fixture(const QString &name);

// Fails the test unless it runs as an ordinary user with the test
// environment (scripts/test-env.sh) in place.
bool requireTestEnvironment(QString *why);
