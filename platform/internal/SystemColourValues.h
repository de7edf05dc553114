#pragma once

#include "platform/Geometry.h"

namespace platform::colours {

inline constexpr Colour kFace = rgb(240, 240, 240);
inline constexpr Colour kHighlight = rgb(255, 255, 255);
inline constexpr Colour kLight = rgb(227, 227, 227);
inline constexpr Colour kShadow = rgb(160, 160, 160);
inline constexpr Colour kDarkShadow = rgb(105, 105, 105);

}  // namespace platform::colours
