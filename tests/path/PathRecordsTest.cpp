#include "path/PathRecords.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int16_t int16At(const std::vector<uint8_t>& bytes, size_t offset) {
  return int16_t(uint16_t(bytes[offset] << 8 | bytes[offset + 1]));
}

int32_t int32At(const std::vector<uint8_t>& bytes, size_t offset) {
  return int32_t(uint32_t(bytes[offset]) << 24 | uint32_t(bytes[offset + 1]) << 16 |
                 uint32_t(bytes[offset + 2]) << 8 | uint32_t(bytes[offset + 3]));
}

std::vector<uint8_t> encode(const TracedPath& path, int32_t height, int32_t width) {
  std::vector<uint8_t> bytes(size_t(pathRecordsSize(path)), 0xAA);
  encodePathRecords(path, height, width, bytes.data());
  return bytes;
}

TEST(PathRecords, EmptyTraceIsTheFillRuleRecordAlone) {
  const std::vector<uint8_t> bytes = encode(TracedPath{}, 100, 200);
  ASSERT_EQ(bytes.size(), 26u);
  EXPECT_EQ(int16At(bytes, 0), 6);
  for (size_t i = 2; i < 26; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(PathRecords, PixelCentreOfHalfTheDocumentIsHalfOfTheFraction) {
  // A 100 x 200 document: pixel (50, 100) is (12800, 25600) in 1/256 pixel.
  EXPECT_EQ(pathFraction(12800, 100), 0x00800000);
  EXPECT_EQ(pathFraction(25600, 200), 0x00800000);
  EXPECT_EQ(pathFraction(-1, 100), -655) << "truncated towards zero";
  EXPECT_EQ(pathFraction(100 * 256 + 1, 100), 0x01000000 + 655);
}

TEST(PathRecords, EachOutlineIsALengthRecordAndCornerKnotsInBigEndian) {
  TracedPath path;
  path.points = {{12800, 25600}, {0, 0}, {25600, 51200}, {1, 2}, {3, 4}, {5, 6}, {7, 8}};
  path.subpaths = {{0, 3}, {3, 7}};
  const std::vector<uint8_t> bytes = encode(path, 100, 200);
  ASSERT_EQ(bytes.size(), size_t(26 * (1 + 2 + 7)));

  EXPECT_EQ(int16At(bytes, 26), 0) << "closed subpath length record";
  EXPECT_EQ(int16At(bytes, 28), 3);
  for (size_t i = 30; i < 52; ++i) EXPECT_EQ(bytes[i], 0);

  const size_t knot = 52;
  EXPECT_EQ(int16At(bytes, knot), 2) << "closed, unlinked knot";
  for (size_t point = 0; point < 3; ++point) {
    EXPECT_EQ(int32At(bytes, knot + 2 + point * 8), 0x00800000) << "vertical of point " << point;
    EXPECT_EQ(int32At(bytes, knot + 6 + point * 8), 0x00800000) << "horizontal of point " << point;
  }
  EXPECT_EQ(int32At(bytes, knot + 2 * 26 + 2), 0x01000000) << "third knot at the bottom edge";

  const size_t second = 26 * 5;
  EXPECT_EQ(int16At(bytes, second), 0);
  EXPECT_EQ(int16At(bytes, second + 2), 4);
  EXPECT_EQ(int16At(bytes, bytes.size() - 26), 2);
}

TEST(PathRecords, OutlinesLongerThanTheKnotCountFieldDoNotFit) {
  TracedPath path;
  path.points.resize(kMaxKnotsPerSubpath + 1);
  path.subpaths = {{0, kMaxKnotsPerSubpath}};
  EXPECT_TRUE(pathFitsRecords(path));
  path.subpaths = {{0, kMaxKnotsPerSubpath + 1}};
  EXPECT_FALSE(pathFitsRecords(path));
}

}  // namespace
