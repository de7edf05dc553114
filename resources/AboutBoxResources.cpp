// The about box: dialog 129 and its picture, bitmap 222, which we draw here:
// a soft orange ball on a green ground, the kind of subject Tessaly cuts out.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/Resources.h"

namespace {

constexpr int kAboutDialog = 129;
constexpr int kAboutPicture = 222;
constexpr int kPictureWidth = 296;
constexpr int kPictureHeight = 150;

platform::Bitmap drawPicture() {
  std::vector<uint8_t> rgb(static_cast<size_t>(kPictureWidth * kPictureHeight * 3));
  const double cx = kPictureWidth / 2.0, cy = kPictureHeight / 2.0, radius = 56;
  for (int y = 0; y < kPictureHeight; ++y) {
    for (int x = 0; x < kPictureWidth; ++x) {
      const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      // Coverage of the ball with a soft two-pixel rim.
      const double ball = std::clamp((radius + 1 - d) / 2, 0.0, 1.0);
      const double stripe = 0.5 + 0.5 * std::sin((x + 2 * y) * 0.12);
      const double ground[3] = {60 + 30 * stripe, 140 + 40 * stripe, 60 + 20 * stripe};
      const double shade = 1 - 0.35 * (d / radius);
      const double fur[3] = {230 * shade, 100 * shade, 30 * shade};
      uint8_t* p = &rgb[static_cast<size_t>((y * kPictureWidth + x) * 3)];
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(ball * fur[c] + (1 - ball) * ground[c]);
    }
  }
  return platform::Bitmap::fromRgb24(kPictureWidth, kPictureHeight, rgb.data(), kPictureWidth * 3);
}

platform::DialogTemplate aboutDialog() {
  using platform::ControlKind;
  platform::DialogTemplate dialog;
  dialog.title = "About Tessaly";
  dialog.size = {320, 236};
  dialog.controls = {
      {ControlKind::kStaticText, "Tessaly 1.0, a masking plug-in by Corvane", -1, {12, 12, 308, 32}, false},
      {ControlKind::kDefaultPushButton, "OK", 1, {125, 200, 195, 224}, false},
  };
  return dialog;
}

const bool kRegistered = [] {
  platform::resources::registerBitmap(kAboutPicture, drawPicture());
  platform::resources::registerDialog(kAboutDialog, aboutDialog());
  return true;
}();

}  // namespace
