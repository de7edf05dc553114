// Windows: objects with a message handler, a place in the window tree, a
// framebuffer they paint into, and the usual state of a desktop window
// (styles, show state, placement, z-order, focus, capture, properties).
//
// A window object is created empty; `create` makes it a live window. Its
// handler receives messages through `handleMessage`; what it does not
// handle goes to `defaultHandler`. Top-level windows are positioned in
// screen coordinates, child windows in their parent's client coordinates.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Framebuffer.h"
#include "platform/Geometry.h"
#include "platform/Menu.h"
#include "platform/Message.h"
#include "platform/Region.h"

namespace platform {

// Styles.
enum : uint32_t {
  kWsOverlapped = 0x00000000,
  kWsPopup = 0x80000000,
  kWsChild = 0x40000000,
  kWsMinimize = 0x20000000,
  kWsVisible = 0x10000000,
  kWsDisabled = 0x08000000,
  kWsMaximize = 0x01000000,
  kWsCaption = 0x00C00000,
  kWsBorder = 0x00800000,
  kWsVScroll = 0x00200000,
  kWsHScroll = 0x00100000,
  kWsSysMenu = 0x00080000,
  kWsThickFrame = 0x00040000,
  kWsGroup = 0x00020000,
  kWsTabStop = 0x00010000,
  kWsOverlappedWindow = 0x00CF0000,
};

// Extended styles.
enum : uint32_t {
  kWsExToolWindow = 0x00000080,  // small caption: mini frames
};

// Show commands.
enum : int {
  kSwHide = 0,
  kSwShowNormal = 1,
  kSwShowMinimized = 2,
  kSwShowMaximized = 3,
  kSwShowNoActivate = 4,
  kSwShow = 5,
  kSwMinimize = 6,
  kSwShowMinNoActive = 7,
  kSwShowNa = 8,
  kSwRestore = 9,
};

struct WindowPlacement {
  uint32_t flags = 0;
  int showCommand = kSwShowNormal;  // kSwShowNormal, kSwShowMinimized or kSwShowMaximized
  Point minPosition{-1, -1};
  Point maxPosition{-1, -1};
  Rect normalPosition;  // screen (work area) coordinates
};

// lParam of kWmGetMinMaxInfo points to one; handlers change it in place.
struct MinMaxInfo {
  Point maxSize;
  Point maxPosition;
  Point minTrackSize;
  Point maxTrackSize;
};

struct CreateParams {
  std::string title;
  uint32_t style = kWsOverlappedWindow;
  uint32_t exStyle = 0;
  Rect rect;                 // window rectangle (screen or parent client)
  Window* parent = nullptr;  // with kWsChild: the parent; otherwise the owner
  int id = 0;                // child windows: the control id
};

class Window {
 public:
  Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  // Makes the window live: sends kWmCreate (a handler answering -1 stops
  // the creation, and false is returned), then shows it when kWsVisible.
  bool create(const CreateParams& params);
  // Destroys the window and its children; sends kWmDestroy, then
  // kWmNcDestroy, then calls `destroyed`.
  void destroy();
  bool exists() const { return live_; }

  // ---- Messages ----
  intptr_t send(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
  void post(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

  // ---- Tree ----
  Window* parent() const { return parent_; }
  Window* owner() const { return owner_; }
  Window* topLevel();
  bool isChild() const { return (style_ & kWsChild) != 0; }
  const std::vector<Window*>& children() const { return children_; }  // bottom to top
  int id() const { return id_; }
  Window* childById(int id) const;
  bool isDescendantOf(const Window* ancestor) const;

  // ---- Appearance ----
  const std::string& title() const { return title_; }
  void setTitle(std::string title);
  uint32_t style() const { return style_; }
  uint32_t exStyle() const { return exStyle_; }
  void setStyle(uint32_t style);
  // Windows that want double clicks get kWmLButtonDblClk (kWmRButtonDblClk)
  // for a second press within the double-click time instead of a press.
  void setAcceptsDoubleClicks(bool accepts) { doubleClicks_ = accepts; }
  bool acceptsDoubleClicks() const { return doubleClicks_; }
  // The colour the default erase fills with; none: erasing leaves pixels.
  void setBackground(Colour colour);
  void clearBackground();

  // ---- Visibility and state ----
  bool show(int command);
  // Visible itself and all its ancestors visible.
  bool isVisible() const;
  bool hasVisibleStyle() const { return (style_ & kWsVisible) != 0; }
  bool enable(bool enabled);  // answers whether it was disabled before
  bool isEnabled() const { return (style_ & kWsDisabled) == 0; }
  bool isMinimized() const { return showState_ == kSwShowMinimized; }
  bool isMaximized() const { return showState_ == kSwShowMaximized; }
  WindowPlacement placement() const;
  bool setPlacement(const WindowPlacement& placement);

  // ---- Geometry ----
  Rect windowRect() const;  // screen coordinates
  Rect clientRect() const { return {0, 0, clientSize_.cx, clientSize_.cy}; }
  // Moves and sizes; child windows in parent client coordinates.
  void move(const Rect& rect, bool repaint = true);
  Point clientToScreen(Point p) const;
  Point screenToClient(Point p) const;
  Rect clientRectToScreen(const Rect& r) const;
  // The window rectangle that gives this client rectangle for a style.
  static Rect windowRectForClient(const Rect& client, uint32_t style, uint32_t exStyle, bool hasMenu);
  // Non-client insets of this window (caption, menu bar, frame).
  Rect nonClientInsets() const;
  // The close box of a small caption (tool windows with a system menu), in
  // window coordinates; empty when the window has none.
  Rect closeBoxRect() const;
  // Whether the caption is drawn active: the window is the active one, or,
  // for an owned tool window, its owner is.
  bool captionActive() const;
  // The deepest visible enabled descendant at a client point, or this.
  Window* childAtPoint(Point client);

  // ---- Z-order ----
  void bringToTop();
  void sendToBottom();

  // ---- Focus, activation, capture ----
  Window* setFocus();  // answers the window that had it
  static Window* focus();
  bool hasFocus() const { return focus() == this; }
  Window* activate();
  static Window* active();
  Window* setCapture();
  static void releaseCapture();
  static Window* capture();

  // ---- Properties ----
  void setProperty(const std::string& name, intptr_t value);
  intptr_t property(const std::string& name) const;  // 0 when absent
  intptr_t removeProperty(const std::string& name);

  // ---- Menu ----
  void setMenu(std::unique_ptr<Menu> menu);
  Menu* menu() const { return menu_.get(); }

  // ---- Painting ----
  void invalidate(bool erase = true);
  void invalidateRect(const Rect& client, bool erase = true);
  void invalidateRegion(const Region& client, bool erase = true);
  void validate();
  void validateRect(const Rect& client);
  const Region& updateRegion() const { return update_; }
  bool needsPaint() const { return !update_.isEmpty(); }
  bool needsErase() const { return erasePending_; }
  // Paints now if anything is invalid (sends kWmPaint).
  void updateNow();
  // Moves the framebuffer's pixels within the client area and invalidates
  // what was uncovered.
  void scrollContents(int32_t dx, int32_t dy);
  Framebuffer& framebuffer() { return framebuffer_; }
  // The window as it looks on screen: frame, caption, menu bar, client
  // area and visible children.
  Framebuffer composite();
  // Brings the window's picture on the screen up to date now (without a
  // display: on Qt's offscreen surface). Message loops do this by themselves.
  void present();

  // ---- Enumeration ----
  // The thread's top-level windows, front to back.
  static std::vector<Window*> topLevelWindows();
  // Every live window of the process.
  static bool isWindow(const Window* window);

 protected:
  virtual intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  intptr_t defaultHandler(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Called after the window has been destroyed; frames may delete themselves.
  virtual void destroyed() {}

 private:
  friend struct WindowSystem;
  friend class PaintDC;
  friend intptr_t sendMessage(Window*, uint32_t, uintptr_t, intptr_t);

  void resizeClient(bool notify = true);
  void sendSize();
  void setShowState(int state, bool visible, bool activate);
  void drawNonClient(Framebuffer& target);

  bool live_ = false;
  std::string title_;
  uint32_t style_ = 0;
  uint32_t exStyle_ = 0;
  int id_ = 0;
  Window* parent_ = nullptr;
  Window* owner_ = nullptr;
  std::vector<Window*> children_;
  Rect rect_;  // screen for top-level windows, parent client for children
  Size clientSize_;
  int showState_ = kSwShowNormal;
  Rect normalRect_;
  bool hasBackground_ = true;
  bool doubleClicks_ = false;
  Colour background_ = rgb(255, 255, 255);
  std::map<std::string, intptr_t> properties_;
  std::unique_ptr<Menu> menu_;
  Region update_;
  bool erasePending_ = false;
  Framebuffer framebuffer_;
};

// Sends to any window (null: nothing, 0).
intptr_t sendMessage(Window* window, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

}  // namespace platform
