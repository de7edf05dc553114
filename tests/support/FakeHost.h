// A minimal host inside the test process: a parameter block with every
// facility the plug-in requires, backed by plain memory. Tests change its
// fields to describe documents and hosts. One at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "hostapi/FilterRecord.h"
#include "hostapi/SelectionParams.h"

namespace testing_support {

class FakeFilterHost {
 public:
  // An RGB document of the given size whose target is one alpha channel.
  FakeFilterHost(int16_t width = 64, int16_t height = 48);
  ~FakeFilterHost();
  FakeFilterHost(const FakeFilterHost&) = delete;
  FakeFilterHost& operator=(const FakeFilterHost&) = delete;

  FilterRecord& record() { return record_; }

  // The image mode the property reader answers.
  void setImageMode(int16_t mode);

  // Values set through the property writer, by key.
  const std::map<uint32_t, intptr_t>& propertiesSet() const { return propertiesSet_; }

  // Host buffers currently allocated.
  size_t liveBuffers() const { return buffers_.size(); }
  // Refuse buffer allocations beyond this many bytes in all (-1: no limit).
  void setBufferLimit(int64_t bytes) { bufferLimit_ = bytes; }
  // Buffers allocated from now on start this many bytes past a 64-byte
  // boundary, 0 to 63 (-1: wherever the allocator puts them).
  void setBufferLineOffset(int32_t offset) { bufferLineOffset_ = offset; }

  static FakeFilterHost* current() { return current_; }

  // ---- Pixels. advanceState writes the output piece delivered last back
  // into the document, then delivers what the request fields ask for:
  // interleaved planes of inRect and outRect (in reduced coordinates when
  // inputRate is k >= 2: pixel (y, x) is document pixel (k y, k x)), and the
  // selection mask for maskRect. Pixels outside the document read as 0.

  // Every plane of the document by absolute number, one byte per pixel,
  // rows of imageSize.h bytes.
  std::vector<uint8_t>& documentPlane(int16_t absolute);
  uint8_t& pixel(int16_t absolute, int16_t v, int16_t h);
  // The absolute planes that the input and output streams number 0, 1, ...
  // (default: the identity). Sets the record's plane count.
  void setStreamPlanes(std::vector<int16_t> absolute);
  // The host's selection mask, one byte per document pixel (default 255).
  std::vector<uint8_t>& selectionMask();
  // Writes the output piece delivered last back into the document.
  void commitOutput();

  // Fault injection: advanceState returns these, in order, before it
  // delivers anything again (0 delivers).
  void queueAdvanceResults(std::vector<HostError> results);
  // What the request fields held at each advanceState call.
  struct AdvanceCall {
    HostRect in, out, mask;
    int16_t inLo, inHi, outLo, outHi;
    HostFixed inputRate;
    HostBoolean wantsAbsolute;
  };
  const std::vector<AdvanceCall>& advanceCalls() const { return advanceCalls_; }

 private:
  static HostError getProperty(uint32_t, uint32_t key, int32_t, intptr_t* simple, void**);
  static HostError setProperty(uint32_t, uint32_t key, int32_t, intptr_t simple, void*);
  static HostError allocateBuffer(int32_t size, HostBufferId* id);
  static void* lockBuffer(HostBufferId id, HostBoolean);
  static void unlockBuffer(HostBufferId id);
  static void freeBuffer(HostBufferId id);
  static int32_t bufferSpace();
  static HostError advanceState();
  static void progress(int32_t, int32_t);
  static HostError displayPixels(const HostPixelMap*, const HostRect32*, int32_t, int32_t, void*);

  struct Delivery {
    HostRect rect{};
    int16_t lo = 0, hi = -1;
    std::vector<uint8_t> bytes;
  };
  HostError deliver();
  void fill(Delivery& d, const HostRect& rect, int16_t lo, int16_t hi, bool absolute, int32_t rate);
  int16_t absolutePlane(int16_t streamPlane, bool absolute) const;

  FilterRecord record_{};
  std::vector<std::vector<uint8_t>> document_;
  std::vector<uint8_t> selection_;
  std::vector<int16_t> streamPlanes_;
  Delivery in_, out_, mask_;
  std::vector<HostError> queuedResults_;
  std::vector<AdvanceCall> advanceCalls_;
  HostBufferProcs bufferProcs_{};
  HostPropertyProcs propertyProcs_{};
  int16_t imageMode_ = kHostModeRGB;
  std::map<uint32_t, intptr_t> propertiesSet_;
  struct Buffer {
    std::vector<uint8_t> bytes;
    int32_t size = 0;
    size_t start = 0;  // where the buffer's bytes begin in `bytes`
  };
  std::map<HostBufferId, Buffer> buffers_;
  int32_t bufferLineOffset_ = -1;
  HostBufferId nextBuffer_ = 0x1000;
  int64_t bufferLimit_ = -1;
  int64_t bufferBytes_ = 0;

  static inline FakeFilterHost* current_ = nullptr;
};

// A selection-module host with every required facility.
class FakeSelectionHost {
 public:
  FakeSelectionHost();
  PISelectionParams& params() { return params_; }

 private:
  static void processEvent(void*) {}
  static void progress(int32_t, int32_t) {}
  static HostError displayPixels(const HostPixelMap*, const HostRect32*, int32_t, int32_t, void*) {
    return 0;
  }
  PISelectionParams params_{};
  HostBufferProcs bufferProcs_{};
};

}  // namespace testing_support
