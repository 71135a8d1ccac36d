#include "ApplyFailures.h"

#include "SystemLog.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The box layout, at any depth below root, that holds widget.
QBoxLayout *layoutHolding(QLayout *root, QWidget *widget, int *index)
{
    if (!root)
        return nullptr;
    for (int i = 0; i < root->count(); ++i) {
        QLayoutItem *item = root->itemAt(i);
        if (item->widget() == widget) {
            *index = i;
            return qobject_cast<QBoxLayout *>(root);
        }
        if (QBoxLayout *found = layoutHolding(item->layout(), widget, index))
            return found;
    }
    return nullptr;
}

} // namespace

ApplyFailures::ApplyFailures(QLabel *statusLine)
    : QObject(statusLine)
    , m_statusLine(statusLine)
{
    m_button = new QPushButton(tr("Show &Failures…"), statusLine->parentWidget());
    m_button->setObjectName(QStringLiteral("showFailuresButton"));
    m_button->setAccessibleName(tr("Show the items that could not be changed"));
    m_button->hide();
    int index = 0;
    if (QBoxLayout *row = layoutHolding(statusLine->parentWidget()->layout(), statusLine, &index))
        row->insertWidget(index + 1, m_button);
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
    m_button->setText(tr("Show &Failures (%1)…").arg(m_lines.size()));
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
    auto *heading = new QLabel(tr("%n item(s) could not be changed:", nullptr, int(m_lines.size())), m_dialog);
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
