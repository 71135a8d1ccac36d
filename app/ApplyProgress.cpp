#include "ApplyProgress.h"

#include "PathCodec.h"

#include <QCoreApplication>
#include "StatusLine.h"

namespace {
int interval = 33; // about 30 redraws a second
}

ApplyProgress::ApplyProgress(StatusLine *statusLine, const QString &pathText)
    : m_statusLine(statusLine)
    , m_pathText(pathText)
{
    m_sinceShown.start();
}

void ApplyProgress::setIntervalForTesting(int milliseconds)
{
    interval = milliseconds;
}

QString ApplyProgress::fullPath(const QByteArray &relative) const
{
    if (relative.isEmpty())
        return m_pathText;
    return QStringLiteral("%1/%2").arg(m_pathText, pathFromBytes(relative));
}

void ApplyProgress::show(Kind kind, const QByteArray &relative)
{
    m_kind = kind;
    m_relative = relative;
    m_pending = true;
    if (m_sinceShown.elapsed() >= interval)
        present();
}

void ApplyProgress::finish()
{
    if (m_pending)
        present();
}

void ApplyProgress::present()
{
    m_pending = false;
    const QString path = fullPath(m_relative);
    switch (m_kind) {
    case UnderWay:
        m_statusLine->setText(path);
        break;
    case Ok:
        m_statusLine->setText(QStringLiteral("%1 - OK").arg(path));
        break;
    case Error:
        m_statusLine->setText(QStringLiteral("%1 - ERROR!").arg(path));
        break;
    }
    // The window is served too (drawn, kept answering the window manager);
    // an InputGuard keeps the user's input away from it meanwhile.
    QCoreApplication::processEvents();
    m_sinceShown.restart();
}
