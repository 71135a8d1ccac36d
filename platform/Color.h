#pragma once

#include <QColor>
#include <QString>

#include <memory>

class Color;
// Colours are passed around as shared references: label colours are told
// apart by identity (the very object), never by their components.
using ColorRef = std::shared_ptr<const Color>;

class Color
{
public:
    // The named colours: each call with the same name returns the same object
    // for the life of the process.
    static ColorRef whiteColor();
    static ColorRef redColor();
    static ColorRef orangeColor();
    static ColorRef yellowColor();
    static ColorRef greenColor();
    static ColorRef blueColor();
    static ColorRef purpleColor();
    static ColorRef grayColor();
    static ColorRef blackColor();
    static ColorRef clearColor();

    // A new object each call, equal to no named colour by identity.
    static ColorRef calibratedRGB(float red, float green, float blue, float alpha);

    QColor rgba() const { return m_rgba; }
    // The components in the calibrated RGB space; false, with nothing
    // written, for a colour that has none there.
    bool getCalibratedRGB(float *red, float *green, float *blue, float *alpha) const;
    // Empty for colours not made by name.
    QString name() const { return m_name; }

    Color(QColor rgba, QString name) : m_rgba(rgba), m_name(std::move(name)) {}

private:
    QColor m_rgba;
    QString m_name;
};
