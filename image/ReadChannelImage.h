// One channel of the document inside a selection-module call, read through
// the host's channel port. Each locked piece is a private buffer, one byte
// per pixel, rows packed.
#pragma once

#include <cstdint>
#include <vector>

#include "hostapi/HostTypes.h"
#include "image/Image.h"

class ReadChannelImage : public Image {
 public:
  explicit ReadChannelImage(const ReadChannelDesc& channel);
  ~ReadChannelImage() override;

  uint32_t memoryUsage() const override;
  // Only reading is possible; XLock while a piece is locked or when the
  // host's read fails. The locked rectangle is the wanted one.
  PlaneView lock(Rect& rect, LockMode mode) override;
  void unlock(const Rect& piece) override;
  // 128 x 128 pieces on multiples of 128.
  std::unique_ptr<PieceIterator> newRegionIterator(const Region& region) const override;
  std::unique_ptr<PieceIterator> newRectIterator(const Rect& rect) const override;

 private:
  HostChannelReadPort port_;
  Rect locked_;
  std::vector<uint8_t> buffer_;
};
