#include "platform/FrameWindow.h"

#include <algorithm>
#include <cstring>

#include "platform/MessageQueue.h"
#include "platform/Resources.h"
#include "platform/SystemMetrics.h"

namespace platform {
namespace {

constexpr uint32_t kBarStateMagic = 0x54424C31;  // "TBL1"
constexpr size_t kBarRecordSize = 4 + 1 + 4 * 4;

void putInt(std::vector<uint8_t>& out, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(u >> shift));
}

int32_t getInt(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

}  // namespace

// ---- FrameWindow ----

bool FrameWindow::loadFrame(int resourceId, uint32_t style, Window* parent, std::string title, const Rect& rect) {
  CreateParams p;
  p.title = std::move(title);
  p.style = style;
  p.parent = parent;
  p.rect = rect.isEmpty() ? Rect{40, 40, 840, 640} : rect;
  return createFrame(p, resourceId);
}

bool FrameWindow::createFrame(const CreateParams& params, int resourceId) {
  if (resourceId != 0) {
    accelerators_ = resources::loadAccelerators(resourceId);
    icon_ = resources::loadIcon(resourceId);
    if (auto menu = resources::loadMenu(resourceId)) setMenu(std::move(menu));
  }
  return create(params);
}

bool FrameWindow::routeCommand(uint32_t id) {
  Window* focus = Window::focus();
  if (focus && focus != this && (focus->isDescendantOf(this) || focus->owner() == this))
    if (auto* target = dynamic_cast<CommandTarget*>(focus); target && target->onCommand(id)) return true;
  if (onCommand(id)) return true;
  Application* app = Application::current();
  return app && app->onCommand(id);
}

void FrameWindow::routeUpdate(CommandUpdate& update) {
  Window* focus = Window::focus();
  if (focus && focus != this && (focus->isDescendantOf(this) || focus->owner() == this))
    if (auto* target = dynamic_cast<CommandTarget*>(focus); target && target->onUpdateCommand(update)) return;
  if (onUpdateCommand(update) || update.handled) return;
  if (Application* app = Application::current()) app->onUpdateCommand(update);
}

void FrameWindow::updateMenu(Menu& popup) {
  for (size_t i = 0; i < popup.itemCount(); ++i) {
    Menu::Item& item = popup.item(i);
    if (item.text.empty() || item.submenu) continue;
    CommandUpdate update;
    update.id = item.id;
    update.checked = item.checked;
    routeUpdate(update);
    item.enabled = update.enabled;
    item.checked = update.checked;
  }
}

intptr_t FrameWindow::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmCreate:
      return onCreateClient() ? 0 : -1;
    case kWmCommand: {
      const uint32_t id = lowWord(wParam);
      if (lParam == 0) {
        // Menu items and accelerators of disabled commands do nothing.
        CommandUpdate update;
        update.id = id;
        routeUpdate(update);
        if (update.handled && !update.enabled) return 0;
      }
      routeCommand(id);
      return 0;
    }
    case kWmInitMenuPopup:
      if (wParam) updateMenu(*reinterpret_cast<Menu*>(wParam));
      return 0;
    case kWmIdleUpdateCmdUi:
      if (layoutPending_) recalcLayout();
      for (ControlBar* bar : bars_) bar->send(kWmIdleUpdateCmdUi, wParam, lParam);
      return 0;
    case kWmNcDestroy: {
      // Bars may outlive the frame (single instances that float in one
      // frame after another): they let go of it here.
      for (ControlBar* bar : bars_) bar->frame_ = nullptr;
      bars_.clear();
      Application* app = Application::current();
      if (app && app->mainWindow() == this) {
        app->setMainWindow(nullptr);
        postQuitMessage(0);
      }
      return Window::handleMessage(message, wParam, lParam);
    }
    default:
      return Window::handleMessage(message, wParam, lParam);
  }
}

ControlBar* FrameWindow::controlBar(int id) const {
  for (ControlBar* bar : bars_)
    if (bar->barId() == id) return bar;
  return nullptr;
}

void FrameWindow::showControlBar(ControlBar& bar, bool show, bool delay) {
  if (MiniFrame* mini = bar.miniFrame()) mini->show(show ? kSwShowNa : kSwHide);
  if (delay) {
    delayRecalcLayout();
  } else {
    recalcLayout();
  }
}

void FrameWindow::recalcLayout() {
  // Floating bars do not take room from the client area; the layout is the
  // client child filling it.
  layoutPending_ = false;
  for (Window* c : children())
    if (c->hasVisibleStyle() && dynamic_cast<ControlBar*>(c) == nullptr) c->move(clientRect());
}

std::vector<uint8_t> FrameWindow::saveBarState() const {
  std::vector<uint8_t> out;
  putInt(out, static_cast<int32_t>(kBarStateMagic));
  putInt(out, static_cast<int32_t>(bars_.size()));
  for (const ControlBar* bar : bars_) {
    putInt(out, bar->barId());
    out.push_back(bar->isBarVisible() ? 1 : 0);
    const Point at = bar->floatingPosition();
    putInt(out, at.x);
    putInt(out, at.y);
    putInt(out, bar->barSize().cx);
    putInt(out, bar->barSize().cy);
  }
  return out;
}

bool FrameWindow::loadBarState(const std::vector<uint8_t>& block) {
  if (block.size() < 8 || static_cast<uint32_t>(getInt(block.data())) != kBarStateMagic) return false;
  const int32_t count = getInt(block.data() + 4);
  if (count < 0 || block.size() != 8 + static_cast<size_t>(count) * kBarRecordSize) return false;
  struct Entry {
    int32_t id;
    bool visible;
    Point at;
    Size size;
  };
  std::vector<Entry> entries;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* p = block.data() + 8 + static_cast<size_t>(i) * kBarRecordSize;
    Entry e{getInt(p), p[4] != 0, {getInt(p + 5), getInt(p + 9)}, {getInt(p + 13), getInt(p + 17)}};
    if (p[4] > 1 || e.size.cx < 0 || e.size.cy < 0 || e.size.cx > 32767 || e.size.cy > 32767) return false;
    entries.push_back(e);
  }
  for (const Entry& e : entries) {
    ControlBar* bar = controlBar(e.id);
    if (bar == nullptr) continue;
    bar->setBarSize(bar->calcDynamicSize(e.size.cy, kLmLengthIsHeight | kLmCommit));
    bar->floatAt(e.at);
    showControlBar(*bar, e.visible, true);
  }
  return true;
}

// ---- MiniFrame ----

intptr_t MiniFrame::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmClose:
      // Closing a floating bar hides it; it lives as long as its frame.
      if (bar_->frame()) bar_->frame()->showControlBar(*bar_, false, true);
      return 0;
    case kWmSize: {
      const Size asked{pointParamX(lParam), pointParamY(lParam)};
      if (!bar_->exists() || asked == bar_->barSize()) return 0;
      // The length asked for is the side the user dragged.
      const Size size = asked.cx != bar_->barSize().cx ? bar_->calcDynamicSize(asked.cx, kLmHorz | kLmCommit)
                                                       : bar_->calcDynamicSize(asked.cy, kLmLengthIsHeight | kLmCommit);
      bar_->move({0, 0, size.cx, size.cy});
      if (size != asked) bar_->setBarSize(size);
      return 0;
    }
    case kWmKeyDown:
    case kWmKeyUp:
    case kWmSysKeyDown:
    case kWmSysKeyUp:
      return bar_->send(message, wParam, lParam);
    default:
      return Window::handleMessage(message, wParam, lParam);
  }
}

// ---- ControlBar ----

ControlBar::ControlBar() : mini_(*this) {}

ControlBar::~ControlBar() {
  if (frame_) {
    auto& bars = frame_->bars_;
    bars.erase(std::remove(bars.begin(), bars.end(), this), bars.end());
  }
  destroy();
  mini_.destroy();
}

bool ControlBar::createBar(FrameWindow& frame, std::string title, int barId, Size size) {
  CreateParams mp;
  mp.title = title;
  // A small caption without a close box: a bar is shown and hidden from
  // its frame's commands.
  mp.style = kWsPopup | kWsCaption;
  mp.exStyle = kWsExToolWindow;
  mp.parent = &frame;
  mp.rect = windowRectForClient({0, 0, size.cx, size.cy}, mp.style, mp.exStyle, false);
  mp.rect = mp.rect.offsetBy(-mp.rect.left, -mp.rect.top);
  if (!mini_.create(mp)) return false;
  CreateParams bp;
  bp.title = std::move(title);
  bp.style = kWsChild | kWsVisible;
  bp.parent = &mini_;
  bp.rect = {0, 0, size.cx, size.cy};
  bp.id = barId;
  frame_ = &frame;
  barId_ = barId;
  frame.bars_.push_back(this);
  if (!create(bp)) {
    frame.bars_.pop_back();
    frame_ = nullptr;
    mini_.destroy();
    return false;
  }
  return true;
}

void ControlBar::floatAt(Point screen) {
  const Rect r = mini_.windowRect();
  mini_.move({screen.x, screen.y, screen.x + r.width(), screen.y + r.height()});
}

bool ControlBar::isBarVisible() const { return mini_.exists() && mini_.hasVisibleStyle(); }

Point ControlBar::floatingPosition() const { return mini_.windowRect().topLeft(); }

void ControlBar::setBarSize(Size size) {
  const Rect outer = windowRectForClient({0, 0, size.cx, size.cy}, mini_.style(), mini_.exStyle(), false);
  const Point at = mini_.windowRect().topLeft();
  move({0, 0, size.cx, size.cy});
  mini_.move({at.x, at.y, at.x + outer.width(), at.y + outer.height()});
}

Size ControlBar::calcDynamicSize(int, unsigned) { return barSize(); }

}  // namespace platform
