#include "platform/SystemMetrics.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/internal/Backend.h"
#include "platform/internal/SystemColourValues.h"

namespace platform {
namespace {

// Without a screen (offscreen runs) the desktop has a fixed size, so that
// layouts and screenshots do not depend on the machine.
constexpr Size kHeadlessScreen{1920, 1080};
constexpr int kTaskBarHeight = 40;

Size screenSize() {
  if (!backend::hasScreen()) return kHeadlessScreen;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return kHeadlessScreen;
  return {screen->geometry().width(), screen->geometry().height()};
}

}  // namespace

int systemMetric(int index) {
  switch (index) {
    case kSmCxScreen: return screenSize().cx;
    case kSmCyScreen: return screenSize().cy;
    case kSmCxVScroll: return 17;
    case kSmCyHScroll: return 17;
    case kSmCyCaption: return 20;
    case kSmCxBorder:
    case kSmCyBorder: return 1;
    case kSmCyMenu: return 19;
    case kSmCxFrame:
    case kSmCyFrame: return 4;
    case kSmCySmCaption: return 15;
    default: return 0;
  }
}

Rect workArea() {
  if (backend::hasScreen()) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect r = screen->availableGeometry();
      return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
  }
  return {0, 0, kHeadlessScreen.cx, kHeadlessScreen.cy - kTaskBarHeight};
}

Colour systemColour(int index) {
  switch (index) {
    case kColourAppWorkspace: return rgb(171, 171, 171);
    case kColourHighlight: return rgb(0, 120, 215);
    case kColourHighlightText: return rgb(255, 255, 255);
    case kColourWindow: return rgb(255, 255, 255);
    case kColourMenu: return colours::kFace;
    case kColourMenuText: return rgb(0, 0, 0);
    case kColourWindowText: return rgb(0, 0, 0);
    case kColourActiveCaption: return rgb(153, 180, 209);
    case kColourCaptionText: return rgb(0, 0, 0);
    case kColourInactiveCaption: return rgb(191, 205, 219);
    case kColourInactiveCaptionText: return rgb(67, 78, 84);
    case kColourBtnFace: return colours::kFace;
    case kColourBtnShadow: return colours::kShadow;
    case kColourGrayText: return rgb(109, 109, 109);
    case kColourBtnText: return rgb(0, 0, 0);
    case kColourBtnHighlight: return colours::kHighlight;
    case kColour3dDkShadow: return colours::kDarkShadow;
    case kColour3dLight: return colours::kLight;
    default: return 0;
  }
}

}  // namespace platform
