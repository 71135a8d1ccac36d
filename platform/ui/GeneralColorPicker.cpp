#include "GeneralColorPicker.h"

#include "ColorPanel.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

QWidget *GeneralColorPicker::provideNewView(bool initialRequest)
{
    if (initialRequest && !m_chooser) {
        m_chooser = new QColorDialog;
        m_chooser->setObjectName(QStringLiteral("generalColorChooser"));
        m_chooser->setWindowFlags(Qt::Widget);
        m_chooser->setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
        m_chooser->setOption(QColorDialog::ShowAlphaChannel, colorPanel() && colorPanel()->showsAlpha());
        // Without a continuous panel the target hears of a choice once the
        // user has stopped moving through colours.
        m_settle = new QTimer(m_chooser);
        m_settle->setSingleShot(true);
        m_settle->setInterval(300);
        connect(m_settle, &QTimer::timeout, this, [this] {
            if (colorPanel())
                colorPanel()->finishChoosing();
        });
        connect(m_chooser, &QColorDialog::currentColorChanged, this, [this](const QColor &c) {
            if (m_following || !colorPanel())
                return;
            colorPanel()->setColorWhileChoosing(
                Color::calibratedRGB(float(c.redF()), float(c.greenF()), float(c.blueF()), float(c.alphaF())));
            m_settle->start();
        });
        if (colorPanel())
            setColor(colorPanel()->color());
    }
    return m_chooser;
}

QIcon GeneralColorPicker::provideNewButtonImage()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QConicalGradient wheel(16, 16, 0);
    for (int i = 0; i <= 6; ++i)
        wheel.setColorAt(i / 6.0, QColor::fromHsv((i * 60) % 360, 255, 255));
    painter.setBrush(wheel);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 28, 28);
    return QIcon(pixmap);
}

QString GeneralColorPicker::buttonToolTip() const
{
    return tr("Any colour");
}

int GeneralColorPicker::currentMode()
{
    return ColorPanel::CustomPaletteMode;
}

bool GeneralColorPicker::supportsMode(int mode)
{
    return mode == ColorPanel::RGBMode || mode == ColorPanel::HSBMode || mode == ColorPanel::CustomPaletteMode
           || mode == ColorPanel::WheelMode;
}

void GeneralColorPicker::setColor(ColorRef color)
{
    if (!m_chooser || !color || !color->rgba().isValid())
        return;
    // Following the panel must not hand it back a copy of its own colour.
    m_following = true;
    m_chooser->setCurrentColor(color->rgba());
    m_following = false;
}

void GeneralColorPicker::alphaControlAddedOrRemoved(QObject *)
{
    if (m_chooser && colorPanel())
        m_chooser->setOption(QColorDialog::ShowAlphaChannel, colorPanel()->showsAlpha());
}
