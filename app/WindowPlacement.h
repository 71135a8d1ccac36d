#pragma once

#include <QPoint>

namespace WindowPlacement {

// The main window's origin, measured upwards from the screen's bottom-left
// corner: y is (screen height - window height) in single precision, cut
// towards zero, so the window's top edge meets the top of the screen.
float bottomLeftOriginY(float screenHeight, float windowHeight);

// The same placement in Qt's coordinates (top-left origin, y downwards): the
// top-left corner of the window frame on a screen of the given height.
QPoint topLeftFromBottomLeft(float screenHeight, float originY, float windowHeight);

} // namespace WindowPlacement
