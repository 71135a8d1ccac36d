#include "BXColorPicker.h"

#include "ColorPanel.h"
#include "SystemLog.h"
#include "ui_BXColorPicker.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPixmap>

namespace {

// Tag to colour: the label index's entry of the label colour table.
ColorRef colorForTag(int tag)
{
    switch (tag) {
    case 1: return Color::redColor();
    case 2: return Color::orangeColor();
    case 3: return Color::yellowColor();
    case 4: return Color::greenColor();
    case 5: return Color::blueColor();
    case 6: return Color::purpleColor();
    case 7: return Color::grayColor();
    default: return nullptr;
    }
}

QIcon swatch(const ColorRef &color)
{
    QPixmap pixmap(28, 28);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color->rgba().darker(140), 1));
    painter.setBrush(color->rgba());
    painter.drawEllipse(QRectF(2.5, 2.5, 23, 23));
    return QIcon(pixmap);
}

} // namespace

void BXColorPicker::registerWithColorPanel()
{
    static bool registered = false;
    if (!registered) {
        registered = true;
        ColorPanel::registerPicker([] { return new BXColorPicker; });
    }
}

ColorPicker *BXColorPicker::initWithPickerMask(int mask, ColorPanel *owningColorPanel)
{
    if (mask != 0)
        return ColorPicker::initWithPickerMask(mask, owningColorPanel);
    return this;
}

QWidget *BXColorPicker::provideNewView(bool initialRequest)
{
    if (initialRequest) {
        // The description's top widget is the container view itself.
        containerView = new QWidget;
        Ui::BXColorPicker description;
        description.setupUi(containerView);
        const QList<QAbstractButton *> controls = containerView->findChildren<QAbstractButton *>();
        for (QAbstractButton *control : controls) {
            if (const ColorRef color = colorForTag(control->property("tag").toInt()))
                control->setIcon(swatch(color));
            connect(control, &QAbstractButton::clicked, this, [this, control] { updateColor(control); });
        }
    }
    return containerView;
}

QIcon BXColorPicker::provideNewButtonImage()
{
    return QIcon(QStringLiteral(":/bxlabelcolors.png"));
}

QString BXColorPicker::buttonToolTip() const
{
    return tr("Label colours");
}

void BXColorPicker::updateColor(QObject *sender)
{
    const int tag = sender ? sender->property("tag").toInt() : 0;
    systemLog(QStringLiteral("Index= %1").arg(tag));
    const ColorRef color = colorForTag(tag);
    if (tag >= 1 && tag <= 7 && colorPanel())
        colorPanel()->setColor(color);
}

int BXColorPicker::currentMode()
{
    return kMode;
}

void BXColorPicker::setColor(ColorRef)
{
    // The picker's view does not follow the panel's colour.
}

bool BXColorPicker::supportsMode(int mode)
{
    return mode == kMode;
}

void BXColorPicker::alphaControlAddedOrRemoved(QObject *)
{
    if (colorPanel() && colorPanel()->showsAlpha())
        systemLog(QStringLiteral("    // insert our alpha control into the view"));
    else
        systemLog(QStringLiteral("    // remove our alpha control into the view"));
}
