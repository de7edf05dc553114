// Exact-area scan conversion: the fraction of every pixel that a polygon
// covers, as coverage bytes 0 to 255.
#pragma once

#include <vector>

#include "display/CBezierPath.h"
#include "image/Image.h"

// Writes into `coverage` (one byte per pixel) the polygon's coverage of
// every pixel of `box`. Pixels the polygon winds around more than once
// count once (non-zero rule).
void ScanConvertPolygon(const std::vector<BezierPoint>& polygon, const Rect& box, Image& coverage);

// The polygon's signed area (positive when it runs clockwise on screen).
double PolygonArea(const std::vector<BezierPoint>& polygon);
