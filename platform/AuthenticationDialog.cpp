#include "AuthenticationDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

AuthenticationDialog::AuthenticationDialog(const QString &message, const QString &whatWillBeDone,
                                           const QString &identity, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("authenticationDialog"));
    setWindowTitle(tr("Authentication Required"));
    setWindowModality(Qt::ApplicationModal);

    auto *icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    auto *text = new QLabel(this);
    text->setTextFormat(Qt::PlainText);
    text->setText(message);
    text->setWordWrap(true);
    text->setObjectName(QStringLiteral("message"));
    auto *details = new QLabel(this);
    details->setObjectName(QStringLiteral("details"));
    details->setTextFormat(Qt::PlainText);
    details->setText(whatWillBeDone);
    details->setWordWrap(true);
    details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    details->setVisible(!whatWillBeDone.isEmpty());
    auto *who = new QLabel(this);
    who->setTextFormat(Qt::PlainText);
    who->setText(tr("An administrator must authenticate to continue."));
    who->setWordWrap(true);
    m_prompt = new QLabel(this);
    m_prompt->setTextFormat(Qt::PlainText);
    m_prompt->setText(tr("&Password for %1:").arg(identity));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(tr("Password for %1").arg(identity));
    m_prompt->setBuddy(m_password);
    m_problem = new QLabel(this);
    m_problem->setTextFormat(Qt::PlainText);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setStyleSheet(QStringLiteral("color: palette(highlight)"));
    m_problem->hide();

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(tr("Authenticate"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, [this] { emit passwordEntered(m_password->text()); });
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *head = new QHBoxLayout;
    head->addWidget(icon, 0, Qt::AlignTop);
    auto *words = new QVBoxLayout;
    words->addWidget(text);
    words->addWidget(details);
    words->addWidget(who);
    head->addLayout(words, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(m_prompt);
    layout->addWidget(m_password);
    layout->addWidget(m_problem);
    layout->addWidget(m_buttons);
    setMinimumWidth(420);
}

QString AuthenticationDialog::password() const
{
    return m_password->text();
}

void AuthenticationDialog::askAgain(const QString &problem, const QString &prompt)
{
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    if (!prompt.isEmpty())
        m_prompt->setText(prompt);
    m_password->clear();
    setBusy(false);
}

void AuthenticationDialog::setBusy(bool busy)
{
    m_password->setEnabled(!busy);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!busy);
    if (busy)
        setCursor(Qt::BusyCursor);
    else {
        unsetCursor();
        m_password->setFocus();
    }
}
