// What the three fill tools share: each acts where the pointer is, on the
// document of the view it is over, in the keep mode of that moment, and
// tells the toolbox when it becomes active.
#pragma once

#include <optional>

#include "display/CTool.h"
#include "image/Geometry.h"

class CWorkDocument;

class CFillTool : public CTool {
 public:
  void Activate() override;

 protected:
  // The current point in image coordinates; none without a tracking view or
  // beyond the 16-bit coordinate range (then it is off the image anyway).
  static std::optional<Point> PointerInImage();
  // The document of the tracking view, when it has a mask to edit.
  static CWorkDocument* TargetDocument();
};
