#include "platform/Window.h"

#include <algorithm>
#include <unordered_map>

#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "platform/WindowDC.h"
#include "platform/internal/BackendWindows.h"
#include "platform/internal/FramebufferImpl.h"
#include "platform/internal/WindowSystem.h"

#include <QPainter>

namespace platform {
namespace {

std::unordered_map<const Window*, std::thread::id>& threads() {
  static std::unordered_map<const Window*, std::thread::id> map;
  return map;
}

template <typename T>
void eraseValue(std::vector<T>& v, const T& value) {
  v.erase(std::remove(v.begin(), v.end(), value), v.end());
}

}  // namespace

// ---- WindowSystem ----

std::recursive_mutex& WindowSystem::mutex() {
  static std::recursive_mutex m;
  return m;
}
std::vector<Window*>& WindowSystem::allWindows() {
  static std::vector<Window*> v;
  return v;
}
std::vector<Window*>& WindowSystem::topLevels() {
  static std::vector<Window*> v;
  return v;
}
Window*& WindowSystem::focusWindow() {
  static Window* w = nullptr;
  return w;
}
Window*& WindowSystem::activeWindow() {
  static Window* w = nullptr;
  return w;
}
Window*& WindowSystem::captureWindow() {
  static Window* w = nullptr;
  return w;
}
std::thread::id WindowSystem::threadOf(const Window* w) {
  std::lock_guard lock(mutex());
  auto it = threads().find(w);
  return it == threads().end() ? std::thread::id() : it->second;
}
void WindowSystem::setThread(const Window* w, std::thread::id id) {
  std::lock_guard lock(mutex());
  threads()[w] = id;
}
void WindowSystem::forget(const Window* w) {
  std::lock_guard lock(mutex());
  threads().erase(w);
}

Window* WindowSystem::windowNeedingPaint(std::thread::id thread, Window* within) {
  for (Window* w : allWindows()) {
    if (!w->needsPaint() || !w->isVisible() || threadOf(w) != thread) continue;
    if (within == nullptr || w == within || w->isDescendantOf(within)) return w;
  }
  return nullptr;
}

void WindowSystem::framebufferChanged(Window* w) {
  if (Window::isWindow(w)) backend::windowChanged(w->topLevel());
}

// ---- Window ----

Window::Window() = default;

Window::~Window() {
  if (live_) destroy();
}

bool Window::isWindow(const Window* window) {
  if (window == nullptr) return false;
  const auto& all = WindowSystem::allWindows();
  return std::find(all.begin(), all.end(), window) != all.end();
}

bool Window::create(const CreateParams& params) {
  if (live_) return false;
  title_ = params.title;
  style_ = params.style & ~kWsVisible;
  exStyle_ = params.exStyle;
  id_ = params.id;
  if (style_ & kWsChild) {
    if (!isWindow(params.parent)) return false;
    parent_ = params.parent;
  } else {
    owner_ = isWindow(params.parent) ? params.parent->topLevel() : nullptr;
  }
  rect_ = params.rect;
  normalRect_ = rect_;
  live_ = true;
  WindowSystem::allWindows().push_back(this);
  WindowSystem::setThread(this, std::this_thread::get_id());
  if (parent_) {
    parent_->children_.push_back(this);
  } else {
    WindowSystem::topLevels().insert(WindowSystem::topLevels().begin(), this);
  }
  // As on the desktop system, the window learns its size after kWmCreate,
  // when its children exist.
  resizeClient(false);
  if (send(kWmCreate) == -1) {
    destroy();
    return false;
  }
  if (!live_) return false;
  sendSize();
  if (params.style & kWsMaximize) {
    show(kSwShowMaximized);
  } else if (params.style & kWsVisible) {
    show(kSwShow);
  }
  return live_;
}

void Window::destroy() {
  if (!live_) return;
  for (Window* w : std::vector<Window*>(WindowSystem::topLevels()))
    if (w->owner_ == this) w->destroy();
  if (!live_) return;
  const bool wasVisible = isVisible();
  send(kWmDestroy);
  while (!children_.empty()) children_.back()->destroy();
  if (WindowSystem::captureWindow() == this) releaseCapture();
  Window*& focus = WindowSystem::focusWindow();
  if (focus == this) focus = nullptr;
  live_ = false;
  if (parent_) eraseValue(parent_->children_, this);
  eraseValue(WindowSystem::topLevels(), this);
  eraseValue(WindowSystem::allWindows(), this);
  WindowSystem::dropMessagesFor(this);
  backend::windowDestroyed(this);
  if (WindowSystem::activeWindow() == this) {
    WindowSystem::activeWindow() = nullptr;
    Window* next = owner_ && owner_->live_ && owner_->isVisible() ? owner_ : nullptr;
    for (Window* w : WindowSystem::topLevels())
      if (!next && w->isVisible() && w->isEnabled()) next = w;
    if (next) next->activate();
  }
  if (parent_ && wasVisible) WindowSystem::framebufferChanged(parent_);
  WindowSystem::forget(this);
  handleMessage(kWmNcDestroy, 0, 0);
  parent_ = nullptr;
  owner_ = nullptr;
  destroyed();
}

intptr_t Window::send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!live_ && message != kWmNcDestroy) return 0;
  return handleMessage(message, wParam, lParam);
}

void Window::post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (live_) postMessage(this, message, wParam, lParam);
}

intptr_t sendMessage(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return Window::isWindow(window) ? window->send(message, wParam, lParam) : 0;
}

intptr_t Window::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return defaultHandler(message, wParam, lParam);
}

intptr_t Window::defaultHandler(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmPaint: {
      PaintDC dc(*this);
      return 0;
    }
    case kWmEraseBkgnd: {
      if (!hasBackground_ || wParam == 0) return 0;
      auto* dc = reinterpret_cast<DeviceContext*>(wParam);
      dc->fillRect(clientRect(), Brush::solid(background_));
      return 1;
    }
    case kWmClose:
      destroy();
      return 0;
    case kWmSetCursor:
      // Parents decide first, as children rarely care.
      if (parent_ && parent_->send(kWmSetCursor, wParam, lParam)) return 1;
      return 0;
    case kWmGetMinMaxInfo:
    case kWmQueryEndSession:
      return message == kWmQueryEndSession ? 1 : 0;
    case kWmKeyDown:
      // F1 asks for help; the request travels up to whoever answers it.
      if (wParam == kVkF1) send(kWmHelp);
      return 0;
    case kWmSysKeyDown:
      // Alt+letter travels up to the dialog or frame that answers it.
      if (parent_ && (style_ & kWsChild)) return parent_->send(message, wParam, lParam);
      return 0;
    case kWmKeyUp:
    case kWmSysKeyUp:
    case kWmChar:
    case kWmHelp:
      // Unhandled keys travel up to the parent, as help requests do.
      if (message == kWmHelp && parent_) return parent_->send(message, wParam, lParam);
      return 0;
    default:
      return 0;
  }
}

// ---- Tree ----

Window* Window::topLevel() {
  Window* w = this;
  while (w->parent_) w = w->parent_;
  return w;
}

Window* Window::childById(int id) const {
  for (Window* c : children_)
    if (c->id_ == id) return c;
  return nullptr;
}

bool Window::isDescendantOf(const Window* ancestor) const {
  for (const Window* w = parent_; w; w = w->parent_)
    if (w == ancestor) return true;
  return false;
}

// ---- Appearance ----

void Window::setTitle(std::string title) {
  title_ = std::move(title);
  if (live_) WindowSystem::framebufferChanged(this);
}

void Window::setStyle(uint32_t style) {
  const bool visible = (style_ & kWsVisible) != 0;
  style_ = (style & ~kWsVisible) | (visible ? uint32_t{kWsVisible} : uint32_t{0});
  if (live_) resizeClient();
}

void Window::setBackground(Colour colour) {
  hasBackground_ = true;
  background_ = colour;
}

void Window::clearBackground() { hasBackground_ = false; }

// ---- Visibility ----

bool Window::isVisible() const {
  for (const Window* w = this; w; w = w->parent_)
    if (!w->live_ || !(w->style_ & kWsVisible)) return false;
  return true;
}

bool Window::enable(bool enabled) {
  const bool wasDisabled = !isEnabled();
  if (enabled == !wasDisabled) return wasDisabled;
  style_ = enabled ? (style_ & ~kWsDisabled) : (style_ | kWsDisabled);
  if (!enabled) {
    if (focus() == this || (focus() && focus()->isDescendantOf(this))) WindowSystem::focusWindow() = nullptr;
    if (capture() == this) releaseCapture();
  }
  send(kWmEnable, enabled ? 1 : 0);
  return wasDisabled;
}

void Window::setShowState(int state, bool visible, bool activateIt) {
  const bool wasVisible = (style_ & kWsVisible) != 0;
  const int oldState = showState_;
  if (state == kSwShowMaximized && oldState == kSwShowNormal) normalRect_ = rect_;
  showState_ = state;
  style_ = visible ? (style_ | kWsVisible) : (style_ & ~kWsVisible);
  if (state == kSwShowMaximized && !parent_) {
    rect_ = workArea();
  } else if (state == kSwShowNormal && oldState != kSwShowNormal) {
    rect_ = normalRect_;
  }
  if (visible != wasVisible) send(kWmShowWindow, visible ? 1 : 0);
  resizeClient();
  if (visible && !wasVisible) invalidate(true);
  if (!visible) {
    Window* f = focus();
    if (f && (f == this || f->isDescendantOf(this))) WindowSystem::focusWindow() = parent_;
  }
  if (activateIt && visible && !parent_) activate();
  if (parent_) WindowSystem::framebufferChanged(parent_);
  WindowSystem::framebufferChanged(this);
}

bool Window::show(int command) {
  if (!live_) return false;
  const bool wasVisible = (style_ & kWsVisible) != 0;
  const int state = showState_;
  switch (command) {
    case kSwHide: setShowState(state, false, false); break;
    case kSwShowNormal:
    case kSwRestore: setShowState(kSwShowNormal, true, true); break;
    case kSwShowMinimized:
    case kSwMinimize: setShowState(kSwShowMinimized, true, command == kSwShowMinimized); break;
    case kSwShowMinNoActive: setShowState(kSwShowMinimized, true, false); break;
    case kSwShowMaximized: setShowState(kSwShowMaximized, true, true); break;
    case kSwShowNoActivate: setShowState(kSwShowNormal, true, false); break;
    case kSwShow: setShowState(state, true, true); break;
    case kSwShowNa: setShowState(state, true, false); break;
    default: return wasVisible;
  }
  return wasVisible;
}

WindowPlacement Window::placement() const {
  WindowPlacement p;
  p.showCommand = showState_;
  p.normalPosition = showState_ == kSwShowNormal ? rect_ : normalRect_;
  return p;
}

bool Window::setPlacement(const WindowPlacement& placement) {
  if (!live_) return false;
  normalRect_ = placement.normalPosition;
  if (showState_ == kSwShowNormal) move(normalRect_);
  switch (placement.showCommand) {
    case kSwHide: show(kSwHide); break;
    case kSwShowMinimized:
    case kSwMinimize:
    case kSwShowMinNoActive: show(placement.showCommand); break;
    case kSwShowMaximized: show(kSwShowMaximized); break;
    case kSwShowNoActivate: show(kSwShowNoActivate); break;
    default: show(kSwShowNormal); break;
  }
  return true;
}

// ---- Geometry ----

Rect Window::nonClientInsets() const {
  Rect in;
  int frame = 0;
  if (style_ & kWsThickFrame) {
    frame = systemMetric(kSmCxFrame);
  } else if ((style_ & kWsBorder) || (style_ & kWsCaption) == kWsCaption) {
    frame = systemMetric(kSmCxBorder);
  }
  in.left = in.top = in.right = in.bottom = frame;
  if ((style_ & kWsCaption) == kWsCaption && !(style_ & kWsChild))
    in.top += systemMetric((exStyle_ & kWsExToolWindow) ? kSmCySmCaption : kSmCyCaption);
  if (menu_ && !(style_ & kWsChild)) in.top += systemMetric(kSmCyMenu);
  return in;
}

Rect Window::closeBoxRect() const {
  if ((style_ & kWsCaption) != kWsCaption || (style_ & kWsChild) || !(exStyle_ & kWsExToolWindow) ||
      !(style_ & kWsSysMenu))
    return {};
  const Rect in = nonClientInsets();
  const int32_t frame = in.left;
  const int32_t h = systemMetric(kSmCySmCaption);
  const int32_t side = std::max(4, h - 4);
  const int32_t right = rect_.width() - frame - 2;
  const int32_t top = frame + (h - side) / 2;
  return {right - side, top, right, top + side};
}

bool Window::captionActive() const {
  const Window* a = active();
  if (a == nullptr) return false;
  if (a == this) return true;
  // A frame and the tool windows it owns look active together.
  if ((a->exStyle_ & kWsExToolWindow) && a->owner_ == this) return true;
  return (exStyle_ & kWsExToolWindow) && owner_ && (a == owner_ || a->owner_ == owner_);
}

Rect Window::windowRectForClient(const Rect& client, uint32_t style, uint32_t exStyle, bool hasMenu) {
  Window probe;
  probe.style_ = style;
  probe.exStyle_ = exStyle;
  if (hasMenu) probe.menu_ = std::make_unique<Menu>();
  const Rect in = probe.nonClientInsets();
  return {client.left - in.left, client.top - in.top, client.right + in.right, client.bottom + in.bottom};
}

void Window::resizeClient(bool notify) {
  const Rect in = nonClientInsets();
  const Size size{std::max(0, rect_.width() - in.left - in.right), std::max(0, rect_.height() - in.top - in.bottom)};
  if (size == clientSize_ && framebuffer_.width() == size.cx && framebuffer_.height() == size.cy) return;
  clientSize_ = size;
  framebuffer_.resize(size.cx, size.cy, hasBackground_ ? background_ : rgb(255, 255, 255));
  update_.setRect(clientRect());
  erasePending_ = true;
  if (notify) sendSize();
}

void Window::sendSize() {
  const Size size = clientSize_;
  const uint32_t kind = showState_ == kSwShowMaximized   ? kSizeMaximized
                        : showState_ == kSwShowMinimized ? kSizeMinimized
                                                         : kSizeRestored;
  send(kWmSize, kind, makePointParam(size.cx, size.cy));
}

Rect Window::windowRect() const {
  if (!parent_) return rect_;
  const Point p = parent_->clientToScreen(rect_.topLeft());
  return {p.x, p.y, p.x + rect_.width(), p.y + rect_.height()};
}

void Window::move(const Rect& rect, bool repaint) {
  rect_ = rect;
  if (showState_ == kSwShowNormal) normalRect_ = rect;
  resizeClient();
  send(kWmMove, 0, makePointParam(rect.left, rect.top));
  if (repaint && parent_) WindowSystem::framebufferChanged(parent_);
  WindowSystem::framebufferChanged(this);
}

Point Window::clientToScreen(Point p) const {
  const Rect in = nonClientInsets();
  const Point origin = parent_ ? parent_->clientToScreen(rect_.topLeft()) : rect_.topLeft();
  return {origin.x + in.left + p.x, origin.y + in.top + p.y};
}

Point Window::screenToClient(Point p) const {
  const Point zero = clientToScreen({0, 0});
  return {p.x - zero.x, p.y - zero.y};
}

Rect Window::clientRectToScreen(const Rect& r) const {
  const Point tl = clientToScreen(r.topLeft());
  return {tl.x, tl.y, tl.x + r.width(), tl.y + r.height()};
}

Window* Window::childAtPoint(Point client) {
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    Window* c = *it;
    if (!(c->style_ & kWsVisible) || !c->rect_.contains(client)) continue;
    const Point inner = c->screenToClient(clientToScreen(client));
    if (!c->clientRect().contains(inner)) return c;  // on the child's border
    return c->childAtPoint(inner);
  }
  return this;
}

// ---- Z-order ----

void Window::bringToTop() {
  if (parent_) {
    eraseValue(parent_->children_, this);
    parent_->children_.push_back(this);
    WindowSystem::framebufferChanged(parent_);
    return;
  }
  auto& tops = WindowSystem::topLevels();
  eraseValue(tops, this);
  tops.insert(tops.begin(), this);
  // Owned windows stay in front of their owner.
  for (Window* w : std::vector<Window*>(tops))
    if (w->owner_ == this) {
      eraseValue(tops, w);
      tops.insert(tops.begin(), w);
    }
}

void Window::sendToBottom() {
  if (parent_) {
    eraseValue(parent_->children_, this);
    parent_->children_.insert(parent_->children_.begin(), this);
    WindowSystem::framebufferChanged(parent_);
    return;
  }
  auto& tops = WindowSystem::topLevels();
  eraseValue(tops, this);
  tops.push_back(this);
}

// ---- Focus, activation, capture ----

Window* Window::focus() { return WindowSystem::focusWindow(); }
Window* Window::active() { return WindowSystem::activeWindow(); }
Window* Window::capture() { return WindowSystem::captureWindow(); }

Window* Window::setFocus() {
  Window* old = WindowSystem::focusWindow();
  if (!live_ || old == this) return old;
  Window* top = topLevel();
  if (WindowSystem::activeWindow() != top) {
    WindowSystem::focusWindow() = nullptr;
    top->activate();
    old = old && isWindow(old) ? old : nullptr;
  }
  Window* previous = WindowSystem::focusWindow();
  if (previous == this) return old;
  WindowSystem::focusWindow() = this;
  if (isWindow(previous)) previous->send(kWmKillFocus, reinterpret_cast<uintptr_t>(this));
  if (WindowSystem::focusWindow() == this) send(kWmSetFocus, reinterpret_cast<uintptr_t>(previous));
  return old;
}

Window* Window::activate() {
  Window* top = topLevel();
  Window* old = WindowSystem::activeWindow();
  if (old == top) return old;
  WindowSystem::activeWindow() = top;
  if (isWindow(old)) old->send(kWmActivate, 0, reinterpret_cast<intptr_t>(top));
  top->bringToTop();
  top->send(kWmActivate, 1, reinterpret_cast<intptr_t>(old));
  Window* f = WindowSystem::focusWindow();
  if (f == nullptr || f->topLevel() != top) {
    WindowSystem::focusWindow() = nullptr;
    if (isWindow(f)) f->send(kWmKillFocus, reinterpret_cast<uintptr_t>(top));
    if (WindowSystem::focusWindow() == nullptr) {
      WindowSystem::focusWindow() = top;
      top->send(kWmSetFocus, reinterpret_cast<uintptr_t>(f));
    }
  }
  return old;
}

Window* Window::setCapture() {
  Window* old = WindowSystem::captureWindow();
  if (live_) WindowSystem::captureWindow() = this;
  return old;
}

void Window::releaseCapture() {
  Window* old = WindowSystem::captureWindow();
  WindowSystem::captureWindow() = nullptr;
  if (isWindow(old)) old->send(kWmCaptureChanged, 0, 0);
}

// ---- Properties ----

void Window::setProperty(const std::string& name, intptr_t value) { properties_[name] = value; }

intptr_t Window::property(const std::string& name) const {
  auto it = properties_.find(name);
  return it == properties_.end() ? 0 : it->second;
}

intptr_t Window::removeProperty(const std::string& name) {
  auto it = properties_.find(name);
  if (it == properties_.end()) return 0;
  const intptr_t value = it->second;
  properties_.erase(it);
  return value;
}

void Window::setMenu(std::unique_ptr<Menu> menu) {
  menu_ = std::move(menu);
  if (live_) resizeClient();
  WindowSystem::framebufferChanged(this);
}

// ---- Painting ----

void Window::invalidate(bool erase) { invalidateRect(clientRect(), erase); }

void Window::invalidateRect(const Rect& client, bool erase) {
  update_.unite(client.intersected(clientRect()));
  if (erase) erasePending_ = true;
}

void Window::invalidateRegion(const Region& client, bool erase) {
  Region r(client);
  r.intersect(clientRect());
  update_.unite(r);
  if (erase) erasePending_ = true;
}

void Window::validate() {
  update_.setEmpty();
  erasePending_ = false;
}

void Window::validateRect(const Rect& client) {
  update_.subtract(client);
  if (update_.isEmpty()) erasePending_ = false;
}

void Window::updateNow() {
  if (live_ && needsPaint() && isVisible()) send(kWmPaint);
}

void Window::scrollContents(int32_t dx, int32_t dy) {
  if (dx == 0 && dy == 0) return;
  DeviceContext dc(framebuffer_);
  const Rect client = clientRect();
  const Rect dest = client.offsetBy(dx, dy).intersected(client);
  if (!dest.isEmpty()) {
    Framebuffer copy = framebuffer_;
    DeviceContext source(copy);
    dc.copyFrom(dest, source, {dest.left - dx, dest.top - dy});
  }
  update_.offset(dx, dy);
  update_.intersect(client);
  Region uncovered(client);
  uncovered.subtract(dest);
  invalidateRegion(uncovered, true);
  WindowSystem::framebufferChanged(this);
}

// ---- Composition ----

Framebuffer Window::composite() {
  const Rect r = windowRect();
  Framebuffer out(r.width(), r.height(), systemColour(kColourBtnFace));
  drawNonClient(out);
  const Rect in = nonClientInsets();
  QPainter painter(&out.impl().image);
  WindowSystem::paintTree(&painter, this, {in.left, in.top});
  return out;
}

void Window::present() {
  if (live_) backend::present(topLevel());
}

void WindowSystem::paintNonClient(Window* w, Framebuffer& target) { w->drawNonClient(target); }

void WindowSystem::paintTree(void* p, Window* w, Point at) {
  QPainter& painter = *static_cast<QPainter*>(p);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(at.x, at.y, w->framebuffer_.impl().image);
  for (Window* c : w->children_) {
    if (!(c->style_ & kWsVisible)) continue;
    const Rect in = c->nonClientInsets();
    const Rect outer = c->rect_.offsetBy(at.x, at.y);
    if (in.left > 0) {
      painter.setPen(QColor(0, 0, 0));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(outer.left, outer.top, outer.width() - 1, outer.height() - 1);
    }
    const QRegion saved = painter.clipRegion();
    const bool clipped = painter.hasClipping();
    painter.setClipRect(outer.left + in.left, outer.top + in.top, c->clientSize_.cx, c->clientSize_.cy,
                        clipped ? Qt::IntersectClip : Qt::ReplaceClip);
    paintTree(&painter, c, {outer.left + in.left, outer.top + in.top});
    if (clipped) {
      painter.setClipRegion(saved);
    } else {
      painter.setClipping(false);
    }
  }
}

void Window::drawNonClient(Framebuffer& target) {
  DeviceContext dc(target);
  const Rect all = target.bounds();
  const Rect in = nonClientInsets();
  if (in.left > 0) {
    dc.setBrush(Brush::null());
    dc.setPen({kPenSolid, systemColour(kColourBtnShadow)});
    dc.rectangle(all);
  }
  int32_t y = in.left;
  if ((style_ & kWsCaption) == kWsCaption && !parent_) {
    const int32_t h = systemMetric((exStyle_ & kWsExToolWindow) ? kSmCySmCaption : kSmCyCaption);
    const Rect caption{in.left, y, all.right - in.right, y + h};
    const bool activeLook = captionActive();
    dc.fillRect(caption, Brush::solid(systemColour(activeLook ? kColourActiveCaption : kColourInactiveCaption)));
    Font font;
    font.bold = true;
    font.height = h - 6;
    dc.setFont(font);
    dc.setBkMode(kBkTransparent);
    dc.setTextColour(systemColour(activeLook ? kColourCaptionText : kColourInactiveCaptionText));
    const Rect box = closeBoxRect();
    if (!box.isEmpty()) {
      dc.fillRect(box, Brush::solid(systemColour(kColourBtnFace)));
      dc.drawEdge(box, kEdgeRaised);
      dc.setPen({kPenSolid, systemColour(kColourBtnText)});
      const int32_t m = box.width() / 4 + 1;
      for (int32_t d = 0; d < 2; ++d) {
        dc.moveTo({box.left + m + d, box.top + m});
        dc.lineTo({box.right - m + d, box.bottom - m});
        dc.moveTo({box.right - m - 1 + d, box.top + m});
        dc.lineTo({box.left + m - 1 + d, box.bottom - m});
      }
    }
    dc.drawText({caption.left + 4, caption.top, caption.right, caption.bottom}, title_, kDtVCenter | kDtSingleLine | kDtNoPrefix);
    y += h;
  }
  if (menu_) {
    const int32_t h = systemMetric(kSmCyMenu);
    dc.fillRect({in.left, y, all.right - in.right, y + h}, Brush::solid(systemColour(kColourMenu)));
    dc.setFont(Font{});
    dc.setBkMode(kBkTransparent);
    int32_t x = in.left + 6;
    for (size_t i = 0; i < menu_->itemCount(); ++i) {
      const std::string text = Menu::displayText(menu_->item(i).text);
      const Size extent = dc.textExtent(text);
      dc.setTextColour(systemColour(menu_->item(i).enabled ? kColourMenuText : kColourGrayText));
      dc.drawText({x, y, x + extent.cx + 2, y + h}, text, kDtVCenter | kDtSingleLine);
      x += extent.cx + 14;
    }
  }
}

std::vector<Window*> Window::topLevelWindows() {
  std::vector<Window*> out;
  for (Window* w : WindowSystem::topLevels())
    if (WindowSystem::threadOf(w) == std::this_thread::get_id()) out.push_back(w);
  return out;
}

// ---- Device contexts of windows ----

ClientDC::ClientDC(Window& window) : DeviceContext(window.framebuffer()), window_(&window) {}

ClientDC::~ClientDC() { WindowSystem::framebufferChanged(window_); }

PaintDC::PaintDC(Window& window) : DeviceContext(window.framebuffer()), window_(&window) {
  region_ = window.update_;
  const bool erase = window.erasePending_;
  window.update_.setEmpty();
  window.erasePending_ = false;
  setSystemClip(&region_);
  if (erase) eraseNeeded_ = window.send(kWmEraseBkgnd, reinterpret_cast<uintptr_t>(static_cast<DeviceContext*>(this))) == 0;
}

PaintDC::~PaintDC() { WindowSystem::framebufferChanged(window_); }

}  // namespace platform
