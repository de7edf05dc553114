// The keep and drop colour lists: the colours the user picked, grouped into
// colour sets that are selected as a whole. The selected sets of both lists
// are what the colour classifier works with; the eyedroppers fill them, and
// the keep and drop bars show them and turn clicks and drops into the
// operations below.
//
// A row is a ColourEntry with the key of its set; a set is a maximal run of
// consecutive rows with one key, and all its rows share one selection flag.
// Keys come from one counter for the whole process, so a set never gets the
// key of another set of its list, also after a set travelled between lists
// or a workspace was loaded. The list has at most one current row, the one
// the eyedroppers fill, and a caret (the row with the keyboard focus).
//
// Every operation that changes entries, keys, selection or the current row
// marks the colours changed, so the classifier is rebuilt at its next use;
// making a row current on its own does not.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/ColourEntry.h"
#include "tools/ColourSetBlock.h"
#include "workspace/WorkspaceParticipant.h"

class ColourListView;

class ColourList : public WorkspaceParticipant {
 public:
  // One record per row: u8 list (1 keep, 0 drop), u8 selected, 2 bytes of
  // nothing, i32 set key, the 8-byte entry.
  static constexpr uint32_t kRecordTag = fourCharCode("KDCl");
  static constexpr uint32_t kRecordSize = 16;

  struct Row {
    ColourEntry entry;
    int32_t key = 0;
    bool selected = true;
    friend bool operator==(const Row&, const Row&) = default;
  };

  explicit ColourList(bool keepList, Registration registration = Registration::kRegistered);

  bool keepList() const { return keepList_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  const Row& RowAt(int row) const { return rows_.at(static_cast<size_t>(row)); }
  const std::vector<Row>& rows() const { return rows_; }
  // -1 when there is none.
  int currentRow() const { return currentRow_; }
  int caretRow() const { return caretRow_; }
  // The first and last row of the set that holds `row`.
  int SetFirstRow(int row) const;
  int SetLastRow(int row) const;
  // Whether a set may be inserted before row `index`: at the start, at the
  // end or between two sets, never inside one.
  bool SetMayStartAt(int index) const;
  // The set that holds `row`, as it is dragged out.
  ColourSetBlock SetOf(int row) const;
  // The colours of the selected rows in list order, in the working format.
  std::vector<ClassifierColour> SelectedColours(PixelFormat format) const;

  // The window that shows the list, or none.
  void SetView(ColourListView* view) { view_ = view; }

  // ---- Operations ----
  // A new selected set of one empty entry at the end, made current. Without
  // Shift every other set is deselected first.
  void AddEmptySet(bool shiftHeld);
  // Makes the first empty entry of the current row's set current, adding
  // one after the set's last row when it has none. Without a current row
  // the first row's set is used (an empty list gets an empty set).
  void GoToEmptySlot();
  // Replaces the current row's colour; key and selection stay.
  void SetCurrentColour(const ColourEntry& entry);
  // What an eyedropper does when a pick starts with the right button or
  // with Shift: a new set, or the next empty slot of the current set.
  void RightButtonPick(bool shiftHeld) { AddEmptySet(shiftHeld); }
  void ShiftPick() { GoToEmptySlot(); }
  // -1 clears the current row; other rows outside the list are ignored.
  // Moves the caret along. The colours are not marked changed.
  void MakeCurrent(int row);
  // Removes a row. The list is never left empty (an empty set is added), and
  // without a current row the row before the deleted one becomes current.
  void DeleteRow(int row);
  // The delete button: the current row, or with none the first row becomes
  // current and nothing is deleted.
  void DeleteCurrentRow();
  // Removes every row of the set with this key.
  void DeleteSet(int32_t key);
  // A click on a set: an unselected set clicked without Shift becomes the
  // only selected one; otherwise the set's selection flips.
  void SelectSet(int row, bool shiftHeld);
  // Inserts a set with a fresh key before row `index` (-1: at the end) and
  // answers where, or -1 when refused: inside another set or beyond the
  // end. A selected set dropped without Shift deselects every other row
  // first, even when it brings no entries.
  int InsertSet(int index, const ColourSetBlock& set, bool shiftHeld);
  // Inserts one colour before row `index` into the set that holds that row
  // and answers its row. Outside the rows, -1 and RowCount() append it to
  // the last set; any other index, and any index in an empty list, makes it
  // a new selected set at the end, which becomes current.
  int InsertColour(int index, const ColourEntry& entry);
  // A colour dropped at the marked index: at the end of a non-empty list it
  // joins the last set when the pointer is over the last row, otherwise it
  // makes a set of its own.
  int DropColour(int index, const ColourEntry& entry, bool overLastRow);

  // ---- Workspace ----
  void BeginLoad() override;
  void LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) override;
  void EndLoad() override;
  void Save() override;

 private:
  void InsertRows(int index, const std::vector<Row>& rows);
  void RemoveRow(int row);
  void SetSelection(int first, int last, bool selected);
  int AppendNewSet(const ColourEntry& entry);
  int32_t NewKey() const;
  bool KeyInUse(int32_t key) const;
  void SeparateSets();

  bool keepList_;
  std::vector<Row> rows_;
  int currentRow_ = -1;
  int caretRow_ = -1;
  ColourListView* view_ = nullptr;
};

// The two lists of the work window.
ColourList& KeepColourList();
ColourList& DropColourList();
inline ColourList& ColourListFor(bool keep) { return keep ? KeepColourList() : DropColourList(); }
