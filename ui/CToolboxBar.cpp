#include "ui/CToolboxBar.h"

#include "display/CTool.h"
#include "platform/DeviceContext.h"
#include "platform/Message.h"
#include "platform/Resources.h"
#include "platform/SystemMetrics.h"
#include "platform/WindowDC.h"
#include "shell/PlugInServices.h"
#include "tools/KeepMode.h"
#include "tools/ToolRegistry.h"

namespace {

using platform::Rect;

constexpr int32_t kIconSize = 32;

// The sunken frames that group the buttons: x = 2, 53 wide.
constexpr struct {
  int32_t top, height;
} kGroups[] = {{2, 24}, {27, 24}, {52, 66}, {119, 24}, {144, 24}, {169, 36}};

platform::Colour colour(int index) { return platform::systemColour(index); }

Rect sized(int32_t left, int32_t top, int32_t width, int32_t height) { return {left, top, left + width, top + height}; }

}  // namespace

CToolboxBar::CToolboxBar() : current_(CurrentToolId()) {
  const struct {
    int id;
    Rect rect;
  } layout[] = {
      {kToolKeepEyedropper, sized(3, 28, 26, 22)}, {kToolDropEyedropper, sized(28, 28, 26, 22)},
      {kToolMagicBrush, sized(3, 53, 26, 22)},     {kToolPencil, sized(28, 53, 26, 22)},
      {kToolMagicBucket, sized(3, 74, 26, 22)},    {kToolBucket, sized(28, 74, 26, 22)},
      {kToolMagicWand, sized(3, 95, 26, 22)},      {kToolBrush, sized(28, 95, 26, 22)},
      {kToolPen, sized(3, 120, 51, 22)},           {kToolHand, sized(3, 145, 26, 22)},
      {kToolZoom, sized(28, 145, 26, 22)},         {kKeepModeSwitch, sized(3, 170, 51, 34)},
  };
  for (const auto& b : layout) buttons_[b.id] = {b.id, b.rect};
}

CToolboxBar::~CToolboxBar() {
  if (exists()) destroy();
  SetToolActivationListener(nullptr);
  SetKeepModeListener(nullptr);
}

bool CToolboxBar::CreateToolbox(platform::FrameWindow& frame) {
  // No caption; scripts and tests find the bar by its Window menu item.
  if (!createBar(frame, "", kBarId, kSize)) return false;
  setTitle("Toolbox");
  setAcceptsDoubleClicks(true);
  current_ = CurrentToolId();
  SetToolActivationListener([this](int32_t id) { SetCurrentTool(id); });
  SetKeepModeListener([this](bool) { RedrawButton(kKeepModeSwitch); });
  return true;
}

void CToolboxBar::SetCurrentTool(int32_t id) {
  if (id == current_) return;
  const int32_t old = current_;
  current_ = id;
  RedrawButton(old);
  RedrawButton(id);
}

int CToolboxBar::SwitchIcon() const { return KeepMode() ? kIconKeepModeOn : kIconKeepModeOff; }

bool CToolboxBar::ShowsPressed(int id) const {
  if (id == pressed_) return hovered_ == id || id == current_;
  return id == current_;
}

int CToolboxBar::ButtonAt(platform::Point point) const {
  for (const auto& [id, button] : buttons_)
    if (button.rect.contains(point)) return id;
  return 0;
}

void CToolboxBar::RedrawButton(int id) {
  const auto it = buttons_.find(id);
  if (it == buttons_.end() || !exists()) return;
  platform::ClientDC dc(*this);
  PaintButton(dc, it->second);
}

// A frame in the button-text colour; raised: light top-left and dark
// bottom-right edges around the face; pressed: the edges swapped over the
// highlight colour and the icon one pixel down and right.
void CToolboxBar::PaintButton(platform::DeviceContext& dc, const Button& button) const {
  const bool pressed = ShowsPressed(button.id);
  const Rect& r = button.rect;
  dc.frameRect(r, platform::Brush::solid(colour(platform::kColourBtnText)));
  const Rect inside{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  const platform::Colour topLeft = colour(pressed ? platform::kColourBtnShadow : platform::kColourBtnHighlight);
  const platform::Colour bottomRight = colour(pressed ? platform::kColourBtnHighlight : platform::kColourBtnShadow);
  dc.fillRect(inside, platform::Brush::solid(colour(pressed ? platform::kColourBtnHighlight : platform::kColourBtnFace)));
  dc.fillRect({inside.left, inside.top, inside.right, inside.top + 1}, platform::Brush::solid(topLeft));
  dc.fillRect({inside.left, inside.top, inside.left + 1, inside.bottom}, platform::Brush::solid(topLeft));
  dc.fillRect({inside.left, inside.bottom - 1, inside.right, inside.bottom}, platform::Brush::solid(bottomRight));
  dc.fillRect({inside.right - 1, inside.top, inside.right, inside.bottom}, platform::Brush::solid(bottomRight));

  const int icon = button.id == kKeepModeSwitch ? SwitchIcon() : button.id;
  const int32_t offset = pressed ? kIconSize / 2 - 1 : kIconSize / 2;
  const platform::Point centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  // The icon may be larger than the button: it stays inside the frame.
  dc.intersectClipRect({inside.left + 1, inside.top + 1, inside.right - 1, inside.bottom - 1});
  dc.drawIcon({centre.x - offset, centre.y - offset}, platform::resources::loadIcon(icon));
  dc.selectClipRegion(nullptr);
}

void CToolboxBar::Paint() {
  platform::PaintDC dc(*this);
  dc.fillRect(clientRect(), platform::Brush::solid(colour(platform::kColourBtnFace)));
  for (const auto& group : kGroups) dc.drawEdge(sized(2, group.top, 53, group.height), platform::kEdgeSunken);
  dc.drawBitmap(kTitleAt, platform::resources::loadBitmap(kTitleBitmap));
  for (const auto& [id, button] : buttons_) PaintButton(dc, button);
}

void CToolboxBar::Press(platform::Point point) {
  const int id = ButtonAt(point);
  if (id == 0) {
    if (kTitleStrip.contains(point) && plugInServices().showAboutBox) plugInServices().showAboutBox();
    return;
  }
  pressed_ = hovered_ = id;
  RedrawButton(id);
  setCapture();
}

void CToolboxBar::Track(platform::Point point) {
  if (pressed_ == 0) return;
  const int over = ButtonAt(point);
  if (over == hovered_) return;
  hovered_ = over;
  RedrawButton(pressed_);
}

void CToolboxBar::Release(platform::Point point) {
  if (pressed_ == 0) return;
  const int id = pressed_;
  const bool chosen = ButtonAt(point) == id;
  pressed_ = hovered_ = 0;
  releaseCapture();
  RedrawButton(id);
  if (chosen) Choose(id);
}

void CToolboxBar::Choose(int id) {
  if (id == kKeepModeSwitch) {
    ToggleKeepMode();
    return;
  }
  if (CTool* tool = FindTool(id)) SelectTool(*tool);
}

intptr_t CToolboxBar::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmPaint:
      Paint();
      return 0;
    case platform::kWmLButtonDown:
      Press(platform::pointOfParam(lParam));
      return 0;
    case platform::kWmLButtonDblClk: {
      // A double click on the hand or the zoom reaches the tool as a second
      // press in quick succession; on the other buttons it is a press.
      const int id = ButtonAt(platform::pointOfParam(lParam));
      if (id == kToolHand || id == kToolZoom) {
        Choose(id);
        return 0;
      }
      Press(platform::pointOfParam(lParam));
      return 0;
    }
    case platform::kWmMouseMove:
      Track(platform::pointOfParam(lParam));
      return 0;
    case platform::kWmLButtonUp:
      Release(platform::pointOfParam(lParam));
      return 0;
    default:
      break;
  }
  return ControlBar::handleMessage(message, wParam, lParam);
}

CToolboxBar& Toolbox() {
  static CToolboxBar toolbox;
  return toolbox;
}
