#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

class StatusLine;

// The status line of a recursive apply. Every item sets its text ("%@/%@",
// "%@/%@ - OK", "%@/%@ - ERROR!"), but the field is redrawn and the window
// served at most about 30 times a second, so that a walk over 100,000 items
// shows a moving status line without the drawing costing more than the walk.
// Texts are formed only when shown. finish() shows the last one.
class ApplyProgress
{
public:
    enum Kind { UnderWay, Ok, Error };

    // pathText: the text of pathFile, the start of every full path shown.
    ApplyProgress(StatusLine *statusLine, const QString &pathText);

    // The item at relative (empty: the chosen item itself) in the given state.
    void show(Kind kind, const QByteArray &relative);
    // The full path of an item, as the status line spells it.
    QString fullPath(const QByteArray &relative) const;
    // Shows what was set last, if it isn't on show yet.
    void finish();

    // Tests see every text: 0 redraws at each one.
    static void setIntervalForTesting(int milliseconds);

private:
    void present();

    StatusLine *m_statusLine;
    QString m_pathText;
    Kind m_kind = UnderWay;
    QByteArray m_relative;
    bool m_pending = false;
    QElapsedTimer m_sinceShown;
};
