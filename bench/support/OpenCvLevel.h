// OpenCV held to the vector level our code runs at (platform/SimdLevel.h):
// its dispatched loops follow OPENCV_CPU_DISABLE, which scripts/bench sets
// for each level; at the plain level its own switch turns them all off.
#pragma once

#include <opencv2/core.hpp>

#include "platform/SimdLevel.h"

inline void holdOpenCvToOurLevel() {
  if (platform::simdLevel() == platform::SimdLevel::portable) cv::setUseOptimized(false);
}
