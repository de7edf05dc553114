// The filter plug-in: "Tessaly..." in the host's Filter menu.
#pragma once

#include "shell/PlugIn.h"

class TessalyFilter : public PlugIn {
 public:
  void about() override;
  void prepare() override;
  void start() override;

  // How many times about was asked for while no about box was available.
  int unansweredAboutRequests() const { return unansweredAbout_; }

 private:
  int unansweredAbout_ = 0;
};

// The planes the filter writes: where the mask may go.
struct TargetPlanes {
  int16_t outputPlanes;  // outNonLayerPlanes
  int16_t totalPlanes;   // every absolute plane of the document
};
TargetPlanes targetPlanes(const FilterRecord& record);

// A target that cannot take a mask: a colour channel, or nothing at all.
bool targetRefusedByPlaneCounts(const FilterRecord& record, int16_t colourChannels);

extern TessalyFilter gTessalyFilter;
