#include "image/OfflineImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <random>

#include "image/BufferImage.h"
#include "image/PieceIterator.h"
#include "shell/Exceptions.h"
#include "tests/image/ImageTestSupport.h"
#include "tests/support/AutomatedTest.h"
#include "tests/support/SimdLevels.h"

namespace {

using testing_support::Plane;
using testing_support::StCurrentHost;

constexpr PixelLayout kGrey{1, kHostModeGrayScale};
constexpr PixelLayout kRGB{3, kHostModeRGB};

// A plain array image whose lock can be told to refuse pieces taller than
// a limit (as a host short of memory does), and which counts its locks.
class ArrayImage : public Image {
 public:
  ArrayImage(PixelLayout layout, Rect bounds)
      : Image(layout, bounds),
        bytes_(static_cast<size_t>(bounds.height() * bounds.width() * layout.bytesPerPixel)) {}

  uint32_t memoryUsage() const override { return static_cast<uint32_t>(bytes_.size()); }
  PlaneView lock(Rect& rect, LockMode) override {
    if (locked_) throw XLock(TESSALY_HERE);
    if (rect.height() > maxHeight) throw XReduce(TESSALY_HERE);
    locked_ = true;
    ++locks;
    return view().offsetBy(rect.top - bounds_.top, rect.left - bounds_.left);
  }
  void unlock(const Rect&) override { locked_ = false; }

  PlaneView view() {
    return {bytes_.data(), layout_.bytesPerPixel, bounds_.width() * layout_.bytesPerPixel};
  }
  uint8_t& at(int32_t v, int32_t h, int32_t channel = 0) {
    return view().at(v - bounds_.top, h - bounds_.left)[channel];
  }
  bool locked() const { return locked_; }

  int32_t maxHeight = INT16_MAX;
  int locks = 0;

 private:
  std::vector<uint8_t> bytes_;
  bool locked_ = false;
};

void fillRandom(std::vector<uint8_t>& bytes, unsigned seed) {
  std::mt19937 random(seed);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
}

// ---- Rectangle transfer ----------------------------------------------------

TEST(ReadWriteRect, RoundTripAcrossTilesOfAnRGBBufferImage) {
  StCurrentHost host;
  BufferImage image(kRGB, Rect{-10, 5, 90, 77}, Point{16, 32}, 0);
  const Rect rect{-7, 20, 50, 70};
  Plane source(rect.height(), rect.width(), 3), back(rect.height(), rect.width(), 3);
  fillRandom(source.bytes, 1);
  image.WriteRect(rect, source.view);
  image.ReadRect(rect, back.view);
  EXPECT_EQ(back.bytes, source.bytes);

  // A rectangle overlapping the written one reads the written pixels where
  // they were put and the fill byte elsewhere.
  Plane shifted(10, 10, 3, 0xEE);
  image.ReadRect(Rect{45, 65, 55, 75}, shifted.view);
  EXPECT_EQ(shifted.at(0, 0, 2), source.at(45 + 7, 65 - 20, 2));
  EXPECT_EQ(shifted.at(9, 9, 1), 0) << "never-written pixels read as the fill byte";
}

TEST(ReadWriteRect, UnwrittenTilesReadAsTheirFillWithoutAllocating) {
  StCurrentHost host;
  BufferImage image(kGrey, Rect{0, 0, 300, 300}, Point{128, 128}, 42);
  Plane out(300, 300, 1, 0);
  image.ReadRect(image.bounds(), out.view);
  EXPECT_TRUE(std::all_of(out.bytes.begin(), out.bytes.end(), [](uint8_t b) { return b == 42; }));
  EXPECT_EQ(host.host().liveBuffers(), 0u);
}

TEST(ReadWriteRect, ShortOfMemoryTheBandIsHalvedUntilItFits) {
  ArrayImage image(kGrey, Rect{0, 0, 10, 4});
  std::iota(image.view().data, image.view().data + 40, 0);
  image.maxHeight = 3;
  Plane out(10, 4);
  image.ReadRect(image.bounds(), out.view);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(out.bytes[static_cast<size_t>(i)], i);
  EXPECT_FALSE(image.locked());
  // 10 -> 5 -> 3 fits; the rest (7) -> 4 -> 2 fits; the rest (5) -> 3 fits;
  // the rest 2 fits.
  EXPECT_EQ(image.locks, 4);
}

TEST(ReadWriteRect, XReduceTravelsOnWhenTheBandCannotShrink) {
  ArrayImage image(kGrey, Rect{0, 0, 10, 4});
  image.maxHeight = 0;
  Plane out(10, 4);
  EXPECT_THROW(image.ReadRect(image.bounds(), out.view), XReduce);
  EXPECT_THROW(image.WriteRect(image.bounds(), out.view), XReduce);
  EXPECT_FALSE(image.locked());
}

TEST(ReadWriteRect, RunningOutOfMemoryKeepsTheTilesWrittenBefore) {
  StCurrentHost host;
  host.host().setBufferLimit(128 * 128);
  BufferImage image(kGrey, Rect{0, 0, 256, 128}, Point{128, 128}, 0);
  Plane source(256, 128, 1, 5);
  EXPECT_THROW(image.WriteRect(image.bounds(), source.view), XMemory);
  // The first tile was written before memory ran out, and is whole.
  Plane back(128, 128);
  image.ReadRect(Rect{0, 0, 128, 128}, back.view);
  EXPECT_EQ(back.bytes, std::vector<uint8_t>(128 * 128, 5));
}

// Copies of 8 MiB and more go through streaming stores, which write only
// whole cache lines: lines that a piece fills only in part wait for the
// pieces beside them. Tile rows of 120 bytes leave lines shared by two or
// three pieces, and of 48 bytes lines shared by several tile rows; rows 5
// bytes longer than the copy leave lines shared with bytes the copy must
// not touch; tiles never written read as their fill, also in the middle of
// a row, beside lines that written tiles fill in part. Tiles 64 pixels wide
// give rows of whole lines (192 bytes), which the destination's rows meet
// at every offset within a line.
class LargeCopies : public testing_support::AtEachSimdLevel<> {};

TEST_P(LargeCopies, GiveTheSameBytesWhateverTheTiles) {
  StCurrentHost host;
  const Rect bounds{-3, 5, 1700, 1710};
  const Rect written{0, 7, 1690, 1705};
  const int32_t writtenRow = written.width() * 3 + 5, boundsRow = bounds.width() * 3 + 5;
  std::vector<uint8_t> source(static_cast<size_t>(written.height() * writtenRow + 1));
  fillRandom(source, 11);
  const PlaneView sourceView{source.data() + 1, 3, writtenRow};

  // The bytes of `parts` of the written rectangle, and 9 elsewhere.
  auto expectedBytes = [&](std::initializer_list<Rect> parts) {
    std::vector<uint8_t> expected(static_cast<size_t>(bounds.height() * boundsRow + 1), 0xAB);
    const PlaneView view{expected.data() + 1, 3, boundsRow};
    FillPlane(view, bounds.height(), bounds.width() * 3, 9);
    for (const Rect& part : parts)
      CopyRowsIn(view.offsetBy(part.top - bounds.top, part.left - bounds.left), part.height(), part.width() * 3,
                 sourceView.at(part.top - written.top, part.left - written.left), writtenRow);
    return expected;
  };
  auto readBack = [&](Image& image) {
    std::vector<uint8_t> back(static_cast<size_t>(bounds.height() * boundsRow + 1), 0xAB);
    image.ReadRect(bounds, PlaneView{back.data() + 1, 3, boundsRow});
    return back;
  };

  const std::vector<uint8_t> whole = expectedBytes({written});
  for (const Point tile : {Point{64, 40}, Point{48, 16}, Point{128, 64}}) {
    BufferImage image(kRGB, bounds, tile, 9);
    image.WriteRect(written, sourceView);
    EXPECT_TRUE(readBack(image) == whole)
        << "tiles " << tile.h << " wide: bytes differ, or bytes between the rows were touched";
  }

  const Rect left{0, 7, 1690, 700}, right{0, 900, 1690, 1705};
  BufferImage gap(kRGB, bounds, Point{64, 40}, 9);
  for (const Rect& part : {left, right})
    gap.WriteRect(part, sourceView.offsetBy(part.top - written.top, part.left - written.left));
  EXPECT_TRUE(readBack(gap) == expectedBytes({left, right})) << "tiles never written in the middle of the rows";
}

// A tiled image that counts the pieces it holds, can fail its n-th lock,
// and can say that its pieces are to be locked one at a time.
class TestTileImage : public BufferImage {
 public:
  using BufferImage::BufferImage;
  PlaneView lock(Rect& rect, LockMode mode) override {
    if (++locks == failAt) {
      if (reduce) throw XReduce(TESSALY_HERE);
      throw XMemory(TESSALY_HERE);
    }
    PlaneView view = BufferImage::lock(rect, mode);
    ++held;
    return view;
  }
  void unlock(const Rect& piece) override {
    --held;
    BufferImage::unlock(piece);
  }
  bool locksPiecesTogether() const override { return together; }
  int locks = 0, failAt = -1, held = 0;
  bool reduce = false, together = true;
};

// Rows of whole lines: destination rows 64-byte multiples apart start every
// row of a piece at one offset within its line, and tiles 64 RGB pixels wide
// have rows of three lines that follow each other. Each pass puts the
// destination and the host's buffers at other offsets within a line, and
// writes the tiles a band at a time or, as for an image whose pieces come
// one at a time, tile by tile; the bytes just outside the destination stay
// untouched.
TEST_P(LargeCopies, OfWholeLinesAtEveryOffsetWithinALine) {
  constexpr int16_t kWidth = 2048, kHeight = 1408;  // 8.25 MiB
  constexpr int32_t kRow = kWidth * 3;
  const Rect bounds{0, 0, kHeight, kWidth};
  std::vector<uint8_t> source(size_t{kRow} * kHeight);
  fillRandom(source, 5);
  struct Pass {
    int destinationOffset, tileOffset;
    bool together;
  };
  for (const auto& [destinationOffset, tileOffset, together] :
       {Pass{0, 0, true}, Pass{16, 48, true}, Pass{1, 33, false}, Pass{63, 16, true}, Pass{48, 0, false}}) {
    StCurrentHost host;
    host.host().setBufferLineOffset(tileOffset);
    TestTileImage image(kRGB, bounds, Point{64, 64}, 9);
    image.together = together;
    image.WriteRect(bounds, PlaneView{source.data(), 3, kRow});

    std::vector<uint8_t> back(source.size() + 192, 0xAB);
    const size_t start = (64 - reinterpret_cast<uintptr_t>(back.data()) % 64) % 64 + 64 +
                         static_cast<size_t>(destinationOffset);
    image.ReadRect(bounds, PlaneView{back.data() + start, 3, kRow});
    EXPECT_TRUE(std::equal(source.begin(), source.end(), back.begin() + static_cast<ptrdiff_t>(start)))
        << "destination at " << destinationOffset << ", tiles at " << tileOffset << " past a line"
        << (together ? ", a band at a time" : ", tile by tile");
    EXPECT_TRUE(std::all_of(back.begin(), back.begin() + static_cast<ptrdiff_t>(start), [](uint8_t b) { return b == 0xAB; }));
    EXPECT_TRUE(std::all_of(back.begin() + static_cast<ptrdiff_t>(start + source.size()), back.end(),
                            [](uint8_t b) { return b == 0xAB; }));
  }
}

// A large write may hold several tiles of a band locked at once. A lock that
// fails in the middle of a band leaves every tile before it written and
// every tile after it as it was, as a walk of one tile at a time would,
// and nothing locked; a storage asking for smaller pieces that the tiles
// cannot give travels on the same way.
TEST_P(LargeCopies, ALockFailingInTheMiddleOfAWriteKeepsTheTilesBefore) {
  constexpr int16_t kSide = 128 * 32, kHeight = 128 * 17;  // 8.5 MiB
  const Rect bounds{0, 0, kHeight, kSide};
  std::vector<uint8_t> source(size_t{kSide} * kHeight);
  fillRandom(source, 9);
  for (const bool reduce : {false, true}) {
    StCurrentHost host;
    TestTileImage image(kGrey, bounds, Point{128, 128}, 7);
    image.reduce = reduce;
    image.failAt = 40;  // the eighth tile of the second band
    if (reduce)
      EXPECT_THROW(image.WriteRect(bounds, PlaneView{source.data(), 1, kSide}), XReduce);
    else
      EXPECT_THROW(image.WriteRect(bounds, PlaneView{source.data(), 1, kSide}), XMemory);
    EXPECT_EQ(image.held, 0);

    image.failAt = -1;
    std::vector<uint8_t> back(source.size());
    image.ReadRect(bounds, PlaneView{back.data(), 1, kSide});
    for (int tile = 0; tile < 17 * 32; ++tile) {
      const int v = tile / 32 * 128, h = tile % 32 * 128;
      const size_t at = static_cast<size_t>(v) * kSide + static_cast<size_t>(h);
      const uint8_t expected = tile < 39 ? source[at] : 7;
      ASSERT_EQ(back[at], expected) << "tile " << tile << (reduce ? ", storage asking for less" : ", out of memory");
      ASSERT_EQ(back[at + 127 * size_t{kSide} + 127], tile < 39 ? source[at + 127 * size_t{kSide} + 127] : 7);
    }
  }
}

TESSALY_AT_EACH_SIMD_LEVEL(LargeCopies);

// ---- Padding -------------------------------------------------------------------

class ReadPaddedTest : public ::testing::Test {
 protected:
  ReadPaddedTest() : image(kRGB, Rect{0, 0, 4, 5}) {
    for (int v = 0; v < 4; ++v)
      for (int h = 0; h < 5; ++h)
        for (int c = 0; c < 3; ++c) image.at(v, h, c) = static_cast<uint8_t>(100 + 10 * v + h + 50 * c);
  }
  ArrayImage image;
};

TEST_F(ReadPaddedTest, ReplicateRightOfTheImageRepeatsEachRowsLastPixel) {
  Plane out(8, 3, 3, 0);
  image.ReadPadded(Rect{-2, 9, 6, 12}, out.view, kPadReplicate);
  for (int v = 0; v < 8; ++v) {
    const int imageRow = std::clamp(v - 2, 0, 3);
    for (int h = 0; h < 3; ++h)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(out.at(v, h, c), image.at(imageRow, 4, c)) << "row " << v << " column " << h;
  }
}

TEST_F(ReadPaddedTest, ReplicateAboveLeftTakesTheCornerPixel) {
  Plane out(2, 2, 3, 0);
  image.ReadPadded(Rect{-9, -9, -7, -7}, out.view, kPadReplicate);
  for (int i = 0; i < 4; ++i)
    for (int c = 0; c < 3; ++c) ASSERT_EQ(out.bytes[static_cast<size_t>(i * 3 + c)], image.at(0, 0, c));
}

TEST_F(ReadPaddedTest, ReplicatePartlyOutsideKeepsTheImageBytes) {
  Plane out(6, 7, 3, 0);
  image.ReadPadded(Rect{-1, -1, 5, 6}, out.view, kPadReplicate);
  for (int v = 0; v < 6; ++v)
    for (int h = 0; h < 7; ++h)
      ASSERT_EQ(out.at(v, h, 1), image.at(std::clamp(v - 1, 0, 3), std::clamp(h - 1, 0, 4), 1));
}

TEST_F(ReadPaddedTest, FillValueHalfOverlappingFillsEveryChannelOutside) {
  Plane out(4, 6, 3, 0xAA);
  image.ReadPadded(Rect{0, 2, 4, 8}, out.view, 0);
  for (int v = 0; v < 4; ++v)
    for (int h = 0; h < 6; ++h)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(out.at(v, h, c), h < 3 ? image.at(v, h + 2, c) : 0) << v << "," << h << "," << c;
}

TEST_F(ReadPaddedTest, FillValueWhollyOutsideFillsAll) {
  Plane out(2, 2, 3, 0);
  image.ReadPadded(Rect{10, 10, 12, 12}, out.view, 77);
  EXPECT_EQ(out.bytes, std::vector<uint8_t>(12, 77));
}

TEST_F(ReadPaddedTest, UntouchedLeavesOutsideBytesAlone) {
  Plane out(2, 3, 3, 0xAA);
  image.ReadPadded(Rect{3, 3, 5, 6}, out.view, kPadUntouched);
  EXPECT_EQ(out.at(0, 0, 0), image.at(3, 3, 0));
  EXPECT_EQ(out.at(0, 1, 2), image.at(3, 4, 2));
  EXPECT_EQ(out.at(0, 2, 0), 0xAA);
  EXPECT_EQ(out.at(1, 0, 0), 0xAA);
  Plane far(1, 1, 3, 0xAA);
  image.ReadPadded(Rect{30, 30, 31, 31}, far.view, kPadUntouched);
  EXPECT_EQ(far.bytes, std::vector<uint8_t>(3, 0xAA));
}

TEST_F(ReadPaddedTest, InsideOnlyRefusesAnyRequestReachingOutside) {
  Plane out(10, 10, 3);
  EXPECT_THROW(image.ReadPadded(Rect{0, 0, 5, 5}, out.view, kPadInsideOnly), XPadding);
  EXPECT_THROW(image.ReadPadded(Rect{20, 20, 21, 21}, out.view, kPadInsideOnly), XPadding);
  EXPECT_NO_THROW(image.ReadPadded(Rect{1, 1, 4, 5}, out.view, kPadInsideOnly));
  EXPECT_THROW(image.ReadPadded(Rect{0, 0, 1, 1}, out.view, 256), XPadding)
      << "a padding value that means nothing must not be taken for a fill";
}

// ---- Gaussian blur ---------------------------------------------------------------

TEST(GaussianWeights, RadiusFollowsHalfAGreyLevel) {
  EXPECT_EQ(GaussianRadius(1), 3);
  EXPECT_EQ(GaussianRadius(3), 8);
  EXPECT_EQ(GaussianRadius(10), 24);
  EXPECT_EQ(GaussianRadius(0.2), 0);
  EXPECT_EQ(GaussianRadius(0), 0);
  EXPECT_EQ(GaussianRadius(-1), 0);
  EXPECT_EQ(GaussianRadius(1000), 0) << "no tap of so wide a Gaussian reaches half a level";
}

TEST(GaussianWeights, SumToExactlyTwoToThe24AndStaySymmetricWithinOne) {
  for (double sigma = 0.45; sigma < 150; sigma *= 1.17) {
    const int32_t r = GaussianRadius(sigma);
    if (r == 0) continue;
    const std::vector<uint32_t> w = GaussianWeights(sigma, r);
    ASSERT_EQ(w.size(), static_cast<size_t>(2 * r + 1));
    EXPECT_EQ(std::accumulate(w.begin(), w.end(), uint64_t{0}), 16777216u) << "sigma " << sigma;
    for (int32_t x = 0; x < r; ++x)
      EXPECT_LE(std::abs(int64_t{w[static_cast<size_t>(x)]} - w[static_cast<size_t>(2 * r - x)]), 1);
  }
}

// The blur by its definition: rows and columns outside the image repeat
// its edge, the horizontal pass is rounded down to bytes before the
// vertical one.
std::vector<uint8_t> referenceBlur(ArrayImage& image, const Rect& area, double sigma) {
  const int32_t r = GaussianRadius(sigma);
  const std::vector<uint32_t> w = GaussianWeights(sigma, r);
  const Rect b = image.bounds();
  auto pixel = [&](int32_t v, int32_t h) {
    return image.at(std::clamp<int32_t>(v, b.top, b.bottom - 1), std::clamp<int32_t>(h, b.left, b.right - 1));
  };
  // The horizontal pass of the rows from r above the area to r below it.
  const int32_t rows = area.height() + 2 * r;
  std::vector<uint32_t> horizontal(static_cast<size_t>(rows * area.width()));
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t h = area.left; h < area.right; ++h) {
      uint32_t sum = 0;
      for (int32_t x = -r; x <= r; ++x) sum += pixel(area.top - r + y, h + x) * w[static_cast<size_t>(x + r)];
      horizontal[static_cast<size_t>(y * area.width() + h - area.left)] = sum >> 24;
    }
  std::vector<uint8_t> out;
  for (int32_t v = 0; v < area.height(); ++v)
    for (int32_t h = 0; h < area.width(); ++h) {
      uint32_t sum = 0;
      for (int32_t y = 0; y <= 2 * r; ++y)
        sum += horizontal[static_cast<size_t>((v + y) * area.width() + h)] * w[static_cast<size_t>(y)];
      out.push_back(static_cast<uint8_t>(sum >> 24));
    }
  return out;
}

std::vector<uint8_t> readArea(Image& image, const Rect& area) {
  Plane out(area.height(), area.width());
  image.ReadRect(area, out.view);
  return out.bytes;
}

class GaussianBlurTest : public testing_support::AutomatedTest {};

TEST_F(GaussianBlurTest, MatchesTheDefinitionInsideAndAtTheBorders) {
  for (double sigma : {0.7, 1.0, 2.5}) {
    ArrayImage image(kGrey, Rect{-3, 7, 37, 60});
    std::mt19937 random(static_cast<unsigned>(sigma * 10));
    for (int v = -3; v < 37; ++v)
      for (int h = 7; h < 60; ++h) image.at(v, h) = static_cast<uint8_t>(random());
    // The rectangle sticks out of the image at the top and the right.
    const Rect rect{-10, 20, 25, 100};
    const Rect area = rect.intersection(image.bounds());
    const std::vector<uint8_t> expected = referenceBlur(image, area, sigma);
    const std::vector<uint8_t> outsideBefore = readArea(image, Rect{25, 7, 37, 60});
    image.maxHeight = 1;  // rows come one at a time anyway
    EXPECT_EQ(image.GaussianBlur(rect, sigma), 0);
    EXPECT_EQ(readArea(image, area), expected) << "sigma " << sigma;
    EXPECT_EQ(readArea(image, Rect{25, 7, 37, 60}), outsideBefore) << "rows outside the rectangle changed";
  }
}

TEST_F(GaussianBlurTest, TiledBufferImageGivesTheSameResultAsAPlainOne) {
  StCurrentHost host;
  const Rect bounds{0, 0, 70, 90};
  ArrayImage plain(kGrey, bounds);
  BufferImage tiled(kGrey, bounds, Point{16, 16}, 0);
  std::mt19937 random(3);
  for (int v = 0; v < 70; ++v)
    for (int h = 0; h < 90; ++h) plain.at(v, h) = static_cast<uint8_t>(random() & 0xF0);
  tiled.WriteRect(bounds, plain.view());
  const Rect rect{5, 3, 66, 80};
  plain.GaussianBlur(rect, 3);
  tiled.GaussianBlur(rect, 3);
  EXPECT_EQ(readArea(tiled, bounds), readArea(plain, bounds));
}

// The vector kernels work on blocks of 16, 32 or 64 columns; tiles of
// 40 x 72 give pieces wider than a block, narrower than one, and of two
// columns, and at sigma 0.5, 1 and 3 rounding leaves one pair of taps
// unequal. Sigma 0.5 to 3 take the kernels made for few terms (up to ten),
// sigma 6 the general one.
class GaussianBlurAtEachLevel : public testing_support::AtEachSimdLevel<testing_support::AutomatedTest> {};

TEST_P(GaussianBlurAtEachLevel, MatchesTheDefinitionOnRandomTiledImages) {
  StCurrentHost host;
  for (const Rect bounds : {Rect{-5, 3, 95, 290}, Rect{0, 0, 30, 21}}) {
    for (double sigma : {0.5, 1.0, 1.5, 3.0, 6.0}) {
      ArrayImage plain(kGrey, bounds);
      std::vector<uint8_t> bytes(static_cast<size_t>(bounds.height() * bounds.width()));
      fillRandom(bytes, static_cast<unsigned>(sigma * 4 + bounds.right));
      std::copy(bytes.begin(), bytes.end(), plain.view().data);
      const Rect rect{0, 10, 90, 300};  // reaches out of the wide image on the right
      const Rect area = rect.intersection(bounds);
      const std::vector<uint8_t> inside = referenceBlur(plain, area, sigma);
      plain.WriteRect(area, PlaneView{const_cast<uint8_t*>(inside.data()), 1, area.width()});
      const std::vector<uint8_t> expected = readArea(plain, bounds);

      BufferImage tiled(kGrey, bounds, Point{40, 72}, 0);
      tiled.WriteRect(bounds, PlaneView{bytes.data(), 1, bounds.width()});
      EXPECT_EQ(tiled.GaussianBlur(rect, sigma), 0);
      EXPECT_EQ(readArea(tiled, bounds), expected) << "sigma " << sigma << ", image width " << bounds.width();
    }
  }
}

TESSALY_AT_EACH_SIMD_LEVEL(GaussianBlurAtEachLevel);

TEST_F(GaussianBlurTest, UniformAreaAndTinySigmaLeaveTheImageUnchanged) {
  ArrayImage image(kGrey, Rect{0, 0, 30, 30});
  std::fill(image.view().data, image.view().data + 900, 201);
  image.GaussianBlur(image.bounds(), 4);
  EXPECT_EQ(readArea(image, image.bounds()), std::vector<uint8_t>(900, 201))
      << "the weights must sum to exactly 2^24";
  image.at(10, 10) = 0;
  image.GaussianBlur(image.bounds(), 0.2);
  EXPECT_EQ(image.at(10, 10), 0);
}

TEST_F(GaussianBlurTest, BorderUsesReplicatedEdgeNotZeros) {
  ArrayImage image(kGrey, Rect{0, 0, 12, 12});
  std::fill(image.view().data, image.view().data + 144, 255);
  image.GaussianBlur(image.bounds(), 2);
  EXPECT_EQ(image.at(0, 0), 255);
  EXPECT_EQ(image.at(11, 5), 255);
}

TEST_F(GaussianBlurTest, RectangleOutsideTheImageReportsNothingDone) {
  ArrayImage image(kGrey, Rect{0, 0, 12, 12});
  EXPECT_NE(image.GaussianBlur(Rect{20, 20, 30, 30}, 2), 0);
  EXPECT_EQ(image.locks, 0);
}

TEST_F(GaussianBlurTest, PendingEscapeCancelsBeforeAnyRowIsWritten) {
  ArrayImage image(kGrey, Rect{0, 0, 12, 12});
  image.at(6, 6) = 255;
  platform::postMessage(nullptr, platform::kWmKeyDown, platform::kVkEscape);
  EXPECT_THROW(image.GaussianBlur(image.bounds(), 2), XCancel);
  EXPECT_EQ(image.at(6, 6), 255);
  EXPECT_FALSE(image.locked());
}

// ---- Plane primitives ------------------------------------------------------------

TEST(PlanePrimitives, ZoomInThenOutGivesTheBlockBackForEveryPixelSize) {
  for (int16_t pixelBytes : {1, 2, 3, 4, 5}) {
    for (int32_t factor : {1, 2, 3}) {
      const int32_t rows = 5, columns = 7;
      Plane block(rows * factor, columns * factor, pixelBytes);
      fillRandom(block.bytes, static_cast<unsigned>(pixelBytes * 10 + factor));
      const Plane original = block;
      ZoomInPlane(block.view, rows, columns, factor);
      for (int v = 0; v < rows * factor; ++v)
        for (int h = 0; h < columns * factor; ++h)
          for (int c = 0; c < pixelBytes; ++c)
            ASSERT_EQ(block.at(v, h, c), original.at(v / factor, h / factor, c))
                << "pixel size " << pixelBytes << " factor " << factor << " at " << v << "," << h;
      const Point size = ZoomOutPlane(block.view, rows * factor, columns * factor, factor, block.view);
      EXPECT_EQ(size, (Point{rows, columns}));
      for (int v = 0; v < rows; ++v)
        ASSERT_EQ(0, std::memcmp(block.view.at(v, 0), original.view.at(v, 0),
                                 static_cast<size_t>(columns * pixelBytes)));
    }
  }
}

TEST(PlanePrimitives, ZoomOutRoundsTheSizeUpAndTakesEveryNthPixel) {
  Plane source(5, 7);
  std::iota(source.bytes.begin(), source.bytes.end(), 0);
  Plane out(2, 3);
  EXPECT_EQ(ZoomOutPlane(source.view, 5, 7, 3, out.view), (Point{2, 3}));
  EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0, 3, 6, 21, 24, 27}));
}

// One-byte rows of every width up to 140 at the factors the display uses,
// from rows exactly as long as they are (the sanitizer catches a read past
// one), into a separate plane and in place.
class ZoomOut : public testing_support::AtEachSimdLevel<> {};

TEST_P(ZoomOut, TakesEveryNthByteOfRowsOfAnyWidth) {
  for (int32_t factor : {2, 3, 4, 8}) {
    for (int32_t columns = 1; columns <= 140; ++columns) {
      Plane source(1, columns);
      fillRandom(source.bytes, static_cast<unsigned>(columns * 7 + factor));
      const int32_t outColumns = (columns + factor - 1) / factor;
      Plane out(1, outColumns);
      ZoomOutPlane(source.view, 1, columns, factor, out.view);
      for (int32_t c = 0; c < outColumns; ++c)
        ASSERT_EQ(out.at(0, c), source.at(0, c * factor)) << "factor " << factor << " width " << columns << " at " << c;
      const Plane original = source;
      ZoomOutPlane(source.view, 1, columns, factor, source.view);
      for (int32_t c = 0; c < outColumns; ++c)
        ASSERT_EQ(source.at(0, c), original.at(0, c * factor)) << "in place, factor " << factor << " width " << columns;
    }
  }
}

TESSALY_AT_EACH_SIMD_LEVEL(ZoomOut);

TEST(PlanePrimitives, TrimBoundsFindsTheNonzeroBox) {
  Plane plane(10, 12);
  EXPECT_TRUE(TrimBounds(plane.view, Rect{0, 0, 10, 12}).empty());
  plane.at(3, 4) = 1;
  plane.at(6, 9) = 200;
  EXPECT_EQ(TrimBounds(plane.view, Rect{0, 0, 10, 12}), (Rect{3, 4, 7, 10}));
  EXPECT_EQ(TrimBounds(plane.view, Rect{4, 0, 10, 12}), (Rect{6, 9, 7, 10}))
      << "only bytes inside the given rectangle count";
}

TEST(PlanePrimitives, UnionRowsCombinesCoverages) {
  std::vector<uint8_t> q{0, 0, 100, 100, 255, 37};
  const std::vector<uint8_t> b{0, 255, 0, 255, 0, 200};
  UnionRows(q.data(), b.data(), 6);
  EXPECT_EQ(q, (std::vector<uint8_t>{0, 255, 100, 255, 255, (55 * 37 + 255 * 200 + 127) / 255}));
}

TEST(PlanePrimitives, FillAndInvertTouchOnlyTheirRows) {
  Plane plane(3, 8, 1, 9);
  FillPlane(plane.view.offsetBy(1, 1), 2, 5, 200);
  InvertPlane(plane.view.offsetBy(2, 0), 1, 3);
  EXPECT_EQ(plane.bytes, (std::vector<uint8_t>{9, 9, 9, 9, 9, 9, 9, 9,         //
                                               9, 200, 200, 200, 200, 200, 9, 9,  //
                                               246, 55, 55, 200, 200, 200, 9, 9}));
}

TEST(PlanePrimitives, MarginsAndEdgesAroundAnInnerRectangle) {
  Plane plane(5, 6, 3, 0);
  const Rect outer{0, 0, 5, 6}, inner{1, 2, 3, 4};
  for (int v = 1; v < 3; ++v)
    for (int h = 2; h < 4; ++h)
      for (int c = 0; c < 3; ++c) plane.at(v, h, c) = static_cast<uint8_t>(10 * v + h + 100 * c);
  Plane filled = plane;
  FillMargins(filled.view, outer, inner, 7);
  ReplicateEdges(plane.view, outer, inner);
  for (int v = 0; v < 5; ++v)
    for (int h = 0; h < 6; ++h)
      for (int c = 0; c < 3; ++c) {
        const bool inside = inner.contains(Point{static_cast<int16_t>(v), static_cast<int16_t>(h)});
        ASSERT_EQ(filled.at(v, h, c), inside ? 10 * v + h + 100 * c : 7);
        ASSERT_EQ(plane.at(v, h, c), 10 * std::clamp(v, 1, 2) + std::clamp(h, 2, 3) + 100 * c);
      }
}

TEST(PlanePrimitives, RowCopiesUseEachSidesRowStep) {
  Plane plane(3, 4);
  std::iota(plane.bytes.begin(), plane.bytes.end(), 1);
  std::vector<uint8_t> buffer(3 * 6, 0);
  CopyRowsOut(plane.view.offsetBy(0, 1), 3, 2, buffer.data(), 6);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{2, 3, 0, 0, 0, 0, 6, 7, 0, 0, 0, 0, 10, 11, 0, 0, 0, 0}));
  buffer[0] = 99;
  CopyRowsIn(plane.view, 1, 1, buffer.data(), 6);
  EXPECT_EQ(plane.bytes[0], 99);
}

}  // namespace
