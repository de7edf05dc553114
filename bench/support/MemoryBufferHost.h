// A filter host for benchmarks whose buffer procedures are a table lookup,
// so that the figures measure our code and not a test double. instance()
// makes it the current host (gFilterRecord) for the rest of the run.
#pragma once

#include <memory>
#include <vector>

#include "hostapi/FilterRecord.h"
#include "shell/PlugIn.h"

class MemoryBufferHost {
 public:
  static MemoryBufferHost& instance() {
    static MemoryBufferHost host;
    return host;
  }

 private:
  // Identifiers start at 256: smaller ones read as a tile's fill byte.
  static constexpr HostBufferId kFirstId = 256;

  MemoryBufferHost() {
    procs_.allocateProc = [](int32_t size, HostBufferId* id) -> HostError {
      auto& buffers = instance().buffers_;
      buffers.emplace_back(new uint8_t[static_cast<size_t>(size)]);
      *id = static_cast<HostBufferId>(buffers.size() - 1 + kFirstId);
      return kHostNoError;
    };
    procs_.lockProc = [](HostBufferId id, HostBoolean) -> void* { return instance().buffers_[id - kFirstId].get(); };
    procs_.unlockProc = [](HostBufferId) {};
    procs_.freeProc = [](HostBufferId id) { instance().buffers_[id - kFirstId].reset(); };
    record_.bufferProcs = &procs_;
    gFilterRecord = &record_;
  }

  FilterRecord record_{};
  HostBufferProcs procs_{};
  std::vector<std::unique_ptr<uint8_t[]>> buffers_;
};
