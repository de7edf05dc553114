#include "host/HostMemory.h"

namespace host {

HostMemory::HostMemory() {
  bufferProcs_.version = 2;
  bufferProcs_.count = 5;
  bufferProcs_.allocateProc = allocateBuffer;
  bufferProcs_.lockProc = lockBuffer;
  bufferProcs_.unlockProc = unlockBuffer;
  bufferProcs_.freeProc = freeBuffer;
  bufferProcs_.spaceProc = bufferSpace;
  handleProcs_.version = 1;
  handleProcs_.count = 6;
  handleProcs_.newProc = newHandle;
  handleProcs_.disposeProc = disposeHandle;
  handleProcs_.getSizeProc = handleSize;
  handleProcs_.setSizeProc = setHandleSize;
  handleProcs_.lockProc = lockHandle;
  handleProcs_.unlockProc = unlockHandle;
}

HostMemory::~HostMemory() {
  if (active_ == this) active_ = nullptr;
}

bool HostMemory::reserve(int64_t bytes) {
  if (bytes < 0 || bytes > available()) return false;
  used_ += bytes;
  return true;
}

std::vector<uint8_t> HostMemory::takeHandle(HostHandle handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return {};
  std::vector<uint8_t> bytes(it->second->bytes.begin(), it->second->bytes.end());
  release(static_cast<int64_t>(it->second->bytes.size()));
  handles_.erase(it);
  return bytes;
}

size_t HostMemory::freeLeftovers() {
  const size_t count = buffers_.size() + handles_.size();
  for (const auto& [id, b] : buffers_) release(b.size);
  for (const auto& [h, object] : handles_) release(static_cast<int64_t>(object->bytes.size()));
  buffers_.clear();
  handles_.clear();
  return count;
}

HostError HostMemory::allocateBuffer(int32_t size, HostBufferId* id) {
  HostMemory* m = active_;
  if (id != nullptr) *id = 0;
  if (m == nullptr || id == nullptr || size < 0) return kHostFilterBadParameters;
  if (!m->reserve(size)) return kHostOutOfMemory;
  Buffer b;
  b.bytes.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size) + 1]);
  if (!b.bytes) {
    m->release(size);
    return kHostOutOfMemory;
  }
  b.size = size;
  *id = m->nextBuffer_++;
  m->buffers_.emplace(*id, std::move(b));
  return kHostNoError;
}

void* HostMemory::lockBuffer(HostBufferId id, HostBoolean) {
  if (active_ == nullptr) return nullptr;
  auto it = active_->buffers_.find(id);
  if (it == active_->buffers_.end()) return nullptr;
  ++it->second.locks;
  return it->second.bytes.get();
}

void HostMemory::unlockBuffer(HostBufferId id) {
  if (active_ == nullptr) return;
  auto it = active_->buffers_.find(id);
  if (it != active_->buffers_.end() && it->second.locks > 0) --it->second.locks;
}

void HostMemory::freeBuffer(HostBufferId id) {
  if (active_ == nullptr) return;
  auto it = active_->buffers_.find(id);
  if (it == active_->buffers_.end()) return;
  active_->release(it->second.size);
  active_->buffers_.erase(it);
}

int32_t HostMemory::bufferSpace() {
  if (active_ == nullptr) return 0;
  return static_cast<int32_t>(std::min<int64_t>(active_->available(), INT32_MAX));
}

HostHandle HostMemory::newHandle(int32_t size) {
  HostMemory* m = active_;
  if (m == nullptr || size < 0 || !m->reserve(size)) return nullptr;
  auto object = std::make_unique<HostHandleObject>();
  object->bytes.resize(static_cast<size_t>(size));
  HostHandle h = object.get();
  m->handles_.emplace(h, std::move(object));
  return h;
}

void HostMemory::disposeHandle(HostHandle handle) {
  if (active_ != nullptr) active_->takeHandle(handle);
}

int32_t HostMemory::handleSize(HostHandle handle) {
  if (active_ == nullptr || active_->handles_.count(handle) == 0) return 0;
  return static_cast<int32_t>(handle->bytes.size());
}

HostError HostMemory::setHandleSize(HostHandle handle, int32_t size) {
  HostMemory* m = active_;
  if (m == nullptr || size < 0 || m->handles_.count(handle) == 0) return kHostFilterBadParameters;
  if (handle->locks > 0) return kHostFilterBadParameters;  // a locked handle cannot move
  const int64_t growth = int64_t{size} - static_cast<int64_t>(handle->bytes.size());
  if (growth > 0 && !m->reserve(growth)) return kHostOutOfMemory;
  if (growth < 0) m->release(-growth);
  handle->bytes.resize(static_cast<size_t>(size));
  return kHostNoError;
}

char* HostMemory::lockHandle(HostHandle handle, HostBoolean) {
  if (active_ == nullptr || active_->handles_.count(handle) == 0) return nullptr;
  ++handle->locks;
  return handle->bytes.data();
}

void HostMemory::unlockHandle(HostHandle handle) {
  if (active_ == nullptr || active_->handles_.count(handle) == 0) return;
  if (handle->locks > 0) --handle->locks;
}

}  // namespace host
