#include "image/HostImage.h"

#include <gtest/gtest.h>

#include "image/OfflineImage.h"
#include "image/ReadChannelImage.h"
#include "shell/PlugInServices.h"
#include "shell/Purgeable.h"
#include "tests/image/ImageTestSupport.h"

// Found by argument lookup from the assertions: HostRect lives in the global
// namespace.
static bool operator==(const HostRect& a, const HostRect& b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

namespace {

using testing_support::FakeFilterHost;
using testing_support::Plane;
using testing_support::StCurrentHost;

constexpr PixelLayout kRGB{3, kHostModeRGB};
constexpr PixelLayout kOnePlane{1, kHostModeGrayScale};

class HostImageTest : public ::testing::Test {
 protected:
  HostImageTest() : current(100, 80) {
    FilterRecord& r = current.record();
    r.filterRect = HostRect{10, 20, 58, 84};
    emptyRequestRectangles();
    for (int16_t plane = 0; plane < 4; ++plane)
      for (int16_t v = 0; v < 80; ++v)
        for (int16_t h = 0; h < 100; ++h) host().pixel(plane, v, h) = documentValue(plane, v, h);
  }
  static uint8_t documentValue(int plane, int v, int h) { return static_cast<uint8_t>(plane * 61 + v * 7 + h); }
  FakeFilterHost& host() { return current.host(); }
  FilterRecord& record() { return current.record(); }

  StCurrentHost current;
};

TEST_F(HostImageTest, BoundsAreTheFilterRectangleMovedToTheOrigin) {
  HostImage image(kRGB, 0, HostStream::input);
  EXPECT_EQ(image.bounds(), (Rect{0, 0, 48, 64}));
}

TEST_F(HostImageTest, ReadsInterleavedPlanesRelativeToTheFilterRectangle) {
  HostImage image(kRGB, 0, HostStream::input);
  const Rect rect{5, 100 - 100, 40, 64};
  Plane out(rect.height(), rect.width(), 3);
  image.ReadRect(rect, out.view);
  for (int v = 0; v < rect.height(); ++v)
    for (int h = 0; h < rect.width(); ++h)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(out.at(v, h, c), documentValue(c, v + 5 + 10, h + 20)) << v << "," << h << "," << c;
  const auto& call = host().advanceCalls().front();
  EXPECT_EQ(call.in, (HostRect{15, 20, 40 + 10, 64 + 20})) << "one piece, moved by the filter origin";
  EXPECT_EQ(call.inLo, 0);
  EXPECT_EQ(call.inHi, 2);
  EXPECT_EQ(record().inRect.right, record().inRect.left) << "unlock leaves an empty request";
}

TEST_F(HostImageTest, WritesTheOutputPlane) {
  host().setStreamPlanes({3});
  HostImage mask(kOnePlane, static_cast<int16_t>(record().planes - 1), HostStream::output);
  Plane source(3, 4, 1, 222);
  mask.WriteRect(Rect{1, 2, 4, 6}, source.view);
  host().commitOutput();
  EXPECT_EQ(host().pixel(3, 11, 22), 222);
  EXPECT_EQ(host().pixel(3, 13, 25), 222);
  EXPECT_EQ(host().pixel(3, 14, 25), documentValue(3, 14, 25));
  EXPECT_EQ(host().pixel(2, 11, 22), documentValue(2, 11, 22)) << "a colour plane was written";
}

TEST_F(HostImageTest, OneLockedPiecePerStream) {
  HostImage first(kRGB, 0, HostStream::input), second(kOnePlane, 3, HostStream::input);
  HostImage output(kOnePlane, 0, HostStream::output);
  Rect a{0, 0, 4, 4}, b{8, 8, 9, 9}, c{0, 0, 2, 2};
  const PlaneView view = first.lock(a, LockMode::read);
  EXPECT_THROW(second.lock(b, LockMode::read), XLock);
  EXPECT_TRUE(hostStreamLocked(HostStream::input)) << "the refused lock undid the first";
  EXPECT_EQ(record().inRect, (HostRect{10, 20, 14, 24}));
  EXPECT_EQ(view.data[0], documentValue(0, 10, 20));
  EXPECT_NO_THROW(output.lock(c, LockMode::write));
  EXPECT_TRUE(hostStreamLocked(HostStream::output));
  output.unlock(c);
  first.unlock(a);
  EXPECT_FALSE(hostStreamLocked(HostStream::input));
  EXPECT_FALSE(hostStreamLocked(HostStream::output));
}

TEST_F(HostImageTest, ReducedRequestScalesAroundTheFilterOrigin) {
  EXPECT_EQ(HostImage::reducedRequest(Rect{0, 0, 5, 7}, 3, Point{10, 20}), (Rect{-7, -14, -5, -11}));
  HostImage image(kRGB, 0, HostStream::input, false, 3);
  Rect rect{0, 0, 5, 7};
  const PlaneView view = image.lock(rect, LockMode::read);
  EXPECT_EQ(record().inRect, (HostRect{3, 6, 5, 9}));
  EXPECT_EQ(record().inputRate, 0x00030000);
  EXPECT_EQ(view.data[0], documentValue(0, 9, 18)) << "the host delivers every third pixel";
  EXPECT_EQ(rect, (Rect{0, 0, 5, 7}));
  image.unlock(rect);
  EXPECT_EQ(record().inputRate, 0x00010000);
}

TEST_F(HostImageTest, AbsoluteReadsAnyDocumentPlaneAndSwitchesBack) {
  host().setStreamPlanes({3});
  HostImage red(kOnePlane, 0, HostStream::input, true);
  Rect rect{2, 3, 4, 5};
  const PlaneView view = red.lock(rect, LockMode::read);
  EXPECT_EQ(record().wantsAbsolute, 1);
  EXPECT_EQ(*view.at(1, 1), documentValue(0, 13, 24));
  red.unlock(rect);
  EXPECT_EQ(record().wantsAbsolute, 0);
}

TEST_F(HostImageTest, HostCancelBecomesXCancelAndReleasesTheStream) {
  HostImage image(kRGB, 0, HostStream::input);
  host().queueAdvanceResults({kHostUserCancelled});
  Rect rect{0, 0, 4, 4};
  EXPECT_THROW(image.lock(rect, LockMode::read), XCancel);
  EXPECT_FALSE(hostStreamLocked(HostStream::input));
  EXPECT_EQ(record().inRect.right, record().inRect.left);
}

TEST_F(HostImageTest, OtherHostFailureReleasesAllBuffersThenAsksForLess) {
  HostImage input(kRGB, 0, HostStream::input), output(kOnePlane, 0, HostStream::output);
  Rect held{0, 0, 2, 2}, wanted{4, 4, 8, 8};
  output.lock(held, LockMode::write);
  const HostRect outRect = record().outRect;
  host().queueAdvanceResults({-34});
  try {
    input.lock(wanted, LockMode::read);
    ADD_FAILURE() << "the lock succeeded";
  } catch (const XReduce& e) {
    EXPECT_EQ(e.hostCode(), -34) << "the host's own code travels with the exception";
  }
  const auto& calls = host().advanceCalls();
  ASSERT_GE(calls.size(), 3u);
  const auto& release = calls.back();
  EXPECT_EQ(release.in, (HostRect{0, 0, 0, 0}));
  EXPECT_EQ(release.out, (HostRect{0, 0, 0, 0}));
  EXPECT_EQ(release.mask, (HostRect{0, 0, 0, 0}));
  EXPECT_EQ(record().outRect, outRect) << "the other stream's request must be put back";
  EXPECT_FALSE(hostStreamLocked(HostStream::input));
  EXPECT_TRUE(hostStreamLocked(HostStream::output));
  output.unlock(held);
}

// Frees memory once, as a holder of cached pieces would.
class OneShotHolder : public Purgeable {
 public:
  uint32_t purge(int) override {
    if (purged) return 0;
    purged = true;
    return 1000;
  }
  bool purged = false;
};

TEST_F(HostImageTest, OutOfMemoryRetriesAfterPurgingAndAsksForLessWhenNothingIsLeft) {
  HostImage image(kRGB, 0, HostStream::input);
  Rect rect{0, 0, 4, 4};
  {
    OneShotHolder holder;
    host().queueAdvanceResults({kHostOutOfMemory});
    EXPECT_NO_THROW(image.lock(rect, LockMode::read));
    image.unlock(rect);
    EXPECT_TRUE(holder.purged);
  }
  host().setBufferLimit(10);
  try {
    image.lock(rect, LockMode::read);
    ADD_FAILURE() << "the lock succeeded";
  } catch (const XReduce& e) {
    EXPECT_EQ(e.hostCode(), kHostOutOfMemory);
  }
  EXPECT_FALSE(errorPending()) << "the out-of-memory record is dropped: a smaller piece may do";
  EXPECT_FALSE(hostStreamLocked(HostStream::input));
}

// ---- The target-plane test ----------------------------------------------------

class TargetPlaneTest : public ::testing::Test {
 protected:
  // An RGB document with one alpha channel (absolute planes 0 to 3), big
  // enough for several host pieces.
  TargetPlaneTest() : current(300, 260) {
    emptyRequestRectangles();
    for (int16_t plane = 0; plane < 4; ++plane)
      for (int16_t v = 0; v < 260; ++v)
        for (int16_t h = 0; h < 300; ++h)
          current.host().pixel(plane, v, h) = static_cast<uint8_t>(plane * 50 + (v ^ h));
  }
  FakeFilterHost& host() { return current.host(); }
  int readsOf(int16_t absolutePlane) {
    int reads = 0;
    for (const auto& call : current.host().advanceCalls())
      if (call.wantsAbsolute && call.inLo == absolutePlane && call.in.right > call.in.left) ++reads;
    return reads;
  }
  StCurrentHost current;
};

TEST_F(TargetPlaneTest, GreenTargetIsFoundEqualToAColourChannelOnly) {
  host().setStreamPlanes({1});  // the user targeted green
  EXPECT_TRUE(planeIsColourChannel(0, 3));
  EXPECT_EQ(readsOf(0), 1) << "red differs in the first piece and is not read again";
  EXPECT_EQ(readsOf(2), 1);
  EXPECT_EQ(readsOf(1), 9) << "green is compared in every one of the 3 x 3 pieces";
  EXPECT_FALSE(planeIsColourChannel(3, 4));
  ASSERT_NE(plugInServices().targetIsColourChannel, nullptr);
  EXPECT_TRUE(plugInServices().targetIsColourChannel(3, 4));
}

TEST_F(TargetPlaneTest, DifferenceFoundLateStillAnswersNo) {
  host().setStreamPlanes({3});
  for (int16_t v = 0; v < 260; ++v)
    for (int16_t h = 0; h < 300; ++h) host().pixel(3, v, h) = host().pixel(0, v, h);
  host().pixel(3, 259, 299) = 1;  // the last piece, visited in the last pass but one
  EXPECT_FALSE(planeIsColourChannel(0, 1));
}

TEST_F(TargetPlaneTest, PlaneEqualToAColourAndAnAlphaChannelIsNotRefused) {
  host().setStreamPlanes({3});
  for (int16_t v = 0; v < 260; ++v)
    for (int16_t h = 0; h < 300; ++h) host().pixel(3, v, h) = host().pixel(1, v, h);
  EXPECT_TRUE(planeIsColourChannel(0, 3));
  EXPECT_TRUE(planeIsColourChannel(3, 4));
  EXPECT_FALSE(plugInServices().targetIsColourChannel(3, 4));
}

TEST_F(TargetPlaneTest, EmptyFilterRectangleHasNothingToTellApart) {
  host().setStreamPlanes({3});
  current.record().filterRect = HostRect{5, 5, 5, 5};
  EXPECT_TRUE(planeIsColourChannel(0, 3));
  EXPECT_FALSE(planeIsColourChannel(3, 3)) << "an empty range holds no equal plane";
}

// ---- Colour conversion -------------------------------------------------------

HostColourServicesInfo gLastRequest;

HostError recordingColourServices(HostColourServicesInfo* info) {
  gLastRequest = *info;
  for (int16_t& c : info->colourComponents) c = static_cast<int16_t>(c + 1);
  return kHostNoError;
}

TEST_F(HostImageTest, ColourConversionBuildsTheHostRequest) {
  record().colorServices = recordingColourServices;
  const uint8_t rgb[3] = {10, 20, 30};
  uint8_t lab[4] = {0, 0, 0, 0xEE};
  EXPECT_EQ(convertColour(kRGB, rgb, PixelLayout{3, kHostModeLab}, lab), kHostNoError);
  EXPECT_EQ(gLastRequest.infoSize, 36);
  EXPECT_EQ(gLastRequest.selector, kHostColourServicesConvert);
  EXPECT_EQ(gLastRequest.sourceSpace, kHostSpaceRGB);
  EXPECT_EQ(gLastRequest.resultSpace, kHostSpaceLab);
  EXPECT_EQ(gLastRequest.colourComponents[2], 30);
  EXPECT_EQ(lab[0], 11);
  EXPECT_EQ(lab[2], 31);
  EXPECT_EQ(lab[3], 0xEE) << "a three-byte destination has no fourth byte";

  uint8_t grey[1] = {0};
  const uint8_t hsb[3] = {255, 1, 2};
  convertColour(PixelLayout{3, kHostModeHSB}, hsb, PixelLayout{1, kHostModeDuotone}, grey);
  EXPECT_EQ(gLastRequest.sourceSpace, kHostSpaceHSB);
  EXPECT_EQ(gLastRequest.resultSpace, kHostSpaceGray);
  EXPECT_EQ(gLastRequest.colourComponents[0], (255 * 360 + 128) >> 8) << "hue goes to degrees";

  uint8_t back[3];
  convertColour(kRGB, rgb, PixelLayout{3, kHostModeHSB}, back);
  EXPECT_EQ(back[0], (11 * 256 + 180) / 360) << "hue comes back from degrees";
}

TEST_F(HostImageTest, SameModeCopiesWithoutAskingTheHost) {
  record().colorServices = nullptr;
  const uint8_t cmyk[4] = {1, 2, 3, 4};
  uint8_t out[4] = {};
  EXPECT_EQ(convertColour(PixelLayout{4, kHostModeCMYK}, cmyk, PixelLayout{4, kHostModeCMYK}, out), 0);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
}

// ---- Channel reads -----------------------------------------------------------

struct ChannelPort {
  int16_t width = 300;
  bool fail = false;
  int reads = 0;
};
ChannelPort gPort;

HostError readPixels(HostChannelReadPort, const HostScalingInfo* scaling, const HostRect32* rect,
                     const HostPixelMemoryDesc* destination, HostRect32* wrote) {
  ++gPort.reads;
  if (gPort.fail) return -1;
  EXPECT_EQ(scaling->sourceRect.top, rect->top);
  EXPECT_EQ(scaling->destinationRect.right, rect->right);
  EXPECT_EQ(destination->colBits, 8);
  EXPECT_EQ(destination->depth, 8);
  auto* bytes = static_cast<uint8_t*>(destination->data);
  for (int32_t v = rect->top; v < rect->bottom; ++v)
    for (int32_t h = rect->left; h < rect->right; ++h)
      bytes[(v - rect->top) * destination->rowBits / 8 + (h - rect->left)] = static_cast<uint8_t>(v * 3 + h);
  *wrote = *rect;
  return kHostNoError;
}

class ReadChannelImageTest : public ::testing::Test {
 protected:
  ReadChannelImageTest() {
    gPort = ChannelPort{};
    procs.readPixelsProc = readPixels;
    selection.params().channelPortProcs = &procs;
    gSelectionParams = &selection.params();
    channel.bounds = HostRect32{0, 0, 200, 300};
  }
  ~ReadChannelImageTest() override { gSelectionParams = nullptr; }
  testing_support::FakeSelectionHost selection;
  HostChannelPortProcs procs{};
  ReadChannelDesc channel{};
};

TEST_F(ReadChannelImageTest, ReadsTheChannelInHostPieces) {
  ReadChannelImage image(channel);
  EXPECT_EQ(image.bounds(), (Rect{0, 0, 200, 300}));
  Plane out(150, 200);
  image.ReadRect(Rect{50, 100, 200, 300}, out.view);
  for (int v = 0; v < 150; ++v)
    for (int h = 0; h < 200; ++h) ASSERT_EQ(out.at(v, h), static_cast<uint8_t>((v + 50) * 3 + h + 100));
  EXPECT_EQ(gPort.reads, 6) << "pieces of 128 x 128 on multiples of 128";
}

TEST_F(ReadChannelImageTest, SecondLockAndFailedReadsThrowXLock) {
  ReadChannelImage image(channel);
  Rect a{0, 0, 10, 10}, b{20, 20, 30, 30};
  image.lock(a, LockMode::read);
  EXPECT_THROW(image.lock(b, LockMode::read), XLock);
  image.unlock(a);
  gPort.fail = true;
  EXPECT_THROW(image.lock(b, LockMode::read), XLock);
  gPort.fail = false;
  EXPECT_NO_THROW(image.lock(b, LockMode::read)) << "a failed read must leave the image unlocked";
  image.unlock(b);
}

}  // namespace
