#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <QDialog>
class QLabel;
class QPushButton;

// Every item an apply could not change, with the reason. Each is logged as
// it happens; at the end, when there are any, a button beside the status
// line opens the whole list.
class ApplyFailures : public QObject
{
    Q_OBJECT

public:
    // button: beside statusLine, hidden until an apply leaves failures.
    ApplyFailures(QLabel *statusLine, QPushButton *button);

    void clear();
    void add(const QString &path, const QString &reason);
    // Offers the list when anything failed.
    void offer();

    QStringList lines() const { return m_lines; }
    QPushButton *button() const { return m_button; }
    QDialog *dialog() const { return m_dialog; }

    void open();

private:
    QLabel *m_statusLine;
    QPushButton *m_button = nullptr;
    QPointer<QDialog> m_dialog;
    QStringList m_lines;
};
