#include "image/ReadChannelImage.h"

#include <algorithm>

#include "image/PieceIterator.h"
#include "shell/Exceptions.h"
#include "shell/PlugIn.h"

namespace {

constexpr Point kChannelPiece{128, 128};

int16_t clampTo16(int32_t value) {
  return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

const HostChannelPortProcs* channelPorts() {
  if (gSelectionParams != nullptr) return gSelectionParams->channelPortProcs;
  if (gFilterRecord != nullptr) return gFilterRecord->channelPortProcs;
  return nullptr;
}

}  // namespace

ReadChannelImage::ReadChannelImage(const ReadChannelDesc& channel)
    : Image(PixelLayout{1, kHostModeGrayScale},
            Rect{clampTo16(channel.bounds.top), clampTo16(channel.bounds.left),
                 clampTo16(channel.bounds.bottom), clampTo16(channel.bounds.right)}),
      port_(channel.port) {}

ReadChannelImage::~ReadChannelImage() = default;

uint32_t ReadChannelImage::memoryUsage() const {
  return static_cast<uint32_t>(sizeof(ReadChannelImage) + buffer_.capacity());
}

PlaneView ReadChannelImage::lock(Rect& rect, LockMode) {
  if (!locked_.empty()) throw XLock(TESSALY_HERE);
  if (rect.empty()) throw XLock(TESSALY_HERE);
  const HostChannelPortProcs* ports = channelPorts();
  if (ports == nullptr || ports->readPixelsProc == nullptr) throw XLock(TESSALY_HERE);

  const int32_t width = rect.width();
  buffer_.assign(static_cast<size_t>(width) * static_cast<size_t>(rect.height()), 0);
  locked_ = rect;

  const HostRect32 wanted{rect.top, rect.left, rect.bottom, rect.right};
  const HostScalingInfo scaling{wanted, wanted};
  const HostPixelMemoryDesc destination{buffer_.data(), 8 * width, 8, 0, 8};
  HostRect32 wrote{};
  if (ports->readPixelsProc(port_, &scaling, &wanted, &destination, &wrote) != kHostNoError) {
    unlock(rect);
    throw XLock(TESSALY_HERE);
  }
  return {buffer_.data(), 1, width};
}

void ReadChannelImage::unlock(const Rect&) {
  if (locked_.empty()) return;
  buffer_.clear();
  buffer_.shrink_to_fit();
  locked_ = Rect{};
}

std::unique_ptr<PieceIterator> ReadChannelImage::newRegionIterator(const Region& region) const {
  return newGridIterator(region, kChannelPiece);
}

std::unique_ptr<PieceIterator> ReadChannelImage::newRectIterator(const Rect& rect) const {
  return newGridIterator(rect, kChannelPiece);
}
