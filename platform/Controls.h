// Child controls. Each paints itself into its framebuffer and tells its
// parent what happened: buttons with kWmCommand (id, kBnClicked), scroll
// bars with kWmHScroll / kWmVScroll (code, thumb position), list boxes
// with kWmCommand (id, kLbnSelChange).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/DeviceContext.h"
#include "platform/Window.h"

namespace platform {

enum : uint32_t {
  kBnClicked = 0,
  kLbnSelChange = 1,
  kLbnDblClk = 2,
  kEnChange = 0x0300,
};

// Creates a control as a visible child of `parent`.
CreateParams controlParams(Window& parent, int id, const Rect& rect, std::string text = {});

// ---- Scroll bars ----
enum : unsigned {
  kSifRange = 0x01,
  kSifPage = 0x02,
  kSifPos = 0x04,
  kSifDisableNoScroll = 0x08,
  kSifTrackPos = 0x10,
  kSifAll = kSifRange | kSifPage | kSifPos | kSifTrackPos,
};

struct ScrollInfo {
  unsigned mask = kSifAll;
  int32_t min = 0;
  int32_t max = 0;
  uint32_t page = 0;
  int32_t pos = 0;
  int32_t trackPos = 0;
};

class ScrollBar : public Window {
 public:
  explicit ScrollBar(bool vertical) : vertical_(vertical) {}
  bool vertical() const { return vertical_; }
  // Sets the parts named by the mask at once; answers the new position.
  // With kSifDisableNoScroll a bar with nothing to scroll is disabled
  // rather than left active.
  int32_t setInfo(const ScrollInfo& info, bool redraw = true);
  ScrollInfo info() const { return info_; }
  int32_t position() const { return info_.pos; }
  int32_t setPosition(int32_t pos);
  // The largest position the page allows.
  int32_t maxPosition() const;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  int32_t clamp(int32_t pos) const;
  Rect thumbRect() const;
  int32_t trackLength() const;
  void notify(uint32_t code, int32_t pos);
  void paint(DeviceContext& dc);
  void drawArrow(DeviceContext& dc, const Rect& button, bool towardsEnd, Colour colour) const;

  bool vertical_;
  ScrollInfo info_;
  bool dragging_ = false;
  int32_t dragOffset_ = 0;
};

// The grip in the corner between two scroll bars.
class SizeBox : public Window {
 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
};

// ---- Buttons ----
class PushButton : public Window {
 public:
  // A button shows its icon when it has one, its title otherwise.
  void setIcon(const Icon& icon);
  bool isPressed() const { return pressed_; }
  void setPressed(bool pressed);
  // The default button of a dialog has a heavier frame.
  void setDefault(bool isDefault) { default_ = isDefault; }
  bool isDefault() const { return default_; }
  // Presses and releases the button as a click would.
  void click();

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  virtual void paint(DeviceContext& dc);

 private:
  Icon icon_;
  bool pressed_ = false;
  bool tracking_ = false;
  bool default_ = false;
};

// A button with a mark beside its text that is either on or off.
class CheckableButton : public Window {
 public:
  bool isChecked() const { return checked_; }
  void setChecked(bool checked);

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  // Draws the mark's box (a circle or a square) and, when checked, the mark.
  virtual void drawMark(DeviceContext& dc, const Rect& box) const = 0;
  // A click released over the enabled button.
  virtual void clicked() = 0;

 private:
  bool checked_ = false;
};

// Radio buttons form groups: from a button created with kWsGroup up to the
// next one with kWsGroup; checking one unchecks the others.
class RadioButton : public CheckableButton {
 public:
  // Checks this one and unchecks the rest of its group.
  void check();
  std::vector<RadioButton*> group();

 protected:
  void drawMark(DeviceContext& dc, const Rect& box) const override;
  void clicked() override { check(); }
};

class CheckBox : public CheckableButton {
 protected:
  void drawMark(DeviceContext& dc, const Rect& box) const override;
  void clicked() override { setChecked(!isChecked()); }
};

class GroupBox : public Window {
 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
};

class StaticText : public Window {
 public:
  void setAlignment(unsigned format) { format_ = format; }

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  unsigned format_ = kDtLeft;
};

// Shows an icon or a picture.
class StaticImage : public Window {
 public:
  void setImage(const Bitmap& image);

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  Bitmap image_;
};

// A one-line field for whole numbers: takes digits and a leading minus,
// with a caret (Left, Right, Home, End), a selection (Shift with those keys;
// typing replaces it), Backspace and Delete. Tab, Return and Escape belong
// to the dialog around it. The title holds the text.
class NumberField : public Window {
 public:
  void setText(std::string text);
  const std::string& text() const { return title(); }
  void setInteger(long value);
  // False when the text is not a whole number that fits.
  bool integer(long& out) const;
  // The selection runs from the anchor to the caret (character offsets).
  void setSelection(size_t anchor, size_t caret);
  void selectAll() { setSelection(0, title().size()); }
  size_t caret() const { return caret_; }
  size_t selectionStart() const { return std::min(anchor_, caret_); }
  size_t selectionEnd() const { return std::max(anchor_, caret_); }

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  void paint(DeviceContext& dc);
  void replaceSelection(const std::string& with);
  size_t anchor_ = 0;
  size_t caret_ = 0;
};

// ---- List box ----
// An owner-drawn list with rows of their own heights, a data word and a
// selection flag per row, and a caret row. Created with kWsVScroll it
// keeps a vertical scroll bar at its right edge that scrolls by rows.
class ListBox : public Window {
 public:
  struct DrawItem {
    int index;
    Rect rect;  // client coordinates
    bool selected;
    bool caret;   // the caret row while the list has the focus
  };

  int count() const { return static_cast<int>(rows_.size()); }
  // Answers the new row's index; -1 when the index is past the end.
  int insertRow(int index, uintptr_t data, int32_t height);  // index -1: append
  int addRow(uintptr_t data, int32_t height) { return insertRow(-1, data, height); }
  bool deleteRow(int index);
  void clear();
  uintptr_t rowData(int index) const;
  bool setRowData(int index, uintptr_t data);
  int32_t rowHeight(int index) const;
  bool setRowHeight(int index, int32_t height);
  bool isSelected(int index) const;
  bool setSelected(int index, bool selected);
  int caretIndex() const { return caret_; }
  bool setCaretIndex(int index);
  int topIndex() const { return top_; }
  bool setTopIndex(int index);
  // The row's rectangle in client coordinates (empty when out of range).
  Rect rowRect(int index) const;
  // The row at a client point; `outside` when below the last row (the
  // answer is then the row count).
  int rowFromPoint(Point client, bool& outside) const;
  // Scrolls as little as needed to show the row whole.
  void ensureVisible(int index);
  // Redrawing off: changes collect and are drawn when it is turned on.
  void setRedraw(bool on);
  void invalidateRow(int index);
  // The width rows are drawn in (the client width less the scroll bar).
  int32_t rowWidth() const;

  // Draws a row; the default fills it with the window or highlight colour.
  std::function<void(DeviceContext&, const DrawItem&)> drawRow;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void paint(DeviceContext& dc, const Region& area);

 private:
  struct Row {
    uintptr_t data;
    int32_t height;
    bool selected;
  };
  void changed();
  void updateScrollBar();
  std::vector<Row> rows_;
  std::unique_ptr<ScrollBar> scrollBar_;
  int caret_ = -1;
  int top_ = 0;
  bool redraw_ = true;
};

}  // namespace platform
