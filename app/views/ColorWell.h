#pragma once

#include "Color.h"

#include <QFrame>

#include <functional>

// A well that shows and holds one colour object. It keeps the object itself,
// not a copy of its components, so label colours stay recognisable by identity.
// A click, Space or Return makes it the colour panel's active well and shows
// the panel; from then on the panel's colour objects come to it.
class ColorWell : public QFrame
{
    Q_OBJECT

public:
    explicit ColorWell(QWidget *parent = nullptr);

    void setColor(ColorRef color);
    ColorRef color() const { return m_color; }

    // What a screen reader and the tool tip call a colour; by default its
    // name, or #rrggbb for a colour made from components.
    void setColorNamer(std::function<QString(const ColorRef &)> namer);
    QString colorName() const;

    // Makes this the panel's active well, hands the panel the well's colour
    // and shows the panel.
    void activate();
    bool isActive() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void describe();
    void takePanelColor(ColorRef color);

    bool m_followsPanel = false;
    ColorRef m_color;
    std::function<QString(const ColorRef &)> m_namer;
};
