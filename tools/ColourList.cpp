#include "tools/ColourList.h"

#include <algorithm>
#include <set>

#include "tools/ColourClassifier.h"
#include "tools/ColourListView.h"

namespace {

// The one counter both lists take set keys from; constant-initialised, so
// lists constructed while the library loads find it ready.
constinit int32_t gNextKey = 0;

int32_t following(int32_t key) { return static_cast<int32_t>(static_cast<uint32_t>(key) + 1u); }

// The colours-changed flag is the classifier's invalidation flag.
void markColoursChanged() { invalidateClassifier(); }

}  // namespace

ColourList::ColourList(bool keepList, Registration registration)
    : WorkspaceParticipant(registration), keepList_(keepList) {}

// ---- Reading ----

int ColourList::SetFirstRow(int row) const {
  while (row > 0 && rows_[static_cast<size_t>(row - 1)].key == rows_[static_cast<size_t>(row)].key) --row;
  return row;
}

int ColourList::SetLastRow(int row) const {
  const int last = RowCount() - 1;
  while (row < last && rows_[static_cast<size_t>(row + 1)].key == rows_[static_cast<size_t>(row)].key) ++row;
  return row;
}

bool ColourList::SetMayStartAt(int index) const {
  if (index == 0 || index == RowCount()) return true;
  if (index < 0 || index > RowCount()) return false;
  return rows_[static_cast<size_t>(index - 1)].key != rows_[static_cast<size_t>(index)].key;
}

ColourSetBlock ColourList::SetOf(int row) const {
  ColourSetBlock set;
  if (row < 0 || row >= RowCount()) return set;
  const int first = SetFirstRow(row), last = SetLastRow(row);
  set.selected = rows_[static_cast<size_t>(first)].selected;
  for (int r = first; r <= last; ++r) set.entries.push_back(rows_[static_cast<size_t>(r)].entry);
  return set;
}

std::vector<ClassifierColour> ColourList::SelectedColours(PixelFormat format) const {
  std::vector<ClassifierColour> colours;
  for (const Row& row : rows_) {
    if (!row.selected) continue;
    if (const auto colour = row.entry.InFormat(format)) colours.push_back(*colour);
  }
  return colours;
}

// ---- Primitive changes, each told to the view ----

void ColourList::InsertRows(int index, const std::vector<Row>& rows) {
  if (rows.empty()) return;
  rows_.insert(rows_.begin() + index, rows.begin(), rows.end());
  const int count = static_cast<int>(rows.size());
  // The current row and the caret stay on the rows they were on.
  if (currentRow_ >= index) currentRow_ += count;
  if (caretRow_ >= index) caretRow_ += count;
  if (view_) view_->RowsInserted(index, count);
}

void ColourList::RemoveRow(int row) {
  rows_.erase(rows_.begin() + row);
  if (currentRow_ == row) currentRow_ = -1;
  else if (currentRow_ > row) --currentRow_;
  if (caretRow_ >= RowCount()) caretRow_ = RowCount() - 1;
  else if (caretRow_ > row) --caretRow_;
  if (view_) view_->RowsRemoved(row, 1);
}

void ColourList::SetSelection(int first, int last, bool selected) {
  for (int r = first; r <= last; ++r) {
    Row& row = rows_[static_cast<size_t>(r)];
    if (row.selected == selected) continue;
    // One notification per run of rows that changed.
    int end = r;
    while (end + 1 <= last && rows_[static_cast<size_t>(end + 1)].selected != selected) ++end;
    for (int i = r; i <= end; ++i) rows_[static_cast<size_t>(i)].selected = selected;
    if (view_) view_->SelectionChanged(r, end - r + 1);
    r = end;
  }
}

namespace {

// Redrawing stays suspended while a change of many rows runs, also when it
// throws.
class StSuspendRedraw {
 public:
  explicit StSuspendRedraw(ColourListView* view) : view_(view) {
    if (view_) view_->SuspendRedraw(true);
  }
  ~StSuspendRedraw() {
    if (view_) view_->SuspendRedraw(false);
  }
  StSuspendRedraw(const StSuspendRedraw&) = delete;
  StSuspendRedraw& operator=(const StSuspendRedraw&) = delete;

 private:
  ColourListView* view_;
};

}  // namespace

// ---- Keys ----

bool ColourList::KeyInUse(int32_t key) const {
  return std::any_of(rows_.begin(), rows_.end(), [key](const Row& row) { return row.key == key; });
}

namespace {

// The next key of the shared counter that is not in use: keys read from a
// file may lie anywhere, and the counter wraps.
template <typename InUse>
int32_t takeKey(InUse inUse) {
  int32_t key;
  do {
    key = gNextKey;
    gNextKey = following(gNextKey);
  } while (inUse(key));
  return key;
}

}  // namespace

int32_t ColourList::NewKey() const {
  return takeKey([this](int32_t key) { return KeyInUse(key); });
}

// ---- Operations ----

void ColourList::AddEmptySet(bool shiftHeld) {
  InsertSet(-1, ColourSetBlock{true, {ColourEntry::Empty()}}, shiftHeld);
  MakeCurrent(RowCount() - 1);
  markColoursChanged();
}

void ColourList::GoToEmptySlot() {
  if (rows_.empty()) {
    AddEmptySet(false);
    return;
  }
  const int base = currentRow_ >= 0 ? currentRow_ : 0;
  const int first = SetFirstRow(base), last = SetLastRow(base);
  for (int r = first; r <= last; ++r) {
    if (!rows_[static_cast<size_t>(r)].entry.IsColour()) {
      MakeCurrent(r);
      markColoursChanged();
      return;
    }
  }
  const Row& lastRow = rows_[static_cast<size_t>(last)];
  InsertRows(last + 1, {Row{ColourEntry::Empty(), lastRow.key, lastRow.selected}});
  MakeCurrent(last + 1);
  markColoursChanged();
}

void ColourList::SetCurrentColour(const ColourEntry& entry) {
  if (currentRow_ < 0) return;
  rows_[static_cast<size_t>(currentRow_)].entry = entry;
  if (view_) view_->RowChanged(currentRow_);
  markColoursChanged();
}

void ColourList::MakeCurrent(int row) {
  if (row < -1 || row >= RowCount()) return;
  const int previous = currentRow_;
  currentRow_ = row;
  if (view_) view_->CurrentRowChanged(previous, row);
  if (row >= 0) {
    caretRow_ = row;
    if (view_) view_->CaretMoved(row);
  }
}

void ColourList::DeleteRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  RemoveRow(row);
  if (rows_.empty()) AddEmptySet(false);
  if (currentRow_ < 0) MakeCurrent(std::max(row - 1, 0));
  markColoursChanged();
}

void ColourList::DeleteCurrentRow() {
  if (currentRow_ >= 0) {
    DeleteRow(currentRow_);
    return;
  }
  if (!rows_.empty()) MakeCurrent(0);
  markColoursChanged();
}

void ColourList::DeleteSet(int32_t key) {
  StSuspendRedraw suspended(view_);
  // From the last row up, so the rows still to look at keep their places.
  // Deleting the list's last row adds a fresh empty set at row 0, where the
  // loop ends.
  for (int r = RowCount() - 1; r >= 0; --r)
    if (rows_[static_cast<size_t>(r)].key == key) DeleteRow(r);
  markColoursChanged();
}

void ColourList::SelectSet(int row, bool shiftHeld) {
  if (row < 0 || row >= RowCount()) return;
  StSuspendRedraw suspended(view_);
  const int first = SetFirstRow(row), last = SetLastRow(row);
  const bool selected = rows_[static_cast<size_t>(first)].selected;
  if (!selected && !shiftHeld) {
    if (first > 0) SetSelection(0, first - 1, false);
    if (last + 1 < RowCount()) SetSelection(last + 1, RowCount() - 1, false);
  }
  SetSelection(first, last, !selected);
  caretRow_ = first;
  if (view_) view_->CaretMoved(first);
  markColoursChanged();
}

int ColourList::InsertSet(int index, const ColourSetBlock& set, bool shiftHeld) {
  if (index == -1) index = RowCount();
  if (!SetMayStartAt(index)) return -1;
  if (set.selected && !shiftHeld && !rows_.empty()) SetSelection(0, RowCount() - 1, false);
  const int32_t key = NewKey();
  std::vector<Row> rows;
  rows.reserve(set.entries.size());
  for (const ColourEntry& entry : set.entries) rows.push_back(Row{entry, key, set.selected});
  InsertRows(index, rows);
  markColoursChanged();
  return index;
}

int ColourList::AppendNewSet(const ColourEntry& entry) {
  const int row = RowCount();
  InsertRows(row, {Row{entry, NewKey(), true}});
  MakeCurrent(row);
  markColoursChanged();
  return row;
}

int ColourList::InsertColour(int index, const ColourEntry& entry) {
  const int count = RowCount();
  if (index < 0 || index >= count) {
    if (count == 0 || (index != -1 && index != count)) return AppendNewSet(entry);
    const Row& last = rows_.back();
    InsertRows(count, {Row{entry, last.key, last.selected}});
    markColoursChanged();
    return count;
  }
  const Row& at = rows_[static_cast<size_t>(index)];
  InsertRows(index, {Row{entry, at.key, at.selected}});
  markColoursChanged();
  return index;
}

int ColourList::DropColour(int index, const ColourEntry& entry, bool overLastRow) {
  if (rows_.empty() || index != RowCount()) return InsertColour(index, entry);
  return overLastRow ? InsertColour(index, entry) : AppendNewSet(entry);
}

// ---- Workspace ----

void ColourList::BeginLoad() {
  rows_.clear();
  currentRow_ = caretRow_ = -1;
  if (view_) view_->ListReset();
  markColoursChanged();
}

void ColourList::LoadRecord(uint32_t tag, uint32_t size, const uint8_t* payload) {
  if (tag != kRecordTag || size != kRecordSize) return;
  if (payload[0] != (keepList_ ? 1 : 0)) return;
  InsertRows(RowCount(), {Row{ColourEntry::Read(payload + 8), loadLittleEndianInt32(payload + 4), payload[1] != 0}});
}

// A file written by the lists has sets whose rows agree in key and
// selection, each key on one run of rows. Other files are taken as they
// come, but a key that comes back after another set's rows starts a set of
// its own (so deleting one set never takes rows elsewhere), and a set takes
// the selection of its first row.
//
// A file may hold many rows; the keys in use are looked up in a tree here
// rather than by a walk over the rows for every new key.
void ColourList::SeparateSets() {
  std::set<int32_t> used, seen;
  for (const Row& row : rows_) used.insert(row.key);
  for (int first = 0; first < RowCount();) {
    const int last = SetLastRow(first);
    const Row& head = rows_[static_cast<size_t>(first)];
    int32_t key = head.key;
    if (!seen.insert(key).second) {
      key = takeKey([&used](int32_t k) { return used.count(k) != 0; });
      used.insert(key);
    }
    const bool selected = head.selected;
    for (int r = first; r <= last; ++r) {
      rows_[static_cast<size_t>(r)].key = key;
      rows_[static_cast<size_t>(r)].selected = selected;
    }
    first = last + 1;
  }
}

void ColourList::EndLoad() {
  if (!rows_.empty()) {
    // The counter goes above every key read, as 64-bit numbers so that the
    // largest key cannot overflow; past INT32_MAX it wraps, and newKey
    // still skips the keys in use.
    int64_t largest = rows_.front().key;
    for (const Row& row : rows_) largest = std::max<int64_t>(largest, row.key);
    if (largest + 1 > gNextKey) gNextKey = static_cast<int32_t>(static_cast<uint32_t>(largest + 1));
  }
  SeparateSets();
  if (rows_.empty()) AddEmptySet(false);
  MakeCurrent(0);
  if (view_) view_->ListReset();
  markColoursChanged();
}

void ColourList::Save() {
  for (const Row& row : rows_) {
    uint8_t record[kRecordSize] = {};
    record[0] = keepList_ ? 1 : 0;
    record[1] = row.selected ? 1 : 0;
    storeLittleEndianInt32(record + 4, row.key);
    row.entry.Write(record + 8);
    WriteRecord(kRecordTag, kRecordSize, record);
  }
}

// ---- The work window's lists ----

ColourList& KeepColourList() {
  static ColourList list(true);
  return list;
}

ColourList& DropColourList() {
  static ColourList list(false);
  return list;
}

namespace {

// Both lists join the workspace when the library loads.
const bool kRegistered = [] {
  KeepColourList();
  DropColourList();
  return true;
}();

}  // namespace
