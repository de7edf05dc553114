#include "tools/ClosedPathFill.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "display/CWorkDocument.h"
#include "image/BufferImage.h"
#include "image/OfflineImage.h"
#include "tools/Fills.h"
#include "tools/MaskEdit.h"
#include "tools/PathEditCommands.h"
#include "tools/PolygonCoverage.h"

namespace {

// The polygon's box rounded outwards, widened by every pixel the blur can
// reach, and clipped to the image.
Rect fillBox(const std::vector<BezierPoint>& polygon, double softness, const Rect& image) {
  double top = polygon[0].y, left = polygon[0].x, bottom = top, right = left;
  for (const BezierPoint& p : polygon) {
    top = std::min(top, p.y);
    left = std::min(left, p.x);
    bottom = std::max(bottom, p.y);
    right = std::max(right, p.x);
  }
  const double reach = GaussianRadius(softness) + 1;
  const auto clampToImage = [](double v) { return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0)); };
  const Rect box{clampToImage(std::floor(top) - reach), clampToImage(std::floor(left) - reach),
                 clampToImage(std::ceil(bottom) + reach), clampToImage(std::ceil(right) + reach)};
  return box.intersection(image);
}

}  // namespace

bool FillClosedPath(CWorkDocument& document, bool keepMode, double softness) {
  CBezierPath& path = document.Path();
  const std::vector<BezierPoint> polygon = path.Flatten();
  if (polygon.size() < 3 || std::abs(PolygonArea(polygon)) < 1e-9) return false;
  Image& mask = *document.MaskImage();
  const Rect box = fillBox(polygon, softness, mask.bounds());
  if (box.empty()) return false;

  auto coverage = std::make_unique<BufferImage>(PixelLayout{1, 1}, box, Point{128, 128}, 0);
  ScanConvertPolygon(polygon, box, *coverage);
  coverage->GaussianBlur(box, softness);
  ApplyStrokeToTarget(*coverage, document, fillTarget(keepMode));

  CBezierPath taken;
  path.SwapWith(document.PathView(), taken);
  document.PushCommand(std::make_unique<PathFilledCommand>(std::move(coverage), std::move(taken)));
  return true;
}
