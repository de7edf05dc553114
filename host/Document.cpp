#include "host/Document.h"

#include <algorithm>

#include "host/Failure.h"

namespace host {

int colourChannelCount(int16_t mode) {
  switch (mode) {
    case kModeGrey: return 1;
    case kModeRGB: return 3;
    case kModeCMYK: return 4;
    case kModeLab: return 3;
    default: return 0;
  }
}

const char* modeName(int16_t mode) {
  switch (mode) {
    case kModeGrey: return "greyscale";
    case kModeRGB: return "RGB";
    case kModeCMYK: return "CMYK";
    case kModeLab: return "Lab";
    default: return "unknown";
  }
}

Document::Document(int16_t mode, int32_t width, int32_t height, const std::vector<uint8_t>& values)
    : mode_(mode), width_(width), height_(height) {
  const int n = colourChannelCount(mode);
  if (n == 0) throw Failure("image mode " + std::to_string(mode) + " is not supported");
  if (width < 1 || height < 1 || width > kMaxDocumentSide || height > kMaxDocumentSide)
    throw Failure("a document of " + std::to_string(width) + " x " + std::to_string(height) +
                  " pixels is not supported (1 to " + std::to_string(kMaxDocumentSide) + " per side)");
  for (int i = 0; i < n; ++i)
    colour_.push_back(newPlane(static_cast<size_t>(i) < values.size() ? values[static_cast<size_t>(i)] : 0));
}

AlphaChannel* Document::findAlpha(const std::string& name) {
  for (AlphaChannel& a : alphas)
    if (a.name == name) return &a;
  return nullptr;
}

std::vector<Plane*> Document::absolutePlanes() {
  std::vector<Plane*> planes;
  const bool layer = layered();
  if (layer)
    for (Plane& p : colour_) planes.push_back(&p);
  if (transparency) planes.push_back(&*transparency);
  if (layerMask) planes.push_back(&*layerMask);
  if (!layer)
    for (Plane& p : colour_) planes.push_back(&p);
  for (AlphaChannel& a : alphas) planes.push_back(&a.data);
  if (quickMask) planes.push_back(&*quickMask);
  return planes;
}

Document::PlaneCounts Document::absoluteCounts() const {
  PlaneCounts c;
  const int16_t colours = static_cast<int16_t>(colour_.size());
  if (layered()) c.layerPlanes = colours;
  c.transparencyMask = transparency ? 1 : 0;
  c.layerMasks = layerMask ? 1 : 0;
  c.nonLayerPlanes = static_cast<int16_t>((layered() ? 0 : colours) + alphas.size() + (quickMask ? 1 : 0));
  return c;
}

std::vector<Plane*> Document::targetPlanes() {
  std::vector<Plane*> planes;
  switch (target.kind) {
    case Target::Composite:
      for (Plane& p : colour_) planes.push_back(&p);
      break;
    case Target::Transparency:
      if (!transparency) throw Failure("the document has no transparency to target");
      // A layer's editable transparency comes with the layer's colours.
      for (Plane& p : colour_) planes.push_back(&p);
      planes.push_back(&*transparency);
      break;
    case Target::LayerMask:
      if (!layerMask) throw Failure("the document has no layer mask to target");
      planes.push_back(&*layerMask);
      break;
    case Target::QuickMask:
      if (!quickMask) throw Failure("the document has no Quick Mask to target");
      planes.push_back(&*quickMask);
      break;
    case Target::Alpha: {
      AlphaChannel* a = findAlpha(target.alphaName);
      if (a == nullptr) throw Failure("the document has no alpha channel \"" + target.alphaName + "\"");
      planes.push_back(&a->data);
      break;
    }
    case Target::Colour:
      if (target.colour < 0 || target.colour >= colourCount())
        throw Failure("the document has no colour channel " + std::to_string(target.colour));
      planes.push_back(&colour_[static_cast<size_t>(target.colour)]);
      break;
  }
  return planes;
}

Document::PlaneCounts Document::targetCounts() const {
  PlaneCounts c;
  const int16_t colours = static_cast<int16_t>(colour_.size());
  switch (target.kind) {
    case Target::Composite:
      (layered() ? c.layerPlanes : c.nonLayerPlanes) = colours;
      break;
    case Target::Transparency:
      c.layerPlanes = colours;
      c.transparencyMask = 1;
      break;
    case Target::LayerMask: c.layerMasks = 1; break;
    case Target::QuickMask:
    case Target::Alpha: c.nonLayerPlanes = 1; break;
    case Target::Colour: (layered() ? c.layerPlanes : c.nonLayerPlanes) = 1; break;
  }
  return c;
}

Document::Bounds Document::selectionBounds() const {
  if (!selection) return {0, 0, height_, width_};
  Bounds b{height_, width_, 0, 0};
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = selection->data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
    for (int32_t x = 0; x < width_; ++x) {
      if (row[x] == 0) continue;
      b.top = std::min(b.top, y);
      b.bottom = std::max(b.bottom, y + 1);
      b.left = std::min(b.left, x);
      b.right = std::max(b.right, x + 1);
    }
  }
  if (b.bottom == 0) return {0, 0, 0, 0};
  return b;
}

}  // namespace host
