// A filter plug-in for benchmarks that run through tessaly-host's services:
// its start calls whatever the benchmark sets, with the host's parameter
// block.
#pragma once

#include <functional>

#include "host/Document.h"
#include "host/HostServices.h"

inline std::function<void(FilterRecord&)>& benchFilterStart() {
  static std::function<void(FilterRecord&)> start;
  return start;
}

inline host::Plugin benchFilterPlugin() {
  host::Plugin p;
  p.pipl.kind = "8BFM";
  p.pipl.name = "Bench";
  p.entry = [](int16_t selector, void* block, int32_t*, int16_t* result) {
    *result = 0;
    if (selector == kFilterSelectorStart && benchFilterStart()) benchFilterStart()(*static_cast<FilterRecord*>(block));
  };
  return p;
}
