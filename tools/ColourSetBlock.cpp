#include "tools/ColourSetBlock.h"

#include "workspace/WorkspaceParticipant.h"

std::vector<uint8_t> ColourSetBlock::Bytes() const {
  std::vector<uint8_t> bytes(kHeaderBytes + ColourEntry::kBytes * entries.size());
  bytes[0] = selected ? 1 : 0;
  storeLittleEndian32(&bytes[1], static_cast<uint32_t>(entries.size()));
  uint8_t* at = bytes.data() + kHeaderBytes;
  for (const ColourEntry& entry : entries) {
    entry.Write(at);
    at += ColourEntry::kBytes;
  }
  return bytes;
}

std::optional<ColourSetBlock> ColourSetBlock::Read(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kHeaderBytes) return std::nullopt;
  const uint64_t count = loadLittleEndian32(data + 1);
  // Compared by division: no count can make 5 + 8·n wrap round.
  if ((size - kHeaderBytes) / ColourEntry::kBytes < count) return std::nullopt;
  ColourSetBlock set;
  set.selected = data[0] != 0;
  set.entries.reserve(static_cast<size_t>(count));
  for (uint64_t i = 0; i < count; ++i)
    set.entries.push_back(ColourEntry::Read(data + kHeaderBytes + ColourEntry::kBytes * i));
  return set;
}
