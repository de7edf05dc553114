// The painting tools' common part: the pencil, the brush and the magic
// brush paint the mask with a round soft brush along the pointer's path.
//
// While the button is held the sampling thread records the pointer every
// 25 ms; every pointer event (ShowFeedback) runs one stroke step over the
// points queued so far, which leaves one undo record. The release stops
// the thread; the ShowFeedback that follows it paints what was still
// queued. The feedback is two circles around the pointer, the hard radius
// and the outer radius of the brush, drawn by inversion.
#pragma once

#include <cstdint>
#include <vector>

#include "display/CTool.h"
#include "image/Geometry.h"
#include "platform/Geometry.h"
#include "tools/BrushStroke.h"
#include "tools/ToolRegistry.h"

class CImageView;
class CWorkDocument;
class Image;

class CStrokeTool : public CTool {
 public:
  CStrokeTool() = default;

  void DrawFeedback(bool show) override;
  bool ShowFeedback() override;
  void ButtonDown() override;
  void CancelDrag() override;
  void Activate() override { AnnounceToolActivation(CursorResourceId()); }

  // Blends the mask under the coverage towards the tool's target and
  // leaves old XOR new in the coverage; every band finished goes into
  // `bandsDone`.
  virtual void ApplyStroke(Image& coverage, CWorkDocument& document, std::vector<Rect>& bandsDone) = 0;

  // The stamp strength the tool paints with, taken at every step.
  virtual int32_t StrokeStrength() const { return kFullBrushStrength; }

  // The brush as the sliders set it, with this tool's strength.
  BrushSetting CurrentSetting() const;

  // The pipeline the three tools share: one ring, one path (a Shift press
  // continues whatever tool painted last), one stamp cache.
  static BrushStroke& Stroke();
  // True while the sampling thread runs.
  static bool Sampling();

 private:
  // One stroke step in the tracking view's document.
  void RunStrokeStep();

  // The circles as last shown, so that hiding draws exactly them again.
  struct Circles {
    CImageView* view = nullptr;
    platform::Point centre;
    int32_t inner = 0, outer = 0;
  };
  Circles circles_;
};

// Image coordinates of a ring entry (screen coordinates) in a view: client
// coordinates plus the visible area's top-left, divided by the zoom.
ImagePosition ScreenToImage(const CImageView& view, PointRing::Entry entry);
