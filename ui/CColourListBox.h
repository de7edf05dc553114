// The owner-drawn list inside a keep or drop bar. It shows one colour list
// (rows of swatches, grouped into sets by a button-like column on the
// left), turns clicks into list operations and eyedropper switches, drags
// colours and whole sets out, and takes them in where they are dropped.
//
// Row geometry, in client pixels of the list:
//
//   rows are 19 high; the last row of a set is 20, its bottom line being
//   the gap between sets
//   x 0..21    the set column: one raised button face over all rows of
//              the set, the set's tick mark on its first row
//   x 22..     the swatch cell, 19 high on every row
//
// Both payloads are the lists' own formats ("Corvane Tessaly Colour",
// "Corvane Tessaly ColourSet"). A colour may be moved or copied (Ctrl); a
// set only moved, and only to the start or end of a set or of the list. The
// place a drop would go is marked by an inverted bar between the rows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Controls.h"
#include "platform/DragDrop.h"
#include "tools/ColourListView.h"

class ColourList;

class CColourListBox : public platform::ListBox, public ColourListView, public platform::DropTarget {
 public:
  static constexpr int32_t kRowHeight = 19;
  static constexpr int32_t kLastRowHeight = 20;
  static constexpr int32_t kCellHeight = 19;
  static constexpr int32_t kSwatchLeft = 22;
  // A press at x up to this is in the set column, beyond it on the swatch.
  static constexpr int32_t kSetColumnLastX = 20;
  // The set column's marks (selected, not selected) and the empty entry's
  // hatch.
  static constexpr int kKeepTicked = 168, kKeepUnticked = 169, kDropTicked = 166, kDropUnticked = 167;
  static constexpr int kKeepHatch = 170, kDropHatch = 186;
  // A drop goes above the row 9 pixels below the pointer.
  static constexpr int32_t kDropLookBelow = 9;

  // What is dragged over the list.
  enum class DragKind { kColour = 0, kColourSet = 1, kNeither = 2 };

  explicit CColourListBox(ColourList& list);
  ~CColourListBox() override;

  // Creates the list as a child of the bar; fails when the drag formats
  // cannot be registered. The list is never empty while the window lives,
  // and it has a current row.
  bool CreateList(platform::Window& bar, const platform::Rect& rect, std::string title);

  ColourList& List() const { return list_; }
  uint32_t ColourFormat() const { return colourFormat_; }
  uint32_t ColourSetFormat() const { return colourSetFormat_; }

  // ---- Geometry (client coordinates) ----
  platform::Rect SetColumnCell(int row) const;
  platform::Rect SwatchCell(int row) const;
  // The framed swatch inside the cell.
  platform::Rect SwatchFrame(int row) const;
  // Where a drop at this point would go: above the row under the point
  // 9 pixels below it, or at the end.
  int DropIndexAt(platform::Point client) const;
  // The insertion mark's three rectangles: the bar across, then the two
  // ticks under its ends.
  struct InsertionMark {
    platform::Rect bar, leftTick, rightTick;
  };
  InsertionMark InsertionMarkAt(int index, DragKind kind) const;
  // The index marked while something is dragged over the list; -1: none.
  int MarkedIndex() const { return marked_; }
  // The set being clicked, drawn sunken; -1 when none.
  int PressedSetRow() const { return pressedSetRow_; }

  // ---- ColourListView ----
  void RowsInserted(int first, int count) override;
  void RowsRemoved(int first, int count) override;
  void RowChanged(int row) override;
  void SelectionChanged(int first, int count) override;
  void CurrentRowChanged(int previous, int current) override;
  void CaretMoved(int row) override;
  void ListReset() override;
  void SuspendRedraw(bool suspend) override;

  // ---- DropTarget ----
  uint32_t dragEnter(platform::Window& window, const platform::DataObject& data, uint32_t keyState,
                     platform::Point screen, uint32_t allowed) override;
  uint32_t dragOver(platform::Window& window, const platform::DataObject& data, uint32_t keyState,
                    platform::Point screen, uint32_t allowed) override;
  void dragLeave(platform::Window& window) override;
  uint32_t drop(platform::Window& window, const platform::DataObject& data, uint32_t keyState,
                platform::Point screen, uint32_t allowed) override;

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 private:
  // What this list is dragging out, so that a drop back onto the place it
  // came from is refused instead of moving it onto itself.
  struct Dragged {
    DragKind kind = DragKind::kNeither;
    int first = -1, last = -1;  // the colour's row, or the set's rows
  };

  void DrawRow(platform::DeviceContext& dc, const DrawItem& item) const;
  void DrawSetColumn(platform::DeviceContext& dc, int row) const;
  void DrawSwatch(platform::DeviceContext& dc, int row) const;
  void DrawOverlays(platform::DeviceContext& dc) const;
  void InvertCurrentMark(platform::DeviceContext& dc, int row) const;
  static void InvertFrame(platform::DeviceContext& dc, const platform::Rect& outer, const platform::Rect& inner);
  void InvertInsertionMark(platform::DeviceContext& dc, int index, DragKind kind) const;
  void Mark(int index);
  void Unmark();
  void SyncRowHeights();
  void FillFromTop();
  void InvalidateSetColumns(int first, int last);

  void Press(platform::Point client);
  void PressSwatch(int row);
  void PressSetColumn(int row);
  uint32_t EffectAt(platform::Point client, uint32_t keyState, int& index) const;
  bool DropKeepsListAsItIs(int index, platform::Point client) const;

  ColourList& list_;
  uint32_t colourFormat_ = 0;
  uint32_t colourSetFormat_ = 0;

  // Feedback while the pointer works on the list.
  std::optional<platform::Rect> pressedCell_;  // the inverted frame of a pressed swatch
  int pressedSetRow_ = -1;
  Dragged dragged_;
  // The row a drop into this list inserted, -1 when none did.
  int droppedAt_ = -1;

  // The drop target's state.
  DragKind over_ = DragKind::kNeither;
  int marked_ = -1;
  DragKind markedKind_ = DragKind::kNeither;
};
