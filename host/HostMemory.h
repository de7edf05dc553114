// The host memory a plug-in gets through the buffer and handle procedures,
// and the stream buffers advanceState hands out, all counted against one
// byte limit (the host's buffer space): a request beyond it fails with -108.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "hostapi/HostTypes.h"

struct HostHandleObject {
  std::vector<char> bytes;
  int locks = 0;
};

namespace host {

class HostMemory {
 public:
  static constexpr int64_t kDefaultLimit = int64_t{1} << 30;

  HostMemory();
  ~HostMemory();
  HostMemory(const HostMemory&) = delete;
  HostMemory& operator=(const HostMemory&) = delete;

  void setLimit(int64_t bytes) { limit_ = bytes; }
  int64_t limit() const { return limit_; }
  int64_t used() const { return used_; }
  int64_t available() const { return limit_ > used_ ? limit_ - used_ : 0; }
  // Counts bytes against the limit; false (nothing counted) when they do not fit.
  bool reserve(int64_t bytes);
  void release(int64_t bytes) { used_ -= bytes; }

  HostBufferProcs* bufferProcs() { return &bufferProcs_; }
  HostHandleProcs* handleProcs() { return &handleProcs_; }
  size_t liveBuffers() const { return buffers_.size(); }
  size_t liveHandles() const { return handles_.size(); }
  bool owns(HostHandle handle) const { return handles_.count(handle) != 0; }

  // Takes a handle the plug-in handed over (its ownership passes to the
  // host): returns its bytes and disposes of it. Empty for an unknown handle.
  std::vector<uint8_t> takeHandle(HostHandle handle);
  // Frees what a plug-in left allocated when its call ended; returns how many
  // buffers and handles that was.
  size_t freeLeftovers();

  // The procedures are plain functions: they reach the memory of the call
  // in progress through this.
  static HostMemory* active() { return active_; }
  void makeActive() { active_ = this; }
  static void clearActive() { active_ = nullptr; }

 private:
  static HostError allocateBuffer(int32_t size, HostBufferId* id);
  static void* lockBuffer(HostBufferId id, HostBoolean moveHigh);
  static void unlockBuffer(HostBufferId id);
  static void freeBuffer(HostBufferId id);
  static int32_t bufferSpace();
  static HostHandle newHandle(int32_t size);
  static void disposeHandle(HostHandle handle);
  static int32_t handleSize(HostHandle handle);
  static HostError setHandleSize(HostHandle handle, int32_t size);
  static char* lockHandle(HostHandle handle, HostBoolean moveHigh);
  static void unlockHandle(HostHandle handle);

  struct Buffer {
    std::unique_ptr<uint8_t[]> bytes;
    int32_t size = 0;
    int locks = 0;
  };

  int64_t limit_ = kDefaultLimit;
  int64_t used_ = 0;
  HostBufferProcs bufferProcs_{};
  HostHandleProcs handleProcs_{};
  std::map<HostBufferId, Buffer> buffers_;
  HostBufferId nextBuffer_ = 0x1000;
  std::map<HostHandleObject*, std::unique_ptr<HostHandleObject>> handles_;

  static inline HostMemory* active_ = nullptr;
};

}  // namespace host
