#pragma once

#include "ColorPicker.h"

// The label colour picker of the colour panel: seven controls, tags 1 to 7,
// each handing the panel the shared named colour of that label index.
class BXColorPicker : public ColorPicker
{
    Q_OBJECT

public:
    static constexpr int kMode = 99;

    // Lists the picker among the colour panel's pickers.
    static void registerWithColorPanel();

    using ColorPicker::ColorPicker;

    ColorPicker *initWithPickerMask(int mask, ColorPanel *owningColorPanel) override;
    QWidget *provideNewView(bool initialRequest) override;
    QIcon provideNewButtonImage() override;
    QString buttonToolTip() const override;
    // Sent by the seven controls; the sender's "tag" picks the colour.
    void updateColor(QObject *sender);
    int currentMode() override;
    void setColor(ColorRef color) override;
    bool supportsMode(int mode) override;
    void alphaControlAddedOrRemoved(QObject *sender) override;

    QWidget *containerView = nullptr;
};
