#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Brindle's own password dialog, used when no desktop authentication agent
// answers: who is asked, for what, what will be done, and a password field.
// Every text is shown as plain text: polkit's message and file names in a
// command line never become markup. Application-modal, shown with open() so
// the event loop keeps running.
class AuthenticationDialog : public QDialog
{
    Q_OBJECT

public:
    // message: polkit's; whatWillBeDone: the program and its arguments, or
    // what the right allows (empty: not shown).
    AuthenticationDialog(const QString &message, const QString &whatWillBeDone, const QString &identity,
                         QWidget *parent = nullptr);

    QString password() const;
    // Puts the dialog back to input after a failed attempt or a new prompt.
    void askAgain(const QString &problem, const QString &prompt = QString());
    void setBusy(bool busy);

signals:
    void passwordEntered(const QString &password);

private:
    QLabel *m_problem;
    QLabel *m_prompt;
    QLineEdit *m_password;
    QDialogButtonBox *m_buttons;
};
