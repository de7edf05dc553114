// System metrics and colours: the sizes and colours of the standard parts
// of the interface.
#pragma once

#include "platform/Geometry.h"

namespace platform {

enum : int {
  kSmCxScreen = 0,
  kSmCyScreen = 1,
  kSmCxVScroll = 2,
  kSmCyHScroll = 3,
  kSmCyCaption = 4,
  kSmCxBorder = 5,
  kSmCyBorder = 6,
  kSmCyMenu = 15,
  kSmCxFrame = 32,
  kSmCyFrame = 33,
  kSmCySmCaption = 51,
};

int systemMetric(int index);  // 0 for unknown indices

// The desktop without the task bar: where maximised windows go.
Rect workArea();

enum : int {
  kColourAppWorkspace = 12,
  kColourHighlight = 13,
  kColourHighlightText = 14,
  kColourWindow = 5,
  kColourMenu = 4,
  kColourMenuText = 7,
  kColourWindowText = 8,
  kColourActiveCaption = 2,
  kColourInactiveCaption = 3,
  kColourInactiveCaptionText = 19,
  kColourCaptionText = 9,
  kColourBtnFace = 15,
  kColourBtnShadow = 16,
  kColourGrayText = 17,
  kColourBtnText = 18,
  kColourBtnHighlight = 20,
  kColour3dDkShadow = 21,
  kColour3dLight = 22,
};

Colour systemColour(int index);  // black for unknown indices

}  // namespace platform
