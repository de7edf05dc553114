// Picking colours from the image: the eyedroppers driven by pointer events
// in a view over a fake host document, the pixel under the pointer, and
// the classifier built from the colour lists.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "display/CWorkDocument.h"
#include "image/HostImage.h"
#include "platform/Message.h"
#include "tests/display/ViewTestSupport.h"
#include "tools/CEyedropperTool.h"
#include "tools/ColourList.h"
#include "tools/ColourListSource.h"
#include "tools/KeepMode.h"
#include "tools/SliderValues.h"
#include "tools/ToolRegistry.h"
#include "tools/CZoomTool.h"

namespace {

using display_testing::ViewFixture;
using WPoint = platform::Point;

constexpr uint32_t kLeft = platform::kMkLButton;
constexpr uint32_t kRight = platform::kMkRButton;
constexpr uint32_t kShift = platform::kMkShift;
constexpr PixelFormat kRGB{3, kHostModeRGB};

ColourEntry rgb(uint8_t r, uint8_t g, uint8_t b) {
  const uint8_t bytes[3] = {r, g, b};
  return ColourEntry::Picked(kRGB, bytes);
}

// A work window's view over a 300 × 200 RGB document with both lists
// holding one empty set, as after an empty workspace.
class PickingTest : public ViewFixture {
 protected:
  PickingTest() {
    openView({200, 150});
    CMaskView::WorkDocument()->SetWorkImages(&mask_, &working_);
    for (ColourList* list : {&KeepColourList(), &DropColourList()}) {
      list->BeginLoad();
      list->EndLoad();
    }
  }
  ~PickingTest() override {
    ResetToolStack();
    setClassifierSource(nullptr);
    discardClassifier();
  }

  // The window point over image pixel (v, h).
  WPoint at(int v, int h) const {
    WPoint point{h, v};
    view_->ImageToWindowPoint(point);
    return point;
  }
  ColourEntry imageColour(int v, int h) {
    return rgb(host().pixel(0, static_cast<int16_t>(v), static_cast<int16_t>(h)),
               host().pixel(1, static_cast<int16_t>(v), static_cast<int16_t>(h)),
               host().pixel(2, static_cast<int16_t>(v), static_cast<int16_t>(h)));
  }
  void click(WPoint point, uint32_t flags = 0) {
    ToolMouseMove(*view_, point, flags);
    ToolMouseDown(*view_, point, flags | kLeft);
    ToolMouseUp(*view_, point, flags);
  }
  static ColourEntry currentEntry(const ColourList& list) { return list.RowAt(list.currentRow()).entry; }

  HostImage mask_{PixelLayout{1, kHostModeGrayScale}, 3, HostStream::output};
  HostImage working_{PixelLayout{3, kHostModeRGB}, 0, HostStream::input, true};
};

// ---- Eyedroppers ----

TEST_F(PickingTest, AClickWithoutMovementPicksExactlyThePixelUnderThePointer) {
  SelectTool(TheKeepEyedropper());
  click(at(40, 120));
  EXPECT_EQ(TheKeepEyedropper().SampleCount(), 1);
  const ColourEntry picked = currentEntry(KeepColourList());
  EXPECT_EQ(picked, imageColour(40, 120));
  EXPECT_EQ(picked.size, 3) << "the working image's bytes per pixel";
  EXPECT_EQ(picked.mode, kHostModeRGB);
  EXPECT_FALSE(currentEntry(DropColourList()).IsColour()) << "the keep eyedropper fills the keep list only";
}

TEST_F(PickingTest, ADragPicksTheRoundedMeanOfEveryPixelItPassed) {
  host().pixel(0, 10, 10) = 10;
  host().pixel(0, 10, 11) = 11;
  SelectTool(TheDropEyedropper());
  ToolMouseDown(*view_, at(10, 10), kLeft);
  ToolMouseMove(*view_, at(10, 11), kLeft);
  EXPECT_EQ(currentEntry(DropColourList()).channels[0], 11) << "(10 + 11 + 1) / 2";
  ToolMouseUp(*view_, at(10, 11), 0);

  // Any path: the list follows the running mean, computed here plainly.
  std::mt19937 random(3);
  for (int drag = 0; drag < 8; ++drag) {
    std::vector<ColourEntry> passed;
    auto expectMean = [&] {
      int sums[3] = {};
      for (const ColourEntry& e : passed)
        for (int c = 0; c < 3; ++c) sums[c] += e.channels[static_cast<size_t>(c)];
      const int n = static_cast<int>(passed.size());
      const ColourEntry mean = rgb(static_cast<uint8_t>((sums[0] + n / 2) / n), static_cast<uint8_t>((sums[1] + n / 2) / n),
                                   static_cast<uint8_t>((sums[2] + n / 2) / n));
      ASSERT_EQ(currentEntry(DropColourList()), mean) << "drag " << drag << " after " << n << " pixels";
      ASSERT_EQ(TheDropEyedropper().SampleCount(), n);
    };
    int v = static_cast<int>(random() % 150), h = static_cast<int>(random() % 200);
    ToolMouseDown(*view_, at(v, h), kLeft);
    passed.push_back(imageColour(v, h));
    expectMean();
    for (int step = 0; step < 20; ++step) {
      v = std::clamp(v + static_cast<int>(random() % 21) - 10, 0, 149);
      h = std::clamp(h + static_cast<int>(random() % 21) - 10, 0, 199);
      ToolMouseMove(*view_, at(v, h), kLeft);
      passed.push_back(imageColour(v, h));
      expectMean();
    }
    ToolMouseUp(*view_, at(v, h), 0);
    expectMean();
  }
}

TEST_F(PickingTest, LeavingTheImageWhileDraggingStopsAddingSamples) {
  SelectTool(TheKeepEyedropper());
  ToolMouseDown(*view_, at(5, 5), kLeft);
  ToolMouseMove(*view_, at(5, 6), kLeft);
  const ColourEntry mean = currentEntry(KeepColourList());
  ToolMouseMove(*view_, at(5, -3), kLeft);
  ToolMouseMove(*view_, at(-1, 6), kLeft);
  EXPECT_EQ(TheKeepEyedropper().SampleCount(), 2);
  EXPECT_EQ(currentEntry(KeepColourList()), mean) << "the list keeps the last mean";
  ToolMouseUp(*view_, at(-1, 6), 0);
}

TEST_F(PickingTest, AViewOfOneChannelPicksItWithMidGreyInTheOthers) {
  view_->SetShownChannel(2);
  SelectTool(TheKeepEyedropper());
  click(at(70, 33));
  const ColourEntry pixel = imageColour(70, 33);
  EXPECT_EQ(currentEntry(KeepColourList()), rgb(128, pixel.channels[1], 128));
}

TEST_F(PickingTest, TheRightButtonPicksIntoANewSetAndShiftIntoTheNextEmptySlot) {
  ColourList& keep = KeepColourList();
  SelectTool(TheKeepEyedropper());
  click(at(1, 1));
  ASSERT_EQ(keep.RowCount(), 1);
  EXPECT_EQ(keep.RowAt(0).entry, imageColour(1, 1)) << "a plain click fills the current row";

  click(at(2, 2), kShift);
  ASSERT_EQ(keep.RowCount(), 2);
  EXPECT_EQ(keep.RowAt(1).key, keep.RowAt(0).key) << "Shift adds to the current set";
  EXPECT_EQ(keep.RowAt(1).entry, imageColour(2, 2));

  ToolMouseDown(*view_, at(3, 3), kRight);
  ToolMouseUp(*view_, at(3, 3), kRight);
  ASSERT_EQ(keep.RowCount(), 3);
  EXPECT_NE(keep.RowAt(2).key, keep.RowAt(1).key) << "the right button starts a new set";
  EXPECT_EQ(keep.RowAt(2).entry, imageColour(3, 3));
  EXPECT_TRUE(keep.RowAt(2).selected);
  EXPECT_FALSE(keep.RowAt(0).selected) << "without Shift the other sets are deselected";

  ToolMouseDown(*view_, at(4, 4), kRight | kShift);
  ToolMouseUp(*view_, at(4, 4), kRight | kShift);
  ASSERT_EQ(keep.RowCount(), 4);
  EXPECT_TRUE(keep.RowAt(2).selected) << "with Shift they stay selected";
  EXPECT_EQ(ActiveTool(), &TheKeepEyedropper());
}

TEST_F(PickingTest, CursorsFollowShiftAndForTheDropEyedropperTheRightButton) {
  struct Case {
    CEyedropperTool& tool;
    uint32_t flags;
    int32_t cursor;
  };
  const Case cases[] = {
      {TheKeepEyedropper(), 0, 3220},      {TheKeepEyedropper(), kShift, 3221},
      {TheKeepEyedropper(), kRight, 3220}, {TheDropEyedropper(), 0, 3230},
      {TheDropEyedropper(), kShift, 3231}, {TheDropEyedropper(), kRight, 3231},
  };
  for (const Case& c : cases) {
    SelectTool(c.tool);
    ToolMouseMove(*view_, at(9, 9), c.flags);
    EXPECT_EQ(c.tool.GetCursorId(), c.cursor) << c.tool.CursorResourceId() << " with flags " << c.flags;
  }
}

TEST_F(PickingTest, EyedroppersAreRegisteredSelectedByKeysAndAnnounceThemselves) {
  std::vector<int32_t> announced;
  SetToolActivationListener([&](int32_t id) { announced.push_back(id); });
  EXPECT_EQ(FindTool(3220), &TheKeepEyedropper());
  EXPECT_EQ(FindTool(3230), &TheDropEyedropper());
  EXPECT_EQ(ToolIdForKey('I', 0), 3220);
  EXPECT_EQ(ToolIdForKey('o', 0), 3230);

  SelectTool(TheZoomTool());
  selectEyedropper(false);
  EXPECT_EQ(ActiveTool(), &TheDropEyedropper());
  selectEyedropper(false);
  ToolKeyDown('I', 0, false);
  EXPECT_EQ(ActiveTool(), &TheKeepEyedropper());
  EXPECT_EQ(announced, (std::vector<int32_t>{kToolZoom, 3230, 3220})) << "once per activation";
  SetToolActivationListener(nullptr);
  ToolKeyUp('I', 0);
}

TEST_F(PickingTest, OffTheImageOrWithoutAViewNothingIsSampled) {
  ColourEntry out = rgb(1, 2, 3);
  EXPECT_FALSE(CEyedropperTool::samplePixel(out)) << "no pointer event yet";
  SelectTool(TheZoomTool());
  view_->SetZoom(0.5);  // the 300 × 200 image covers 150 × 100 of the window
  ToolMouseMove(*view_, {195, 5}, 0);  // beside the centred image
  EXPECT_FALSE(CEyedropperTool::samplePixel(out));
  EXPECT_EQ(out, rgb(1, 2, 3));
  ToolMouseMove(*view_, at(198, 298), 0);
  EXPECT_TRUE(CEyedropperTool::samplePixel(out));
  EXPECT_EQ(out, imageColour(198, 298));
}

// ---- The classifier from the lists ----

HostError greyToRgb(HostColourServicesInfo* info) {
  if (info->sourceSpace != kHostSpaceGray || info->resultSpace != kHostSpaceRGB) return kHostFilterBadParameters;
  info->colourComponents[1] = info->colourComponents[2] = info->colourComponents[0];
  return kHostNoError;
}

TEST_F(PickingTest, TheClassifierGetsTheSelectedColoursInListOrderInTheWorkingMode) {
  record().colorServices = greyToRgb;
  ColourList& keep = KeepColourList();
  const uint8_t grey = 50, cmyk[4] = {1, 2, 3, 4};
  keep.SetCurrentColour(rgb(1, 2, 3));
  keep.InsertColour(-1, ColourEntry::Picked(PixelFormat{1, kHostModeGrayScale}, &grey));
  keep.InsertColour(-1, ColourEntry::Empty());
  keep.InsertColour(-1, ColourEntry::Picked(PixelFormat{4, kHostModeCMYK}, cmyk));  // the host cannot
  keep.InsertSet(-1, {false, {rgb(9, 9, 9)}}, true);
  keep.InsertColour(0, rgb(7, 7, 7));
  const std::vector<ClassifierColour> expected = {{7, 7, 7}, {1, 2, 3}, {50, 50, 50}};
  EXPECT_EQ(TheColourListSource().selectedKeepColours(kRGB), expected);
  EXPECT_TRUE(TheColourListSource().selectedDropColours(kRGB).empty()) << "an empty slot is no colour";
}

TEST_F(PickingTest, WithEveryColourDeselectedTheColourUnderThePointerDecides) {
  ColourList& keep = KeepColourList();
  keep.SetCurrentColour(rgb(0, 0, 0));
  EXPECT_NE(dynamic_cast<KeepClassifier*>(&currentClassifier(kRGB)), nullptr);
  keep.SelectSet(0, false);
  ASSERT_FALSE(keep.RowAt(0).selected);

  SelectTool(TheZoomTool());
  ToolMouseMove(*view_, at(60, 150), 0);
  const ColourEntry under = imageColour(60, 150);
  SetKeepMode(true);
  EXPECT_NE(dynamic_cast<SampleClassifier*>(&currentClassifier(kRGB)), nullptr);
  EXPECT_EQ(classifyPixel(under.channels.data()), 255) << "kept in keep mode";
  SetKeepMode(false);
  currentClassifier(kRGB);
  EXPECT_EQ(classifyPixel(under.channels.data()), 0) << "dropped in drop mode";
}

// Counts the builds of the classifier from the real lists.
struct CountingSource : ClassifierSource {
  int builds = 0;
  std::vector<ClassifierColour> selectedKeepColours(PixelFormat format) override {
    ++builds;
    return TheColourListSource().selectedKeepColours(format);
  }
  std::vector<ClassifierColour> selectedDropColours(PixelFormat format) override {
    return TheColourListSource().selectedDropColours(format);
  }
  ClassifierThresholds thresholdPair() override { return TheColourListSource().thresholdPair(); }
  bool keepMode() override { return TheColourListSource().keepMode(); }
  std::optional<ClassifierColour> colourUnderPointer(PixelFormat format) override {
    return TheColourListSource().colourUnderPointer(format);
  }
};

TEST_F(PickingTest, TheClassifierIsRebuiltOnlyWhenColoursThresholdOrModeChange) {
  CountingSource counting;
  setClassifierSource(&counting);
  KeepColourList().SetCurrentColour(rgb(10, 20, 30));
  DropColourList().SetCurrentColour(rgb(200, 0, 0));
  SliderPair& threshold = ThresholdPair();
  const int lower = threshold.lower(), upper = threshold.upper();

  struct Step {
    const char* what;
    std::function<void()> change;
    int builds;
  };
  const Step steps[] = {
      {"the first request", [] {}, 1},
      {"nothing", [] {}, 1},
      {"a row made current", [] { KeepColourList().MakeCurrent(0); }, 1},
      {"keep mode, with colours picked", [] { ToggleKeepMode(); }, 1},
      {"an eyedropper click", [&] { SelectTool(TheDropEyedropper()); click(at(3, 3)); }, 2},
      {"the threshold", [&] { threshold.SetLower(lower + 5); }, 3},
      {"a set selected", [] { DropColourList().SelectSet(0, false); }, 4},
      {"a drop onto a list", [] { DropColourList().DropColour(1, rgb(1, 1, 1), false); }, 5},
  };
  for (const Step& step : steps) {
    step.change();
    currentClassifier(kRGB);
    EXPECT_EQ(counting.builds, step.builds) << "after " << step.what;
  }
  currentClassifier(PixelFormat{4, kHostModeCMYK});
  EXPECT_EQ(counting.builds, 6) << "another working mode";
  threshold.SetLower(lower);
  threshold.SetUpper(upper);
}

}  // namespace
