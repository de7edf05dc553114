// Feeds arbitrary bytes to the readers of the colour lists' untrusted
// input: the two drag payloads and the lists' workspace records. For any
// input:
// - nothing is read past the bytes given (the input is copied into a block
//   of exactly its size, so the sanitiser sees a read beyond it);
// - what a payload reader accepts is written back as the bytes it read;
// - a list loaded from any records, and then given any dropped set, is
//   sound: not empty, its current row one of its rows, every key on one
//   run of rows and every run of one selection.
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "tools/ColourEntry.h"
#include "tools/ColourList.h"
#include "tools/ColourSetBlock.h"

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

void checkSound(const ColourList& list) {
  check(list.RowCount() > 0);
  check(list.currentRow() >= -1 && list.currentRow() < list.RowCount());
  std::set<int32_t> keys;
  for (int first = 0; first < list.RowCount();) {
    const int last = list.SetLastRow(first);
    check(keys.insert(list.RowAt(first).key).second);
    for (int r = first; r <= last; ++r) check(list.RowAt(r).selected == list.RowAt(first).selected);
    first = last + 1;
  }
}

void entryBlock(const std::vector<uint8_t>& bytes) {
  const auto entry = ColourEntry::ReadBlock(bytes.data(), bytes.size());
  check(entry.has_value() == (bytes.size() >= ColourEntry::kBytes));
  if (!entry) return;
  uint8_t written[ColourEntry::kBytes];
  entry->Write(written);
  check(std::memcmp(written, bytes.data(), sizeof written) == 0);
}

std::optional<ColourSetBlock> setBlock(const std::vector<uint8_t>& bytes) {
  auto set = ColourSetBlock::Read(bytes.data(), bytes.size());
  if (!set) return set;
  const std::vector<uint8_t> written = set->Bytes();
  check(written.size() <= bytes.size());
  check(written[0] == (bytes[0] != 0 ? 1 : 0));
  check(std::memcmp(written.data() + 1, bytes.data() + 1, written.size() - 1) == 0);
  return set;
}

// The input as the records of a file: 16-byte payloads one after another,
// whatever is left over as one record of another size.
void records(ColourList& list, const std::vector<uint8_t>& bytes) {
  list.BeginLoad();
  size_t at = 0;
  for (; at + ColourList::kRecordSize <= bytes.size(); at += ColourList::kRecordSize) {
    const std::vector<uint8_t> payload(bytes.begin() + static_cast<long>(at),
                                       bytes.begin() + static_cast<long>(at + ColourList::kRecordSize));
    list.LoadRecord(ColourList::kRecordTag, ColourList::kRecordSize, payload.data());
  }
  const std::vector<uint8_t> rest(bytes.begin() + static_cast<long>(at), bytes.end());
  list.LoadRecord(ColourList::kRecordTag, static_cast<uint32_t>(rest.size()), rest.data());
  list.EndLoad();
  checkSound(list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  entryBlock(bytes);
  const auto set = setBlock(bytes);

  ColourList list(size % 2 == 0, WorkspaceParticipant::Registration::kStandalone);
  records(list, bytes);
  if (set) {
    const int index = size == 0 ? -1 : static_cast<int>(data[size - 1] % (list.RowCount() + 2)) - 1;
    list.InsertSet(index, *set, (size & 4) != 0);
    checkSound(list);
    list.DeleteSet(list.RowAt(list.RowCount() - 1).key);
    checkSound(list);
  }
  return 0;
}
