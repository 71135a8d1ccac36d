#include "StatusLine.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

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

QString StatusLine::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

QSize StatusLine::minimumSizeHint() const
{
    // One line high whatever the text, so the window never grows for it.
    const QMargins m = contentsMargins();
    return QSize(m.left() + m.right() + fontMetrics().averageCharWidth() * 8,
                 m.top() + m.bottom() + fontMetrics().height());
}

QSize StatusLine::sizeHint() const
{
    const QMargins m = contentsMargins();
    return QSize(m.left() + m.right() + fontMetrics().horizontalAdvance(text()),
                 m.top() + m.bottom() + fontMetrics().height());
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
    style()->drawItemText(&painter, contentsRect(), int(alignment()) | Qt::TextSingleLine, palette(), isEnabled(),
                          shownText(), foregroundRole());
}
