#include "ApplyFailures.h"

#include "SystemLog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

ApplyFailures::ApplyFailures(QLabel *statusLine, QPushButton *button)
    : QObject(statusLine)
    , m_statusLine(statusLine)
    , m_button(button)
{
    m_button->hide();
    connect(m_button, &QPushButton::clicked, this, &ApplyFailures::open);
}

void ApplyFailures::clear()
{
    m_lines.clear();
    m_button->hide();
    if (m_dialog)
        m_dialog->close();
}

void ApplyFailures::add(const QString &path, const QString &reason)
{
    const QString line = QStringLiteral("%1: %2").arg(path, reason);
    systemLog(line);
    m_lines << line;
}

void ApplyFailures::offer()
{
    m_button->setText(tr("Show Failure&s (%1)…").arg(m_lines.size()));
    // A screen reader hears how many, as the button shows.
    m_button->setAccessibleName(m_lines.size() == 1 ? tr("Show the item that could not be changed")
                                                    : tr("Show the %1 items that could not be changed").arg(m_lines.size()));
    m_button->setVisible(!m_lines.isEmpty());
}

void ApplyFailures::open()
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    m_dialog = new QDialog(m_statusLine->window());
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->setWindowTitle(tr("Items Not Changed"));
    auto *layout = new QVBoxLayout(m_dialog);
    auto *heading = new QLabel(m_lines.size() == 1 ? tr("1 item could not be changed:")
                                                   : tr("%1 items could not be changed:").arg(m_lines.size()),
                               m_dialog);
    auto *list = new QPlainTextEdit(m_dialog);
    list->setObjectName(QStringLiteral("failureList"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->setAccessibleName(heading->text());
    list->setPlainText(m_lines.join(QLatin1Char('\n')));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, m_dialog);
    connect(buttons, &QDialogButtonBox::rejected, m_dialog, &QDialog::close);
    layout->addWidget(heading);
    layout->addWidget(list);
    layout->addWidget(buttons);
    m_dialog->resize(640, 360);
    m_dialog->show();
}
