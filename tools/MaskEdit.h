// The arithmetic of mask edits and the undo record they leave.
//
// Every soft edit blends the mask byte m towards a target T with weight c:
//   new = ((255 - c) * m + c * T + 127) / 255
// and leaves old XOR new in the coverage image, which then is its own undo:
// applying the same exclusive-or again restores the old bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "display/Command.h"
#include "image/Image.h"
#include "tools/ColourClassifier.h"

inline uint8_t blendMask(uint8_t mask, uint8_t weight, uint8_t target) {
  return static_cast<uint8_t>(((255 - weight) * mask + weight * target + 127) / 255);
}

// Blends the mask towards `target` under the coverage (pencil and brush).
// Every band finished is added to `bandsDone`, so that when a later band
// fails the part already changed is known.
void ApplyStrokeToTarget(Image& coverage, CWorkDocument& document, uint8_t target,
                         std::vector<Rect>* bandsDone = nullptr);
// Blends every pixel towards the classifier's value for the image pixel
// beneath it (magic brush).
void ApplyStrokeClassified(Image& coverage, CWorkDocument& document, PixelFormat format,
                           std::vector<Rect>* bandsDone = nullptr);

// The undo record of one mask edit: the coverage image after the edit,
// holding old XOR new for every pixel. Applying it XORs it into the mask,
// which makes it its own reverse.
class MaskDeltaRecord : public Command {
 public:
  explicit MaskDeltaRecord(std::unique_ptr<Image> delta) : delta_(std::move(delta)) {}
  std::unique_ptr<Command> apply(CWorkDocument& document) override;
  uint32_t memoryUsage() const override { return delta_->memoryUsage() + 8; }

  // XORs a difference image into the document's mask, piece by piece.
  static void applyDelta(Image& delta, CWorkDocument& document);

 private:
  std::unique_ptr<Image> delta_;
};
