#pragma once

#include <QLabel>

// The window's status line. It keeps the whole text as its text (what
// callers read back and what a screen reader hears, announced as a status
// bar) and draws it on one line; when the window is too narrow the paths in
// it are elided in their middle, so a long path gives way before the reason.
// The tooltip and the context menu's Copy give the whole text.
class StatusLine : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLine(QWidget *parent = nullptr);

    // QLabel's setText, and assistive technology is told of the new text.
    // (QLabel's own is not virtual: callers hold a StatusLine.)
    void setText(const QString &text);

    // What is drawn for the current width: the text, or the text with its
    // quoted paths elided in the middle (and, if that is not enough, the
    // text itself).
    QString shownText() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    QRect textRect() const;
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
