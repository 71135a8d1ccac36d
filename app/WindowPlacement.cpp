#include "WindowPlacement.h"

#include <cmath>

namespace WindowPlacement {

float bottomLeftOriginY(float screenHeight, float windowHeight)
{
    const float difference = screenHeight - windowHeight;
    return static_cast<float>(static_cast<int>(difference));
}

QPoint topLeftFromBottomLeft(float screenHeight, float originY, float windowHeight)
{
    // The window's top edge sits at originY + windowHeight from the bottom.
    return QPoint(0, static_cast<int>(std::lround(screenHeight - (originY + windowHeight))));
}

} // namespace WindowPlacement
