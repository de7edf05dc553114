// Drawing the image and the mask: piece plans, what reaches the host's
// display service on both paths, display modes, and the bands' failures.
#include <gtest/gtest.h>

#include "platform/Time.h"
#include "shell/ErrorRecord.h"
#include "shell/Exceptions.h"
#include "tests/display/ViewTestSupport.h"

using display_testing::DisplayCall;
using display_testing::displayCalls;
using display_testing::ViewFixture;

namespace {

class DrawPendingTest : public ViewFixture {
 protected:
  // Draws the whole view afresh and answers the display calls it made.
  const std::vector<DisplayCall>& drawAll(CMaskView& view) {
    displayCalls().clear();
    platform::Region all(view.VisibleWindowRect());
    view.DrawPending(all, platform::tickCount() + 1000);
    EXPECT_TRUE(all.isEmpty());
    return displayCalls();
  }
  static int32_t width(const DisplayCall& call) { return call.bounds.right - call.bounds.left; }
  static int32_t height(const DisplayCall& call) { return call.bounds.bottom - call.bounds.top; }
};

TEST_F(DrawPendingTest, PiecePlansCapPiecesAt256WindowPixelsAndReducedPiecesAt32) {
  auto plan = [](double z) {
    const CMaskView::PiecePlan p = CMaskView::PlanFor(z);
    return std::vector<int32_t>{p.reducing, p.factor, p.size};
  };
  EXPECT_EQ(plan(1.0), (std::vector<int32_t>{0, 1, 128}));
  EXPECT_EQ(plan(3.0), (std::vector<int32_t>{0, 3, 85}));
  EXPECT_EQ(plan(20.0), (std::vector<int32_t>{0, 20, 12}));
  EXPECT_EQ(plan(0.995), (std::vector<int32_t>{0, 1, 128})) << "just under 1 still magnifies";
  EXPECT_EQ(plan(0.25), (std::vector<int32_t>{1, 4, 64}));
  EXPECT_EQ(plan(1.0 / 16), (std::vector<int32_t>{1, 16, 32})) << "256 / 16 = 16 is raised to 32";
}

TEST_F(DrawPendingTest, AtOneToOneTheImageBytesReachTheHostUnchangedWithTheMask) {
  CMaskView& view = openView({200, 150});
  const auto& calls = drawAll(view);
  ASSERT_EQ(calls.size(), 4u) << "128-pixel pieces over 200 x 150";
  const DisplayCall& first = calls[0];
  EXPECT_EQ(width(first), 128);
  EXPECT_EQ(height(first), 128);
  EXPECT_EQ(first.imageMode, 3);
  EXPECT_EQ(first.colBytes, 3);
  ASSERT_TRUE(first.masked);
  for (int v : {0, 64, 127})
    for (int h : {0, 77, 127}) {
      for (int c = 0; c < 3; ++c)
        EXPECT_EQ(first.pixels[(v * 128 + h) * 3 + c], colourValue(c, v, h)) << v << "," << h << " channel " << c;
      EXPECT_EQ(first.coverage[v * 128 + h], coverageValue(v, h)) << v << "," << h;
    }
}

TEST_F(DrawPendingTest, AnAlphaChannelTargetStillShowsTheColourImage) {
  host().setStreamPlanes({3});  // the streams hold the target alone
  CMaskView& view = openView({128, 128});
  const auto& calls = drawAll(view);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].pixels[(40 * 128 + 90) * 3 + 2], colourValue(2, 40, 90)) << "read by absolute plane numbers";
  EXPECT_EQ(calls[0].coverage[40 * 128 + 90], coverageValue(40, 90)) << "the mask is the output's last plane";
}

TEST_F(DrawPendingTest, AtZoomThreeEachImagePixelBecomesThreeByThree) {
  CMaskView& view = openView({300, 200});
  view.SetZoom(3);
  view.ScrollTo({0, 0, 300, 200}, false);
  const auto& calls = drawAll(view);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(width(calls[0]), 255) << "85 image pixels";
  EXPECT_EQ(height(calls[0]), 201) << "the partly visible 67th row is drawn too";
  const DisplayCall& c = calls[0];
  for (int x : {0, 1, 2, 3, 254}) EXPECT_EQ(c.pixels[x * 3], colourValue(0, 0, x / 3)) << x;
  EXPECT_EQ(c.coverage[100 * 255 + 100], coverageValue(33, 33));
}

TEST_F(DrawPendingTest, ReducingAsksTheHostForEveryNthPixelAndThinsTheOutputItself) {
  CMaskView& view = openView({300, 200});
  view.SetZoom(1.0 / 4);
  const auto& calls = drawAll(view);
  ASSERT_EQ(calls.size(), 2u) << "75 x 50 reduced pixels in pieces of 64";
  EXPECT_EQ(width(calls[0]), 64);
  EXPECT_EQ(height(calls[0]), 50);
  const DisplayCall& c = calls[0];
  EXPECT_EQ(c.pixels[(10 * 64 + 20) * 3], colourValue(0, 40, 80));
  EXPECT_EQ(c.coverage[25 * 64 + 37], coverageValue(100, 148));
  bool reducedInput = false, fullOutput = false;
  for (const auto& call : host().advanceCalls()) {
    reducedInput |= call.inputRate == (4 << 16) && call.in.bottom > call.in.top;
    fullOutput |= call.outLo == 3 && call.out.right - call.out.left == 256 && call.out.bottom - call.out.top > 190;
  }
  EXPECT_TRUE(reducedInput) << "the input is reduced by the host";
  EXPECT_TRUE(fullOutput) << "the output plane is fetched whole";
}

TEST_F(DrawPendingTest, GreyMaskModeShowsTheCoverageAsAGreyImage) {
  CMaskView& view = openView({200, 150});
  view.SetDisplayMode(1);
  record().inRect = HostRect{0, 0, 0, 0};
  const auto& calls = drawAll(view);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].imageMode, 1);
  EXPECT_FALSE(calls[0].masked);
  EXPECT_EQ(calls[0].colBytes, 1);
  EXPECT_EQ(calls[0].pixels[100 * 128 + 100], coverageValue(100, 100));
  for (const auto& call : host().advanceCalls())
    EXPECT_EQ(call.in.bottom, call.in.top) << "no colour image is fetched in grey-mask mode";

  view.SetDisplayMode(2);
  host().queueAdvanceResults({});
  drawAll(view);
  bool original = false;
  for (const auto& call : host().advanceCalls()) original |= call.inLo == 3 && call.in.bottom > call.in.top;
  EXPECT_TRUE(original) << "mode 2 shows the input's last plane";
}

TEST_F(DrawPendingTest, ASingleChannelIsShownAsGreyWithTheMask) {
  CMaskView& view = openView({200, 150});
  view.SetShownChannel(2);
  const auto& calls = drawAll(view);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].imageMode, 1);
  EXPECT_TRUE(calls[0].masked);
  EXPECT_EQ(calls[0].pixels[50 * 128 + 70], colourValue(1, 50, 70));
}

TEST_F(DrawPendingTest, OverlayOpacityScalesWhatTheMaskHides) {
  CMaskView& view = openView({200, 150});
  view.SetOverlayOpacity(0);
  EXPECT_EQ(drawAll(view)[0].coverage[0], 255) << "opacity 0 shows the whole image";
  view.SetOverlayOpacity(128);
  const uint8_t c = coverageValue(0, 0);
  EXPECT_EQ(drawAll(view)[0].coverage[0], 255 - ((255 - c) * 128 + 127) / 255);
}

TEST_F(DrawPendingTest, AHostThatCannotDeliverGetsHalfTheBand) {
  CMaskView& view = openView({128, 128});
  host().queueAdvanceResults({kHostInsufficient});
  const auto& calls = drawAll(view);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(height(calls[0]), 64);
  EXPECT_EQ(calls[1].bounds.top, 64);
  EXPECT_EQ(height(calls[1]), 64);
}

TEST_F(DrawPendingTest, AHostShortOfMemoryIsAskedForBandsItCanDeliver) {
  CMaskView& view = openView({128, 128});
  record().inRect = record().outRect = record().maskRect = HostRect{0, 0, 0, 0};
  const int32_t limit = 128 * 50 * 3;
  host().setBufferLimit(limit);
  const auto& calls = drawAll(view);
  EXPECT_GT(calls.size(), 2u) << "128 rows of RGB need more than the host has; 64 too";
  int32_t rows = 0;
  for (const DisplayCall& call : calls) {
    EXPECT_LE(height(call) * 128 * 3, limit);
    rows += height(call);
  }
  EXPECT_EQ(rows, 128) << "every row is drawn";
  EXPECT_FALSE(errorPending()) << "the memory records of the refused bands are discarded";
}

TEST_F(DrawPendingTest, ACancelInTheHostAsksForTheSameBandAgainButNotForever) {
  CMaskView& view = openView({128, 128});
  host().queueAdvanceResults({kHostUserCancelled, kHostUserCancelled});
  const auto& calls = drawAll(view);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(height(calls[0]), 128);

  host().queueAdvanceResults(std::vector<HostError>(8, kHostUserCancelled));
  platform::Region all(view.VisibleWindowRect());
  EXPECT_THROW(view.DrawPending(all, platform::tickCount() + 1000), XCancel);
  EXPECT_FALSE(all.isEmpty()) << "the band stays pending";
}

TEST_F(DrawPendingTest, ChangingTheDisplayStateRepaintsTheView) {
  CMaskView& view = openView({200, 150});
  paintNow();
  displayCalls().clear();
  view.SetGreyMidpoint(90);
  view.SetDisplayMode(1);
  paintNow();
  ASSERT_EQ(displayCalls().size(), 4u);
  const uint8_t c = coverageValue(100, 100);
  const int expected = c <= 90 ? c * 128 / 90 : 128 + (c - 90) * 127 / 165;
  EXPECT_EQ(displayCalls()[3].pixels.size(), 72u * 22u);
  EXPECT_EQ(displayCalls()[0].pixels[100 * 128 + 100], expected) << "the grey curve's midpoint";
}

}  // namespace
