#include "platform/Bitmap.h"

#include <algorithm>

#include "platform/internal/BitmapImpl.h"
#include "platform/internal/FramebufferImpl.h"

namespace platform {

namespace {

// Null bitmaps share one empty image, so brushes and cursors without a
// picture cost no allocation.
const std::shared_ptr<Bitmap::Impl>& emptyImpl() {
  static const std::shared_ptr<Bitmap::Impl> empty = std::make_shared<Bitmap::Impl>();
  return empty;
}

}  // namespace

Bitmap::Bitmap() : impl_(emptyImpl()) {}
Bitmap::Bitmap(const Bitmap& other) = default;
Bitmap& Bitmap::operator=(const Bitmap& other) = default;
Bitmap::~Bitmap() = default;

Bitmap Bitmap::fromEncoded(const uint8_t* data, size_t size) {
  Bitmap b;
  if (data == nullptr || size == 0 || size > static_cast<size_t>(INT32_MAX)) return b;
  QImage image;
  if (!image.loadFromData(data, static_cast<int>(size))) return b;
  b.impl_ = std::make_shared<Impl>();
  b.impl_->image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return b;
}

Bitmap Bitmap::fromRgb24(int32_t width, int32_t height, const uint8_t* rgb, ptrdiff_t rowBytes) {
  Bitmap b;
  if (width <= 0 || height <= 0 || rgb == nullptr) return b;
  b.impl_ = std::make_shared<Impl>();
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* src = rgb + y * rowBytes;
    auto* dst = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int32_t x = 0; x < width; ++x, src += 3) dst[x] = toPixel(platform::rgb(src[0], src[1], src[2]));
  }
  b.impl_->image = std::move(image);
  return b;
}

Bitmap Bitmap::fromRgba32(int32_t width, int32_t height, const uint8_t* rgba, ptrdiff_t rowBytes) {
  Bitmap b;
  if (width <= 0 || height <= 0 || rgba == nullptr) return b;
  b.impl_ = std::make_shared<Impl>();
  QImage image(width, height, QImage::Format_ARGB32);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* src = rgba + y * rowBytes;
    auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int32_t x = 0; x < width; ++x, src += 4) dst[x] = qRgba(src[0], src[1], src[2], src[3]);
  }
  b.impl_->image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return b;
}

Bitmap Bitmap::monochrome(int32_t width, int32_t height, const uint8_t* rows) {
  Bitmap b;
  if (width <= 0 || height <= 0 || width > 8 || height > 8 || rows == nullptr) return b;
  b.impl_ = std::make_shared<Impl>();
  b.impl_->monochrome = true;
  b.impl_->monoWidth = width;
  b.impl_->monoHeight = height;
  std::copy(rows, rows + height, b.impl_->rows.begin());
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      image.setPixel(x, y, (rows[y] >> (7 - x)) & 1 ? 0xffffffffu : 0xff000000u);
  b.impl_->image = std::move(image);
  return b;
}

bool Bitmap::isNull() const { return impl_->image.isNull(); }
bool Bitmap::isMonochrome() const { return impl_->monochrome; }
int32_t Bitmap::width() const { return impl_->image.width(); }
int32_t Bitmap::height() const { return impl_->image.height(); }

Colour Bitmap::pixel(int32_t x, int32_t y) const {
  if (!impl_->image.rect().contains(x, y)) return 0;
  return fromPixel(impl_->image.pixel(x, y));
}

bool Bitmap::monochromeBit(int32_t x, int32_t y) const {
  if (!impl_->monochrome || x < 0 || y < 0 || x >= impl_->monoWidth || y >= impl_->monoHeight) return false;
  return (impl_->rows[static_cast<size_t>(y)] >> (7 - x)) & 1;
}

}  // namespace platform
