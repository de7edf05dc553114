#include "platform/DeviceContext.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/internal/Backend.h"
#include "platform/internal/BitmapImpl.h"
#include "platform/internal/FramebufferImpl.h"
#include "platform/internal/RegionImpl.h"
#include "platform/internal/SystemColourValues.h"
#include "platform/SimdLevel.h"

#if defined(TESSALY_X86)
#include <tmmintrin.h>
#endif

namespace platform {
namespace {

uint32_t* row(QImage& image, int32_t y) { return reinterpret_cast<uint32_t*>(image.scanLine(y)); }

QString toQt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QFont qtFont(const Font& font) {
  QFont f = font.face.empty() ? QFont() : QFont(QString::fromStdString(font.face));
  f.setPixelSize(std::max(font.height, 1));
  f.setBold(font.bold);
  // Unsmoothed glyphs keep inverted text and screenshots exact.
  f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

// The pixels of an ellipse inscribed in a rectangle: for each row the span
// of pixels whose centres lie inside it.
struct EllipseRows {
  int32_t top = 0;
  std::vector<std::pair<int32_t, int32_t>> spans;  // [first, last]; first > last: none

  explicit EllipseRows(const Rect& r) : top(r.top) {
    const double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    const double rx = r.width() / 2.0, ry = r.height() / 2.0;
    for (int32_t y = r.top; y < r.bottom; ++y) {
      const double dy = (y + 0.5 - cy) / ry;
      const double half = dy * dy <= 1.0 ? rx * std::sqrt(1.0 - dy * dy) : -1.0;
      int32_t first = static_cast<int32_t>(std::ceil(cx - half - 0.5));
      int32_t last = static_cast<int32_t>(std::floor(cx + half - 0.5));
      if (half < 0) first = 1, last = 0;
      spans.emplace_back(first, last);
    }
    // Thin ellipses still get their end rows.
    if (!spans.empty()) {
      const int32_t mid = static_cast<int32_t>(std::floor(cx));
      for (auto* s : {&spans.front(), &spans.back()})
        if (s->first > s->second) *s = {mid, mid};
    }
  }
  std::pair<int32_t, int32_t> at(size_t i) const {
    return i < spans.size() ? spans[i] : std::pair<int32_t, int32_t>{1, 0};
  }
};

}  // namespace

DeviceContext::DeviceContext(Framebuffer& target) : target_(&target) { updateClip(); }

DeviceContext::~DeviceContext() = default;

Point DeviceContext::setViewportOrigin(Point origin) { return std::exchange(origin_, origin); }
int DeviceContext::setRop2(int rop) { return std::exchange(rop2_, rop == kR2Not ? kR2Not : kR2CopyPen); }
Pen DeviceContext::setPen(const Pen& pen) { return std::exchange(pen_, pen); }
Brush DeviceContext::setBrush(const Brush& brush) { return std::exchange(brush_, brush); }
Colour DeviceContext::setTextColour(Colour colour) { return std::exchange(textColour_, colour); }
Colour DeviceContext::setBkColour(Colour colour) { return std::exchange(bkColour_, colour); }
int DeviceContext::setBkMode(int mode) { return std::exchange(bkMode_, mode); }
Font DeviceContext::setFont(const Font& font) { return std::exchange(font_, font); }

// ---- Clipping ----

void DeviceContext::setSystemClip(const Region* clip) {
  systemClip_ = clip ? std::make_unique<Region>(*clip) : nullptr;
  updateClip();
}

void DeviceContext::updateClip() {
  effectiveClip_.setRect(target_->bounds());
  if (systemClip_) effectiveClip_.intersect(*systemClip_);
  if (userClip_) effectiveClip_.intersect(*userClip_);
}

RegionKind DeviceContext::selectClipRegion(const Region* clip) {
  userClip_ = clip ? std::make_unique<Region>(*clip) : nullptr;
  updateClip();
  return effectiveClip_.kind();
}

RegionKind DeviceContext::intersectClipRect(const Rect& logical) {
  const Rect device = logical.offsetBy(origin_.x, origin_.y);
  if (!userClip_) userClip_ = std::make_unique<Region>(target_->bounds());
  if (userClip_->intersect(device) == kRegionError) return kRegionError;
  updateClip();
  return effectiveClip_.kind();
}

RegionKind DeviceContext::excludeClipRect(const Rect& logical) {
  const Rect device = logical.offsetBy(origin_.x, origin_.y);
  if (!userClip_) userClip_ = std::make_unique<Region>(target_->bounds());
  if (userClip_->subtract(device) == kRegionError) return kRegionError;
  updateClip();
  return effectiveClip_.kind();
}

Rect DeviceContext::clipBox() const {
  const Rect box = effectiveClip_.boundingBox();
  return box.isEmpty() ? Rect{} : box.offsetBy(-origin_.x, -origin_.y);
}

bool DeviceContext::isVisible(Point logical) const {
  return effectiveClip_.contains({logical.x + origin_.x, logical.y + origin_.y});
}

template <typename Plot>
void DeviceContext::forEachClipRect(const Rect& device, Plot plot) {
  // The framebuffer may have been resized since the clip was computed (a
  // window sized while a context is open): never reach past its pixels.
  auto& impl = target_->impl();
  const Rect area = device.intersected(target_->bounds());
  if (area.isEmpty()) return;
  const QRegion& clip = effectiveClip_.impl().region;
  for (const QRect& c : clip) {
    const Rect r = fromQRect(c).intersected(area);
    if (r.isEmpty()) continue;
    plot(r);
    impl.markDirty(toQRect(r));
  }
}

// ---- Pixel primitives (device coordinates) ----

void DeviceContext::plot(int32_t x, int32_t y, Colour colour, int rop) {
  if (!effectiveClip_.contains({x, y}) || !target_->bounds().contains({x, y})) return;
  auto& impl = target_->impl();
  uint32_t& p = row(impl.image, y)[x];
  p = rop == kR2Not ? (~p | 0xff000000u) : toPixel(colour);
  impl.markDirty(QRect(x, y, 1, 1));
}

void DeviceContext::plotSpan(int32_t y, int32_t x0, int32_t x1, Colour colour, int rop) {
  plotBrushSpan(y, x0, x1, Brush::solid(colour), rop);
}

void DeviceContext::plotBrushSpan(int32_t y, int32_t x0, int32_t x1, const Brush& brush, int rop) {
  if (brush.kind == Brush::kNull || x1 < x0) return;
  QImage& image = target_->impl().image;
  const uint32_t solid = toPixel(brush.colour);
  const uint32_t fore = toPixel(textColour_), back = toPixel(bkColour_);
  const Bitmap& pattern = brush.pattern;
  const bool patterned = brush.kind == Brush::kPattern && !pattern.isNull();
  forEachClipRect({x0, y, x1 + 1, y + 1}, [&](const Rect& r) {
    uint32_t* line = row(image, y);
    for (int32_t x = r.left; x < r.right; ++x) {
      if (rop == kR2Not) {
        line[x] = ~line[x] | 0xff000000u;
      } else if (patterned) {
        const bool set = pattern.isMonochrome()
                             ? pattern.monochromeBit(x % pattern.width(), y % pattern.height())
                             : (pattern.pixel(x % pattern.width(), y % pattern.height()) & 0xffffff) != 0;
        line[x] = set ? back : fore;
      } else {
        line[x] = solid;
      }
    }
  });
}

// ---- Lines and figures ----

Point DeviceContext::moveTo(Point logical) { return std::exchange(position_, logical); }

void DeviceContext::lineTo(Point logical) {
  const Point from = position_;
  position_ = logical;
  if (pen_.style == kPenNull) return;
  int32_t x = from.x + origin_.x, y = from.y + origin_.y;
  const int32_t x1 = logical.x + origin_.x, y1 = logical.y + origin_.y;
  const int32_t dx = std::abs(x1 - x), dy = -std::abs(y1 - y);
  const int32_t sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
  int64_t err = static_cast<int64_t>(dx) + dy;
  while (x != x1 || y != y1) {
    plot(x, y, pen_.colour, rop2_);
    const int64_t e2 = 2 * err;
    if (e2 >= dy) err += dy, x += sx;
    if (e2 <= dx) err += dx, y += sy;
  }
}

void DeviceContext::rectangle(const Rect& logical) {
  const Rect d = logical.offsetBy(origin_.x, origin_.y);
  if (d.isEmpty()) return;
  if (pen_.style == kPenNull) {
    for (int32_t y = d.top; y < d.bottom - 1; ++y) plotBrushSpan(y, d.left, d.right - 2, brush_, rop2_);
    return;
  }
  const int32_t l = d.left, t = d.top, r = d.right - 1, b = d.bottom - 1;
  plotSpan(t, l, r, pen_.colour, rop2_);
  if (b != t) plotSpan(b, l, r, pen_.colour, rop2_);
  for (int32_t y = t + 1; y < b; ++y) {
    plot(l, y, pen_.colour, rop2_);
    if (r != l) plot(r, y, pen_.colour, rop2_);
    plotBrushSpan(y, l + 1, r - 1, brush_, rop2_);
  }
}

void DeviceContext::ellipse(const Rect& logical) {
  const Rect d = logical.offsetBy(origin_.x, origin_.y);
  if (d.isEmpty()) return;
  const EllipseRows rows(d);
  const bool outlined = pen_.style != kPenNull;
  for (size_t i = 0; i < rows.spans.size(); ++i) {
    const int32_t y = d.top + static_cast<int32_t>(i);
    const auto [first, last] = rows.spans[i];
    if (first > last) continue;
    if (!outlined) {
      plotBrushSpan(y, first, last, brush_, rop2_);
      continue;
    }
    // A pixel lies on the outline when a 4-neighbour is outside; the rest
    // is the inside, so no pixel is drawn twice.
    const auto above = i == 0 ? std::pair<int32_t, int32_t>{1, 0} : rows.at(i - 1);
    const auto below = rows.at(i + 1);
    int32_t innerFirst = std::max({first + 1, above.first, below.first});
    int32_t innerLast = std::min({last - 1, above.second, below.second});
    if (above.first > above.second || below.first > below.second) innerFirst = 1, innerLast = 0;
    if (innerFirst > innerLast) {
      plotSpan(y, first, last, pen_.colour, rop2_);
      continue;
    }
    plotSpan(y, first, innerFirst - 1, pen_.colour, rop2_);
    plotBrushSpan(y, innerFirst, innerLast, brush_, rop2_);
    plotSpan(y, innerLast + 1, last, pen_.colour, rop2_);
  }
}

// ---- Fills ----

void DeviceContext::fillRect(const Rect& logical, const Brush& brush) {
  const Rect d = logical.offsetBy(origin_.x, origin_.y);
  for (int32_t y = d.top; y < d.bottom; ++y) plotBrushSpan(y, d.left, d.right - 1, brush, kR2CopyPen);
}

void DeviceContext::frameRect(const Rect& logical, const Brush& brush) {
  const Rect d = logical.offsetBy(origin_.x, origin_.y);
  if (d.isEmpty()) return;
  plotBrushSpan(d.top, d.left, d.right - 1, brush, kR2CopyPen);
  if (d.height() > 1) plotBrushSpan(d.bottom - 1, d.left, d.right - 1, brush, kR2CopyPen);
  for (int32_t y = d.top + 1; y < d.bottom - 1; ++y) {
    plotBrushSpan(y, d.left, d.left, brush, kR2CopyPen);
    if (d.width() > 1) plotBrushSpan(y, d.right - 1, d.right - 1, brush, kR2CopyPen);
  }
}

void DeviceContext::invertRect(const Rect& logical) {
  const Rect d = logical.offsetBy(origin_.x, origin_.y);
  for (int32_t y = d.top; y < d.bottom; ++y) plotBrushSpan(y, d.left, d.right - 1, Brush::solid(0), kR2Not);
}

void DeviceContext::drawEdge(const Rect& logical, EdgeKind edge) {
  const bool raised = edge == kEdgeRaised;
  const Colour outerLight = raised ? colours::kLight : colours::kShadow;
  const Colour outerDark = raised ? colours::kDarkShadow : colours::kHighlight;
  const Colour innerLight = raised ? colours::kHighlight : colours::kDarkShadow;
  const Colour innerDark = raised ? colours::kShadow : colours::kLight;
  auto frame = [&](const Rect& r, Colour light, Colour dark) {
    if (r.isEmpty()) return;
    fillRect({r.left, r.top, r.right - 1, r.top + 1}, Brush::solid(light));
    fillRect({r.left, r.top + 1, r.left + 1, r.bottom - 1}, Brush::solid(light));
    fillRect({r.left, r.bottom - 1, r.right, r.bottom}, Brush::solid(dark));
    fillRect({r.right - 1, r.top, r.right, r.bottom - 1}, Brush::solid(dark));
  };
  frame(logical, outerLight, outerDark);
  frame({logical.left + 1, logical.top + 1, logical.right - 1, logical.bottom - 1}, innerLight, innerDark);
}

// ---- Pixels ----

void DeviceContext::setPixel(Point logical, Colour colour) {
  plot(logical.x + origin_.x, logical.y + origin_.y, colour, kR2CopyPen);
}

Colour DeviceContext::pixel(Point logical) const {
  return target_->pixel(logical.x + origin_.x, logical.y + origin_.y);
}

namespace {

void rgbRowPortable(const uint8_t* src, uint32_t* dst, int32_t count) {
  for (; count > 0; --count, src += 3)
    *dst++ = 0xff000000u | (static_cast<uint32_t>(src[0]) << 16) | (static_cast<uint32_t>(src[1]) << 8) | src[2];
}

#if defined(TESSALY_X86)
// Four pixels at a time: twelve bytes R, G, B become four words 0xffRRGGBB
// in one byte shuffle (SSSE3, which the avx2 level has). A load takes
// sixteen bytes, so the last pixels that would read past the row go the
// portable way. bench_platform SetPixelsRgb24_1024_vs_memcpy.
__attribute__((target("ssse3"))) void rgbRowSsse3(const uint8_t* src, uint32_t* dst, int32_t count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, -128, 5, 4, 3, -128, 8, 7, 6, -128, 11, 10, 9, -128);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xff000000u));
  for (; count >= 6; count -= 4, src += 12, dst += 4) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(_mm_shuffle_epi8(pixels, order), opaque));
  }
  rgbRowPortable(src, dst, count);
}
#endif

void rgbRow(SimdLevel level, const uint8_t* src, uint32_t* dst, int32_t count) {
#if defined(TESSALY_X86)
  if (level >= SimdLevel::avx2) return rgbRowSsse3(src, dst, count);
#endif
  (void)level;
  rgbRowPortable(src, dst, count);
}

}  // namespace

void DeviceContext::setPixelsRgb24(const Rect& logical, const uint8_t* rgb, ptrdiff_t rowBytes) {
  if (rgb == nullptr) return;
  const Rect d = logical.offsetBy(origin_.x, origin_.y);
  QImage& image = target_->impl().image;
  // One detach for the whole block: scanLine would check for one every row.
  uchar* bits = image.bits();
  const qsizetype bytesPerLine = image.bytesPerLine();
  const SimdLevel level = simdLevel();
  forEachClipRect(d, [&](const Rect& r) {
    for (int32_t y = r.top; y < r.bottom; ++y)
      rgbRow(level, rgb + (y - d.top) * rowBytes + (r.left - d.left) * 3,
             reinterpret_cast<uint32_t*>(bits + y * bytesPerLine) + r.left, r.width());
  });
}

void DeviceContext::drawBitmap(Point logical, const Bitmap& bitmap) {
  if (bitmap.isNull()) return;
  const Rect d{logical.x + origin_.x, logical.y + origin_.y, logical.x + origin_.x + bitmap.width(),
               logical.y + origin_.y + bitmap.height()};
  const QImage& source = bitmap.impl().image;
  QImage& image = target_->impl().image;
  forEachClipRect(d, [&](const Rect& r) {
    for (int32_t y = r.top; y < r.bottom; ++y) {
      const auto* src = reinterpret_cast<const uint32_t*>(source.constScanLine(y - d.top)) + (r.left - d.left);
      uint32_t* dst = row(image, y) + r.left;
      for (int32_t n = r.width(); n > 0; --n) *dst++ = *src++ | 0xff000000u;
    }
  });
}

void DeviceContext::drawIcon(Point logical, const Icon& icon) {
  if (icon.isNull()) return;
  const Rect d{logical.x + origin_.x, logical.y + origin_.y, logical.x + origin_.x + icon.width(),
               logical.y + origin_.y + icon.height()};
  QPainter painter(&target_->impl().image);
  painter.setClipRegion(effectiveClip_.impl().region);
  painter.drawImage(d.left, d.top, icon.impl().image);
  target_->impl().markDirty(toQRect(d));
}

void DeviceContext::copyFrom(const Rect& logicalDest, const DeviceContext& source, Point sourceLogical) {
  const Rect d = logicalDest.offsetBy(origin_.x, origin_.y);
  const int32_t sx = sourceLogical.x + source.origin_.x - d.left, sy = sourceLogical.y + source.origin_.y - d.top;
  const QImage src = source.target_->impl().image;  // shares; a copy only when copying onto itself
  QImage& image = target_->impl().image;
  const Rect available = Rect{0, 0, src.width(), src.height()}.offsetBy(-sx, -sy);
  forEachClipRect(d.intersected(available), [&](const Rect& r) {
    for (int32_t y = r.top; y < r.bottom; ++y) {
      const auto* from = reinterpret_cast<const uint32_t*>(src.constScanLine(y + sy)) + r.left + sx;
      std::copy(from, from + r.width(), row(image, y) + r.left);
    }
  });
}

// ---- Text ----

Size DeviceContext::textExtent(std::string_view utf8) const {
  backend::ensureApplication();
  const QFontMetrics metrics(qtFont(font_));
  return {metrics.horizontalAdvance(toQt(utf8)), metrics.height()};
}

void DeviceContext::textOut(Point logical, std::string_view utf8) {
  const Size extent = textExtent(utf8);
  const Point d{logical.x + origin_.x, logical.y + origin_.y};
  drawText(Rect{d.x, d.y, d.x + extent.cx, d.y + extent.cy}, utf8, kDtLeft | kDtSingleLine, true);
}

void DeviceContext::drawText(const Rect& logical, std::string_view utf8, unsigned format) {
  drawText(logical.offsetBy(origin_.x, origin_.y), utf8, format, false);
}

void DeviceContext::drawText(const Rect& device, std::string_view utf8, unsigned format, bool atPoint) {
  backend::ensureApplication();
  QImage& image = target_->impl().image;
  QPainter painter(&image);
  painter.setClipRegion(effectiveClip_.impl().region);
  const QFont font = qtFont(font_);
  painter.setFont(font);
  painter.setPen(QColor(redOf(textColour_), greenOf(textColour_), blueOf(textColour_)));
  const QString text = toQt(utf8);
  QRect box = toQRect(device);
  const bool rotated = font_.escapement != 0;
  if (rotated) {
    // The cell's top-left corner stays at the point; the text runs along
    // the escapement.
    painter.translate(device.left, atPoint ? device.top : device.bottom);
    painter.rotate(-font_.escapement / 10.0);
    box = atPoint ? QRect(0, 0, device.width(), device.height()) : QRect(0, 0, device.height(), device.width());
  }
  int flags = format & kDtCenter ? Qt::AlignHCenter : format & kDtRight ? Qt::AlignRight : Qt::AlignLeft;
  flags |= format & kDtVCenter ? Qt::AlignVCenter : format & kDtBottom ? Qt::AlignBottom : Qt::AlignTop;
  if (!(format & kDtSingleLine)) flags |= Qt::TextWordWrap;
  if (!(format & kDtNoPrefix)) flags |= Qt::TextShowMnemonic;
  const QRect used = painter.boundingRect(box, flags, text);
  if (bkMode_ == kBkOpaque)
    painter.fillRect(atPoint ? box : used, QColor(redOf(bkColour_), greenOf(bkColour_), blueOf(bkColour_)));
  painter.drawText(box, flags, text);
  const QRect touched = painter.transform().mapRect(atPoint ? box : used.united(box));
  target_->impl().markDirty(touched);
}

}  // namespace platform
