// The keep and drop colour lists: every operation against a plain model of
// sets, the notifications a window would draw from, the colours-changed
// flag, and the lists' workspace records.
#include "tools/ColourList.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>

#include "image/File.h"
#include "shell/ErrorRecord.h"
#include "tools/ColourClassifier.h"
#include "tools/ColourListView.h"
#include "workspace/Workspace.h"

namespace {

using Row = ColourList::Row;
constexpr auto kStandalone = WorkspaceParticipant::Registration::kStandalone;

ColourEntry rgb(uint8_t r, uint8_t g, uint8_t b) {
  const uint8_t bytes[3] = {r, g, b};
  return ColourEntry::Picked(PixelFormat{3, 3}, bytes);
}

// ---- The plain model: a list of sets, rows numbered through them ----

struct ModelSet {
  bool selected = true;
  std::vector<ColourEntry> entries;
};

struct Model {
  std::vector<ModelSet> sets;
  int current = -1;

  int rowCount() const {
    int n = 0;
    for (const ModelSet& s : sets) n += static_cast<int>(s.entries.size());
    return n;
  }
  // (set, position in the set) of a row.
  std::pair<size_t, size_t> locate(int row) const {
    for (size_t s = 0; s < sets.size(); ++s) {
      if (row < static_cast<int>(sets[s].entries.size())) return {s, static_cast<size_t>(row)};
      row -= static_cast<int>(sets[s].entries.size());
    }
    return {sets.size(), 0};
  }
  int firstRowOf(size_t set) const {
    int n = 0;
    for (size_t s = 0; s < set; ++s) n += static_cast<int>(sets[s].entries.size());
    return n;
  }
  void deselectAll() {
    for (ModelSet& s : sets) s.selected = false;
  }

  void addEmptySet(bool shift) {
    if (!shift) deselectAll();
    sets.push_back({true, {ColourEntry::Empty()}});
    current = rowCount() - 1;
  }
  void goToEmptySlot() {
    if (rowCount() == 0) return addEmptySet(false);
    const auto [s, p] = locate(current >= 0 ? current : 0);
    std::vector<ColourEntry>& entries = sets[s].entries;
    for (size_t k = 0; k < entries.size(); ++k) {
      if (!entries[k].IsColour()) {
        current = firstRowOf(s) + static_cast<int>(k);
        return;
      }
    }
    entries.push_back(ColourEntry::Empty());
    current = firstRowOf(s) + static_cast<int>(entries.size()) - 1;
  }
  void setCurrentColour(const ColourEntry& e) {
    if (current < 0) return;
    const auto [s, p] = locate(current);
    sets[s].entries[p] = e;
  }
  void makeCurrent(int row) {
    if (row >= -1 && row < rowCount()) current = row;
  }
  void deleteRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    const auto [s, p] = locate(row);
    sets[s].entries.erase(sets[s].entries.begin() + static_cast<long>(p));
    if (sets[s].entries.empty()) sets.erase(sets.begin() + static_cast<long>(s));
    if (current == row) current = -1;
    else if (current > row) --current;
    if (rowCount() == 0) addEmptySet(false);
    if (current < 0) current = std::max(row - 1, 0);
  }
  void deleteCurrentRow() {
    if (current >= 0) deleteRow(current);
    else if (rowCount() > 0) current = 0;
  }
  void deleteSetOf(int row) {
    const size_t s = locate(row).first;
    const int first = firstRowOf(s);
    for (int k = static_cast<int>(sets[s].entries.size()) - 1; k >= 0; --k) deleteRow(first + k);
  }
  void selectSet(int row, bool shift) {
    if (row < 0 || row >= rowCount()) return;
    ModelSet& set = sets[locate(row).first];
    if (!set.selected && !shift) {
      deselectAll();
      set.selected = true;
    } else {
      set.selected = !set.selected;
    }
  }
  void insertSet(int index, const ColourSetBlock& block, bool shift) {
    const int count = rowCount();
    if (index == -1) index = count;
    if (index < 0 || index > count) return;
    if (index != count && locate(index).second != 0) return;  // inside a set
    if (block.selected && !shift) deselectAll();
    if (block.entries.empty()) return;
    const size_t at = index == count ? sets.size() : locate(index).first;
    sets.insert(sets.begin() + static_cast<long>(at), ModelSet{block.selected, block.entries});
    if (current >= index) current += static_cast<int>(block.entries.size());
  }
  void newSetAtEnd(const ColourEntry& e) {
    sets.push_back({true, {e}});
    current = rowCount() - 1;
  }
  void insertColour(int index, const ColourEntry& e) {
    const int count = rowCount();
    if (index < 0 || index >= count) {
      if (count == 0 || (index != -1 && index != count)) return newSetAtEnd(e);
      sets.back().entries.push_back(e);
      return;
    }
    const auto [s, p] = locate(index);
    sets[s].entries.insert(sets[s].entries.begin() + static_cast<long>(p), e);
    if (current >= index) ++current;
  }
  void dropColour(int index, const ColourEntry& e, bool overLastRow) {
    if (rowCount() == 0 || index != rowCount()) return insertColour(index, e);
    if (overLastRow) return insertColour(index, e);
    newSetAtEnd(e);
  }
};

// What must hold of any list: rows grouped by key into runs, each key on
// one run only, one selection per run, a valid current row.
void ExpectSoundList(const ColourList& list) {
  std::set<int32_t> keys;
  for (int first = 0; first < list.RowCount();) {
    const int last = list.SetLastRow(first);
    const Row& head = list.RowAt(first);
    EXPECT_TRUE(keys.insert(head.key).second) << "key " << head.key << " on two sets, again at row " << first;
    for (int r = first; r <= last; ++r) EXPECT_EQ(list.RowAt(r).selected, head.selected) << "row " << r;
    first = last + 1;
  }
  EXPECT_GE(list.currentRow(), -1);
  EXPECT_LT(list.currentRow(), list.RowCount());
}

// The list's sets, as the model holds them.
std::vector<ModelSet> SetsOf(const ColourList& list) {
  std::vector<ModelSet> sets;
  for (int first = 0; first < list.RowCount(); first = list.SetLastRow(first) + 1) {
    const ColourSetBlock set = list.SetOf(first);
    sets.push_back({set.selected, set.entries});
  }
  return sets;
}

bool operator==(const ModelSet& a, const ModelSet& b) { return a.selected == b.selected && a.entries == b.entries; }

// A window that knows the list only from its notifications.
class MirrorView : public ColourListView {
 public:
  explicit MirrorView(const ColourList& list) : list_(list) {}

  void RowsInserted(int first, int count) override {
    ASSERT_LE(first, static_cast<int>(rows.size()));
    rows.insert(rows.begin() + first, list_.rows().begin() + first, list_.rows().begin() + first + count);
    if (current >= first) current += count;
  }
  void RowsRemoved(int first, int count) override {
    ASSERT_LE(first + count, static_cast<int>(rows.size()));
    rows.erase(rows.begin() + first, rows.begin() + first + count);
    if (current >= first + count) current -= count;
    else if (current >= first) current = -1;
  }
  void RowChanged(int row) override { rows.at(static_cast<size_t>(row)).entry = list_.RowAt(row).entry; }
  void SelectionChanged(int first, int count) override {
    for (int r = first; r < first + count; ++r) rows.at(static_cast<size_t>(r)).selected = list_.RowAt(r).selected;
  }
  void CurrentRowChanged(int, int now) override { current = now; }
  void CaretMoved(int) override {}
  void ListReset() override {
    rows = list_.rows();
    current = list_.currentRow();
  }
  void SuspendRedraw(bool suspend) override { depth += suspend ? 1 : -1; }

  std::vector<Row> rows;
  int current = -1;
  int depth = 0;

 private:
  const ColourList& list_;
};

// A classifier source that only serves to clear the colours-changed flag.
struct QuietSource : ClassifierSource {
  std::vector<ClassifierColour> selectedKeepColours(PixelFormat) override { return {{0}}; }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat) override { return {}; }
  ClassifierThresholds thresholdPair() override { return {10, 20}; }
  bool keepMode() override { return true; }
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat) override { return std::nullopt; }
};

// Clears the colours-changed flag while a quiet source is set.
void clearColoursChanged() {
  currentClassifier(PixelFormat{1, 1});
  ASSERT_FALSE(classifierInvalidated());
}

TEST(ColourList, EveryOperationAgreesWithAPlainModelOfSets) {
  const ColourEntry pool[] = {ColourEntry::Empty(), rgb(1, 2, 3), rgb(200, 10, 10), rgb(0, 255, 0)};
  QuietSource quiet;
  setClassifierSource(&quiet);
  for (uint32_t seed = 0; seed < 300; ++seed) {
    std::mt19937 random(seed);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    auto anyEntry = [&] { return pool[below(4)]; };
    ColourList list(seed % 2 == 0, kStandalone);
    MirrorView mirror(list);
    list.SetView(&mirror);
    Model model;
    list.AddEmptySet(false);
    model.addEmptySet(false);

    for (int step = 0; step < 60; ++step) {
      const int count = list.RowCount();
      const int row = below(count + 4) - 2;  // a few rows outside the list too
      const bool shift = below(2) == 0;
      clearColoursChanged();
      const std::vector<Row> before = list.rows();
      const int currentBefore = list.currentRow();
      std::string op;
      switch (below(12)) {
        case 0: op = "AddEmptySet"; list.AddEmptySet(shift); model.addEmptySet(shift); break;
        case 1: op = "GoToEmptySlot"; list.GoToEmptySlot(); model.goToEmptySlot(); break;
        case 2: {
          op = "SetCurrentColour";
          const ColourEntry e = anyEntry();
          list.SetCurrentColour(e);
          model.setCurrentColour(e);
          break;
        }
        case 3: op = "MakeCurrent"; list.MakeCurrent(row); model.makeCurrent(row); break;
        case 4: op = "DeleteRow"; list.DeleteRow(row); model.deleteRow(row); break;
        case 5: op = "DeleteCurrentRow"; list.DeleteCurrentRow(); model.deleteCurrentRow(); break;
        case 6:
          op = "DeleteSet";
          if (row < 0 || row >= count) break;
          list.DeleteSet(list.RowAt(row).key);
          model.deleteSetOf(row);
          break;
        case 7: op = "SelectSet"; list.SelectSet(row, shift); model.selectSet(row, shift); break;
        case 8: {
          op = "InsertSet";
          ColourSetBlock block{below(2) == 0, {}};
          for (int n = below(3); n > 0; --n) block.entries.push_back(anyEntry());
          list.InsertSet(row, block, shift);
          model.insertSet(row, block, shift);
          break;
        }
        case 9: {
          op = "InsertColour";
          const ColourEntry e = anyEntry();
          list.InsertColour(row, e);
          model.insertColour(row, e);
          break;
        }
        case 10: {
          op = "DropColour";
          const ColourEntry e = anyEntry();
          const bool over = below(2) == 0;
          list.DropColour(row, e, over);
          model.dropColour(row, e, over);
          break;
        }
        default: op = "RightButtonPick"; list.RightButtonPick(shift); model.addEmptySet(shift); break;
      }
      const std::string where = "seed " + std::to_string(seed) + " step " + std::to_string(step) + ": " + op +
                                "(" + std::to_string(row) + ", shift " + std::to_string(shift) + ")";
      ASSERT_TRUE(SetsOf(list) == model.sets) << where;
      ASSERT_EQ(list.currentRow(), model.current) << where;
      ExpectSoundList(list);
      ASSERT_GT(list.RowCount(), 0) << where << ": a list is never left empty";
      ASSERT_EQ(mirror.rows, list.rows()) << where << ": the notifications missed a change";
      ASSERT_EQ(mirror.current, list.currentRow()) << where;
      ASSERT_EQ(mirror.depth, 0) << where;
      if (op == "MakeCurrent") {
        EXPECT_FALSE(classifierInvalidated()) << where << ": making a row current changes no colour";
      } else if (list.rows() != before || list.currentRow() != currentBefore) {
        EXPECT_TRUE(classifierInvalidated()) << where << ": a change left the classifier in place";
      }
    }
  }
  setClassifierSource(nullptr);
}

TEST(ColourList, DeletingTheOnlyRowLeavesOneEmptySetWithItsEntryCurrent) {
  ColourList list(true, kStandalone);
  list.InsertColour(-1, rgb(9, 9, 9));
  ASSERT_EQ(list.RowCount(), 1);
  const int32_t oldKey = list.RowAt(0).key;
  list.DeleteCurrentRow();
  ASSERT_EQ(list.RowCount(), 1);
  EXPECT_FALSE(list.RowAt(0).entry.IsColour());
  EXPECT_NE(list.RowAt(0).key, oldKey);
  EXPECT_EQ(list.currentRow(), 0);
}

TEST(ColourList, RowsStayCurrentWhileOthersAreInsertedOrDeletedAboveThem) {
  ColourList list(true, kStandalone);
  list.InsertColour(-1, rgb(1, 1, 1));
  list.InsertColour(-1, rgb(2, 2, 2));
  list.InsertColour(-1, rgb(3, 3, 3));
  list.MakeCurrent(2);
  list.InsertColour(0, rgb(4, 4, 4));
  EXPECT_EQ(list.RowAt(list.currentRow()).entry, rgb(3, 3, 3)) << "the picked colour would land on another row";
  list.DeleteRow(0);
  EXPECT_EQ(list.RowAt(list.currentRow()).entry, rgb(3, 3, 3));
}

TEST(ColourList, AColourMovedAboveItselfInItsListLeavesOneCopyThere) {
  ColourList list(true, kStandalone);
  for (uint8_t v : {10, 20, 30}) list.InsertColour(-1, rgb(v, v, v));
  // The window's move: insert at the drop, then delete the source, which
  // moved down one row when the drop landed above it.
  const int source = 2;
  const int dropped = list.DropColour(0, list.RowAt(source).entry, false);
  list.DeleteRow(dropped <= source ? source + 1 : source);
  ASSERT_EQ(list.RowCount(), 3);
  EXPECT_EQ(list.RowAt(0).entry, rgb(30, 30, 30));
  EXPECT_EQ(list.RowAt(1).entry, rgb(10, 10, 10));
  EXPECT_EQ(list.RowAt(2).entry, rgb(20, 20, 20));
}

TEST(ColourList, SetsGoOnlyBetweenSetsAndAnEmptySelectedOneStillDeselects) {
  ColourList list(false, kStandalone);
  list.InsertSet(-1, {true, {rgb(1, 1, 1), rgb(2, 2, 2)}}, false);
  list.InsertSet(-1, {true, {rgb(3, 3, 3)}}, true);
  EXPECT_EQ(list.InsertSet(1, {true, {rgb(9, 9, 9)}}, false), -1) << "inside the first set";
  EXPECT_TRUE(list.RowAt(0).selected) << "a refused set deselects nothing";
  EXPECT_EQ(list.InsertSet(2, {false, {rgb(9, 9, 9)}}, false), 2) << "just above the second set's first row";
  EXPECT_NE(list.RowAt(2).key, list.RowAt(1).key);
  EXPECT_NE(list.RowAt(2).key, list.RowAt(3).key);
  EXPECT_EQ(list.InsertSet(-1, {true, {}}, false), 4);
  EXPECT_EQ(list.RowCount(), 4);
  for (const Row& row : list.rows()) EXPECT_FALSE(row.selected);
}

// ---- Workspace records ----

std::string Record(uint8_t identity, uint8_t selected, int32_t key, const ColourEntry& entry, uint32_t size = 16) {
  uint8_t bytes[8 + 32] = {};
  storeLittleEndian32(bytes, ColourList::kRecordTag);
  storeLittleEndian32(bytes + 4, size);
  bytes[8] = identity;
  bytes[9] = selected;
  storeLittleEndianInt32(bytes + 12, key);
  entry.Write(bytes + 16);
  return std::string(reinterpret_cast<char*>(bytes), 8) + std::string(reinterpret_cast<char*>(bytes) + 8, size);
}

class ColourListRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-lists-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    path_ = folder_ + "/lists.tsw";
  }
  void TearDown() override {
    clearErrors();
    std::filesystem::remove_all(folder_);
  }
  bool LoadInto(ColourList& list, const std::string& content) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << content;
    File file;
    file.OpenForLoading(path_);
    return LoadParticipant(file, list, FailureReport::kLeavePending);
  }

  std::string folder_, path_;
};

TEST_F(ColourListRecords, BothListsSurviveASaveAndALoad) {
  ColourList& keep = KeepColourList();
  ColourList& drop = DropColourList();
  std::mt19937 random(7);
  for (ColourList* list : {&keep, &drop}) {
    list->BeginLoad();
    list->EndLoad();
    for (int i = 0; i < 12; ++i) {
      const auto v = static_cast<uint8_t>(random());
      if (random() % 3 == 0) list->AddEmptySet(random() % 2 == 0);
      list->InsertColour(static_cast<int>(random() % 6) - 1, rgb(v, 255 - v, v / 2));
    }
    list->SelectSet(0, true);
  }
  const std::vector<Row> keepRows = keep.rows(), dropRows = drop.rows();
  {
    File file;
    file.OpenForSaving(path_);
    ASSERT_TRUE(SaveWorkspace(file, FailureReport::kLeavePending));
    file.Close();
  }
  keep.AddEmptySet(false);
  drop.DeleteSet(drop.RowAt(0).key);
  File file;
  file.OpenForLoading(path_);
  ASSERT_TRUE(LoadWorkspace(file, FailureReport::kLeavePending));
  EXPECT_EQ(keep.rows(), keepRows);
  EXPECT_EQ(drop.rows(), dropRows);
  EXPECT_EQ(keep.currentRow(), 0);
  // Keys handed out after the load stay clear of every key read.
  keep.AddEmptySet(false);
  drop.AddEmptySet(false);
  ExpectSoundList(keep);
  ExpectSoundList(drop);
}

TEST_F(ColourListRecords, AnEmptyFileGivesOneEmptySetAndAKeyRecordGoesToItsListOnly) {
  ColourList keep(true, kStandalone), drop(false, kStandalone);
  ASSERT_TRUE(LoadInto(keep, ""));
  ASSERT_EQ(keep.RowCount(), 1);
  EXPECT_FALSE(keep.RowAt(0).entry.IsColour());
  EXPECT_EQ(keep.currentRow(), 0);
  const std::string file = Record(1, 1, 5, rgb(1, 2, 3)) + Record(0, 0, 6, rgb(4, 5, 6)) + Record(1, 1, 5, rgb(7, 8, 9));
  ASSERT_TRUE(LoadInto(keep, file));
  ASSERT_TRUE(LoadInto(drop, file));
  ASSERT_EQ(keep.RowCount(), 2);
  EXPECT_EQ(keep.RowAt(1).entry, rgb(7, 8, 9)) << "rows in file order";
  ASSERT_EQ(drop.RowCount(), 1);
  EXPECT_EQ(drop.RowAt(0).entry, rgb(4, 5, 6));
  EXPECT_FALSE(drop.RowAt(0).selected);
}

TEST_F(ColourListRecords, HostileRecordsLoadIntoASoundList) {
  ColourList list(true, kStandalone);
  const ColourEntry strange{100, 3, {1, 2, 3, 4}};  // a size its mode does not have
  const ColourEntry noMode{8, 12, {}};
  const std::string file = Record(1, 1, 7, rgb(1, 1, 1)) +
                           Record(1, 0, 7, rgb(2, 2, 2)) +          // one set, another selection
                           Record(1, 1, 8, strange) +
                           Record(1, 9, 7, rgb(3, 3, 3)) +          // key 7 again after another set
                           Record(2, 1, 9, rgb(4, 4, 4)) +          // no list's identity
                           Record(1, 1, 10, rgb(5, 5, 5), 15) +     // short
                           Record(1, 1, 11, rgb(6, 6, 6), 17) +     // long
                           Record(1, 1, INT32_MAX, noMode);
  ASSERT_TRUE(LoadInto(list, file));
  ExpectSoundList(list);
  ASSERT_EQ(list.RowCount(), 5);
  EXPECT_TRUE(list.RowAt(1).selected) << "a set takes its first row's selection";
  EXPECT_EQ(list.RowAt(2).entry, strange) << "entries are kept as they came";
  EXPECT_NE(list.RowAt(3).key, 7) << "a key coming back after another set starts a set of its own";
  EXPECT_FALSE(list.RowAt(4).entry.IsColour());
  list.DeleteSet(7);
  EXPECT_EQ(list.RowCount(), 3) << "deleting one set took rows of another";
  list.AddEmptySet(false);
  list.AddEmptySet(false);
  ExpectSoundList(list);
}

TEST_F(ColourListRecords, ManySetsWithRecurringKeysAllGetKeysOfTheirOwn) {
  // Sixty thousand sets alternating between two keys: each needs a fresh
  // key, found without a walk over every row for each.
  std::string file;
  for (int i = 0; i < 60000; ++i) file += Record(1, 1, i % 2, rgb(1, 1, 1));
  ColourList list(true, kStandalone);
  ASSERT_TRUE(LoadInto(list, file));
  ASSERT_EQ(list.RowCount(), 60000);
  std::set<int32_t> keys;
  for (const Row& row : list.rows()) keys.insert(row.key);
  EXPECT_EQ(keys.size(), 60000u);
}

TEST_F(ColourListRecords, AFileCutInsideARecordKeepsTheRowsBeforeIt) {
  ColourList list(false, kStandalone);
  const std::string whole = Record(0, 1, 1, rgb(1, 1, 1)) + Record(0, 1, 1, rgb(2, 2, 2));
  for (size_t cut = whole.size() / 2 + 4; cut < whole.size(); ++cut) {
    const bool loaded = LoadInto(list, whole.substr(0, cut));
    clearErrors();
    EXPECT_FALSE(loaded) << "cut at " << cut;
    ASSERT_EQ(list.RowCount(), 1) << "cut at " << cut;
    EXPECT_EQ(list.RowAt(0).entry, rgb(1, 1, 1));
    EXPECT_EQ(list.currentRow(), 0);
  }
}

}  // namespace
