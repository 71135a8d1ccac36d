#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Brindle's own password dialog, used when no desktop authentication agent
// answers: who is asked, for what, and a password field. Application-modal,
// shown with open() so the event loop keeps running.
class AuthenticationDialog : public QDialog
{
    Q_OBJECT

public:
    AuthenticationDialog(const QString &message, const QString &identity, QWidget *parent = nullptr);

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
