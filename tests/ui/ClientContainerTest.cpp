// The work window's client area: where everything goes, and the display
// mode selector, the channel strip and the opacity slider driving the main
// view.
#include <gtest/gtest.h>

#include "platform/Automation.h"
#include "platform/Resources.h"
#include "platform/SystemMetrics.h"
#include "shell/PlugIn.h"
#include "tests/display/ViewTestSupport.h"
#include "ui/CClientContainer.h"
#include "tools/SliderValues.h"

namespace {

using platform::Point;
using platform::Rect;
using Button = CSelectorButtons::Button;

class ClientContainerTest : public display_testing::ViewFixture {
 protected:
  ClientContainerTest() {
    openView({600, 400});
    closeViewOnly();
    savedOpacity_ = OverlayOpacity().value();
    EXPECT_TRUE(container_.CreateIn(frame(), 0xE900));
  }
  ~ClientContainerTest() override {
    container_.destroy();
    OverlayOpacity().SetValue(savedOpacity_);
  }
  void closeViewOnly() { view_.reset(); }

  CMaskView& view() { return container_.MainView(); }
  static Point centre(const Rect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
  // Scripted pointer input, handled at once.
  static void down(platform::Window& w, Point p) {
    platform::automation::mouseDown(w, p);
    platform::automation::drainMessages();
  }
  static void move(platform::Window& w, Point p) {
    platform::automation::mouseMove(w, p);
    platform::automation::drainMessages();
  }
  static void up(platform::Window& w, Point p) {
    platform::automation::mouseUp(w, p);
    platform::automation::drainMessages();
  }

  CClientContainer container_;
  uint8_t savedOpacity_ = 255;
};

TEST_F(ClientContainerTest, TheLayoutFollowsTheScrollBarSizesAndTheStrip) {
  const int32_t c = platform::systemMetric(platform::kSmCxVScroll);
  const int32_t d = platform::systemMetric(platform::kSmCyHScroll);
  const auto l = CClientContainer::LayoutFor(600, 400, 4 * d);
  const int32_t y0 = 400 - d;
  EXPECT_EQ(l.view, (Rect{0, 0, 600 - c, y0}));
  EXPECT_EQ(l.opacity, (Rect{0, y0, 100, 400}));
  EXPECT_EQ(l.displayMode, (Rect{100, y0, 100 + 3 * c, 400}));
  EXPECT_EQ(l.horizontal, (Rect{100 + 3 * c, y0, 600 - c, 400}));
  EXPECT_EQ(l.sizeBox, (Rect{600 - c, y0, 600, 400}));
  EXPECT_EQ(l.strip, (Rect{600 - c, 0, 600, 4 * d}));
  EXPECT_EQ(l.vertical, (Rect{600 - c, 4 * d, 600, y0}));

  // The RGB document's strip: three channels and the composite.
  EXPECT_EQ(container_.ChannelStrip().ButtonCount(), 4u);
  EXPECT_EQ(container_.ChannelStrip().clientRect().height(), 4 * d);
}

TEST_F(ClientContainerTest, TheStripHasAButtonPerChannelAndTheCompositeLast) {
  const auto values = [](int16_t mode) {
    std::vector<std::pair<int, int32_t>> v;
    for (const Button& b : CClientContainer::ChannelButtons(mode)) v.push_back({b.iconId, b.value});
    return v;
  };
  using V = std::vector<std::pair<int, int32_t>>;
  EXPECT_EQ(values(kHostModeRGB), (V{{208, 1}, {210, 2}, {209, 3}, {204, 0}}));
  EXPECT_EQ(values(kHostModeCMYK), (V{{211, 1}, {212, 2}, {213, 3}, {214, 4}, {204, 0}}));
  EXPECT_EQ(values(kHostModeLab), (V{{232, 1}, {212, 2}, {213, 3}, {204, 0}}));
  EXPECT_TRUE(values(kHostModeGrayScale).empty());

  // Every button has its picture.
  for (int16_t mode : {kHostModeRGB, kHostModeCMYK, kHostModeLab})
    for (const Button& b : CClientContainer::ChannelButtons(mode))
      EXPECT_FALSE(platform::resources::loadIcon(b.iconId).isNull()) << "icon " << b.iconId;
  for (int id : {205, 206, 207}) EXPECT_FALSE(platform::resources::loadIcon(id).isNull()) << "icon " << id;
}

TEST_F(ClientContainerTest, SelectorsChooseOnAReleaseOverTheButtonPressed) {
  CSelectorButtons& modes = container_.DisplayModeSelector();
  ASSERT_EQ(modes.ButtonCount(), 3u);
  EXPECT_EQ(modes.Value(), 0);
  EXPECT_EQ(view().DisplayMode(), 0);

  // Pressed and dragged off: shown pressed only while over it; released
  // elsewhere, nothing changes.
  down(modes, centre(modes.ButtonRect(1)));
  EXPECT_TRUE(modes.ShowsPressed(1));
  EXPECT_EQ(platform::Window::capture(), &modes);
  move(modes, centre(modes.ButtonRect(2)));
  EXPECT_FALSE(modes.ShowsPressed(1));
  EXPECT_TRUE(modes.ShowsPressed(0)) << "the button that is down stays down";
  up(modes, centre(modes.ButtonRect(2)));
  EXPECT_EQ(modes.Value(), 0);
  EXPECT_EQ(view().DisplayMode(), 0);
  EXPECT_EQ(platform::Window::capture(), nullptr);

  // Released over the same button: the third shows the original coverage.
  down(modes, centre(modes.ButtonRect(2)));
  up(modes, centre(modes.ButtonRect(2)));
  EXPECT_EQ(modes.Value(), 2);
  EXPECT_EQ(view().DisplayMode(), 2);
  EXPECT_FALSE(modes.ShowsPressed(0));

  CSelectorButtons& strip = container_.ChannelStrip();
  down(strip, centre(strip.ButtonRect(1)));
  up(strip, centre(strip.ButtonRect(1)));
  EXPECT_EQ(view().ShownChannel(), 2) << "green";
  down(strip, centre(strip.ButtonRect(3)));
  up(strip, centre(strip.ButtonRect(3)));
  EXPECT_EQ(view().ShownChannel(), 0) << "the composite";
}

TEST_F(ClientContainerTest, TheOpacitySliderAndTheStoredValueFollowEachOther) {
  COpacitySlider& slider = container_.OpacitySlider();
  EXPECT_EQ(COpacitySlider::PercentText(255), "100%");
  EXPECT_EQ(COpacitySlider::PercentText(128), "50%");
  EXPECT_EQ(COpacitySlider::PercentText(2), "0%");

  // The track's ends give 0 and 255, and every value has a position that
  // gives it back.
  EXPECT_EQ(slider.ValueAt(0), 0);
  EXPECT_EQ(slider.ValueAt(1000), 255);
  for (int v = 0; v < 256; v += 17) EXPECT_NEAR(slider.ValueAt(slider.PositionOf(v)), v, 3);

  down(slider, {slider.PositionOf(0), 5});
  EXPECT_EQ(OverlayOpacity().value(), 0);
  EXPECT_EQ(view().OverlayOpacity(), 0) << "the main view shows the whole image";
  move(slider, {slider.PositionOf(128), 5});
  up(slider, {slider.PositionOf(128), 5});
  EXPECT_NEAR(OverlayOpacity().value(), 128, 3);
  EXPECT_EQ(view().OverlayOpacity(), OverlayOpacity().value());

  // A value set elsewhere (a workspace load) moves the slider.
  OverlayOpacity().SetValue(64);
  EXPECT_EQ(slider.Value(), 64);
  EXPECT_EQ(view().OverlayOpacity(), 64);
}

}  // namespace
