#include "ColorWell.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

ColorWell::ColorWell(QWidget *parent)
    : QFrame(parent)
    , m_color(Color::whiteColor())
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::TabFocus);
    setMinimumSize(36, 22);
}

void ColorWell::setColor(ColorRef color)
{
    if (color == m_color)
        return;
    m_color = std::move(color);
    const QString name = m_color && !m_color->name().isEmpty() ? m_color->name()
                         : m_color ? m_color->rgba().name(QColor::HexRgb) : QString();
    setAccessibleDescription(name);
    setToolTip(name);
    update();
}

QSize ColorWell::sizeHint() const
{
    return QSize(44, 24);
}

void ColorWell::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect swatch = contentsRect().adjusted(3, 3, -3, -3);
    painter.fillRect(swatch, m_color ? m_color->rgba() : QColor(Qt::transparent));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        // Keyboard users must see which well Space or Enter would act on.
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
