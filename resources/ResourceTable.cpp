// The table through which a host reads the plug-in's resources without
// calling it: the property lists, then every string ("STR ", the text
// without its terminating zero).
#include <cstring>
#include <vector>

#include "hostapi/PluginEntry.h"
#include "resources/Pipl.h"
#include "resources/StringTable.h"

namespace {

std::vector<PluginResource> buildTable() {
  std::vector<PluginResource> table;
  table.push_back({"PIPL", kPiplFilterId, kFilterPipl.bytes.data(), kFilterPipl.size});
  table.push_back({"PIPL", kPiplSelectionId, kSelectionPipl.bytes.data(), kSelectionPipl.size});
  for (int i = 0; i < kStringResourceCount; ++i) {
    const auto& s = kStringResources[i];
    table.push_back({"STR ", s.id, reinterpret_cast<const unsigned char*>(s.text),
                     std::strlen(s.text)});
  }
  table.push_back({nullptr, 0, nullptr, 0});
  return table;
}

}  // namespace

extern "C" const PluginResource* PluginResourceTable() {
  static const std::vector<PluginResource> table = buildTable();
  return table.data();
}
