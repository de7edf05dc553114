// Navigator windows: opening them at the cascade, the limit of twenty,
// their records in workspaces, and what they show.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "image/File.h"
#include "platform/Automation.h"
#include "platform/SystemMetrics.h"
#include "tests/display/ViewTestSupport.h"
#include "ui/CNavFrame.h"
#include "workspace/Workspace.h"

namespace {

namespace fs = std::filesystem;
using platform::Rect;

class NavigatorTest : public display_testing::ViewFixture {
 protected:
  NavigatorTest() {
    openView({400, 300});
    CNavFrame::ResetCascade();
  }
  ~NavigatorTest() override {
    CNavFrame::CloseAll();
    fs::remove_all(directory_);
  }

  std::vector<Rect> openRects() const {
    std::vector<Rect> rects;
    for (CNavFrame* n = CNavFrame::First(); n != nullptr; n = n->Next()) rects.push_back(n->windowRect());
    return rects;
  }

  // A workspace file of these records (tag, size, payload ints).
  std::string fileOf(const std::vector<std::pair<uint32_t, std::vector<int32_t>>>& records) {
    if (directory_.empty()) {
      std::string pattern = (fs::temp_directory_path() / "tessaly-nav-XXXXXX").string();
      EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
      directory_ = pattern;
    }
    const std::string path = (directory_ / "navigators.tsw").string();
    std::ofstream out(path, std::ios::binary);
    for (const auto& [tag, values] : records) {
      uint8_t header[8];
      storeLittleEndian32(header, tag);
      storeLittleEndian32(header + 4, static_cast<uint32_t>(values.size() * 4));
      out.write(reinterpret_cast<const char*>(header), 8);
      for (int32_t v : values) {
        uint8_t bytes[4];
        storeLittleEndianInt32(bytes, v);
        out.write(reinterpret_cast<const char*>(bytes), 4);
      }
    }
    return path;
  }

  bool load(NavigatorParticipant& participant, const std::string& path) {
    File file;
    file.OpenForLoading(path);
    return LoadParticipant(file, participant, FailureReport::kLeavePending);
  }

  fs::path directory_;
};

TEST_F(NavigatorTest, NewNavigatorsCascadeUpToTwentyAndHugTheImage) {
  const int32_t step = platform::systemMetric(platform::kSmCySmCaption);
  platform::Window* activeBefore = platform::Window::active();
  for (int i = 0; i < CNavFrame::kMaxNavigators; ++i) {
    CNavFrame* navigator = CNavFrame::NewNavigator(frame());
    ASSERT_NE(navigator, nullptr) << "navigator " << i + 1;
    EXPECT_TRUE(navigator->isVisible());
    EXPECT_EQ(navigator->owner(), &frame()) << "owned, not a child";
    EXPECT_FALSE(navigator->isChild());
    EXPECT_EQ(navigator->title(), "Navigator");
  }
  EXPECT_EQ(CNavFrame::NewNavigator(frame()), nullptr) << "the 21st is refused";
  EXPECT_EQ(CNavFrame::Count(), 20);
  EXPECT_EQ(platform::Window::active(), activeBefore) << "navigators open without activation";

  const std::vector<Rect> rects = openRects();
  EXPECT_EQ(rects[0].left, 500);
  EXPECT_EQ(rects[0].top, 45);
  EXPECT_EQ(rects[1].left - rects[0].left, step);
  EXPECT_EQ(rects[1].top - rects[0].top, step);

  // A 300 x 200 image fits the first cascade rectangle at 1/2: the client
  // is that content with a pixel to spare on each side.
  CNavFrame* first = CNavFrame::First();
  EXPECT_DOUBLE_EQ(first->View().Zoom(), 0.5);
  EXPECT_EQ(first->clientRect(), (Rect{0, 0, 152, 102}));
  EXPECT_EQ(first->View().clientRect(), first->clientRect()) << "the view fills its navigator";

  // Closing one makes room for another.
  first->send(platform::kWmClose);
  EXPECT_EQ(CNavFrame::Count(), 19);
  EXPECT_NE(CNavFrame::NewNavigator(frame()), nullptr);
}

// Of the small captions, the navigator's alone has a close box (the bars'
// have none); a click on it closes the navigator.
TEST_F(NavigatorTest, TheCloseBoxInTheCaptionClosesTheNavigator) {
  CNavFrame* navigator = CNavFrame::NewNavigator(frame());
  ASSERT_NE(navigator, nullptr);
  const Rect box = navigator->closeBoxRect();
  ASSERT_FALSE(box.isEmpty());
  EXPECT_EQ(navigator->composite().pixel(box.left + 1, box.top + 1),
            platform::systemColour(platform::kColourBtnHighlight)) << "a raised box";
  const Rect in = navigator->nonClientInsets();
  const platform::Point click{(box.left + box.right) / 2 - in.left, (box.top + box.bottom) / 2 - in.top};
  platform::automation::mouseDown(*navigator, click);
  platform::automation::mouseUp(*navigator, click);
  platform::automation::drainMessages();
  EXPECT_EQ(CNavFrame::Count(), 0);
}

TEST_F(NavigatorTest, TheCascadeWrapsBackTenStepsNearTheScreensEdges) {
  const int32_t step = platform::systemMetric(platform::kSmCySmCaption);
  const int32_t width = platform::systemMetric(platform::kSmCxScreen);
  const int32_t height = platform::systemMetric(platform::kSmCyScreen);
  int wrapsUp = 0, wrapsLeft = 0;
  for (int i = 0; i < 200; ++i) {
    const Rect before = CNavFrame::CascadeRect();
    CNavFrame* navigator = CNavFrame::NewNavigator(frame());
    ASSERT_NE(navigator, nullptr);
    EXPECT_EQ(navigator->windowRect().left, before.left);
    navigator->destroy();
    const Rect after = CNavFrame::CascadeRect();
    EXPECT_LT(after.right, width);
    EXPECT_LT(after.bottom, height - 50);
    if (after.top == before.top - 9 * step) ++wrapsUp;
    if (after.left == before.left - 9 * step) ++wrapsLeft;
  }
  EXPECT_GT(wrapsUp, 0);
  EXPECT_GT(wrapsLeft, 0);
  EXPECT_EQ(CNavFrame::Count(), 0);
}

TEST_F(NavigatorTest, LoadingRecordsReplacesTheOpenNavigatorsAndSavingWritesThemInOrder) {
  NavigatorParticipant participant(WorkspaceParticipant::Registration::kStandalone, [this] { return &frame(); });
  CNavFrame::NewNavigator(frame());
  CNavFrame::NewNavigator(frame());
  const std::vector<Rect> stored = {{10, 20, 210, 180}, {300, 40, 450, 160}, {600, 300, 800, 520}};
  std::vector<std::pair<uint32_t, std::vector<int32_t>>> records;
  for (const Rect& r : stored) records.push_back({kNavigatorTag, {r.left, r.top, r.right, r.bottom}});
  records.push_back({kNavigatorTag, {1, 2, 3}});  // another size: not a navigator
  ASSERT_TRUE(load(participant, fileOf(records)));
  EXPECT_EQ(openRects(), stored);
  for (CNavFrame* n = CNavFrame::First(); n != nullptr; n = n->Next()) EXPECT_TRUE(n->isVisible());

  // Saved back, one record per navigator in list order.
  const std::string saved = (directory_ / "saved.tsw").string();
  {
    File file;
    file.OpenForSaving(saved);
    ASSERT_TRUE(RewriteParticipantRecord(file, kNavigatorTag, participant, FailureReport::kLeavePending));
    file.Close();
  }
  CNavFrame::CloseAll();
  ASSERT_TRUE(load(participant, saved));
  EXPECT_EQ(openRects(), stored);
}

TEST_F(NavigatorTest, DamagedOrTooManyRecordsStayWithinTheScreenAndTwentyWindows) {
  NavigatorParticipant participant(WorkspaceParticipant::Registration::kStandalone, [this] { return &frame(); });
  std::vector<std::pair<uint32_t, std::vector<int32_t>>> records;
  records.push_back({kNavigatorTag, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}});
  records.push_back({kNavigatorTag, {50, 50, 40, 40}});  // inside out
  for (int i = 0; i < 30; ++i) records.push_back({kNavigatorTag, {i, i, i + 150, i + 150}});
  ASSERT_TRUE(load(participant, fileOf(records)));
  EXPECT_EQ(CNavFrame::Count(), 20);
  const int32_t width = platform::systemMetric(platform::kSmCxScreen);
  const int32_t height = platform::systemMetric(platform::kSmCyScreen);
  for (const Rect& r : openRects()) {
    EXPECT_LE(r.width(), width);
    EXPECT_LE(r.height(), height);
    EXPECT_GE(r.width(), CNavFrame::kMinimumTrackSize.x);
    EXPECT_GE(r.height(), CNavFrame::kMinimumTrackSize.y);
  }
}

TEST_F(NavigatorTest, ANavigatorKeepsShowingTheWholeImageWhenResized) {
  CNavFrame* navigator = CNavFrame::NewNavigator(frame());
  ASSERT_NE(navigator, nullptr);
  const Rect r = navigator->windowRect();
  navigator->move({r.left, r.top, r.left + 700, r.top + 500});
  EXPECT_DOUBLE_EQ(navigator->View().Zoom(), 2.0);
  platform::MinMaxInfo info{};
  navigator->send(platform::kWmGetMinMaxInfo, 0, reinterpret_cast<intptr_t>(&info));
  EXPECT_EQ(info.minTrackSize, CNavFrame::kMinimumTrackSize);
}

}  // namespace
