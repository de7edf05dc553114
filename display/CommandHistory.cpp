#include "display/CommandHistory.h"

#include <new>

namespace {
// Where the first block's first reference goes: its middle, so the queue
// can grow at either end.
constexpr size_t kFirstInsertion = CommandHistory::kBlockSize / 2;
}  // namespace

CommandHistory::~CommandHistory() { clear(); }

std::unique_ptr<Command>& CommandHistory::slot(size_t index) const {
  const size_t at = first_ + index;
  return blocks_[at / kBlockSize][at % kBlockSize];
}

bool CommandHistory::reserveBack() {
  if (first_ + count_ < blocks_.size() * kBlockSize) return true;
  try {
    blocks_.reserve(blocks_.size() + 1);
    blocks_.push_back(std::make_unique<std::unique_ptr<Command>[]>(kBlockSize));
  } catch (...) {
    return false;
  }
  if (blocks_.size() == 1) first_ = kFirstInsertion;
  return true;
}

void CommandHistory::push(std::unique_ptr<Command> command) noexcept {
  while (count_ > position_) popBack();
  if (!reserveBack()) return;
  slot(count_) = std::move(command);
  position_ = ++count_;
}

// The command's reverse takes its place; a command that is its own reverse
// stays.
void CommandHistory::applyAt(size_t index, CWorkDocument& document) {
  std::unique_ptr<Command>& stored = slot(index);
  if (std::unique_ptr<Command> reverse = stored->apply(document)) stored = std::move(reverse);
}

bool CommandHistory::undo(CWorkDocument& document) {
  if (!canUndo()) return false;
  applyAt(position_ - 1, document);
  --position_;
  return true;
}

bool CommandHistory::redo(CWorkDocument& document) {
  if (!canRedo()) return false;
  applyAt(position_, document);
  ++position_;
  return true;
}

void CommandHistory::popBack() noexcept {
  slot(count_ - 1).reset();
  --count_;
  if (position_ > count_) position_ = count_;
  if (count_ == 0) {
    blocks_.clear();
    first_ = 0;
  } else if (first_ + count_ <= (blocks_.size() - 1) * kBlockSize) {
    blocks_.pop_back();
  }
}

void CommandHistory::popFront() noexcept {
  if (count_ == 1) {
    popBack();
    return;
  }
  slot(0).reset();
  ++first_;
  --count_;
  if (position_ > 0) --position_;
  if (first_ >= kBlockSize) {
    blocks_.erase(blocks_.begin());
    first_ -= kBlockSize;
  }
}

uint32_t CommandHistory::purgeOne() noexcept {
  if (canRedo()) {
    const uint32_t bytes = slot(count_ - 1)->memoryUsage();
    popBack();
    return bytes;
  }
  if (canUndo()) {
    const uint32_t bytes = slot(0)->memoryUsage();
    popFront();
    return bytes;
  }
  return 0;
}

void CommandHistory::clear() noexcept {
  while (canRedo()) popBack();
  while (count_ > 0) popFront();
}
