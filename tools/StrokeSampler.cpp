#include "tools/StrokeSampler.h"

#include <algorithm>

#include "platform/Input.h"
#include "platform/Message.h"

namespace {

// h = -32768 marks a separator: a pointer there is taken as one pixel to
// the right.
int16_t ringCoordinate(int32_t screen) { return static_cast<int16_t>(std::clamp(screen, -32767, 32767)); }

}  // namespace

void StrokeSampler::recordSample(PointRing& ring) {
  if (!platform::isKeyDown(platform::kVkLButton)) {
    ring.recordRelease();
    return;
  }
  const platform::Point p = platform::cursorPosition();
  ring.recordPress(ringCoordinate(p.y), ringCoordinate(p.x), platform::isKeyDown(platform::kVkShift));
}

void StrokeSampler::start() {
  if (running()) return;
  ring_.reset();
  stop_.reset();
  thread_.start(
      [this] {
        do {
          recordSample(ring_);
        } while (!stop_.wait(kInterval));
      },
      platform::kThreadPriorityAboveNormal);
}

void StrokeSampler::stop() {
  // Idle, as at unload, it touches nothing: the windowing layer may be
  // gone by then.
  if (!running()) return;
  stop_.set();
  thread_.join();
}
