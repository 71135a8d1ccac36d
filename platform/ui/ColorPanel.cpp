#include "ColorPanel.h"

#include "ColorPicker.h"
#include "GeneralColorPicker.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

int g_pickerMask = ColorPanel::AllModesMask;
ColorPanel *g_shared = nullptr;

QList<ColorPanel::PickerFactory> &registry()
{
    static QList<ColorPanel::PickerFactory> factories;
    return factories;
}

QString describe(const ColorRef &color)
{
    if (!color)
        return QObject::tr("no colour");
    return color->name().isEmpty() ? color->rgba().name(QColor::HexRgb) : color->name();
}

} // namespace

void ColorPanel::registerPicker(PickerFactory factory)
{
    registry().append(std::move(factory));
}

void ColorPanel::setPickerMask(int mask)
{
    if (!g_shared)
        g_pickerMask = mask;
}

int ColorPanel::pickerMask()
{
    return g_pickerMask;
}

bool ColorPanel::sharedColorPanelExists()
{
    return g_shared != nullptr;
}

ColorPanel *ColorPanel::sharedColorPanel()
{
    if (!g_shared)
        g_shared = new ColorPanel(g_pickerMask);
    return g_shared;
}

ColorPanel::ColorPanel(int mask)
    : QWidget(nullptr, Qt::Tool)
    , m_color(Color::whiteColor())
{
    setObjectName(QStringLiteral("colorPanel"));
    setWindowTitle(tr("Colours"));
    setAttribute(Qt::WA_QuitOnClose, false);

    auto *layout = new QVBoxLayout(this);
    m_buttonRow = new QHBoxLayout;
    m_buttonRow->addStretch();
    layout->addLayout(m_buttonRow);
    m_buttons = new QButtonGroup(this);
    m_buttons->setExclusive(true);
    m_stack = new QStackedWidget;
    layout->addWidget(m_stack, 1);
    m_swatch = new QLabel;
    m_swatch->setObjectName(QStringLiteral("colorPanelSwatch"));
    m_swatch->setMinimumHeight(24);
    m_swatch->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_swatch);

    if (mask & (RGBModeMask | HSBModeMask | CustomPaletteModeMask | WheelModeMask))
        m_pickers.append((new GeneralColorPicker(this))->initWithPickerMask(mask, this));
    for (const PickerFactory &factory : registry()) {
        ColorPicker *picker = factory();
        if (!picker)
            continue;
        picker->setParent(this);
        // A picker may decline the mask by answering nothing.
        if (ColorPicker *accepted = picker->initWithPickerMask(mask, this))
            m_pickers.append(accepted);
        else
            delete picker;
    }

    for (int i = 0; i < m_pickers.size(); ++i) {
        ColorPicker *picker = m_pickers.at(i);
        auto *button = new QToolButton;
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setIcon(picker->provideNewButtonImage());
        button->setIconSize(QSize(32, 32));
        button->setToolTip(picker->buttonToolTip());
        button->setAccessibleName(picker->buttonToolTip());
        m_buttons->addButton(button, i);
        m_buttonRow->insertWidget(i, button);
        m_views.append(nullptr);
    }
    connect(m_buttons, &QButtonGroup::idClicked, this, [this](int i) { showPicker(i); });
    // Pickers' views are made when first shown, not with the panel: the
    // panel is asked for while the application starts.
    takeColor(m_color);
}

void ColorPanel::showPicker(int index)
{
    ColorPicker *picker = m_pickers.at(index);
    if (!m_views.at(index)) {
        QWidget *view = picker->provideNewView(true);
        m_views[index] = view;
        m_stack->addWidget(view);
    }
    m_stack->setCurrentWidget(m_views.at(index));
    m_buttons->button(index)->setChecked(true);
}

ColorPicker *ColorPanel::currentPicker() const
{
    const int index = m_buttons->checkedId();
    return index >= 0 ? m_pickers.at(index) : nullptr;
}

void ColorPanel::setMode(int mode)
{
    for (int i = 0; i < m_pickers.size(); ++i) {
        if (m_pickers.at(i)->supportsMode(mode)) {
            showPicker(i);
            return;
        }
    }
}

int ColorPanel::mode() const
{
    ColorPicker *picker = currentPicker();
    return picker ? picker->currentMode() : -1;
}

void ColorPanel::setShowsAlpha(bool shows)
{
    if (shows == m_showsAlpha)
        return;
    m_showsAlpha = shows;
    for (ColorPicker *picker : m_pickers)
        picker->alphaControlAddedOrRemoved(this);
}

void ColorPanel::takeColor(ColorRef color)
{
    m_color = std::move(color);
    const QString name = describe(m_color);
    m_swatch->setText(name);
    m_swatch->setAccessibleName(name);
    if (m_color) {
        const QColor rgba = m_color->rgba();
        const QColor text = rgba.isValid() && rgba.lightnessF() < 0.5 ? Qt::white : Qt::black;
        m_swatch->setStyleSheet(QStringLiteral("background: %1; color: %2; border: 1px solid palette(mid);")
                                    .arg(rgba.isValid() ? rgba.name() : QStringLiteral("transparent"), text.name()));
    }
    for (ColorPicker *picker : m_pickers)
        picker->setColor(m_color);
    emit colorChanged(m_color);
}

void ColorPanel::setColor(ColorRef color)
{
    takeColor(std::move(color));
    sendAction();
}

void ColorPanel::setColorWhileChoosing(ColorRef color)
{
    takeColor(std::move(color));
    if (m_continuous)
        sendAction();
    else
        m_actionPending = true;
}

void ColorPanel::finishChoosing()
{
    if (m_actionPending)
        sendAction();
}

void ColorPanel::sendAction()
{
    m_actionPending = false;
    if (m_target && !m_action.isEmpty())
        QMetaObject::invokeMethod(m_target, m_action.constData(), Q_ARG(QObject *, this));
}

void ColorPanel::setActiveWell(QWidget *well)
{
    if (well == m_activeWell)
        return;
    m_activeWell = well;
    emit activeWellChanged(well);
}

void ColorPanel::showEvent(QShowEvent *event)
{
    if (!currentPicker() && !m_pickers.isEmpty())
        showPicker(0);
    QWidget::showEvent(event);
}

void ColorPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ColorPanel::closeEvent(QCloseEvent *event)
{
    // Closing the panel ends the well's editing, as a click elsewhere does.
    setActiveWell(nullptr);
    QWidget::closeEvent(event);
}
