#pragma once

#include "Color.h"

#include <QIcon>
#include <QObject>

class ColorPanel;
class QWidget;

// A picker of the shared colour panel. The panel creates each registered
// picker with its picker mask and lists it with its button image; it shows
// the picker whose supportsMode() claims the panel's mode.
class ColorPicker : public QObject
{
    Q_OBJECT

public:
    explicit ColorPicker(QObject *parent = nullptr) : QObject(parent) {}

    // Binds the picker to its panel; returns the picker.
    virtual ColorPicker *initWithPickerMask(int mask, ColorPanel *owningColorPanel);
    ColorPanel *colorPanel() const { return m_colorPanel; }

    // The picker's view; initialRequest is true the first time the panel asks.
    virtual QWidget *provideNewView(bool initialRequest) = 0;
    virtual QIcon provideNewButtonImage() = 0;
    // What the picker's button is called, for tool tips and screen readers.
    virtual QString buttonToolTip() const = 0;
    virtual int currentMode() = 0;
    virtual bool supportsMode(int mode) = 0;
    // The panel's colour changed.
    virtual void setColor(ColorRef color) = 0;
    // The panel's opacity control was shown or hidden.
    virtual void alphaControlAddedOrRemoved(QObject *sender);

private:
    ColorPanel *m_colorPanel = nullptr;
};
