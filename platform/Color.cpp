#include "Color.h"

namespace {

ColorRef named(float r, float g, float b, float a, const char *name)
{
    return std::make_shared<const Color>(QColor::fromRgbF(r, g, b, a), QString::fromLatin1(name));
}

} // namespace

// Components are those of the classic named colours (gray is 50% white).
ColorRef Color::whiteColor() { static const ColorRef c = named(1, 1, 1, 1, "white"); return c; }
ColorRef Color::redColor() { static const ColorRef c = named(1, 0, 0, 1, "red"); return c; }
ColorRef Color::orangeColor() { static const ColorRef c = named(1, 0.5f, 0, 1, "orange"); return c; }
ColorRef Color::yellowColor() { static const ColorRef c = named(1, 1, 0, 1, "yellow"); return c; }
ColorRef Color::greenColor() { static const ColorRef c = named(0, 1, 0, 1, "green"); return c; }
ColorRef Color::blueColor() { static const ColorRef c = named(0, 0, 1, 1, "blue"); return c; }
ColorRef Color::purpleColor() { static const ColorRef c = named(0.5f, 0, 0.5f, 1, "purple"); return c; }
ColorRef Color::grayColor() { static const ColorRef c = named(0.5f, 0.5f, 0.5f, 1, "gray"); return c; }
ColorRef Color::blackColor() { static const ColorRef c = named(0, 0, 0, 1, "black"); return c; }
ColorRef Color::clearColor() { static const ColorRef c = named(0, 0, 0, 0, "clear"); return c; }

ColorRef Color::calibratedRGB(float red, float green, float blue, float alpha)
{
    return std::make_shared<const Color>(QColor::fromRgbF(red, green, blue, alpha), QString());
}

bool Color::getCalibratedRGB(float *red, float *green, float *blue, float *alpha) const
{
    if (!m_rgba.isValid())
        return false;
    const QColor rgb = m_rgba.toRgb();
    *red = float(rgb.redF());
    *green = float(rgb.greenF());
    *blue = float(rgb.blueF());
    *alpha = float(rgb.alphaF());
    return true;
}
