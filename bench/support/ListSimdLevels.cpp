// Prints the vector levels this processor has, narrowest first, one a line
// (platform/SimdLevel.h): scripts/bench runs every benchmark at each.
#include <cstdio>

#include "platform/SimdLevel.h"

int main() {
  for (auto level = platform::SimdLevel::portable;; level = static_cast<platform::SimdLevel>(static_cast<int>(level) + 1)) {
    std::printf("%s\n", platform::simdName(level).data());
    if (level == platform::widestSimd()) return 0;
  }
}
