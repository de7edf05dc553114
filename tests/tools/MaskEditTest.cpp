#include "tools/MaskEdit.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "tests/image/ImageTestSupport.h"
#include "tools/MaskBandWalk.h"

namespace {

using testing_support::Plane;
using testing_support::StCurrentHost;

constexpr PixelLayout kOneByte{1, 1};
constexpr Point kTile{128, 128};

// A view that records what it was asked to invalidate.
struct RecordingView : DocumentView {
  void ImageToWindowRect(platform::Rect&) const override {}
  void InvalidateWindowRect(const platform::Rect& r) override { invalidated.push_back(r); }
  std::vector<platform::Rect> invalidated;
};

class MaskEditTest : public ::testing::Test {
 protected:
  MaskEditTest() : host(300, 200), mask(kOneByte, {0, 0, 200, 300}, kTile, 0) {
    document.SetWorkImages(&mask, nullptr);
    document.AddView(view);
  }
  ~MaskEditTest() override { document.RemoveView(view); }

  std::unique_ptr<BufferImage> coverage(const Rect& bounds, uint8_t value) {
    auto image = std::make_unique<BufferImage>(kOneByte, bounds, kTile, 0);
    Plane plane(bounds.height(), bounds.width(), 1, value);
    image->WriteRect(bounds, plane.view);
    return image;
  }
  Plane readMask(const Rect& r) {
    Plane plane(r.height(), r.width());
    mask.ReadRect(r, plane.view);
    return plane;
  }
  void fillMask(const Rect& r, uint8_t value) {
    Plane plane(r.height(), r.width(), 1, value);
    mask.WriteRect(r, plane.view);
  }

  StCurrentHost host;
  BufferImage mask;
  CWorkDocument document;
  RecordingView view;
};

TEST_F(MaskEditTest, FullCoverageSetsTheTargetAndHalfCoverageBlends) {
  ApplyStrokeToTarget(*coverage({10, 10, 20, 20}, 255), document, 255);
  EXPECT_EQ(readMask({10, 10, 20, 20}).bytes, std::vector<uint8_t>(100, 255));
  ApplyStrokeToTarget(*coverage({30, 30, 31, 31}, 128), document, 255);
  EXPECT_EQ(readMask({30, 30, 31, 31}).at(0, 0), 128) << "(127 * 0 + 128 * 255 + 127) / 255";
  EXPECT_EQ(readMask({9, 9, 10, 10}).at(0, 0), 0) << "outside the coverage nothing changes";
}

TEST_F(MaskEditTest, TheCoverageBecomesItsOwnUndo) {
  fillMask({0, 0, 200, 300}, 90);
  const Rect stroke{100, 100, 160, 290};  // across tile boundaries
  auto delta = coverage(stroke, 200);
  ApplyStrokeToTarget(*delta, document, 0);
  const Plane painted = readMask(stroke);
  EXPECT_EQ(painted.at(0, 0), blendMask(90, 200, 0));

  document.PushCommand(std::make_unique<MaskDeltaRecord>(std::move(delta)));
  document.Undo();
  EXPECT_EQ(readMask(stroke).bytes, std::vector<uint8_t>(painted.bytes.size(), 90));
  document.Redo();
  EXPECT_EQ(readMask(stroke).bytes, painted.bytes);
}

TEST_F(MaskEditTest, UntouchedCoverageTilesAreSkippedAndNothingIsAllocated) {
  BufferImage empty(kOneByte, {0, 0, 200, 300}, kTile, 0);
  const uint32_t before = mask.memoryUsage();
  ApplyStrokeToTarget(empty, document, 255);
  EXPECT_EQ(mask.memoryUsage(), before);
  EXPECT_TRUE(view.invalidated.empty());
}

TEST_F(MaskEditTest, EveryBandDoneIsInvalidated) {
  ApplyStrokeToTarget(*coverage({0, 100, 10, 200}, 255), document, 255);
  // The coverage spans two tiles: two bands.
  ASSERT_EQ(view.invalidated.size(), 2u);
  EXPECT_EQ(view.invalidated[0], (platform::Rect{100, 0, 128, 10}));
  EXPECT_EQ(view.invalidated[1], (platform::Rect{128, 0, 200, 10}));
}

// A mask that can only deliver bands of at most `maxRows` rows, and makes
// the host's cancel happen once.
class ReluctantMask : public BufferImage {
 public:
  explicit ReluctantMask(int maxRows)
      : BufferImage(kOneByte, {0, 0, 200, 300}, {256, 512}, 0), maxRows_(maxRows) {}
  void unlock(const Rect&) override { BufferImage::unlock(bounds()); }
  PlaneView lock(Rect& rect, LockMode mode) override {
    if (!cancelled_) {
      cancelled_ = true;
      throw XCancel("host", 1);
    }
    if (rect.height() > maxRows_) throw XReduce("host", 2);
    const Rect wanted = rect;
    PlaneView view = BufferImage::lock(rect, mode);
    // Deliver exactly the wanted rows, as a host does.
    view = view.offsetBy(wanted.top - rect.top, wanted.left - rect.left);
    rect = wanted.intersection(rect);
    return view;
  }
  int maxRows_;
  bool cancelled_ = false;
};

TEST_F(MaskEditTest, BandsAreHalvedUntilTheMaskCanDeliverAndCancelsRetried) {
  ReluctantMask reluctant(40);
  document.SetWorkImages(&reluctant, nullptr);
  ApplyStrokeToTarget(*coverage({0, 0, 128, 128}, 255), document, 255);
  Plane result(128, 128);
  reluctant.maxRows_ = 1000;
  reluctant.ReadRect({0, 0, 128, 128}, result.view);
  EXPECT_EQ(result.bytes, std::vector<uint8_t>(128 * 128, 255));
  for (const auto& r : view.invalidated) EXPECT_LE(r.height(), 40);
}

TEST_F(MaskEditTest, OneRowThatCannotBeDeliveredFailsTheEdit) {
  ReluctantMask reluctant(0);
  document.SetWorkImages(&reluctant, nullptr);
  EXPECT_THROW(ApplyStrokeToTarget(*coverage({0, 0, 4, 4}, 255), document, 255), XReduce);
}

// The classifier's value for grey pixels is the pixel itself.
struct GreyIsItsOwnMask : ClassifierSource {
  std::vector<ClassifierColour> selectedKeepColours(PixelFormat) override { return {{255}}; }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat) override { return {{0}}; }
  ClassifierThresholds thresholdPair() override { return {0, 255}; }
  bool keepMode() override { return true; }
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat) override { return {}; }
};

TEST_F(MaskEditTest, TheMagicBrushBlendsTowardsTheClassifiedImage) {
  GreyIsItsOwnMask source;
  setClassifierSource(&source);
  BufferImage working(kOneByte, {0, 0, 200, 300}, kTile, 0);
  Plane ramp(1, 256);
  for (int h = 0; h < 256; ++h) ramp.at(0, h) = static_cast<uint8_t>(h);
  working.WriteRect({5, 0, 6, 256}, ramp.view);
  document.SetWorkImages(&mask, &working);

  ApplyStrokeClassified(*coverage({5, 0, 6, 256}, 255), document, PixelFormat{1, 1});
  const Plane result = readMask({5, 0, 6, 256});
  EXPECT_EQ(result.at(0, 0), 0);
  EXPECT_EQ(result.at(0, 255), 255);
  EXPECT_NEAR(result.at(0, 128), 128, 1);
  setClassifierSource(nullptr);
}

}  // namespace
