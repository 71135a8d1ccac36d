#include "ColorWell.h"

#include "ColorPanel.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

QString defaultName(const ColorRef &color)
{
    if (!color)
        return QString();
    return color->name().isEmpty() ? color->rgba().name(QColor::HexRgb) : color->name();
}

// What a screen reader meets: a button named by its colour that opens the
// colour panel when pressed.
class ColorWellAccessible : public QAccessibleWidget
{
public:
    explicit ColorWellAccessible(QWidget *well) : QAccessibleWidget(well, QAccessible::Button) {}

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override
    {
        if (actionName == pressAction() && widget()->isEnabled())
            static_cast<ColorWell *>(widget())->activate();
        else
            QAccessibleWidget::doAction(actionName);
    }
};

QAccessibleInterface *accessibleWell(const QString &className, QObject *object)
{
    if (className == QLatin1String("ColorWell") && object && object->isWidgetType())
        return new ColorWellAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

ColorWell::ColorWell(QWidget *parent)
    : QFrame(parent)
    , m_color(Color::whiteColor())
    , m_namer(defaultName)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(36, 22);
    static const bool installed = (QAccessible::installFactory(accessibleWell), true);
    Q_UNUSED(installed);
    describe();
}

void ColorWell::setColor(ColorRef color)
{
    if (color == m_color)
        return;
    m_color = std::move(color);
    describe();
    update();
}

void ColorWell::setColorNamer(std::function<QString(const ColorRef &)> namer)
{
    m_namer = namer ? std::move(namer) : defaultName;
    describe();
}

QString ColorWell::colorName() const
{
    return m_namer(m_color);
}

void ColorWell::describe()
{
    // The value is the name a screen reader speaks; what the well is for
    // stays in its description (set in the window description).
    const QString name = colorName();
    setAccessibleName(name);
    setToolTip(name);
}

bool ColorWell::isActive() const
{
    return ColorPanel::sharedColorPanelExists() && ColorPanel::sharedColorPanel()->activeWell() == this;
}

void ColorWell::activate()
{
    ColorPanel *panel = ColorPanel::sharedColorPanel();
    if (!m_followsPanel) {
        m_followsPanel = true;
        connect(panel, &ColorPanel::colorChanged, this, &ColorWell::takePanelColor);
        connect(panel, &ColorPanel::activeWellChanged, this, [this] { update(); });
    }
    if (panel->activeWell() != this) {
        panel->setActiveWell(this);
        panel->setColor(m_color);
    }
    if (!panel->isVisible()) {
        // Beside the well's window, where it hides nothing of it.
        panel->adjustSize();
        const QRect window = this->window()->frameGeometry();
        QPoint at = window.topRight() + QPoint(8, 0);
        if (const QScreen *screen = this->screen()) {
            const QRect room = screen->availableGeometry();
            if (at.x() + panel->width() > room.right())
                at.setX(qMax(room.left(), window.left() - panel->width() - 8));
            at.setY(qBound(room.top(), at.y(), qMax(room.top(), room.bottom() - panel->height())));
        }
        panel->move(at);
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
    update();
}

void ColorWell::takePanelColor(ColorRef color)
{
    // Only the active well follows the panel.
    if (isActive())
        setColor(std::move(color));
}

void ColorWell::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        activate();
        event->accept();
        return;
    }
    QFrame::mousePressEvent(event);
}

void ColorWell::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        activate();
        event->accept();
        return;
    default:
        QFrame::keyPressEvent(event);
    }
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
    painter.fillRect(swatch, m_color && m_color->rgba().isValid() ? m_color->rgba() : QColor(Qt::transparent));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    if (isActive()) {
        // The well the colour panel's choices go to.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
        painter.drawRect(contentsRect().adjusted(1, 1, -2, -2));
    }
    if (hasFocus()) {
        // Keyboard users must see which well Space or Enter would act on.
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
