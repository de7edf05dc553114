// The hand: dragging moves the image with the pointer. With Ctrl or Alt
// held while the pointer moves without a button, it acts as the zoom tool
// until the next such move without them. A double click on its toolbox
// button fits the whole image into the view. Called up by a key that is
// only tapped, it gives way to the previous tool again.
#pragma once

#include "tools/CZoomTool.h"

class CHandTool : public CZoomTool {
 public:
  int32_t CursorResourceId() const override { return kToolHand; }
  int32_t GetCursorId() override;
  void DrawFeedback(bool show) override;
  bool ShowFeedback() override;
  void ButtonUp() override;
  void Reselect(bool doubleClick, bool force) override;

  bool ZoomMode() const { return zoomMode_; }

  // A window displacement folded into -8192..8191: window coordinates jump
  // by 16384 when the view's GDI origin wraps.
  static int32_t Fold(int32_t delta);

 private:
  void Scroll();
  bool zoomMode_ = false;
};

CHandTool& TheHandTool();
