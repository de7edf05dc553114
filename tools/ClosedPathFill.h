// Filling the pen's closed path into the mask, feathered with the brush's
// soft edge: the path is flattened to a polygon, scan-converted with exact
// pixel coverage, blurred by the brush softness and blended towards full
// keep or drop. The path moves into the undo record, so the document's path
// is empty afterwards and undo brings back both path and mask.
#pragma once

class CWorkDocument;

// False when the path is empty or degenerate, or lies outside the image:
// then nothing changes.
bool FillClosedPath(CWorkDocument& document, bool keepMode, double softness);
