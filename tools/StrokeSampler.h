// The sampling thread of the painting tools. While a button is held it
// reads the pointer, the left button and Shift every 25 ms from the
// asynchronous input state and records them in the point ring, so that a
// fast movement is not lost while the user-interface thread is busy
// painting. One runs at a time.
#pragma once

#include <cstdint>

#include "platform/Event.h"
#include "platform/Thread.h"
#include "tools/PointRing.h"

class StrokeSampler {
 public:
  static constexpr uint32_t kInterval = 25;  // milliseconds between samples

  explicit StrokeSampler(PointRing& ring) : ring_(ring) {}
  ~StrokeSampler() { stop(); }
  StrokeSampler(const StrokeSampler&) = delete;
  StrokeSampler& operator=(const StrokeSampler&) = delete;

  // Unless it already runs: empties the ring and starts the thread, which
  // takes its first sample at once.
  void start();
  // Wakes the thread, tells it to end and waits for it: no sample is
  // written after this returns, so the ring may be emptied again.
  void stop();
  bool running() const { return thread_.running(); }

  // One sample of the input state: the pointer while the left button is
  // down (the pending separator learns Shift), a separator once it is up.
  static void recordSample(PointRing& ring);

 private:
  PointRing& ring_;
  platform::Thread thread_;
  platform::Event stop_;
};
