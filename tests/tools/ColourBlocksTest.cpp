// The drag payloads of the colour lists: one entry, and one colour set. A
// payload comes from another window or process and is read only as far as
// it reaches.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tools/ColourEntry.h"
#include "tools/ColourSetBlock.h"

namespace {

using Bytes = std::vector<uint8_t>;

ColourEntry randomEntry(std::mt19937& random) {
  ColourEntry entry;
  entry.size = static_cast<int16_t>(random());
  entry.mode = static_cast<int16_t>(random());
  for (uint8_t& c : entry.channels) c = static_cast<uint8_t>(random());
  return entry;
}

// The first `size` bytes in a buffer of exactly that size, so that reading
// one byte further is caught.
std::optional<ColourSetBlock> readSet(const Bytes& bytes, size_t size) {
  const Bytes copy(bytes.begin(), bytes.begin() + static_cast<long>(size));
  return ColourSetBlock::Read(copy.data(), copy.size());
}

TEST(ColourEntryBytes, AreLittleEndianSizeModeAndFourChannels) {
  const uint8_t lab[] = {90, 128, 7};
  Bytes bytes(8);
  ColourEntry::Picked(PixelFormat{3, 9}, lab).Write(bytes.data());
  EXPECT_EQ(bytes, (Bytes{3, 0, 9, 0, 90, 128, 7, 0}));
  ColourEntry::Empty().Write(bytes.data());
  EXPECT_EQ(bytes, (Bytes{8, 0, 0, 0x80, 0, 0, 0, 0}));
  std::mt19937 random(1);
  for (int i = 0; i < 1000; ++i) {
    const ColourEntry entry = randomEntry(random);
    entry.Write(bytes.data());
    EXPECT_EQ(ColourEntry::Read(bytes.data()), entry);
    EXPECT_EQ(entry.IsColour(), entry.mode >= 0 && entry.mode <= 11);
  }
}

TEST(ColourEntryBytes, TheChannelsThatCountComeFromTheModeNotTheSizeField) {
  const int expected[12] = {1, 1, 1, 3, 4, 3, 3, 1, 1, 3, 2, 4};
  for (int16_t mode = 0; mode < 12; ++mode) {
    const ColourEntry entry{-5, mode, {}};
    EXPECT_EQ(entry.ChannelCount(), expected[mode]) << "mode " << mode;
  }
  EXPECT_EQ((ColourEntry{3, 12, {}}).ChannelCount(), 0);
  EXPECT_EQ((ColourEntry{3, -1, {}}).ChannelCount(), 0);
}

TEST(ColourBlock, IsRefusedAtEveryLengthShortOfAnEntry) {
  const ColourEntry entry{4, 4, {1, 2, 3, 4}};
  Bytes bytes(9, 0xEE);
  entry.Write(bytes.data());
  for (size_t size = 0; size < 8; ++size) {
    const Bytes copy(bytes.begin(), bytes.begin() + static_cast<long>(size));
    EXPECT_FALSE(ColourEntry::ReadBlock(copy.data(), copy.size())) << size << " bytes";
  }
  EXPECT_EQ(ColourEntry::ReadBlock(bytes.data(), 8), entry);
  EXPECT_EQ(ColourEntry::ReadBlock(bytes.data(), 9), entry) << "a rounded-up block";
  EXPECT_FALSE(ColourEntry::ReadBlock(nullptr, 8));
}

TEST(ColourSetBlock, RoundTripsAndIsRefusedAtEveryTruncation) {
  std::mt19937 random(2);
  for (int n = 0; n < 6; ++n) {
    ColourSetBlock set{n % 2 == 0, {}};
    for (int i = 0; i < n; ++i) set.entries.push_back(randomEntry(random));
    const Bytes bytes = set.Bytes();
    ASSERT_EQ(bytes.size(), 5u + 8u * static_cast<size_t>(n));
    EXPECT_EQ(bytes[0], n % 2 == 0 ? 1 : 0);
    EXPECT_EQ(readSet(bytes, bytes.size()), set);
    for (size_t size = 0; size < bytes.size(); ++size)
      EXPECT_FALSE(readSet(bytes, size)) << n << " entries cut to " << size << " bytes";
    Bytes longer = bytes;
    longer.insert(longer.end(), 7, 0xEE);
    EXPECT_EQ(readSet(longer, longer.size()), set) << "bytes after the last entry are ignored";
  }
}

TEST(ColourSetBlock, ACountThatLiesIsRefused) {
  ColourSetBlock set{true, {ColourEntry::Empty(), ColourEntry{1, 1, {77}}}};
  Bytes bytes = set.Bytes();
  for (uint32_t count : {3u, 0x20000000u, 0x20000001u, 0xFFFFFFFFu}) {
    bytes[1] = static_cast<uint8_t>(count);
    bytes[2] = static_cast<uint8_t>(count >> 8);
    bytes[3] = static_cast<uint8_t>(count >> 16);
    bytes[4] = static_cast<uint8_t>(count >> 24);
    EXPECT_FALSE(readSet(bytes, bytes.size())) << "count " << count;
  }
  bytes[1] = 1, bytes[2] = bytes[3] = bytes[4] = 0;
  const auto fewer = readSet(bytes, bytes.size());
  ASSERT_TRUE(fewer);
  EXPECT_EQ(fewer->entries, std::vector<ColourEntry>{ColourEntry::Empty()}) << "a smaller count reads that many";
  bytes[0] = 2;
  EXPECT_TRUE(readSet(bytes, bytes.size())->selected);
}

}  // namespace
