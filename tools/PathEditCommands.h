// The undo records of the pen: each edits the work document's path through
// the path's own operations (so its drawing stays right) and is its own
// reverse.
#pragma once

#include <memory>

#include "display/CBezierPath.h"
#include "display/Command.h"
#include "image/Image.h"

// A node appended: undo removes it, redo appends it again.
class NodeAddedCommand : public Command {
 public:
  explicit NodeAddedCommand(const BezierNode& node) : node_(node) {}
  std::unique_ptr<Command> apply(CWorkDocument& document) override;
  uint32_t memoryUsage() const override { return 64; }

 private:
  BezierNode node_;
  bool removes_ = true;
};

// The path closed (or opened), with node 0 as it was.
class PathClosedCommand : public Command {
 public:
  PathClosedCommand(bool closedToRestore, const BezierNode& firstNode)
      : closed_(closedToRestore), firstNode_(firstNode) {}
  std::unique_ptr<Command> apply(CWorkDocument& document) override;
  uint32_t memoryUsage() const override { return 72; }

 private:
  bool closed_;
  BezierNode firstNode_;
};

// One node changed: applying exchanges it with the stored copy.
class NodeChangedCommand : public Command {
 public:
  NodeChangedCommand(size_t index, const BezierNode& node) : index_(index), node_(node) {}
  std::unique_ptr<Command> apply(CWorkDocument& document) override;
  uint32_t memoryUsage() const override { return 64; }

 private:
  size_t index_;
  BezierNode node_;
};

// The closed path filled into the mask: the coverage difference and the
// whole path, which the fill took out of the document.
class PathFilledCommand : public Command {
 public:
  PathFilledCommand(std::unique_ptr<Image> delta, CBezierPath&& path)
      : delta_(std::move(delta)), path_(std::move(path)) {}
  std::unique_ptr<Command> apply(CWorkDocument& document) override;
  uint32_t memoryUsage() const override {
    return delta_->memoryUsage() + 28 + 56 * static_cast<uint32_t>(path_.size());
  }

 private:
  std::unique_ptr<Image> delta_;
  CBezierPath path_;
};
