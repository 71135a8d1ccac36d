#include "StatusLine.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

#include <algorithm>

namespace {

// Announced as a status bar, named by its whole text.
class StatusLineAccessible : public QAccessibleWidget
{
public:
    explicit StatusLineAccessible(QWidget *w)
        : QAccessibleWidget(w, QAccessible::StatusBar)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const QLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *statusLineFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("StatusLine") && object && object->isWidgetType())
        return new StatusLineAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

StatusLine::StatusLine(QWidget *parent)
    : QLabel(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(statusLineFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto *copy = new QAction(tr("&Copy"), this);
    connect(copy, &QAction::triggered, this, [this] { QApplication::clipboard()->setText(text()); });
    addAction(copy);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void StatusLine::setText(const QString &text)
{
    if (text == QLabel::text())
        return;
    QLabel::setText(text);
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

QRect StatusLine::textRect() const
{
    return contentsRect().adjusted(margin(), margin(), -margin(), -margin());
}

QString StatusLine::shownText() const
{
    const QFontMetrics metrics = fontMetrics();
    const int width = textRect().width();
    QString shown = text();
    // The paths, quoted “like this”, give way first, longest first, in their
    // middle; the words around them say what happened and stay whole.
    for (int round = 0; round < 4 && metrics.horizontalAdvance(shown) > width; ++round) {
        qsizetype bestFrom = -1, bestLength = 0;
        for (qsizetype open = shown.indexOf(QChar(0x201C)); open >= 0; open = shown.indexOf(QChar(0x201C), open + 1)) {
            const qsizetype close = shown.indexOf(QChar(0x201D), open + 1);
            if (close < 0)
                break;
            if (close - open - 1 > bestLength) {
                bestFrom = open + 1;
                bestLength = close - open - 1;
            }
        }
        if (bestFrom < 0)
            break;
        const QString quoted = shown.mid(bestFrom, bestLength);
        const int excess = metrics.horizontalAdvance(shown) - width;
        const int room = std::max(metrics.horizontalAdvance(quoted) - excess, metrics.horizontalAdvance(QStringLiteral("xx…xx")));
        const QString elided = metrics.elidedText(quoted, Qt::ElideMiddle, room);
        if (elided == quoted)
            break;
        shown.replace(bestFrom, bestLength, elided);
    }
    return metrics.elidedText(shown, Qt::ElideMiddle, width);
}

QSize StatusLine::minimumSizeHint() const
{
    // One line high whatever the text, so the window never grows for it.
    const QMargins m = contentsMargins();
    return QSize(m.left() + m.right() + 2 * margin() + fontMetrics().averageCharWidth() * 8,
                 m.top() + m.bottom() + 2 * margin() + fontMetrics().height());
}

QSize StatusLine::sizeHint() const
{
    const QMargins m = contentsMargins();
    return QSize(m.left() + m.right() + 2 * margin() + fontMetrics().horizontalAdvance(text()),
                 m.top() + m.bottom() + 2 * margin() + fontMetrics().height());
}

bool StatusLine::event(QEvent *e)
{
    if (e->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(e);
        if (text().isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(e);
}

void StatusLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(&painter, textRect(), int(alignment()) | Qt::TextSingleLine, palette(), isEnabled(),
                          shownText(), foregroundRole());
}
