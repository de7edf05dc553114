#include "ui/CNavFrame.h"

#include <algorithm>

#include "platform/Application.h"
#include "platform/FrameWindow.h"
#include "platform/SystemMetrics.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"

namespace {

constexpr uint32_t kNavigatorStyle =
    platform::kWsPopup | platform::kWsCaption | platform::kWsSysMenu | platform::kWsThickFrame;
constexpr uint32_t kNavigatorExStyle = platform::kWsExToolWindow;

// A rectangle read from a file: at least the minimum tracking size and at
// most the screen, so that a damaged record cannot ask for a window of
// billions of pixels.
platform::Rect sanitisedRect(platform::Rect rect) {
  const int32_t screenWidth = platform::systemMetric(platform::kSmCxScreen);
  const int32_t screenHeight = platform::systemMetric(platform::kSmCyScreen);
  const auto extent = [](int64_t from, int64_t to, int32_t least, int32_t most) {
    return static_cast<int32_t>(std::clamp<int64_t>(to - from, least, std::max(least, most)));
  };
  const int32_t width = extent(rect.left, rect.right, CNavFrame::kMinimumTrackSize.x, screenWidth);
  const int32_t height = extent(rect.top, rect.bottom, CNavFrame::kMinimumTrackSize.y, screenHeight);
  rect.left = std::clamp(rect.left, -screenWidth, screenWidth);
  rect.top = std::clamp(rect.top, -screenHeight, screenHeight);
  return {rect.left, rect.top, rect.left + width, rect.top + height};
}

}  // namespace

CNavFrame::Link CNavFrame::sentinel_;
int CNavFrame::count_ = 0;
platform::Rect CNavFrame::cascade_ = CNavFrame::kFirstCascadeRect;

CNavFrame::CNavFrame() {
  link_.frame = this;
  link_.prev = sentinel_.prev;
  link_.next = &sentinel_;
  sentinel_.prev->next = &link_;
  sentinel_.prev = &link_;
  ++count_;
}

CNavFrame::~CNavFrame() {
  link_.prev->next = link_.next;
  link_.next->prev = link_.prev;
  --count_;
}

CNavFrame* CNavFrame::First() { return sentinel_.next->frame; }

CNavFrame* CNavFrame::Next() const { return link_.next->frame; }

CNavFrame* CNavFrame::CreateAt(platform::Window& owner, const platform::Rect& rect) {
  auto* frame = new CNavFrame;
  platform::CreateParams params;
  params.title = stringResource(kStrNavigatorTitle);
  params.style = kNavigatorStyle;
  params.exStyle = kNavigatorExStyle;
  params.parent = &owner;
  params.rect = rect;
  if (!frame->create(params)) {
    delete frame;
    return nullptr;
  }
  if (!frame->view_.CreateView(*frame, frame->clientRect(), kFirstPaneId)) {
    frame->destroy();  // deletes it
    return nullptr;
  }
  frame->view_.ZoomToFit();
  return frame;
}

CNavFrame* CNavFrame::NewNavigator(platform::Window& owner) {
  if (count_ >= kMaxNavigators) return nullptr;
  CNavFrame* frame = CreateAt(owner, cascade_);
  if (frame == nullptr) return nullptr;
  // The window hugs the image at its fit zoom, with a pixel to spare on
  // every side.
  const platform::Size content = frame->view_.ContentSize();
  const platform::Rect outer =
      windowRectForClient({0, 0, content.cx, content.cy}, kNavigatorStyle, kNavigatorExStyle, false);
  frame->move({cascade_.left, cascade_.top, cascade_.left + outer.width() + 2, cascade_.top + outer.height() + 2});
  frame->show(platform::kSwShowNa);
  MoveCascade();
  return frame;
}

// One small caption down and right; ten back where the screen ends.
void CNavFrame::MoveCascade() {
  const int32_t step = platform::systemMetric(platform::kSmCySmCaption);
  cascade_ = cascade_.offsetBy(step, step);
  if (cascade_.right >= platform::systemMetric(platform::kSmCxScreen)) cascade_ = cascade_.offsetBy(-10 * step, 0);
  if (cascade_.bottom >= platform::systemMetric(platform::kSmCyScreen) - 50)
    cascade_ = cascade_.offsetBy(0, -10 * step);
}

// A listed navigator always has its window: one whose window could not be
// made is deleted at once, and destroying the window deletes the navigator.
void CNavFrame::CloseAll() {
  while (CNavFrame* frame = First()) frame->destroy();
}

void CNavFrame::ShowAll(bool show) {
  for (CNavFrame* frame = First(); frame != nullptr; frame = frame->Next())
    frame->show(show ? platform::kSwShowNa : platform::kSwHide);
}

intptr_t CNavFrame::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmGetMinMaxInfo:
      reinterpret_cast<platform::MinMaxInfo*>(lParam)->minTrackSize = kMinimumTrackSize;
      return 0;
    case platform::kWmSetFocus:
      if (view_.exists()) {
        view_.setFocus();
        return 0;
      }
      break;
    case platform::kWmSize:
      // A navigator always shows the whole image.
      if (view_.exists()) {
        view_.move(clientRect());
        view_.ZoomToFit();
      }
      break;
    default:
      break;
  }
  return platform::Window::handleMessage(message, wParam, lParam);
}

// ---- Workspace records ----

NavigatorParticipant::NavigatorParticipant(Registration registration, OwnerLookup owner)
    : WorkspaceParticipant(registration), owner_(std::move(owner)) {}

platform::Window* NavigatorParticipant::MainWindow() {
  platform::Application* app = platform::Application::current();
  return app != nullptr ? app->mainWindow() : nullptr;
}

void NavigatorParticipant::LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) {
  if (tag != kNavigatorTag || size != kNavigatorRecordSize) return;
  platform::Window* owner = owner_ ? owner_() : nullptr;
  if (owner == nullptr || CNavFrame::Count() >= CNavFrame::kMaxNavigators) return;
  const platform::Rect rect{loadLittleEndianInt32(payload), loadLittleEndianInt32(payload + 4),
                            loadLittleEndianInt32(payload + 8), loadLittleEndianInt32(payload + 12)};
  if (CNavFrame* frame = CNavFrame::CreateAt(*owner, sanitisedRect(rect))) frame->show(platform::kSwShowNa);
}

void NavigatorParticipant::Save() {
  for (CNavFrame* frame = CNavFrame::First(); frame != nullptr; frame = frame->Next()) {
    const platform::Rect r = frame->windowRect();
    uint8_t record[kNavigatorRecordSize];
    storeLittleEndianInt32(record, r.left);
    storeLittleEndianInt32(record + 4, r.top);
    storeLittleEndianInt32(record + 8, r.right);
    storeLittleEndianInt32(record + 12, r.bottom);
    WriteRecord(kNavigatorTag, kNavigatorRecordSize, record);
  }
}
