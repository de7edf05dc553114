#include "tools/EdgeFill.h"

#include <algorithm>
#include <memory>

#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "platform/Cursor.h"
#include "shell/Exceptions.h"
#include "tools/Fills.h"

namespace {
constexpr uint8_t kEdgeInside = 254;
}

// The block of P, its horizontal neighbour H, its vertical neighbour V and
// the diagonal D on the given sides: sum over channels of (H - V)^2 + (P - D)^2.
int32_t EdgeJudge::block(const uint8_t* p, int32_t horizontal, int32_t vertical) const {
  const uint8_t* h = p + horizontal;
  const uint8_t* v = p + vertical;
  const uint8_t* d = p + horizontal + vertical;
  int32_t sum = 0;
  for (int c = 0; c < channels_; ++c) {
    const int32_t cross1 = h[c] - v[c];
    const int32_t cross2 = p[c] - d[c];
    sum += cross1 * cross1 + cross2 * cross2;
  }
  return sum;
}

uint8_t EdgeJudge::judge(const uint8_t* pixel, int32_t rowStep, int32_t colStep, FillFrom from) {
  if (from == FillFrom::seed) return kEdgeInside;
  const int32_t leftUp = block(pixel, -colStep, -rowStep);
  const int32_t leftDown = block(pixel, -colStep, rowStep);
  const int32_t rightUp = block(pixel, colStep, -rowStep);
  const int32_t rightDown = block(pixel, colStep, rowStep);
  int32_t behind = 0, ahead = 0;
  switch (from) {
    case FillFrom::left:
      behind = std::min(leftUp, leftDown);
      ahead = std::min(rightUp, rightDown);
      break;
    case FillFrom::right:
      behind = std::min(rightUp, rightDown);
      ahead = std::min(leftUp, leftDown);
      break;
    case FillFrom::above:
      behind = std::min(leftUp, rightUp);
      ahead = std::min(leftDown, rightDown);
      break;
    case FillFrom::below:
      behind = std::min(leftDown, rightDown);
      ahead = std::min(leftUp, rightUp);
      break;
    case FillFrom::seed:
      break;
  }
  return behind > limit_ && behind > ahead ? 0 : kEdgeInside;
}

bool EdgeFill(CWorkDocument& document, Point at, bool keepMode, int lowerThreshold) {
  Image& working = *document.WorkingImage();
  if (!working.bounds().contains(at)) return false;
  platform::WaitCursor wait;
  const int channels = working.layout().bytesPerPixel;
  EdgeJudge judge(EdgeJudge::limitFor(lowerThreshold, channels), channels);
  auto regionMap = std::make_unique<BufferImage>(PixelLayout{1, 1}, working.bounds(), Point{128, 128}, 0);
  try {
    regionFill(working, *regionMap, at, judge);
  } catch (const XCancel&) {
    return false;
  }
  SetRegionToTarget(std::move(regionMap), document, fillTarget(keepMode));
  return true;
}
