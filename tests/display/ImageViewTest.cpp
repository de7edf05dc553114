// Views: conversions, zoom, scrolling, scroll bars, pending regions,
// handlers and the document's lifetime.
#include <gtest/gtest.h>

#include <string>

#include "display/CWorkDocument.h"
#include "shell/PlugIn.h"
#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/Message.h"
#include "platform/Time.h"
#include "shell/Exceptions.h"
#include "tests/display/ViewTestSupport.h"

using display_testing::displayCalls;
using display_testing::ViewFixture;
using WPoint = platform::Point;
using WRect = platform::Rect;

namespace {

class ImageViewTest : public ViewFixture {};

TEST_F(ImageViewTest, ZoomStepsGoThroughUnitFractionsAndWholeNumbers) {
  EXPECT_DOUBLE_EQ(CZoomView::ZoomInStep(1.0 / 3), 0.5);
  EXPECT_DOUBLE_EQ(CZoomView::ZoomInStep(0.5), 1.0);
  EXPECT_DOUBLE_EQ(CZoomView::ZoomInStep(1.0), 2.0);
  EXPECT_DOUBLE_EQ(CZoomView::ZoomInStep(2.0), 3.0);
  EXPECT_DOUBLE_EQ(CZoomView::ZoomOutStep(1.0), 0.5);
  EXPECT_DOUBLE_EQ(CZoomView::ZoomOutStep(0.5), 1.0 / 3);
  EXPECT_DOUBLE_EQ(CZoomView::ZoomOutStep(3.0), 2.0);
  EXPECT_DOUBLE_EQ(CZoomView::SnapZoom(2.9999999), 3.0) << "the nudge keeps a near-integer whole";
  EXPECT_DOUBLE_EQ(CZoomView::SnapZoom(0.4), 1.0 / 3);
}

TEST_F(ImageViewTest, SetZoomClampsToTwentyAndToOnePixelOfTheShorterSide) {
  display_testing::ViewFixture* self = this;
  (void)self;
  CMaskView& view = openView();
  view.SetZoom(50);
  EXPECT_DOUBLE_EQ(view.Zoom(), 20.0);
  EXPECT_EQ(view.ContentSize(), (platform::Size{6000, 4000}));
  view.SetZoom(0.0001);
  EXPECT_DOUBLE_EQ(view.Zoom(), 1.0 / 200) << "300 x 200 image: the shorter side decides";
}

class SmallImageTest : public ViewFixture {
 protected:
  SmallImageTest() : ViewFixture(300, 100) {}
};

TEST_F(SmallImageTest, SetZoomOnAHundredByThreeHundredImageStopsAtOneHundredth) {
  CMaskView& view = openView();
  view.SetZoom(0.0001);
  EXPECT_DOUBLE_EQ(view.Zoom(), 1.0 / 100);
  EXPECT_EQ(view.ContentSize(), (platform::Size{3, 1}));
}

TEST_F(ImageViewTest, AnImageSmallerThanTheWindowIsCentredOnEachAxis) {
  CMaskView& view = openView({400, 150});
  view.ScrollTo({0, 0, 400, 150}, false);
  EXPECT_EQ(view.VisibleRect().left, -50) << "300 wide in 400: content origin at half the difference";
  EXPECT_EQ(view.VisibleRect().top, 0) << "200 high in 150: scrolls normally";
  view.ScrollTo({0, 500, 400, 650}, false);
  EXPECT_EQ(view.VisibleRect().top, 50) << "clamped to the content";
  WPoint p{0, 0};
  view.ImageToWindowPoint(p);
  EXPECT_EQ(view.WindowToClient(p), (WPoint{50, -50}));
}

TEST_F(ImageViewTest, ConversionsAtZoomTwoPutBoundariesInTheNextPixelAndCoverPartlyVisiblePixels) {
  CMaskView& view = openView();
  view.SetZoom(2);
  view.ScrollTo({0, 0, 200, 150}, false);
  WPoint p{4, 3};
  view.WindowToImagePoint(p);
  EXPECT_EQ(p, (WPoint{2, 1})) << "window 4 is the left edge of image pixel 2";
  WRect r{1, 1, 4, 5};
  view.WindowToImageRect(r);
  EXPECT_EQ(r, (WRect{0, 0, 2, 3})) << "every touched pixel is covered";
  WRect i{1, 2, 3, 5};
  view.ImageToWindowRect(i);
  EXPECT_EQ(i, (WRect{2, 4, 6, 10}));
  view.SetZoom(1.0 / 3);
  WPoint q{10, 0};
  view.ImageToWindowPoint(q);
  EXPECT_EQ(q.x, 4) << "ceil(10 / 3): pixel 10 shows in window column 4";
}

class WideImageTest : public ViewFixture {
 protected:
  WideImageTest() : ViewFixture(20000, 16) {}
};

TEST_F(WideImageTest, ScrollBarsShiftLargeContentsUnder32768) {
  CMaskView& view = openView();
  platform::ScrollBar horizontal(false), vertical(true);
  horizontal.create(platform::controlParams(frame(), 2, {0, 150, 200, 166}));
  vertical.create(platform::controlParams(frame(), 3, {200, 0, 216, 150}));
  view.SetScrollBars(&vertical, &horizontal);
  view.SetZoom(2);
  EXPECT_EQ(view.ContentSize().cx, 40000);
  EXPECT_EQ(view.ScrollShift(false), 1) << "one halving brings 40000 under 32768";
  EXPECT_EQ(horizontal.info().max, 20000);
  EXPECT_EQ(horizontal.info().page, 100u);
  view.send(platform::kWmHScroll, platform::makeWParam(platform::kSbThumbTrack, 1000));
  EXPECT_EQ(view.VisibleRect().left, 2000) << "thumb positions are in units of two content pixels";
  EXPECT_EQ(horizontal.position(), 1000);
  view.send(platform::kWmHScroll, platform::kSbLineDown);
  EXPECT_EQ(view.VisibleRect().left, 2000 + 200 / 16);
  view.send(platform::kWmHScroll, platform::kSbPageUp);
  EXPECT_EQ(view.VisibleRect().left, 2012 - 200);
  view.send(platform::kWmHScroll, platform::kSbBottom);
  EXPECT_EQ(view.VisibleRect().right, 40000);
  view.send(platform::kWmVScroll, platform::kSbLineDown);
  EXPECT_EQ(view.VisibleRect().top, -59) << "32 rows in 150: vertical scrolling is ignored, the content centred";
  horizontal.destroy();
  vertical.destroy();
}

TEST_F(ImageViewTest, ZoomToRectCentresTheRectangleAndBeepsOutsideTheImage) {
  CMaskView& view = openView();
  view.ZoomToRect({100, 50, 120, 70}, 0);
  EXPECT_DOUBLE_EQ(view.Zoom(), 7.0) << "150 / 20 fits, snapped down";
  const WRect visible = view.VisibleRect();
  EXPECT_EQ((visible.left + visible.right) / 2, 110 * 7);
  EXPECT_EQ((visible.top + visible.bottom) / 2, 60 * 7);

  platform::automation::clearBeeps();
  view.ZoomToRect({400, 300, 500, 400}, 0);
  EXPECT_EQ(platform::automation::beeps().size(), 1u);
  EXPECT_DOUBLE_EQ(view.Zoom(), 7.0) << "nothing changes";
  EXPECT_EQ(view.VisibleRect(), visible);
}

TEST_F(ImageViewTest, ZoomKeysKeepTheCentreOfTheVisibleImage) {
  CMaskView& view = openView();
  view.ZoomToRect({140, 90, 160, 110}, 1.0);
  view.ZoomAroundCentre(view.Zoom() * 2);
  EXPECT_DOUBLE_EQ(view.Zoom(), 2.0);
  WRect visible = view.VisibleRect();
  EXPECT_EQ((visible.left + visible.right) / 2, 150 * 2);
  view.ZoomAroundCentre(view.Zoom() * 0.5);
  view.ZoomAroundCentre(view.Zoom() * 0.5);
  EXPECT_DOUBLE_EQ(view.Zoom(), 0.5);
  view.ZoomToFit();
  EXPECT_DOUBLE_EQ(view.Zoom(), 0.5) << "300 x 200 in 200 x 150";
  EXPECT_EQ(view.VisibleRect().left, -25) << "centred";
}

TEST_F(ImageViewTest, AZoomToARectangleAnnouncesOneChangeOfTheVisibleArea) {
  struct Counting : CMaskView {
    std::string log;
    void VisibleAreaWillChange() override { log += "("; }
    void VisibleAreaChanged() override { log += ")"; }
  } view;
  openView();
  view.CreateView(frame(), {0, 0, 200, 150}, 8);
  view.log.clear();
  view.ZoomToRect({100, 50, 120, 70}, 0);
  EXPECT_EQ(view.log, "()") << "zoom and scroll are one change for a navigator's frame";
  view.ScrollTo(view.VisibleRect().offsetBy(5, 0), true);
  view.SetZoom(view.Zoom());
  EXPECT_EQ(view.log, "()()") << "an unchanged zoom announces nothing";
  view.destroy();
}

TEST_F(ImageViewTest, OutsideAHostCallAViewHasNoImageAndZoomsSafely) {
  CMaskView& view = openView();
  FilterRecord* record = gFilterRecord;
  gFilterRecord = nullptr;
  EXPECT_TRUE(view.ImageRect().isEmpty());
  view.SetZoom(3);
  platform::automation::clearBeeps();
  view.ZoomToFit();
  EXPECT_EQ(platform::automation::beeps().size(), 1u) << "nothing to fit";
  view.InvalidateWindowRect({0, 0, 50, 50});
  EXPECT_FALSE(view.DrawIdle(platform::tickCount() + 100));
  EXPECT_FALSE(view.HasPendingWork());
  gFilterRecord = record;
}

TEST_F(ImageViewTest, TheFirstMaskViewMakesTheDocumentAndTheLastDeletesIt) {
  EXPECT_EQ(CMaskView::WorkDocument(), nullptr);
  CMaskView& first = openView();
  CWorkDocument* document = CMaskView::WorkDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(first.Document(), document);
  {
    CMaskView second;
    second.CreateView(frame(), {0, 0, 50, 50}, 2);
    EXPECT_EQ(second.Document(), document);
    second.destroy();
    EXPECT_EQ(CMaskView::WorkDocument(), document) << "one view still shows it";
  }
  closeView();
  EXPECT_EQ(CMaskView::WorkDocument(), nullptr);
}

TEST_F(ImageViewTest, ChangedImageAreasWaitInThePendingRegionUntilPainted) {
  CMaskView& view = openView();
  paintNow();
  displayCalls().clear();
  ASSERT_FALSE(view.HasPendingWork());
  CMaskView::WorkDocument()->InvalidateImageRect({10, 20, 30, 40});
  EXPECT_TRUE(view.HasPendingWork());
  EXPECT_EQ(view.PendingRegion().boundingBox(), (WRect{20, 10, 40, 30})) << "window rect of the image rect";
  EXPECT_TRUE(displayCalls().empty()) << "nothing is drawn before idle time or a paint";
  // The application's idle work reaches the view through the document.
  DocumentView* idle = CWorkDocument::Current()->FirstView();
  ASSERT_EQ(idle, static_cast<DocumentView*>(&view));
  EXPECT_TRUE(idle->HasPendingWork());
  EXPECT_FALSE(idle->DrawPendingUntil(platform::tickCount() + 500));
  EXPECT_FALSE(view.HasPendingWork());
  ASSERT_EQ(displayCalls().size(), 1u);
  const HostRect32 bounds = displayCalls()[0].bounds;
  EXPECT_EQ(bounds.left, 20);
  EXPECT_EQ(bounds.bottom, 30) << "the piece is cut to the pending area";
}

TEST_F(ImageViewTest, PaintingStopsAtTheDeadlineAndKeepsTheRestPending) {
  CMaskView& view = openView({300, 200});
  paintNow();
  displayCalls().clear();
  view.InvalidateWindowRect({0, 0, 300, 200});
  EXPECT_TRUE(view.DrawIdle(platform::tickCount())) << "a passed deadline still draws one piece";
  EXPECT_EQ(displayCalls().size(), 1u);
  EXPECT_TRUE(view.HasPendingWork());
  EXPECT_FALSE(view.PendingRegion().intersects({0, 0, 128, 128}));
  EXPECT_FALSE(view.DrawIdle(platform::tickCount() + 200));
  EXPECT_EQ(displayCalls().size(), 6u) << "3 x 2 pieces of 128 over 300 x 200";
}

// A display service that takes 60 milliseconds of virtual time per piece.
HostError slowDisplay(const HostPixelMap* map, const HostRect32* source, int32_t row, int32_t column, void* dc) {
  platform::automation::advanceTime(60);
  return display_testing::recordingDisplay(map, source, row, column, dc);
}

TEST_F(ImageViewTest, APaintDrawsForAtMostTwoHundredMillisecondsAndLeavesTheRestPending) {
  CMaskView& view = openView({300, 200});
  paintNow();
  record().displayPixels = slowDisplay;
  displayCalls().clear();
  view.invalidate(false);
  view.updateNow();
  EXPECT_EQ(displayCalls().size(), 4u) << "the fourth piece ends at 240 ms, past the 200 ms slice";
  EXPECT_TRUE(view.HasPendingWork());
  EXPECT_FALSE(view.DrawIdle(platform::tickCount() + 500));
  EXPECT_EQ(displayCalls().size(), 6u) << "idle time draws the rest";
}

TEST_F(ImageViewTest, APendingRegionOutsideTheImageDrawsNoPixels) {
  CMaskView& view = openView({400, 300});
  paintNow();
  displayCalls().clear();
  view.InvalidateWindowRect({-60, -60, -51, -51});
  EXPECT_FALSE(view.DrawIdle(platform::tickCount() + 200));
  EXPECT_FALSE(view.HasPendingWork());
  EXPECT_TRUE(displayCalls().empty());
}

// A view whose mouse-down handler throws what it is told to.
class ThrowingView : public CMaskView {
 public:
  std::function<void()> onMouseDown;

 protected:
  void MouseDown(WPoint, uint32_t) override { onMouseDown(); }
};

TEST_F(ImageViewTest, HandlerFailuresAreMappedAndReleaseTheCapture) {
  openView();
  ThrowingView view;
  view.CreateView(frame(), {0, 0, 100, 100}, 5);
  view.onMouseDown = [] { throw XCancel(TESSALY_HERE); };
  EXPECT_NO_THROW(view.send(platform::kWmLButtonDown, platform::kMkLButton, platform::makePointParam(5, 5)));
  EXPECT_EQ(platform::Window::capture(), nullptr) << "a cancel is swallowed after releasing the capture";
  view.onMouseDown = [] { throw XMemory(TESSALY_HERE); };
  EXPECT_THROW(view.send(platform::kWmLButtonDown, platform::kMkLButton, platform::makePointParam(5, 5)),
               platform::MemoryException);
  EXPECT_EQ(platform::Window::capture(), nullptr);
  view.onMouseDown = [] { throw XError(TESSALY_HERE); };
  EXPECT_THROW(view.send(platform::kWmLButtonDown, platform::kMkLButton, platform::makePointParam(5, 5)),
               platform::UserException);
  EXPECT_EQ(platform::Window::capture(), nullptr);
  view.destroy();
}

TEST_F(WideImageTest, GdiOriginKeepsTheLowFourteenBitsWithTheSign) {
  EXPECT_EQ(CImageView::Low14(20000), 20000 - 16384);
  EXPECT_EQ(CImageView::Low14(16384), 0);
  EXPECT_EQ(CImageView::Low14(-5), -5);
  EXPECT_EQ(CImageView::Low14(-20000), -(20000 - 16384));
  CMaskView& view = openView();
  view.SetZoom(20);
  view.ScrollTo({5000, 30, 5200, 180}, false);
  EXPECT_EQ(view.GdiOrigin(), (WPoint{5000, 30}));
  view.ScrollTo({17000, 30, 17200, 180}, false);
  EXPECT_EQ(view.GdiOrigin(), (WPoint{17000 - 16384, 30}));
  EXPECT_EQ(view.WindowBase(), (WPoint{16384, 0}));
  WPoint p{17000 / 20, 30 / 20};
  view.ImageToWindowPoint(p);
  EXPECT_EQ(view.WindowToClient(p), (WPoint{0, -10})) << "window minus GDI origin is the client point";
}

TEST_F(WideImageTest, MouseMessagesArriveInWindowCoordinatesWithTheAltBit) {
  struct Probe : CMaskView {
    WPoint point;
    uint32_t flags = 0;
    void MouseMove(WPoint p, uint32_t f) override { point = p, flags = f; }
  } probe;
  openView();
  probe.CreateView(frame(), {0, 0, 200, 150}, 6);
  probe.ScrollTo({17000, 0, 17200, 150}, false);
  platform::automation::keyDown(platform::kVkMenu);
  platform::automation::drainMessages();
  probe.send(platform::kWmMouseMove, platform::kMkShift, platform::makePointParam(3, 4));
  EXPECT_EQ(probe.point, (WPoint{3 + 17000 - 16384, 4 - 67})) << "16 rows centred in 150";
  EXPECT_EQ(probe.flags, platform::kMkShift | 0x40u);
  platform::automation::keyUp(platform::kVkMenu);
  platform::automation::drainMessages();
  probe.destroy();
}

}  // namespace
