// Frame windows: a top-level window with a menu bar, accelerators and an
// icon loaded from resources, which routes commands (to the window with
// the focus, the frame, the application) and updates menu items before
// they show. Control bars float in small owned frames of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Accelerator.h"
#include "platform/Application.h"
#include "platform/Bitmap.h"
#include "platform/Window.h"

namespace platform {

class ControlBar;

class FrameWindow : public Window, public CommandTarget {
 public:
  // Creates the frame with the menu, accelerators and icon of one resource
  // id (missing ones are left out). A null rect gets a default size.
  bool loadFrame(int resourceId, uint32_t style, Window* parent, std::string title, const Rect& rect = {});

  // The same with every creation parameter given (owned mini frames with a
  // small caption, for instance); resource 0 loads nothing.
  bool createFrame(const CreateParams& params, int resourceId = 0);

  const AcceleratorTable* accelerators() const { return accelerators_ ? &*accelerators_ : nullptr; }
  const Icon& icon() const { return icon_; }

  // Routes a command: the focus window (when it is a command target inside
  // this frame), the frame, the application. True when someone handled it.
  bool routeCommand(uint32_t id);
  void routeUpdate(CommandUpdate& update);
  // Brings a popup's items up to date (enable, check).
  void updateMenu(Menu& popup);

  // ---- Control bars ----
  const std::vector<ControlBar*>& controlBars() const { return bars_; }
  ControlBar* controlBar(int id) const;
  // Shows or hides a bar; with `delay` the layout is recalculated at the
  // next idle time instead of now.
  void showControlBar(ControlBar& bar, bool show, bool delay);
  void recalcLayout();
  void delayRecalcLayout() { layoutPending_ = true; }
  bool layoutPending() const { return layoutPending_; }
  // Sides bars could dock on; bars here only float, so this is recorded
  // and nothing else.
  void enableDocking(unsigned sides) { dockingSides_ = sides; }

  // The bars' layout (visibility, floating position, size) as one block;
  // loading answers false, changing nothing, when the block is not one.
  std::vector<uint8_t> saveBarState() const;
  bool loadBarState(const std::vector<uint8_t>& block);

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  // Creates the child that fills the client area; false stops the creation.
  virtual bool onCreateClient() { return true; }

 private:
  friend class ControlBar;
  std::optional<AcceleratorTable> accelerators_;
  Icon icon_;
  std::vector<ControlBar*> bars_;
  bool layoutPending_ = false;
  unsigned dockingSides_ = 0;
};

// The small owned frame that a floating bar sits in.
class MiniFrame : public Window {
 public:
  explicit MiniFrame(ControlBar& bar) : bar_(&bar) {}
  ControlBar& bar() { return *bar_; }

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  ControlBar* bar_;
};

// Modes of the dynamic size query.
enum : unsigned {
  kLmStretch = 0x01,
  kLmHorz = 0x02,
  kLmLengthIsHeight = 0x08,
  kLmMruWidth = 0x10,
  kLmVertDock = 0x20,
  kLmCommit = 0x40,
};

class ControlBar : public Window, public CommandTarget {
 public:
  ControlBar();
  ~ControlBar() override;

  // Creates the bar, hidden, in a mini frame owned by `frame`, with the
  // bar's client size.
  bool createBar(FrameWindow& frame, std::string title, int barId, Size size);
  int barId() const { return barId_; }
  FrameWindow* frame() const { return frame_; }
  MiniFrame* miniFrame() { return mini_.exists() ? &mini_ : nullptr; }

  // Floats the bar with its frame's top-left corner at a screen point.
  void floatAt(Point screen);
  bool isBarVisible() const;
  Point floatingPosition() const;
  // Sets the bar's client size (and its mini frame's).
  void setBarSize(Size size);
  Size barSize() const { return {clientRect().width(), clientRect().height()}; }

  // Negotiates a size when the user sizes the mini frame: `length` is the
  // asked-for width or height (kLmLengthIsHeight). The base keeps its size.
  virtual Size calcDynamicSize(int length, unsigned mode);

 private:
  friend class MiniFrame;
  friend class FrameWindow;
  FrameWindow* frame_ = nullptr;
  MiniFrame mini_;
  int barId_ = 0;
};

}  // namespace platform
