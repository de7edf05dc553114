// Plane primitives: small operations on a locked piece or a private buffer,
// given as a PlaneView. Sizes are a row count and a byte count per row, or
// rectangles relative to the view's top-left (0, 0). Pixel size is the
// view's column step.
//
// The Image operations that build on locking (ReadRect, WriteRect,
// ReadPadded, GaussianBlur, LockRect) are members of Image (Image.h): the
// transfers in RectTransfer.cpp and StreamingCopy.cpp, the blur in
// GaussianBlur.cpp, their inner loops per vector level in Kernels*.cpp. The
// primitives below are in PlanePrimitives.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "image/Image.h"

// n rows of k bytes from the plane into a buffer with its own row step.
void CopyRowsOut(const PlaneView& plane, int32_t rows, int32_t rowBytes, uint8_t* buffer,
                 int32_t bufferRowStep);
// n rows of k bytes from a buffer into the plane.
void CopyRowsIn(const PlaneView& plane, int32_t rows, int32_t rowBytes, const uint8_t* buffer,
                int32_t bufferRowStep);
// Sets n rows of k bytes to value.
void FillPlane(const PlaneView& plane, int32_t rows, int32_t rowBytes, uint8_t value);
// Replaces every byte b of n rows of k bytes by 255 - b.
void InvertPlane(const PlaneView& plane, int32_t rows, int32_t rowBytes);

// The plane is `outer` (usually (0, 0, height, width)); fills every byte of
// it outside `inner` with value.
void FillMargins(const PlaneView& plane, const Rect& outer, const Rect& inner, uint8_t value);
// The plane is `outer`; `inner` holds valid pixels. Pixels left and right
// of the inner rows repeat the row's first and last inner pixel; rows
// above and below repeat the first and last inner row.
void ReplicateEdges(const PlaneView& plane, const Rect& outer, const Rect& inner);

// Enlarges the block of rows x columns pixels at the view's top-left by an
// integer factor in place: every pixel repeated `factor` times along its
// row, every row `factor` times. The plane must have room for the result.
void ZoomInPlane(const PlaneView& plane, int32_t rows, int32_t columns, int32_t factor);
// One row of ZoomInPlane: the first `pixels` pixels of pixelBytes bytes
// each, repeated `factor` times, in place from the end backwards.
void ExpandPixels(uint8_t* row, int32_t pixels, int32_t pixelBytes, int32_t factor);
// Every factor-th pixel of every factor-th row of the rows x columns block
// of source into destination (which may be source itself). Returns the
// result's size: rows and columns divided by factor, rounded up.
Point ZoomOutPlane(const PlaneView& source, int32_t rows, int32_t columns, int32_t factor,
                   const PlaneView& destination);
// Shrinks rect (relative to a one-byte plane) to the bounding box of its
// nonzero bytes; an empty rectangle when all are zero.
Rect TrimBounds(const PlaneView& plane, const Rect& rect);
// The union of two coverages, row-wise: q = ((255 - b) q + 255 b + 127) / 255.
void UnionRows(uint8_t* destination, const uint8_t* coverage, int32_t count);

// The blur's kernel radius for sigma: the distance at which the normalised
// Gaussian falls below half a grey level. 0 means the blur changes nothing
// (also for sigma <= 0, or so large that no tap reaches half a level).
int32_t GaussianRadius(double sigma);
// The 2 radius + 1 blur taps, from -radius to radius, in units of 2^-24,
// rounded so that they sum to exactly 2^24: a uniform area stays uniform.
std::vector<uint32_t> GaussianWeights(double sigma, int32_t radius);
