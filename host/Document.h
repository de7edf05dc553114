// The host's document: one flat layer of 8-bit planes with the channels a
// filter may target, a selection and a work path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

using Plane = std::vector<uint8_t>;  // width * height bytes, rows packed

struct AlphaChannel {
  std::string name;
  Plane data;
};

// The plane (or planes) a filter writes: the host's output stream.
struct Target {
  enum Kind { Composite, Transparency, LayerMask, QuickMask, Alpha, Colour };
  Kind kind = Composite;
  std::string alphaName;  // Alpha
  int colour = 0;         // Colour: channel index
};

// Image modes the host opens, in the plug-in interface's numbering.
enum : int16_t { kModeGrey = 1, kModeRGB = 3, kModeCMYK = 4, kModeLab = 9 };

int colourChannelCount(int16_t mode);
const char* modeName(int16_t mode);

// The largest document side: coordinates in the plug-in interface are 16-bit.
constexpr int32_t kMaxDocumentSide = 30000;

class Document {
 public:
  // A flat document of one colour; the values are the colour's channel bytes.
  Document(int16_t mode, int32_t width, int32_t height, const std::vector<uint8_t>& colourValues = {});

  int16_t mode() const { return mode_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  size_t pixelCount() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
  int colourCount() const { return static_cast<int>(colour_.size()); }

  Plane& colour(int i) { return colour_.at(static_cast<size_t>(i)); }
  const Plane& colour(int i) const { return colour_.at(static_cast<size_t>(i)); }

  // A layer (rather than a background) holds the transparency and layer mask.
  bool layered() const { return transparency.has_value() || layerMask.has_value(); }

  std::optional<Plane> transparency;
  std::optional<Plane> layerMask;
  std::vector<AlphaChannel> alphas;
  std::optional<Plane> quickMask;
  std::optional<Plane> selection;   // 255 fully selected
  std::vector<uint8_t> workPath;    // path records; empty: no work path
  Target target;

  AlphaChannel* findAlpha(const std::string& name);
  Plane newPlane(uint8_t value) const { return Plane(pixelCount(), value); }

  // Every plane in the interface's absolute numbering: layer planes (the
  // colour channels of a layer), transparency, layer mask, then the
  // non-layer planes (a background's colour channels, alpha channels, the
  // Quick Mask).
  std::vector<Plane*> absolutePlanes();
  struct PlaneCounts {
    int16_t layerPlanes = 0, transparencyMask = 0, layerMasks = 0, invertedLayerMasks = 0,
            nonLayerPlanes = 0;
    int16_t total() const {
      return static_cast<int16_t>(layerPlanes + transparencyMask + layerMasks + invertedLayerMasks +
                                  nonLayerPlanes);
    }
  };
  PlaneCounts absoluteCounts() const;

  // The target's planes, in stream order, and how they are made up. Throws
  // Failure when the target names a plane the document does not have.
  std::vector<Plane*> targetPlanes();
  PlaneCounts targetCounts() const;
  // The plane a mask is written to: the last plane of the target.
  Plane& targetPlane() { return *targetPlanes().back(); }

  // Bounds of the selected pixels (top, left, bottom, right), or the whole
  // image when nothing is selected. Empty when the selection is empty.
  struct Bounds {
    int32_t top = 0, left = 0, bottom = 0, right = 0;
  };
  Bounds selectionBounds() const;

 private:
  int16_t mode_;
  int32_t width_;
  int32_t height_;
  std::vector<Plane> colour_;
};

}  // namespace host
