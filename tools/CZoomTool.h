// The zoom tool: a click zooms in one step around the point, a drag zooms
// so that the dragged rectangle fills the view, Alt zooms out one step,
// and a double click on its toolbox button shows the image at 1:1.
#pragma once

#include "display/CTool.h"
#include "tools/ToolRegistry.h"

class CZoomView;

class CZoomTool : public CTool {
 public:
  // A rubber band smaller than this in both directions is a click.
  static constexpr int32_t kClickSize = 7;

  int32_t CursorResourceId() const override { return kToolZoom; }
  int32_t GetCursorId() override;
  void Activate() override { AnnounceToolActivation(CursorResourceId()); }
  void ButtonUp() override;
  void Reselect(bool doubleClick, bool force) override;

 protected:
  // The view a tool works on: the one that delivered the last mouse event,
  // else the work window's view.
  static CZoomView* TargetView();
};

CZoomTool& TheZoomTool();
