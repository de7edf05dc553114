#include "shell/TessalyFilter.h"

#include "platform/MessageBox.h"
#include "resources/StringTable.h"
#include "shell/ErrorRecord.h"
#include "shell/PlugInServices.h"

TessalyFilter gTessalyFilter;

namespace {

bool modeSupported(int16_t mode) {
  return mode == kHostModeGrayScale || mode == kHostModeRGB || mode == kHostModeCMYK ||
         mode == kHostModeLab;
}

// Tells the user that the mask cannot go into a colour channel; the record
// pushed makes the host show nothing more.
void refuseColourChannelTarget() {
  platform::messageBox(nullptr, stringResource(kStrTargetIsColourChannel), "Tessaly",
                       platform::kMbIconExclamation | platform::kMbOk);
  PUSH_ERROR(kResultQuiet, kGroupHost);
}

}  // namespace

TargetPlanes targetPlanes(const FilterRecord& r) {
  const int total = r.absLayerPlanes + r.absTransparencyMask + r.absLayerMasks +
                    r.absInvertedLayerMasks + r.absNonLayerPlanes;
  return {r.outNonLayerPlanes, static_cast<int16_t>(total)};
}

bool targetRefusedByPlaneCounts(const FilterRecord& r, int16_t colourChannels) {
  const TargetPlanes planes = targetPlanes(r);
  if (planes.outputPlanes != 0) return planes.totalPlanes <= colourChannels || planes.outputPlanes != 1;
  return r.outTransparencyMask == 0 && r.outLayerMasks == 0 && r.outInvertedLayerMasks == 0;
}

void TessalyFilter::about() {
  if (auto show = plugInServices().showAboutBox) {
    show();
    return;
  }
  ++unansweredAbout_;
}

void TessalyFilter::prepare() {
  if (!modeSupported(gImageMode)) pushError(kErrModeNotSupported, kGroupPlugIn);
  if (targetRefusedByPlaneCounts(*gFilterRecord, gColourChannels)) refuseColourChannelTarget();
  PlugIn::prepare();
}

void TessalyFilter::start() {
  const PlugInServices& services = plugInServices();
  if (services.targetIsColourChannel == nullptr || services.runWorkWindow == nullptr)
    THROW_ERROR(kErrOperationFailed, kGroupPlugIn);

  const TargetPlanes planes = targetPlanes(*gFilterRecord);
  bool colourChannel = false;
  try {
    colourChannel = planes.outputPlanes == 1 && planes.totalPlanes > gColourChannels &&
                    services.targetIsColourChannel(gColourChannels, planes.totalPlanes);
  } catch (const XCancel&) {
    // The user cancelled in the host while it delivered the planes: the
    // filter ends as quietly as when the user leaves the work window.
    PUSH_ERROR(kResultQuiet, kGroupHost);
    emptyRequestRectangles();
    return;
  }
  if (colourChannel) {
    refuseColourChannelTarget();
    emptyRequestRectangles();
    return;
  }
  services.runWorkWindow();
  PlugIn::start();
}
