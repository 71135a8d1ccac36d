#pragma once

#include <QObject>

class AuthenticationDialog;

// Brindle's polkit authentication agent, registered for Brindle's own process
// with polkit's "fallback" option: a desktop session agent, where one runs,
// wins. Requests for this process and for its pkexec children reach it; it
// answers them with AuthenticationDialog.
class AuthenticationAgent : public QObject
{
    Q_OBJECT

public:
    static AuthenticationAgent *instance();

    // Registers the agent with polkitd once; later calls do nothing.
    // False (and one log line) when polkitd can't be reached.
    bool ensureRegistered();

signals:
    // The dialog is ready for a password: first shown, or asking again.
    void passwordRequested(AuthenticationDialog *dialog);

private:
    AuthenticationAgent() = default;
    bool m_registered = false;
    bool m_tried = false;
};
