#include "platform/Framebuffer.h"

#include <QPainter>

#include "platform/internal/FramebufferImpl.h"
#include "platform/internal/RegionImpl.h"

namespace platform {
namespace {

QImage blankImage(int32_t width, int32_t height, Colour fill) {
  QImage image(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
  image.fill(toPixel(fill));
  return image;
}

}  // namespace

Framebuffer::Framebuffer() : impl_(std::make_unique<Impl>()) { impl_->image = QImage(0, 0, QImage::Format_RGB32); }

Framebuffer::Framebuffer(int32_t width, int32_t height, Colour fill) : impl_(std::make_unique<Impl>()) {
  impl_->image = blankImage(width, height, fill);
  impl_->dirty = impl_->image.rect();
}

Framebuffer::Framebuffer(const Framebuffer& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}

Framebuffer& Framebuffer::operator=(const Framebuffer& other) {
  *impl_ = *other.impl_;
  return *this;
}

Framebuffer::~Framebuffer() = default;

int32_t Framebuffer::width() const { return impl_->image.width(); }
int32_t Framebuffer::height() const { return impl_->image.height(); }

void Framebuffer::resize(int32_t width, int32_t height, Colour fill) {
  if (width == this->width() && height == this->height()) return;
  QImage next = blankImage(width, height, fill);
  if (!impl_->image.isNull() && !next.isNull()) {
    QPainter painter(&next);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, impl_->image);
  }
  impl_->image = std::move(next);
  impl_->dirty = impl_->image.rect();
}

void Framebuffer::fill(Colour colour) {
  impl_->image.fill(toPixel(colour));
  impl_->dirty = impl_->image.rect();
}

Colour Framebuffer::pixel(int32_t x, int32_t y) const {
  if (!impl_->image.rect().contains(x, y)) return 0;
  return fromPixel(reinterpret_cast<const uint32_t*>(impl_->image.constScanLine(y))[x]);
}

Rect Framebuffer::takeDirtyRect() {
  const Rect r = impl_->dirty.isEmpty() ? Rect{} : fromQRect(impl_->dirty);
  impl_->dirty = QRect();
  return r;
}

bool Framebuffer::samePixels(const Framebuffer& other) const { return impl_->image == other.impl_->image; }

bool Framebuffer::savePng(const std::string& path) const {
  return impl_->image.save(QString::fromStdString(path), "PNG");
}

}  // namespace platform
