#include "display/CommandHistory.h"

#include <new>

namespace {
// Where the first block's first reference goes: its middle, so the queue
// can grow at either end.
constexpr size_t kFirstInsertion = CommandHistory::kBlockSize / 2;
}  // namespace

CommandHistory::~CommandHistory() { clear(); }

Command*& CommandHistory::slot(size_t index) const {
  const size_t at = first_ + index;
  return blocks_[at / kBlockSize][at % kBlockSize];
}

bool CommandHistory::reserveBack() {
  if (first_ + count_ < blocks_.size() * kBlockSize) return true;
  try {
    blocks_.reserve(blocks_.size() + 1);
    blocks_.push_back(new Command*[kBlockSize]);
  } catch (...) {
    return false;
  }
  if (blocks_.size() == 1) first_ = kFirstInsertion;
  return true;
}

void CommandHistory::push(Command* command) noexcept {
  while (count_ > position_) popBack();
  if (!reserveBack()) {
    delete command;
    return;
  }
  slot(count_) = command;
  position_ = ++count_;
}

void CommandHistory::replace(size_t index, Command* reverse) {
  Command*& stored = slot(index);
  if (reverse != stored) delete stored;
  stored = reverse;
}

bool CommandHistory::undo(CWorkDocument& document) {
  if (!canUndo()) return false;
  replace(position_ - 1, slot(position_ - 1)->apply(document));
  --position_;
  return true;
}

bool CommandHistory::redo(CWorkDocument& document) {
  if (!canRedo()) return false;
  replace(position_, slot(position_)->apply(document));
  ++position_;
  return true;
}

void CommandHistory::popBack() noexcept {
  delete slot(count_ - 1);
  --count_;
  if (position_ > count_) position_ = count_;
  if (count_ == 0) {
    for (Command** block : blocks_) delete[] block;
    blocks_.clear();
    first_ = 0;
  } else if (first_ + count_ <= (blocks_.size() - 1) * kBlockSize) {
    delete[] blocks_.back();
    blocks_.pop_back();
  }
}

void CommandHistory::popFront() noexcept {
  if (count_ == 1) {
    popBack();
    return;
  }
  delete slot(0);
  ++first_;
  --count_;
  if (position_ > 0) --position_;
  if (first_ >= kBlockSize) {
    delete[] blocks_.front();
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
