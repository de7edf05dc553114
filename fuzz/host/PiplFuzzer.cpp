// Feeds arbitrary bytes to the property-list decoder, as a plug-in library
// from elsewhere could hold them: decoding ends with a list or a refusal,
// never reads past the bytes, and a decoded list can be described.
#include <cstdint>

#include "host/Failure.h"
#include "host/Pipl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const host::PiplInfo info = host::decodePipl(data, size);
    host::describeProperties(info);
    for (int mode = -1; mode < 17; ++mode) info.allowsMode(mode);
  } catch (const host::Failure&) {
  }
  return 0;
}
