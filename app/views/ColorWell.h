#pragma once

#include "Color.h"

#include <QFrame>

// A well that shows and holds one colour object. It keeps the object itself,
// not a copy of its components, so label colours stay recognisable by identity.
class ColorWell : public QFrame
{
    Q_OBJECT

public:
    explicit ColorWell(QWidget *parent = nullptr);

    void setColor(ColorRef color);
    ColorRef color() const { return m_color; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ColorRef m_color;
};
