#include "tests/support/FakeHost.h"

#include <algorithm>
#include <cassert>

namespace testing_support {

FakeFilterHost::FakeFilterHost(int16_t width, int16_t height) {
  assert(current_ == nullptr);
  current_ = this;

  bufferProcs_.allocateProc = allocateBuffer;
  bufferProcs_.lockProc = lockBuffer;
  bufferProcs_.unlockProc = unlockBuffer;
  bufferProcs_.freeProc = freeBuffer;
  bufferProcs_.spaceProc = bufferSpace;
  propertyProcs_.getPropertyProc = getProperty;
  propertyProcs_.setPropertyProc = setProperty;

  FilterRecord& r = record_;
  r.imageSize = {height, width};
  r.filterRect = {0, 0, height, width};
  r.imageMode = kHostModeRGB;
  r.planes = 4;
  r.progressProc = progress;
  r.advanceState = advanceState;
  r.bufferProcs = &bufferProcs_;
  r.propertyProcs = &propertyProcs_;
  r.displayPixels = displayPixels;
  r.supportsPadding = 1;
  r.supportsAbsolute = 1;
  r.inputRate = 0x00010000;
  r.inRect = r.outRect = r.maskRect = r.filterRect;
  // RGB plus one alpha channel, which is the target.
  r.absNonLayerPlanes = 4;
  r.outNonLayerPlanes = 1;
  r.inNonLayerPlanes = 4;
}

FakeFilterHost::~FakeFilterHost() { current_ = nullptr; }

void FakeFilterHost::setImageMode(int16_t mode) {
  imageMode_ = mode;
  record_.imageMode = mode;
}

HostError FakeFilterHost::getProperty(uint32_t, uint32_t key, int32_t, intptr_t* simple, void**) {
  if (key != kHostPropImageMode) return -1;
  *simple = current_->imageMode_;
  return kHostNoError;
}

HostError FakeFilterHost::setProperty(uint32_t, uint32_t key, int32_t, intptr_t simple, void*) {
  current_->propertiesSet_[key] = simple;
  return kHostNoError;
}

HostError FakeFilterHost::allocateBuffer(int32_t size, HostBufferId* id) {
  FakeFilterHost& h = *current_;
  if (size < 0 || (h.bufferLimit_ >= 0 && h.bufferBytes_ + size > h.bufferLimit_))
    return kHostOutOfMemory;
  *id = h.nextBuffer_++;
  Buffer& b = h.buffers_[*id];
  b.size = size;
  if (h.bufferLineOffset_ < 0) {
    b.bytes.resize(static_cast<size_t>(size));
  } else {
    b.bytes.resize(static_cast<size_t>(size) + 128);
    const auto at = reinterpret_cast<uintptr_t>(b.bytes.data());
    b.start = (64 - at % 64) % 64 + static_cast<size_t>(h.bufferLineOffset_);
  }
  h.bufferBytes_ += size;
  return kHostNoError;
}

void* FakeFilterHost::lockBuffer(HostBufferId id, HostBoolean) {
  auto it = current_->buffers_.find(id);
  return it == current_->buffers_.end() ? nullptr : it->second.bytes.data() + it->second.start;
}

void FakeFilterHost::unlockBuffer(HostBufferId) {}

void FakeFilterHost::freeBuffer(HostBufferId id) {
  auto it = current_->buffers_.find(id);
  if (it == current_->buffers_.end()) return;
  current_->bufferBytes_ -= it->second.size;
  current_->buffers_.erase(it);
}

int32_t FakeFilterHost::bufferSpace() {
  const FakeFilterHost& h = *current_;
  return h.bufferLimit_ < 0 ? INT32_MAX : static_cast<int32_t>(h.bufferLimit_ - h.bufferBytes_);
}

HostError FakeFilterHost::advanceState() { return current_->deliver(); }

std::vector<uint8_t>& FakeFilterHost::documentPlane(int16_t absolute) {
  assert(absolute >= 0);
  if (static_cast<size_t>(absolute) >= document_.size()) document_.resize(static_cast<size_t>(absolute) + 1);
  std::vector<uint8_t>& plane = document_[static_cast<size_t>(absolute)];
  plane.resize(static_cast<size_t>(record_.imageSize.v) * static_cast<size_t>(record_.imageSize.h));
  return plane;
}

uint8_t& FakeFilterHost::pixel(int16_t absolute, int16_t v, int16_t h) {
  return documentPlane(absolute)[static_cast<size_t>(v) * static_cast<size_t>(record_.imageSize.h) +
                                 static_cast<size_t>(h)];
}

void FakeFilterHost::setStreamPlanes(std::vector<int16_t> absolute) {
  streamPlanes_ = std::move(absolute);
  record_.planes = static_cast<int16_t>(streamPlanes_.size());
}

std::vector<uint8_t>& FakeFilterHost::selectionMask() {
  selection_.resize(static_cast<size_t>(record_.imageSize.v) * static_cast<size_t>(record_.imageSize.h), 255);
  return selection_;
}

void FakeFilterHost::queueAdvanceResults(std::vector<HostError> results) {
  queuedResults_.insert(queuedResults_.end(), results.begin(), results.end());
}

int16_t FakeFilterHost::absolutePlane(int16_t streamPlane, bool absolute) const {
  if (absolute || streamPlanes_.empty()) return streamPlane;
  if (streamPlane < 0 || static_cast<size_t>(streamPlane) >= streamPlanes_.size()) return -1;
  return streamPlanes_[static_cast<size_t>(streamPlane)];
}

void FakeFilterHost::commitOutput() {
  const Delivery& d = out_;
  const int32_t width = d.rect.right - d.rect.left;
  if (d.bytes.empty() || width <= 0) return;
  const int32_t planes = d.hi - d.lo + 1;
  for (int32_t y = d.rect.top; y < d.rect.bottom; ++y)
    for (int32_t x = d.rect.left; x < d.rect.right; ++x) {
      if (y < 0 || x < 0 || y >= record_.imageSize.v || x >= record_.imageSize.h) continue;
      for (int32_t p = 0; p < planes; ++p) {
        const int16_t plane = absolutePlane(static_cast<int16_t>(d.lo + p), false);
        if (plane < 0) continue;
        pixel(plane, static_cast<int16_t>(y), static_cast<int16_t>(x)) =
            d.bytes[static_cast<size_t>(((y - d.rect.top) * width + (x - d.rect.left)) * planes + p)];
      }
    }
}

void FakeFilterHost::fill(Delivery& d, const HostRect& rect, int16_t lo, int16_t hi, bool absolute,
                          int32_t rate) {
  const int32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  const int32_t planes = hi - lo + 1;
  d.rect = rect;
  d.lo = lo;
  d.hi = hi;
  // Same size: the same storage, so a piece locked earlier stays where it is.
  d.bytes.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(planes));
  std::vector<const uint8_t*> sources;
  for (int32_t p = 0; p < planes; ++p) {
    const int16_t plane = absolutePlane(static_cast<int16_t>(lo + p), absolute);
    sources.push_back(&d == &mask_ ? selectionMask().data()
                      : plane >= 0 ? documentPlane(plane).data()
                                   : nullptr);
  }
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const int32_t v = (rect.top + y) * rate, h = (rect.left + x) * rate;
      const bool inside = v >= 0 && h >= 0 && v < record_.imageSize.v && h < record_.imageSize.h;
      for (int32_t p = 0; p < planes; ++p) {
        const uint8_t* source = sources[static_cast<size_t>(p)];
        d.bytes[static_cast<size_t>((y * width + x) * planes + p)] =
            inside && source != nullptr ? source[v * record_.imageSize.h + h] : 0;
      }
    }
}

HostError FakeFilterHost::deliver() {
  FilterRecord& r = record_;
  advanceCalls_.push_back({r.inRect, r.outRect, r.maskRect, r.inLoPlane, r.inHiPlane, r.outLoPlane,
                           r.outHiPlane, r.inputRate, r.wantsAbsolute});
  if (!queuedResults_.empty()) {
    const HostError result = queuedResults_.front();
    queuedResults_.erase(queuedResults_.begin());
    if (result != kHostNoError) return result;
  }
  commitOutput();

  auto size = [](const HostRect& rect, int32_t planes) -> int64_t {
    if (rect.bottom <= rect.top || rect.right <= rect.left) return 0;
    return int64_t{rect.bottom - rect.top} * (rect.right - rect.left) * std::max(planes, 0);
  };
  const int64_t needed = size(r.inRect, r.inHiPlane - r.inLoPlane + 1) +
                         size(r.outRect, r.outHiPlane - r.outLoPlane + 1) + size(r.maskRect, 1);
  if (bufferLimit_ >= 0 && bufferBytes_ + needed > bufferLimit_) return kHostOutOfMemory;

  const int32_t rate = std::max<int32_t>(r.inputRate >> 16, 1);
  auto stream = [&](Delivery& d, const HostRect& rect, int16_t lo, int16_t hi, bool absolute,
                    int32_t k, void*& data, int32_t& rowBytes) {
    if (size(rect, hi - lo + 1) == 0) {
      d = Delivery{};
      data = nullptr;
      rowBytes = 0;
      return;
    }
    fill(d, rect, lo, hi, absolute, k);
    data = d.bytes.data();
    rowBytes = (rect.right - rect.left) * (hi - lo + 1);
  };
  stream(in_, r.inRect, r.inLoPlane, r.inHiPlane, r.wantsAbsolute != 0, rate, r.inData, r.inRowBytes);
  stream(out_, r.outRect, r.outLoPlane, r.outHiPlane, false, 1, r.outData, r.outRowBytes);
  stream(mask_, r.maskRect, 0, 0, false, 1, r.maskData, r.maskRowBytes);
  return kHostNoError;
}
void FakeFilterHost::progress(int32_t, int32_t) {}
HostError FakeFilterHost::displayPixels(const HostPixelMap*, const HostRect32*, int32_t, int32_t, void*) {
  return kHostNoError;
}

FakeSelectionHost::FakeSelectionHost() {
  bufferProcs_.allocateProc = [](int32_t, HostBufferId*) -> HostError { return kHostOutOfMemory; };
  bufferProcs_.lockProc = [](HostBufferId, HostBoolean) -> void* { return nullptr; };
  bufferProcs_.unlockProc = [](HostBufferId) {};
  bufferProcs_.freeProc = [](HostBufferId) {};
  params_.progressProc = progress;
  params_.processEvent = processEvent;
  params_.displayPixels = displayPixels;
  params_.bufferProcs = &bufferProcs_;
}

}  // namespace testing_support
