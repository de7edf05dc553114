// What a colour list tells the window that shows it. The list is the whole
// model (rows, selection, current row, caret); a window only draws what it
// hears about here and turns clicks and drops into list operations.
//
// Row numbers are those after the change. Notifications come as each step
// of an operation happens; operations that touch many rows (deleting or
// selecting a set) bracket their steps with SuspendRedraw(true/false).
#pragma once

class ColourListView {
 public:
  virtual ~ColourListView() = default;

  // Rows [first, first + count) were inserted; the rows after them moved down.
  virtual void RowsInserted(int first, int count) = 0;
  // Rows [first, first + count) were removed; the rows after them moved up.
  virtual void RowsRemoved(int first, int count) = 0;
  // The colour of a row changed: its swatch.
  virtual void RowChanged(int row) = 0;
  // The selection of rows [first, first + count) changed: their set column.
  virtual void SelectionChanged(int first, int count) = 0;
  // The current row moved from `previous` to `current` (-1: none).
  virtual void CurrentRowChanged(int previous, int current) = 0;
  // The caret (the keyboard focus row) moved.
  virtual void CaretMoved(int row) = 0;
  // Everything may have changed (a workspace was loaded).
  virtual void ListReset() = 0;
  virtual void SuspendRedraw(bool suspend) = 0;
};
