#include "ColorPicker.h"

ColorPicker *ColorPicker::initWithPickerMask(int, ColorPanel *owningColorPanel)
{
    m_colorPanel = owningColorPanel;
    return this;
}

void ColorPicker::alphaControlAddedOrRemoved(QObject *) {}
