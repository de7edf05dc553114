#include "platform/internal/Backend.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <set>

#include "platform/Application.h"
#include "platform/Automation.h"
#include "platform/DeviceContext.h"
#include "platform/Framebuffer.h"
#include "platform/FrameWindow.h"
#include "platform/Input.h"
#include "platform/SystemMetrics.h"
#include "platform/Window.h"
#include "platform/internal/BackendWindows.h"
#include "platform/internal/FramebufferImpl.h"
#include "platform/internal/WindowSystem.h"

namespace platform::backend {
namespace {

bool displayAvailable() {
  return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
}

uint32_t virtualKey(const QKeyEvent* e) {
  const int k = e->key();
  if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9)) return static_cast<uint32_t>(k);
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return kVkF1 + static_cast<uint32_t>(k - Qt::Key_F1);
  switch (k) {
    case Qt::Key_Escape: return kVkEscape;
    case Qt::Key_Return:
    case Qt::Key_Enter: return kVkReturn;
    case Qt::Key_Backspace: return kVkBack;
    case Qt::Key_Tab: return kVkTab;
    case Qt::Key_Space: return kVkSpace;
    case Qt::Key_Left: return kVkLeft;
    case Qt::Key_Right: return kVkRight;
    case Qt::Key_Up: return kVkUp;
    case Qt::Key_Down: return kVkDown;
    case Qt::Key_Shift: return kVkShift;
    case Qt::Key_Control: return kVkControl;
    case Qt::Key_Alt: return kVkMenu;
    case Qt::Key_Delete: return kVkDelete;
    case Qt::Key_Home: return kVkHome;
    case Qt::Key_End: return kVkEnd;
    case Qt::Key_PageUp: return kVkPrior;
    case Qt::Key_PageDown: return kVkNext;
    case Qt::Key_Plus:
    case Qt::Key_Equal: return kVkOemPlus;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return kVkOemMinus;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return kVkOem4;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return kVkOem6;
    default: return 0;
  }
}

uint32_t buttonMessage(Qt::MouseButton button, bool down) {
  if (button == Qt::LeftButton) return down ? kWmLButtonDown : kWmLButtonUp;
  if (button == Qt::RightButton) return down ? kWmRButtonDown : kWmRButtonUp;
  return 0;
}

void keepOwnedAbove(Window* owner);

// Shows one top-level window: its menu bar and client area with the
// children, straight from their framebuffers. The window manager draws the
// caption and frame.
class Mirror : public QWidget {
 public:
  explicit Mirror(Window* window) : window_(window) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    if (window->owner() || (window->exStyle() & kWsExToolWindow)) setWindowFlag(Qt::Tool);
    if ((window->style() & kWsCaption) != kWsCaption) setWindowFlag(Qt::FramelessWindowHint);
    // Without a system menu there is no close box; the window manager is
    // asked for a caption alone.
    if ((window->style() & kWsCaption) == kWsCaption && !(window->style() & kWsSysMenu))
      setWindowFlags(windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  }

  void sync() {
    const Point client = window_->clientToScreen({0, 0});
    const int menuHeight = window_->menu() ? systemMetric(kSmCyMenu) : 0;
    const QRect geometry(client.x, client.y - menuHeight, window_->clientRect().width(),
                         window_->clientRect().height() + menuHeight);
    menuHeight_ = menuHeight;
    if (this->geometry() != geometry) setGeometry(geometry);
    MinMaxInfo limits{};
    window_->send(kWmGetMinMaxInfo, 0, reinterpret_cast<intptr_t>(&limits));
    const Rect in = window_->nonClientInsets();
    if (limits.minTrackSize.x > 0 || limits.minTrackSize.y > 0)
      setMinimumSize(std::max(0, limits.minTrackSize.x - in.left - in.right),
                     std::max(0, limits.minTrackSize.y - in.top - in.bottom + menuHeight));
    setWindowTitle(QString::fromStdString(window_->title()));
  }

 protected:
  // A window manager raises a window that becomes active; what it owns
  // comes up with it.
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) keepOwnedAbove(window_);
    QWidget::changeEvent(event);
  }
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.setClipRegion(event->region());
    if (menuHeight_ > 0) {
      Framebuffer full = Framebuffer(window_->windowRect().width(), window_->windowRect().height());
      WindowSystem::paintNonClient(window_, full);
      const Rect in = window_->nonClientInsets();
      painter.drawImage(QPoint(0, 0), full.impl().image,
                        QRect(in.left, in.top - menuHeight_, width(), menuHeight_));
    }
    WindowSystem::paintTree(&painter, window_, {0, menuHeight_});
  }

  void mouseEvent(QMouseEvent* e, uint32_t message) {
    if (message == 0 || automation::enabled()) return;
    const QPoint g = e->globalPosition().toPoint();
    WindowSystem::mouseInput(message, {g.x(), g.y()}, 0);
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->position().y() < menuHeight_) {
      openMenu(static_cast<int>(e->position().x()));
      return;
    }
    mouseEvent(e, buttonMessage(e->button(), true));
  }

  // The menu bar is ours; its popups are Qt's menus, filled after the
  // window has brought the items up to date.
  void openMenu(int x) {
    Menu* bar = window_->menu();
    if (bar == nullptr || !window_->isEnabled()) return;
    window_->send(kWmInitMenu, reinterpret_cast<uintptr_t>(bar));
    int left = window_->nonClientInsets().left + 6;
    Framebuffer probe(1, 1);
    DeviceContext dc(probe);
    for (size_t i = 0; i < bar->itemCount(); ++i) {
      const int width = dc.textExtent(Menu::displayText(bar->item(i).text)).cx + 14;
      if (x >= left - 6 && x < left + width - 6 && bar->item(i).submenu) {
        Menu* popup = bar->item(i).submenu.get();
        window_->send(kWmInitMenuPopup, reinterpret_cast<uintptr_t>(popup), static_cast<intptr_t>(i));
        QMenu menu;
        fill(menu, *popup);
        if (QAction* chosen = menu.exec(mapToGlobal(QPoint(left - 6, menuHeight_))))
          window_->post(kWmCommand, chosen->data().toUInt(), 0);
        return;
      }
      left += width;
    }
  }

  void fill(QMenu& menu, Menu& source) {
    for (size_t i = 0; i < source.itemCount(); ++i) {
      Menu::Item& item = source.item(i);
      if (item.text.empty()) {
        menu.addSeparator();
        continue;
      }
      QString text = QString::fromStdString(item.text);
      if (item.submenu) {
        fill(*menu.addMenu(text), *item.submenu);
        continue;
      }
      QAction* action = menu.addAction(text);
      action->setData(item.id);
      action->setEnabled(item.enabled);
      action->setCheckable(item.checked);
      action->setChecked(item.checked);
    }
  }
  void mouseReleaseEvent(QMouseEvent* e) override { mouseEvent(e, buttonMessage(e->button(), false)); }
  void mouseMoveEvent(QMouseEvent* e) override { mouseEvent(e, kWmMouseMove); }

  void keyEvent(QKeyEvent* e, bool down) {
    if (automation::enabled()) return;
    if (const uint32_t vk = virtualKey(e)) WindowSystem::keyInput(vk, down);
  }
  void keyPressEvent(QKeyEvent* e) override { keyEvent(e, true); }
  void keyReleaseEvent(QKeyEvent* e) override { keyEvent(e, false); }
  bool focusNextPrevChild(bool) override { return false; }  // Tab is a key like the others

  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    window_->post(kWmClose);
  }

  void resizeEvent(QResizeEvent*) override {
    if (syncing_) return;
    const Point client = window_->clientToScreen({0, 0});
    if (width() == window_->clientRect().width() && height() == window_->clientRect().height() + menuHeight_) return;
    const Rect in = window_->nonClientInsets();
    const Rect r = window_->windowRect();
    syncing_ = true;
    window_->move({r.left, r.top, client.x - r.left + width() + in.right,
                   client.y - r.top + height() - menuHeight_ + in.bottom});
    syncing_ = false;
  }

 private:
  Window* window_;
  int menuHeight_ = 0;
  bool syncing_ = false;
};

std::map<Window*, Mirror*>& mirrors() {
  static std::map<Window*, Mirror*> map;
  return map;
}

std::set<Window*>& pending() {
  static std::set<Window*> set;
  return set;
}

Mirror* mirrorFor(Window* top, bool create) {
  auto it = mirrors().find(top);
  if (it != mirrors().end()) return it->second;
  if (!create) return nullptr;
  ensureApplication();
  auto* mirror = new Mirror(top);
  mirrors()[top] = mirror;
  return mirror;
}

// An owned window stays above its owner, as the system keeps it: the window
// manager is told whose it is, and the owned windows are raised again
// whenever their owner comes up (a window manager may not keep them, and
// without one nothing does).
void keepOwnedAbove(Window* owner) {
  for (Window* w : Window::topLevelWindows()) {
    if (w->owner() != owner) continue;
    Mirror* owned = mirrorFor(w, false);
    if (owned == nullptr || !owned->isVisible()) continue;
    owned->raise();
    keepOwnedAbove(w);
  }
}

// The window manager learns whose an owned window is before it is shown: the
// owner's native window is made for it then, even when the owner is shown
// only later (a frame shows its floating bars before itself).
void tellOwner(Window* top, Mirror* mirror) {
  Window* owner = top->owner();
  if (owner == nullptr || !owner->exists()) return;
  Mirror* ownerMirror = mirrorFor(owner->topLevel(), true);
  mirror->winId();
  ownerMirror->winId();
  if (mirror->windowHandle() != nullptr && ownerMirror->windowHandle() != nullptr)
    mirror->windowHandle()->setTransientParent(ownerMirror->windowHandle());
}

}  // namespace

QWidget* widgetFor(Window* window) {
  if (window == nullptr || !window->exists()) return nullptr;
  Window* top = window->topLevel();
  while (top != nullptr) {
    // An owner's widget may be made before it is shown; a box goes over a
    // shown one.
    if (Mirror* mirror = mirrorFor(top, false); mirror != nullptr && mirror->isVisible()) return mirror;
    top = top->owner();
  }
  return nullptr;
}

Window* ownerOrMainWindow(Window* owner) {
  if (owner != nullptr) return owner;
  Application* app = Application::current();
  Window* main = app != nullptr ? app->mainWindow() : nullptr;
  return main != nullptr && main->exists() && main->isVisible() ? main : nullptr;
}

ModalOwner::ModalOwner(Window* given) {
  Window* owner = ownerOrMainWindow(given);
  if (owner == nullptr || !owner->exists()) return;
  // The window at the root of the owner chain: a box over a floating bar
  // is modal to the frame the bar belongs to.
  top_ = owner->topLevel();
  while (top_ != nullptr && top_->owner() != nullptr) top_ = top_->owner();
  widget_ = widgetFor(owner);
  if (top_ != nullptr && top_->isEnabled()) {
    top_->enable(false);
    disabled_ = true;
  }
}

ModalOwner::~ModalOwner() {
  if (!disabled_ || !top_->exists()) return;
  top_->enable(true);
  top_->activate();
}

void ensureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && !displayAvailable()) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "tessaly";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends: windows of the host and of the plug-in
  // share it.
  new QApplication(argc, argv);
}

bool hasScreen() {
  ensureApplication();
  return QGuiApplication::platformName() != QLatin1String("offscreen") &&
         QGuiApplication::platformName() != QLatin1String("minimal");
}

bool grabScreen(const Rect& area, Framebuffer& out) {
  if (!hasScreen() || QThread::currentThread() != QCoreApplication::instance()->thread() || area.isEmpty()) return false;
  presentPending();
  // A window just shown is on the screen once the display server (or the
  // window manager) has mapped and exposed it and it has painted; until
  // then the screen shows what lies beneath.
  const auto unexposed = [] {
    return std::any_of(mirrors().begin(), mirrors().end(), [](const auto& entry) {
      const Mirror* m = entry.second;
      return m->isVisible() && (m->windowHandle() == nullptr || !m->windowHandle()->isExposed());
    });
  };
  QTimer wake;  // wakes the wait below when no event comes
  wake.start(20);
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (unexposed() && std::chrono::steady_clock::now() < giveUp)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QCoreApplication::processEvents();
  for (const auto& [window, mirror] : mirrors())
    if (mirror->isVisible()) mirror->repaint();
  // The grab goes to the display server behind everything painted above.
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return false;
  const QImage shot = screen->grabWindow(0, area.left, area.top, area.width(), area.height())
                          .toImage()
                          .convertToFormat(QImage::Format_RGB32);
  if (shot.size() != QSize(area.width(), area.height())) return false;
  out.impl().image = shot;
  return true;
}

void windowChanged(Window* topLevel) {
  if (topLevel) pending().insert(topLevel);
}

void windowDestroyed(Window* window) {
  pending().erase(window);
  if (Mirror* m = mirrorFor(window, false)) {
    mirrors().erase(window);
    m->hide();
    m->deleteLater();
  }
}

void present(Window* top) {
  if (!Window::isWindow(top)) return;
  const bool visible = top->isVisible() && !top->isMinimized();
  Mirror* mirror = mirrorFor(top, visible);
  if (mirror == nullptr) return;
  if (!visible) {
    mirror->hide();
    return;
  }
  mirror->sync();
  if (!mirror->isVisible()) {
    tellOwner(top, mirror);
    mirror->show();
    keepOwnedAbove(top);
    // A new window paints only once the platform has exposed it.
    QCoreApplication::processEvents();
  }
  top->framebuffer().takeDirtyRect();
  mirror->repaint();
}

void presentPending() {
  if (pending().empty()) return;
  if (!hasScreen()) {
    pending().clear();
    return;
  }
  const std::set<Window*> windows = std::move(pending());
  pending().clear();
  for (Window* w : windows) present(w);
}

void pumpEvents() {
  // Only the thread that runs Qt may let it work.
  if (QCoreApplication::instance() == nullptr || QThread::currentThread() != QCoreApplication::instance()->thread() ||
      !hasScreen())
    return;
  using Clock = std::chrono::steady_clock;
  static Clock::time_point last;
  const Clock::time_point now = Clock::now();
  // Often enough for input to feel immediate, seldom enough that a loop
  // peeking once per image row does not spend its time here.
  if (now - last < std::chrono::milliseconds(10)) return;
  last = now;
  presentPending();
  QCoreApplication::processEvents();
}

}  // namespace platform::backend
