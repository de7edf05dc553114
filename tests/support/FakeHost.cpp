#include "tests/support/FakeHost.h"

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
  h.buffers_[*id].resize(static_cast<size_t>(size));
  h.bufferBytes_ += size;
  return kHostNoError;
}

void* FakeFilterHost::lockBuffer(HostBufferId id, HostBoolean) {
  auto it = current_->buffers_.find(id);
  return it == current_->buffers_.end() ? nullptr : it->second.data();
}

void FakeFilterHost::unlockBuffer(HostBufferId) {}

void FakeFilterHost::freeBuffer(HostBufferId id) {
  auto it = current_->buffers_.find(id);
  if (it == current_->buffers_.end()) return;
  current_->bufferBytes_ -= static_cast<int64_t>(it->second.size());
  current_->buffers_.erase(it);
}

int32_t FakeFilterHost::bufferSpace() {
  const FakeFilterHost& h = *current_;
  return h.bufferLimit_ < 0 ? INT32_MAX : static_cast<int32_t>(h.bufferLimit_ - h.bufferBytes_);
}

HostError FakeFilterHost::advanceState() { return kHostNoError; }
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
