#include "display/CImageView.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

#include "display/CTool.h"
#include "display/CWorkDocument.h"
#include "platform/Application.h"
#include "platform/Input.h"
#include "platform/SystemMetrics.h"
#include "platform/WindowDC.h"
#include "shell/Exceptions.h"
#include "shell/PlugIn.h"

namespace {

CImageView::KeyHandlers gKeyHandlers;

constexpr int32_t kHitClient = 1;

int32_t clamp16(int32_t v) { return std::clamp<int32_t>(v, -32768, 32767); }

// Runs a handler's work and maps the system's own exceptions: a cancel is
// swallowed, a memory failure becomes the framework's out-of-memory
// exception and any other failure its silent abort. The mouse capture taken
// for a drag is released on every failure.
template <typename Work>
void guarded(Work&& work, bool releaseCapture) {
  try {
    work();
  } catch (const XCancel&) {
    if (releaseCapture) platform::Window::releaseCapture();
  } catch (const std::bad_alloc&) {
    if (releaseCapture) platform::Window::releaseCapture();
    throw platform::MemoryException();
  } catch (const XOrigin&) {
    if (releaseCapture) platform::Window::releaseCapture();
    throw platform::UserException();
  }
}

}  // namespace

CImageView::CImageView() = default;

CImageView::~CImageView() {
  ForgetTrackingView(*this);
  DetachDocument();
}

int32_t CImageView::Low14(int32_t value) { return value < 0 ? -((-value) & 0x3FFF) : (value & 0x3FFF); }

void CImageView::SetKeyHandlers(KeyHandlers handlers) { gKeyHandlers = std::move(handlers); }

uint32_t CImageView::KeyFlags() {
  uint32_t flags = 0;
  if (platform::isKeyDown(platform::kVkShift)) flags |= 4;
  if (platform::isKeyDown(platform::kVkMenu)) flags |= 0x40;
  if (platform::isKeyDown(platform::kVkControl)) flags |= 8;
  if (platform::isKeyDown(platform::kVkRButton)) flags |= 2;
  if (!platform::isKeyDown(platform::kVkLButton)) flags |= 1;
  return flags;
}

uint32_t CImageView::MouseFlags(uintptr_t messageFlags) {
  uint32_t flags = static_cast<uint32_t>(messageFlags) & ~0x40u;
  if (platform::isKeyDown(platform::kVkMenu)) flags |= 0x40;
  return flags;
}

void CImageView::AttachDocument(CWorkDocument* document) {
  if (document_ == document) return;
  DetachDocument();
  document_ = document;
  if (document_ != nullptr) document_->AddView(*this);
}

void CImageView::DetachDocument() {
  if (document_ == nullptr) return;
  document_->RemoveView(*this);
  document_ = nullptr;
}

platform::Point CImageView::WindowBase() const {
  return {visible_.left - gdiOrigin_.x, visible_.top - gdiOrigin_.y};
}

platform::Rect CImageView::VisibleWindowRect() const {
  const platform::Point base = WindowBase();
  return visible_.offsetBy(-base.x, -base.y);
}

platform::Rect CImageView::ImageRect() const {
  // Between host calls there is no image to ask about.
  if (document_ == nullptr || gFilterRecord == nullptr) return {};
  const CWorkDocument::Size size = document_->GetImageSize();
  return {0, 0, size.width, size.height};
}

// ---- Size, scrolling ----

void CImageView::OnImageSizeChanged() {
  const platform::Rect image = ImageRect();
  content_ = ContentForImage(image.height(), image.width());
  UpdateScrollBars();
  ScrollTo({visible_.left, visible_.top, visible_.left + clientRect().width(), visible_.top + clientRect().height()},
           false);
  invalidate(true);
}

void CImageView::SetScrollBars(platform::ScrollBar* vertical, platform::ScrollBar* horizontal) {
  vBar_ = vertical;
  hBar_ = horizontal;
  UpdateScrollBars();
}

void CImageView::UpdateScrollBars() {
  auto update = [](platform::ScrollBar* bar, int32_t content, int32_t visible, int32_t position, int32_t& shift) {
    shift = 0;
    while ((content >> shift) > 32767) ++shift;
    if (bar == nullptr) return;
    platform::ScrollInfo info;
    info.mask = platform::kSifRange | platform::kSifPage | platform::kSifPos | platform::kSifDisableNoScroll;
    info.min = 0;
    info.max = content >> shift;
    info.page = static_cast<uint32_t>(std::max(visible, 0) >> shift);
    info.pos = position >> shift;
    bar->setInfo(info);
  };
  update(vBar_, content_.cy, visible_.height(), visible_.top, vShift_);
  update(hBar_, content_.cx, visible_.width(), visible_.left, hShift_);
}

void CImageView::ScrollTo(const platform::Rect& requested, bool scrollWindow) {
  auto place = [](int32_t content, int32_t size, int32_t wanted) {
    const int32_t range = content - size;
    return range < 0 ? range / 2 : std::clamp(wanted, 0, range);
  };
  const int32_t height = requested.height(), width = requested.width();
  const int32_t top = place(content_.cy, height, requested.top);
  const int32_t left = place(content_.cx, width, requested.left);
  const platform::Rect next{left, top, left + width, top + height};
  if (next == visible_) return;

  StVisibleChange change(*this);
  const platform::Rect previous = visible_;
  const platform::Point oldBase = WindowBase();
  visible_ = next;
  gdiOrigin_ = {Low14(left), Low14(top)};
  const platform::Point newBase = WindowBase();
  if (newBase != oldBase) WindowBaseMoved(oldBase.x - newBase.x, oldBase.y - newBase.y);
  UpdateScrollBars();
  if (scrollWindow && exists() && previous.width() == width && previous.height() == height)
    scrollContents(previous.left - left, previous.top - top);
}

void CImageView::OnScroll(bool vertical, uint32_t code, int32_t thumb) {
  const int32_t content = vertical ? content_.cy : content_.cx;
  const int32_t extent = vertical ? visible_.height() : visible_.width();
  if (content <= extent) return;
  const int32_t shift = vertical ? vShift_ : hShift_;
  int32_t position = vertical ? visible_.top : visible_.left;
  switch (code) {
    case platform::kSbLineUp: position -= extent >> 4; break;
    case platform::kSbLineDown: position += extent >> 4; break;
    case platform::kSbPageUp: position -= extent; break;
    case platform::kSbPageDown: position += extent; break;
    case platform::kSbThumbPosition:
    case platform::kSbThumbTrack: position = thumb << shift; break;
    case platform::kSbTop: position = 0; break;
    case platform::kSbBottom: position = content; break;
    default: return;
  }
  platform::Rect wanted = visible_;
  if (vertical)
    wanted = {visible_.left, position, visible_.right, position + extent};
  else
    wanted = {position, visible_.top, position + extent, visible_.bottom};
  ScrollTo(wanted, true);
}

// ---- Conversions: 1:1 ----

void CImageView::ImageToWindowRect(platform::Rect& rect) const {
  const platform::Point base = WindowBase();
  rect = rect.offsetBy(-base.x, -base.y);
}

void CImageView::ImageToWindowPoint(platform::Point& point) const {
  const platform::Point base = WindowBase();
  point = {point.x - base.x, point.y - base.y};
}

void CImageView::WindowToImageRect(platform::Rect& rect) const {
  const platform::Point base = WindowBase();
  rect = rect.offsetBy(base.x, base.y);
}

void CImageView::WindowToImagePoint(platform::Point& point) const {
  const platform::Point base = WindowBase();
  point = {point.x + base.x, point.y + base.y};
}

void CImageView::InvalidateWindowRect(const platform::Rect& rect) {
  const platform::Rect client{clamp16(rect.left - gdiOrigin_.x), clamp16(rect.top - gdiOrigin_.y),
                              clamp16(rect.right - gdiOrigin_.x), clamp16(rect.bottom - gdiOrigin_.y)};
  invalidateRect(client, false);
}

// ---- Messages ----

void CImageView::EraseBackground(platform::DeviceContext& dc) {
  const platform::Rect client = clientRect();
  const platform::Rect content{-visible_.left, -visible_.top, content_.cx - visible_.left, content_.cy - visible_.top};
  platform::Region rest(client);
  const platform::Rect inside = content.intersected(client);
  if (!inside.isEmpty()) dc.fillRect(inside, platform::Brush::solid(platform::systemColour(platform::kColourWindow)));
  const platform::Rect frame{content.left - 1, content.top - 1, content.right + 1, content.bottom + 1};
  if (!content.isEmpty())
    dc.frameRect(frame, platform::Brush::solid(platform::systemColour(platform::kColourWindowText)));
  rest.subtract(frame);
  const platform::Brush workspace = platform::Brush::solid(platform::systemColour(platform::kColourAppWorkspace));
  for (const platform::Rect& r : rest.rects()) dc.fillRect(r, workspace);
}

void CImageView::OnPaint() {
  platform::Region region = updateRegion();
  {
    // Erases what needs it and validates the window. The drawing itself
    // goes through a client context: the pending region may reach beyond
    // the area the system asked for.
    platform::PaintDC paint(*this);
  }
  region.offset(gdiOrigin_.x, gdiOrigin_.y);
  guarded([&] { PaintRegion(region); }, false);
}

void CImageView::OnButton(bool down, intptr_t lParam, uint32_t flags) {
  const platform::Point point = ClientToWindow(platform::pointOfParam(lParam));
  if (down) {
    setCapture();
    guarded([&] { MouseDown(point, flags); }, true);
  } else {
    releaseCapture();
    guarded([&] { MouseUp(point, flags); }, false);
  }
}

void CImageView::OnKey(uint32_t message, uintptr_t key, intptr_t lParam) {
  const bool down = message == platform::kWmKeyDown || message == platform::kWmSysKeyDown;
  guarded(
      [&] {
        if (down)
          gKeyHandlers.keyDown(static_cast<uint32_t>(key), KeyFlags(), (lParam & platform::kKeyPreviouslyDown) != 0);
        else
          gKeyHandlers.keyUp(static_cast<uint32_t>(key), KeyFlags());
      },
      false);
}

intptr_t CImageView::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  using namespace platform;
  switch (message) {
    case kWmPaint:
      OnPaint();
      return 0;
    case kWmEraseBkgnd:
      if (wParam == 0) return 0;
      EraseBackground(*reinterpret_cast<DeviceContext*>(wParam));
      return 1;
    case kWmSetCursor:
      if (static_cast<int32_t>(lowWord(static_cast<uintptr_t>(lParam))) != kHitClient) break;
      guarded([] { ApplyToolCursor(); }, false);
      return 1;
    case kWmLButtonDown:
      OnButton(true, lParam, MouseFlags(wParam));
      return 0;
    case kWmRButtonDown:
      OnButton(true, lParam, MouseFlags(wParam) | kMkRButton);
      return 0;
    case kWmLButtonUp:
      OnButton(false, lParam, MouseFlags(wParam));
      return 0;
    case kWmRButtonUp:
      OnButton(false, lParam, MouseFlags(wParam) | kMkRButton);
      return 0;
    case kWmMouseMove: {
      const platform::Point point = ClientToWindow(pointOfParam(lParam));
      guarded([&] { MouseMove(point, MouseFlags(wParam)); }, false);
      return 0;
    }
    case kWmSize: {
      const platform::Rect client = clientRect();
      ScrollTo({visible_.left, visible_.top, visible_.left + client.width(), visible_.top + client.height()}, true);
      return 0;
    }
    case kWmHScroll:
    case kWmVScroll:
      guarded([&] {
        OnScroll(message == kWmVScroll, lowWord(wParam), static_cast<int16_t>(highWord(wParam)));
      }, false);
      return 0;
    case kWmKeyDown:
    case kWmSysKeyDown:
      if (!gKeyHandlers.keyDown) break;
      OnKey(message, wParam, lParam);
      return 0;
    case kWmKeyUp:
    case kWmSysKeyUp:
      if (!gKeyHandlers.keyUp) break;
      OnKey(message, wParam, lParam);
      return 0;
    case kWmSetFocus:
      guarded([&] { OnFocusGained(); }, false);
      return 0;
    case kWmKillFocus:
      guarded([&] { OnFocusLost(); }, false);
      return 0;
    case kWmMouseLeave:
      // The pointer went elsewhere: the tool's hover feedback goes.
      guarded([&] { EndTrackingIn(*this); }, false);
      return 0;
    case kWmDestroy:
      EndTrackingIn(*this);
      break;
    default:
      break;
  }
  return defaultHandler(message, wParam, lParam);
}
