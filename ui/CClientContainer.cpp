#include "ui/CClientContainer.h"

#include <algorithm>
#include <string>
#include <utility>

#include "display/CWorkDocument.h"
#include "platform/SystemMetrics.h"
#include "shell/PlugIn.h"
#include "tools/SliderValues.h"

namespace {

constexpr int kMainViewId = 1;
constexpr int kVerticalBarId = 2;
constexpr int kHorizontalBarId = 3;
constexpr int kSizeBoxId = 4;
constexpr int kOpacitySliderId = 5;
constexpr int kDisplayModeId = 6;
constexpr int kChannelStripId = 7;
constexpr int32_t kOpacitySliderWidth = 100;
// The controls' window titles, which nobody sees: scripts find them by these.
constexpr const char* kOpacityTitle = "Opacity";
constexpr const char* kDisplayModeTitle = "Display Mode";
constexpr const char* kChannelsTitle = "Channels";

// The display modes' buttons: the image with the mask, the mask as grey,
// the original coverage as grey.
const std::vector<CSelectorButtons::Button> kDisplayModeButtons = {{205, 0}, {206, 1}, {207, 2}};

// The container on screen; the workspace's opacity reaches its slider.
CClientContainer* gLiveContainer = nullptr;

bool createChild(platform::Window& child, platform::Window& parent, int id, uint32_t extraStyle = 0,
                 std::string title = {}) {
  platform::CreateParams params;
  params.title = std::move(title);
  params.style = platform::kWsChild | platform::kWsVisible | extraStyle;
  params.parent = &parent;
  params.id = id;
  return child.create(params);
}

// The view settings kept in the workspace reach the main view when they
// change.
CMaskView* mainMaskView() {
  CWorkDocument* document = CWorkDocument::Current();
  return document != nullptr ? dynamic_cast<CMaskView*>(document->MainView()) : nullptr;
}

const bool kRegistered = [] {
  OverlayOpacity().OnChange([] {
    if (CMaskView* view = mainMaskView()) view->SetOverlayOpacity(OverlayOpacity().value());
    if (gLiveContainer != nullptr) gLiveContainer->OpacitySlider().SetValue(OverlayOpacity().value());
  });
  DisplaySetting().OnChange([] {
    if (CMaskView* view = mainMaskView()) view->SetGreyMidpoint(DisplaySetting().value());
  });
  return true;
}();

}  // namespace

CClientContainer::CClientContainer()
    : vertical_(true),
      horizontal_(false),
      displayMode_(CSelectorButtons::Direction::kAcross, [this](int32_t mode) { view_.SetDisplayMode(mode); }),
      channels_(CSelectorButtons::Direction::kDown, [this](int32_t channel) { view_.SetShownChannel(channel); }),
      opacity_([](int value) { OverlayOpacity().SetValue(value); }) {}

CClientContainer::~CClientContainer() {
  if (exists()) destroy();  // its kWmDestroy lets go of the live container
}

std::vector<CSelectorButtons::Button> CClientContainer::ChannelButtons(int16_t imageMode) {
  switch (imageMode) {
    case kHostModeRGB:
      return {{208, 1}, {210, 2}, {209, 3}, {204, 0}};
    case kHostModeCMYK:
      return {{211, 1}, {212, 2}, {213, 3}, {214, 4}, {204, 0}};
    case kHostModeLab:
      return {{232, 1}, {212, 2}, {213, 3}, {204, 0}};
    default:
      return {};
  }
}

// With c the vertical scroll bar's width, d the horizontal one's height and
// y0 = H - d: the view fills (W - c) x y0; along the bottom the opacity
// slider, the three display-mode buttons, the horizontal bar and the size
// box; down the right the channel strip and the vertical bar.
CClientContainer::Layout CClientContainer::LayoutFor(int32_t width, int32_t height, int32_t stripHeight) {
  const int32_t c = platform::systemMetric(platform::kSmCxVScroll);
  const int32_t d = platform::systemMetric(platform::kSmCyHScroll);
  const int32_t y0 = height - d;
  const int32_t modeRight = 3 * c + kOpacitySliderWidth;
  Layout l;
  l.view = {0, 0, width - c, y0};
  l.opacity = {0, y0, kOpacitySliderWidth, height};
  l.displayMode = {kOpacitySliderWidth, y0, modeRight, height};
  l.horizontal = {modeRight, y0, std::max(modeRight, width - c), height};
  l.sizeBox = {width - c, y0, width, height};
  l.strip = {width - c, 0, width, stripHeight};
  l.vertical = {width - c, stripHeight, width, std::max(stripHeight, y0)};
  return l;
}

bool CClientContainer::CreateIn(platform::Window& frame, int id) {
  platform::CreateParams params;
  params.style = platform::kWsChild | platform::kWsVisible;
  params.parent = &frame;
  params.id = id;
  params.rect = frame.clientRect();
  if (!create(params)) return false;
  const Layout l = LayoutFor(clientRect().width(), clientRect().height(), 0);
  if (!view_.CreateView(*this, l.view, kMainViewId)) return false;
  if (!createChild(vertical_, *this, kVerticalBarId) || !createChild(horizontal_, *this, kHorizontalBarId) ||
      !createChild(sizeBox_, *this, kSizeBoxId, platform::kWsDisabled) ||
      !createChild(opacity_, *this, kOpacitySliderId, 0, kOpacityTitle) ||
      !createChild(displayMode_, *this, kDisplayModeId, 0, kDisplayModeTitle) ||
      !createChild(channels_, *this, kChannelStripId, 0, kChannelsTitle))
    return false;
  displayMode_.SetButtons(kDisplayModeButtons, 0);
  channels_.SetButtons(ChannelButtons(gImageMode), 0);
  opacity_.SetValue(OverlayOpacity().value());
  gLiveContainer = this;
  view_.SetScrollBars(&vertical_, &horizontal_);
  view_.BecomeMainView();
  view_.SetOverlayOpacity(OverlayOpacity().value());
  view_.SetGreyMidpoint(DisplaySetting().value());
  Arrange();
  return true;
}

void CClientContainer::Arrange() {
  const Layout l = LayoutFor(clientRect().width(), clientRect().height(), channels_.Length());
  view_.move(l.view);
  vertical_.move(l.vertical);
  horizontal_.move(l.horizontal);
  sizeBox_.move(l.sizeBox);
  opacity_.move(l.opacity);
  displayMode_.move(l.displayMode);
  channels_.move(l.strip);
}

intptr_t CClientContainer::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmSize:
      if (view_.exists()) Arrange();
      break;
    case platform::kWmDestroy:
      if (gLiveContainer == this) gLiveContainer = nullptr;
      break;
    case platform::kWmHScroll:
    case platform::kWmVScroll:
      if (view_.exists()) return view_.send(message, wParam, lParam);
      break;
    default:
      break;
  }
  return platform::Window::handleMessage(message, wParam, lParam);
}
