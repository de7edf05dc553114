// The plane primitives: small operations on a locked piece or a private
// buffer (OfflineImage.h).
#include "image/OfflineImage.h"

#include <algorithm>
#include <cstring>

#include "image/Kernels.h"

void CopyRowsOut(const PlaneView& plane, int32_t rows, int32_t rowBytes, uint8_t* buffer,
                 int32_t bufferRowStep) {
  if (rowBytes <= 0) return;
  const uint8_t* source = plane.data;
  for (int32_t row = 0; row < rows; ++row, source += plane.rowStep, buffer += bufferRowStep)
    std::memcpy(buffer, source, static_cast<size_t>(rowBytes));
}

void CopyRowsIn(const PlaneView& plane, int32_t rows, int32_t rowBytes, const uint8_t* buffer,
                int32_t bufferRowStep) {
  if (rowBytes <= 0) return;
  uint8_t* target = plane.data;
  for (int32_t row = 0; row < rows; ++row, target += plane.rowStep, buffer += bufferRowStep)
    std::memcpy(target, buffer, static_cast<size_t>(rowBytes));
}

void FillPlane(const PlaneView& plane, int32_t rows, int32_t rowBytes, uint8_t value) {
  if (rowBytes <= 0) return;
  uint8_t* target = plane.data;
  for (int32_t row = 0; row < rows; ++row, target += plane.rowStep)
    std::memset(target, value, static_cast<size_t>(rowBytes));
}

void InvertPlane(const PlaneView& plane, int32_t rows, int32_t rowBytes) {
  uint8_t* target = plane.data;
  for (int32_t row = 0; row < rows; ++row, target += plane.rowStep)
    for (int32_t i = 0; i < rowBytes; ++i) target[i] = static_cast<uint8_t>(~target[i]);
}

void FillMargins(const PlaneView& plane, const Rect& outer, const Rect& inner, uint8_t value) {
  if (outer.empty()) return;
  const int32_t pixelBytes = plane.colStep;
  const Rect clipped = inner.intersection(outer);
  if (clipped.empty()) {
    FillPlane(plane.offsetBy(outer.top, outer.left), outer.height(), outer.width() * pixelBytes, value);
    return;
  }
  FillPlane(plane.offsetBy(outer.top, outer.left), clipped.top - outer.top,
            outer.width() * pixelBytes, value);
  FillPlane(plane.offsetBy(clipped.bottom, outer.left), outer.bottom - clipped.bottom,
            outer.width() * pixelBytes, value);
  FillPlane(plane.offsetBy(clipped.top, outer.left), clipped.height(),
            (clipped.left - outer.left) * pixelBytes, value);
  FillPlane(plane.offsetBy(clipped.top, clipped.right), clipped.height(),
            (outer.right - clipped.right) * pixelBytes, value);
}

namespace {

// Fills `count` pixels from `target` on with copies of the pixel at
// `pixel`: one copy, then the filled run copied onto its own end, so the
// run doubles with every copy.
void repeatPixel(uint8_t* target, const uint8_t* pixel, int32_t count, int32_t pixelBytes) {
  if (count <= 0) return;
  if (pixelBytes == 1) {
    std::memset(target, *pixel, static_cast<size_t>(count));
    return;
  }
  const size_t total = static_cast<size_t>(count) * static_cast<size_t>(pixelBytes);
  std::memcpy(target, pixel, static_cast<size_t>(pixelBytes));
  size_t done = static_cast<size_t>(pixelBytes);
  while (done < total) {
    const size_t chunk = std::min(done, total - done);
    std::memcpy(target + done, target, chunk);
    done += chunk;
  }
}

}  // namespace

void ReplicateEdges(const PlaneView& plane, const Rect& outer, const Rect& inner) {
  const Rect valid = inner.intersection(outer);
  if (valid.empty()) return;
  const int32_t pixelBytes = plane.colStep;
  for (int32_t v = valid.top; v < valid.bottom; ++v) {
    repeatPixel(plane.at(v, outer.left), plane.at(v, valid.left), valid.left - outer.left, pixelBytes);
    repeatPixel(plane.at(v, valid.right), plane.at(v, valid.right - 1), outer.right - valid.right,
                pixelBytes);
  }
  const size_t rowBytes = static_cast<size_t>(outer.width() * pixelBytes);
  for (int32_t v = outer.top; v < valid.top; ++v)
    std::memcpy(plane.at(v, outer.left), plane.at(valid.top, outer.left), rowBytes);
  for (int32_t v = valid.bottom; v < outer.bottom; ++v)
    std::memcpy(plane.at(v, outer.left), plane.at(valid.bottom - 1, outer.left), rowBytes);
}

namespace {

template <int PixelBytes>
void expandFixed(uint8_t* row, int32_t pixels, int32_t factor) {
  for (int32_t p = pixels - 1; p >= 0; --p) {
    uint8_t pixel[PixelBytes];
    std::memcpy(pixel, row + p * PixelBytes, PixelBytes);
    uint8_t* target = row + static_cast<ptrdiff_t>(p) * factor * PixelBytes;
    for (int32_t j = 0; j < factor; ++j) std::memcpy(target + j * PixelBytes, pixel, PixelBytes);
  }
}

}  // namespace

void ExpandPixels(uint8_t* row, int32_t pixels, int32_t pixelBytes, int32_t factor) {
  if (factor <= 1 || pixels <= 0) return;
  switch (pixelBytes) {
    case 1:
      for (int32_t p = pixels - 1; p >= 0; --p)
        std::memset(row + static_cast<ptrdiff_t>(p) * factor, row[p], static_cast<size_t>(factor));
      return;
    case 3:
      return expandFixed<3>(row, pixels, factor);
    case 4:
      return expandFixed<4>(row, pixels, factor);
    default:
      for (int32_t p = pixels - 1; p >= 0; --p) {
        uint8_t* target = row + static_cast<ptrdiff_t>(p) * factor * pixelBytes;
        // The pixel's first copy may overlap its source only when p is 0,
        // where source and target are the same bytes.
        std::memmove(target, row + static_cast<ptrdiff_t>(p) * pixelBytes, static_cast<size_t>(pixelBytes));
        repeatPixel(target, target, factor, pixelBytes);
      }
  }
}

void ZoomInPlane(const PlaneView& plane, int32_t rows, int32_t columns, int32_t factor) {
  if (factor <= 1 || rows <= 0 || columns <= 0) return;
  const size_t rowBytes = static_cast<size_t>(columns) * static_cast<size_t>(factor * plane.colStep);
  for (int32_t row = rows - 1; row >= 0; --row) {
    uint8_t* source = plane.at(row, 0);
    ExpandPixels(source, columns, plane.colStep, factor);
    for (int32_t j = factor - 1; j >= 0; --j) {
      uint8_t* target = plane.at(row * factor + j, 0);
      if (target != source) std::memcpy(target, source, rowBytes);
    }
  }
}

Point ZoomOutPlane(const PlaneView& source, int32_t rows, int32_t columns, int32_t factor,
                   const PlaneView& destination) {
  if (factor < 1) factor = 1;
  const int32_t outRows = (rows + factor - 1) / factor;
  const int32_t outColumns = (columns + factor - 1) / factor;
  const int32_t pixelBytes = source.colStep;
  const int32_t rowBytes = columns * pixelBytes;
  const auto takeEveryNth = imageKernels(platform::simdLevel()).takeEveryNth;
  for (int32_t row = 0; row < outRows; ++row) {
    const uint8_t* from = source.at(row * factor, 0);
    uint8_t* to = destination.at(row, 0);
    // The rows taken lie factor rows apart, each in pages of its own, where
    // the processor does not look ahead by itself.
    if (factor > 1 && row + 2 < outRows) {
      const uint8_t* next = source.at((row + 2) * factor, 0);
      for (int32_t b = 0; b < rowBytes; b += 64) __builtin_prefetch(next + b);
    }
    if (pixelBytes == 1) {
      // Reads stay ahead of writes, so this works in place too.
      int32_t c = takeEveryNth != nullptr ? takeEveryNth(from, to, outColumns, columns, factor) : 0;
      for (; c < outColumns; ++c)
        to[c] = from[c * factor];
    } else {
      // memmove: in place, a pixel's target may be its own source.
      for (int32_t c = 0; c < outColumns; ++c)
        std::memmove(to + c * destination.colStep, from + c * factor * pixelBytes,
                     static_cast<size_t>(pixelBytes));
    }
  }
  return {static_cast<int16_t>(outRows), static_cast<int16_t>(outColumns)};
}

namespace {

bool rowIsZero(const uint8_t* row, int32_t count) {
  uint8_t any = 0;
  for (int32_t i = 0; i < count; ++i) any |= row[i];
  return any == 0;
}

bool columnIsZero(const PlaneView& plane, int32_t column, int32_t top, int32_t bottom) {
  uint8_t any = 0;
  for (int32_t v = top; v < bottom; ++v) any |= *plane.at(v, column);
  return any == 0;
}

}  // namespace

Rect TrimBounds(const PlaneView& plane, const Rect& rect) {
  if (rect.empty()) return {};
  Rect r = rect;
  while (r.top < r.bottom && rowIsZero(plane.at(r.top, r.left), r.width())) ++r.top;
  if (r.top == r.bottom) return {};
  while (rowIsZero(plane.at(r.bottom - 1, r.left), r.width())) --r.bottom;
  while (columnIsZero(plane, r.left, r.top, r.bottom)) ++r.left;
  while (columnIsZero(plane, r.right - 1, r.top, r.bottom)) --r.right;
  return r;
}

void UnionRows(uint8_t* destination, const uint8_t* coverage, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t b = coverage[i], q = destination[i];
    destination[i] = static_cast<uint8_t>(((255 - b) * q + 255 * b + 127) / 255);
  }
}
