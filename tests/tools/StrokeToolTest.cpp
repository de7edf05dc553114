// The painting tools in a view, driven by scripted input through the tool
// stack: the sampling thread reads the pointer on the virtual clock, the
// mask is the host's output plane, and the feedback is drawn on screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "display/CWorkDocument.h"
#include "image/HostImage.h"
#include "platform/Input.h"
#include "platform/Time.h"
#include "tests/display/ViewTestSupport.h"
#include "tools/CBrushTool.h"
#include "tools/CMagicBrushTool.h"
#include "tools/CPencilTool.h"
#include "tools/ColourClassifier.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"
#include "tools/StrokeSampler.h"

using display_testing::ViewFixture;
using WPoint = platform::Point;
namespace automation = platform::automation;

namespace {

constexpr int16_t kWidth = 300, kHeight = 200;

// What the work window's view does: every mouse call goes to the tool stack.
class ToolView : public CMaskView {
 protected:
  void MouseDown(WPoint p, uint32_t flags) override { ToolMouseDown(*this, p, flags); }
  void MouseMove(WPoint p, uint32_t flags) override { ToolMouseMove(*this, p, flags); }
  void MouseUp(WPoint p, uint32_t flags) override { ToolMouseUp(*this, p, flags); }
};

struct ImagePoint {
  double v, h;
};

// The distance from p to the polyline through the points.
double distanceToPath(ImagePoint p, const std::vector<ImagePoint>& path) {
  double best = std::hypot(p.v - path[0].v, p.h - path[0].h);
  for (size_t i = 1; i < path.size(); ++i) {
    const ImagePoint a = path[i - 1], b = path[i];
    const double dv = b.v - a.v, dh = b.h - a.h, length2 = dv * dv + dh * dh;
    const double t = length2 == 0 ? 0 : std::clamp(((p.v - a.v) * dv + (p.h - a.h) * dh) / length2, 0.0, 1.0);
    best = std::min(best, std::hypot(p.v - (a.v + t * dv), p.h - (a.h + t * dh)));
  }
  return best;
}

class StrokeToolTest : public ViewFixture {
 protected:
  StrokeToolTest()
      : ViewFixture(kWidth, kHeight),
        mask_(PixelLayout{1, kHostModeGrayScale}, 3, HostStream::output),
        working_(PixelLayout{3, kHostModeRGB}, 0, HostStream::input, true) {
    openView({200, 150});  // the frame
    view_.reset();
    view.CreateView(frame(), {0, 0, 200, 150}, 9);
    CMaskView::SetMainView(&view);
    CWorkDocument::Current()->SetWorkImages(&mask_, &working_);
    automation::drainMessages();
    brush_ = {BrushPair().lower(), BrushPair().upper()};
    threshold_ = {ThresholdPair().lower(), ThresholdPair().upper()};
    setBrush(100, 100);  // hard: r0 about 21.9, r1 about 23.7
    SetKeepMode(true);
    original_ = wholeMask();
  }
  ~StrokeToolTest() override {
    ResetToolStack();
    CMaskView::SetMainView(nullptr);
    view.destroy();
    setBrush(brush_.first, brush_.second);
    ThresholdPair().SetUpper(255);
    ThresholdPair().SetLower(threshold_.first);
    ThresholdPair().SetUpper(threshold_.second);
    SetKeepMode(false);
  }

  void SetUp() override {
    ViewFixture::SetUp();
    automation::setInputInterval(StrokeSampler::kInterval);  // one sample per input
  }

  static void setBrush(int size, int sizePlusEdge) {
    BrushPair().SetLower(0);
    BrushPair().SetUpper(sizePlusEdge);
    BrushPair().SetLower(size);
    BrushPair().SetUpper(sizePlusEdge);
  }

  std::vector<uint8_t> wholeMask() {
    std::vector<uint8_t> bytes(static_cast<size_t>(kWidth * kHeight));
    mask_.ReadRect({0, 0, kHeight, kWidth}, {bytes.data(), 1, kWidth});
    return bytes;
  }
  static uint8_t at(const std::vector<uint8_t>& mask, int v, int h) { return mask[static_cast<size_t>(v * kWidth + h)]; }

  // Every input is handled before the next one comes, as when a person
  // drags: the sampling thread runs between them on the virtual clock.
  void input(const std::function<void()>& scripted) {
    scripted();
    automation::drainMessages();
  }
  void drag(const std::vector<WPoint>& points) {
    input([&] { automation::mouseMove(view, points.front()); });
    input([&] { automation::mouseDown(view, points.front()); });
    for (size_t i = 1; i < points.size(); ++i) input([&] { automation::mouseMove(view, points[i]); });
    input([&] { automation::mouseUp(view, points.back()); });
  }

  // The image position under a client point of the view, worked out by
  // hand from the zoom and the visible area.
  ImagePoint imageAt(WPoint client) const {
    const double z = view.Zoom();
    return {(client.y + view.VisibleRect().top) / z, (client.x + view.VisibleRect().left) / z};
  }

  // Compares the mask with what a stroke along `path` must give: full
  // `target` within `core` of the path, the mask as it was from `outer` +
  // `slack` on, and in between a blend that moved only towards the target.
  void expectStroke(const std::vector<ImagePoint>& path, uint8_t target, double core, double outer,
                    double slack = 1) {
    const std::vector<uint8_t> now = wholeMask();
    int painted = 0;
    for (int v = 0; v < kHeight; ++v) {
      for (int h = 0; h < kWidth; ++h) {
        const double d = distanceToPath({v + 0.5, h + 0.5}, path);
        const int before = at(original_, v, h), after = at(now, v, h);
        if (d <= core) {
          ASSERT_EQ(after, target) << "at " << v << "," << h << ", " << d << " from the path";
          ++painted;
        } else if (d >= outer + slack) {
          ASSERT_EQ(after, before) << "at " << v << "," << h << ", " << d << " from the path";
        } else {
          ASSERT_LE(std::abs(after - target), std::abs(before - target)) << "at " << v << "," << h;
        }
      }
    }
    EXPECT_GT(painted, 0);
  }

  ToolView view;
  HostImage mask_;
  HostImage working_;
  std::vector<uint8_t> original_;
  std::pair<int, int> brush_, threshold_;
};

// r1 of the hard brush is about 23.74; stamps lie about 11.5 apart and at
// most that far before the path's end, so every pixel within 8 of the path
// is inside some stamp's solid disc.
constexpr double kHardCore = 8, kHardOuter = 23.74;

TEST_F(StrokeToolTest, AScriptedDragPaintsAlongThePointersPathAndUndoesByteForByte) {
  view.SetZoom(2);
  view.ScrollTo({40, 20, 240, 170}, false);
  ASSERT_EQ(view.VisibleRect().left, 40);
  ASSERT_EQ(view.VisibleRect().top, 20);
  SelectTool(ThePencilTool());
  const std::vector<WPoint> points{{20, 20}, {60, 30}, {100, 45}, {140, 60}, {110, 80}, {80, 100}, {80, 100}};
  drag(points);
  std::vector<ImagePoint> path;
  for (WPoint p : points) path.push_back(imageAt(p));
  EXPECT_DOUBLE_EQ(path[0].h, 30);
  EXPECT_DOUBLE_EQ(path[0].v, 20);
  expectStroke(path, 255, kHardCore, kHardOuter);
  EXPECT_FALSE(CStrokeTool::Sampling()) << "the release ended the sampling thread";
  EXPECT_FALSE(view.HasPendingWork()) << "every step drew what it changed before it ended";
  EXPECT_FALSE(display_testing::displayCalls().empty());

  const CWorkDocument& document = *CWorkDocument::Current();
  ASSERT_TRUE(document.CanUndo());
  const std::vector<uint8_t> painted = wholeMask();
  const size_t records = document.history().size();
  for (size_t i = 0; i < records; ++i) CWorkDocument::Current()->Undo();
  EXPECT_EQ(wholeMask(), original_);
  for (size_t i = 0; i < records; ++i) CWorkDocument::Current()->Redo();
  EXPECT_EQ(wholeMask(), painted);
}

TEST_F(StrokeToolTest, APressHeldWithoutMovingPaintsOneStampWhereThePointerIs) {
  view.SetZoom(2);
  view.ScrollTo({40, 20, 240, 170}, false);
  SelectTool(ThePencilTool());
  const WPoint at{60, 50};
  input([&] { automation::mouseMove(view, at); });
  input([&] { automation::mouseDown(view, at); });
  automation::advanceTime(200);  // eight more samples of the same point
  input([&] { automation::mouseMove(view, at); });
  input([&] { automation::mouseUp(view, at); });
  EXPECT_EQ(CWorkDocument::Current()->history().size(), 1u) << "one stamp, one record";
  // The stamp's centre is the pointer's image position (35, 50), a whole
  // pixel corner: exactly the pixels whose centres lie within r0 are
  // solid, and nothing from r1 on changed.
  const ImagePoint centre = imageAt(at);
  EXPECT_DOUBLE_EQ(centre.v, 35);
  EXPECT_DOUBLE_EQ(centre.h, 50);
  const BrushGeometry g = BrushGeometry::from(100, 100, kFullBrushStrength);
  expectStroke({centre}, 255, g.hardRadius, g.outerRadius, 0);
}

TEST_F(StrokeToolTest, AShiftPressContinuesFromWhereTheLastStrokeEnded) {
  SelectTool(ThePencilTool());
  drag({{30, 30}, {40, 30}});
  input([&] { automation::keyDown(platform::kVkShift); });
  drag({{160, 30}});
  input([&] { automation::keyUp(platform::kVkShift); });
  expectStroke({imageAt({30, 30}), imageAt({160, 30})}, 255, kHardCore, kHardOuter);

  drag({{5, 140}});
  drag({{65, 140}});
  const std::vector<uint8_t> now = wholeMask();
  EXPECT_EQ(at(now, 140, 5), 255);
  EXPECT_EQ(at(now, 140, 65), 255);
  EXPECT_EQ(at(now, 140, 35), at(original_, 140, 35)) << "without Shift no line joins the presses";
}

TEST_F(StrokeToolTest, TheBrushPaintsAtTheThresholdsStrengthNothingAtZeroAndThePencilAtFull) {
  ThresholdPair().SetUpper(255);
  ThresholdPair().SetLower(0);
  SelectTool(TheBrushTool());
  drag({{10, 40}, {60, 40}});
  EXPECT_EQ(wholeMask(), original_);
  EXPECT_FALSE(CWorkDocument::Current()->CanUndo()) << "nothing changed, nothing to undo";

  ThresholdPair().SetLower(128);
  drag({{35, 70}});
  const int half = ((255 - 128) * 0 + 128 * 255 + 127) / 255;
  EXPECT_EQ(at(wholeMask(), 70, 35), half) << "one stamp, its solid part 128: half way";

  SelectTool(ThePencilTool());
  drag({{35, 100}});
  EXPECT_EQ(at(wholeMask(), 100, 35), 255) << "the pencil paints at full strength whatever the threshold";
}

TEST_F(StrokeToolTest, DropModePaintsTowardsZeroReadWhenTheToolActs) {
  SelectTool(ThePencilTool());
  SetKeepMode(false);
  drag({{150, 100}, {170, 100}});  // inside the document's disc of full keep
  expectStroke({imageAt({150, 100}), imageAt({170, 100})}, 0, kHardCore, kHardOuter);
}

// Keep colour white, drop colour black: on the fixture's image the
// classifier's value varies from pixel to pixel.
struct WhiteKeepBlackDrop : ClassifierSource {
  std::vector<ClassifierColour> selectedKeepColours(PixelFormat) override { return {{255, 255, 255}}; }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat) override { return {{0, 0, 0}}; }
  ClassifierThresholds thresholdPair() override { return {40, 200}; }
  bool keepMode() override { return true; }
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat) override { return {}; }
};

TEST_F(StrokeToolTest, TheMagicBrushBlendsTowardsTheClassifiersValueOfEveryPixel) {
  WhiteKeepBlackDrop source;
  setClassifierSource(&source);
  SelectTool(TheMagicBrushTool());
  const std::vector<WPoint> points{{20, 30}, {180, 30}, {180, 60}};
  drag(points);
  std::vector<ImagePoint> path;
  for (WPoint p : points) path.push_back(imageAt(p));
  ColourClassifier& classifier = currentClassifier({3, kHostModeRGB});
  const std::vector<uint8_t> now = wholeMask();
  int checked = 0, distinct = 0;
  uint8_t first = 0;
  for (int v = 0; v < kHeight; ++v) {
    for (int h = 0; h < kWidth; ++h) {
      const double d = distanceToPath({v + 0.5, h + 0.5}, path);
      if (d > kHardCore && d <= kHardOuter + 1) continue;
      const uint8_t pixel[3] = {colourValue(0, v, h), colourValue(1, v, h), colourValue(2, v, h)};
      const uint8_t expected = d <= kHardCore ? classifier.classify(pixel) : at(original_, v, h);
      ASSERT_EQ(at(now, v, h), expected) << "at " << v << "," << h;
      if (d <= kHardCore) {
        if (checked++ == 0) first = expected;
        distinct += expected != first;
      }
    }
  }
  EXPECT_GT(distinct, 0) << "the values under the brush differ: the test would see a constant target";
  setClassifierSource(nullptr);
}

TEST_F(StrokeToolTest, EndingTheTrackingStopsTheStrokeWhereItIs) {
  SelectTool(ThePencilTool());
  input([&] { automation::mouseMove(view, {20, 30}); });
  input([&] { automation::mouseDown(view, {20, 30}); });
  input([&] { automation::mouseMove(view, {60, 30}); });
  input([&] { automation::mouseMove(view, {100, 30}); });
  automation::advanceTime(StrokeSampler::kInterval);  // (30, 100) is sampled
  EndTracking();  // what Escape does
  EXPECT_FALSE(CStrokeTool::Sampling());
  input([&] { automation::mouseMove(view, {20, 120}); });
  input([&] { automation::mouseUp(view, {20, 120}); });
  const std::vector<uint8_t> now = wholeMask();
  EXPECT_EQ(at(now, 30, 60), 255) << "painted before";
  EXPECT_EQ(at(now, 30, 100), at(original_, 30, 100)) << "sampled, but not painted before the cancel";
  EXPECT_EQ(at(now, 120, 20), at(original_, 120, 20)) << "nothing after it";
}

// ---- Catalogue ----

TEST_F(StrokeToolTest, TheToolsAreRegisteredSelectedByTheirKeysAndAnnounceThemselves) {
  std::vector<int32_t> announced;
  SetToolActivationListener([&](int32_t id) { announced.push_back(id); });
  EXPECT_EQ(FindTool(kToolPencil), &ThePencilTool());
  EXPECT_EQ(FindTool(kToolBrush), &TheBrushTool());
  EXPECT_EQ(FindTool(kToolMagicBrush), &TheMagicBrushTool());
  for (const uint32_t key : {'B', 'A', 'M'}) {
    EXPECT_TRUE(ToolKeyDown(key, 0, false));
    EXPECT_TRUE(ToolKeyUp(key, 0));
  }
  announced.erase(std::unique(announced.begin(), announced.end()), announced.end());
  EXPECT_EQ(announced, (std::vector<int32_t>{kToolPencil, kToolBrush, kToolMagicBrush}));
  EXPECT_EQ(ActiveTool(), &TheMagicBrushTool()) << "a tapped tool key leaves the tool selected";
  SetToolActivationListener(nullptr);
}

// ---- Feedback ----

TEST_F(StrokeToolTest, TheBrushCirclesInvertTheScreenAndDrawingThemAgainRestoresIt) {
  setBrush(60, 120);  // r0 about 8.76, r1 about 30.7
  view.SetZoom(2);
  automation::drainMessages();
  view.updateNow();
  const platform::Framebuffer& screen = view.framebuffer();
  SelectTool(ThePencilTool());
  const WPoint centre{100, 75};
  input([&] { automation::mouseMove(view, centre); });
  ActiveTool()->HideFeedback();
  const platform::Framebuffer plain = screen;
  ActiveTool()->ShowFeedback();

  // Radii floor(r · 2 + 0.5): 18 and 61 screen pixels.
  int onInner = 0, onOuter = 0;
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (screen.pixel(x, y) == plain.pixel(x, y)) continue;
      ASSERT_EQ(screen.pixel(x, y), plain.pixel(x, y) ^ 0xFFFFFFu) << x << "," << y << " is inverted";
      const double r = std::hypot(x - centre.x, y - centre.y);
      onInner += std::abs(r - 18) < 1.5;
      onOuter += std::abs(r - 61) < 1.5;
      ASSERT_TRUE(std::abs(r - 18) < 1.5 || std::abs(r - 61) < 1.5) << x << "," << y << " lies on a circle";
    }
  }
  EXPECT_GT(onInner, 50);
  EXPECT_GT(onOuter, 200);

  setBrush(200, 255);  // the sliders move while the circles are shown
  ActiveTool()->HideFeedback();
  EXPECT_TRUE(screen.samePixels(plain)) << "hiding draws the circles that were shown";
  ActiveTool()->ShowFeedback();
}

}  // namespace
