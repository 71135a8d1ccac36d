#pragma once

#include "ColorPicker.h"

#include <QPointer>

class QColorDialog;
class QTimer;

// Any colour at all: Qt's colour chooser (basic and custom colours, a
// hue-saturation field, RGB, HSV and HTML fields) inside the panel. Each
// colour it makes is a new object, equal to no named colour by identity.
class GeneralColorPicker : public ColorPicker
{
    Q_OBJECT

public:
    using ColorPicker::ColorPicker;

    QWidget *provideNewView(bool initialRequest) override;
    QIcon provideNewButtonImage() override;
    QString buttonToolTip() const override;
    int currentMode() override;
    bool supportsMode(int mode) override;
    void setColor(ColorRef color) override;
    void alphaControlAddedOrRemoved(QObject *sender) override;

private:
    QPointer<QColorDialog> m_chooser;
    QTimer *m_settle = nullptr;
    bool m_following = false;
};
