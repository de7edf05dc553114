// The work document: the one object that ties the views to the work. It
// knows the image's size and the images a mask edit works on, tells its
// views which image areas changed, and owns the command history behind Undo
// and Redo, which gives memory back when memory runs short (redo commands
// first, then the oldest undo commands).
#pragma once

#include <cstdint>
#include <memory>

#include "display/CBezierPath.h"
#include "display/CommandHistory.h"
#include "display/DocumentView.h"
#include "image/Geometry.h"
#include "shell/Purgeable.h"

class Image;

class CWorkDocument : public Purgeable {
 public:
  // The system has one work document at a time (made by the first mask
  // view, deleted with the last); Current() finds it, or null.
  CWorkDocument();
  ~CWorkDocument() override;
  static CWorkDocument* Current() { return current_; }
  // Tells documents apart over the whole run of the process, also one made
  // where an earlier one was freed (a pointer cannot).
  uint64_t Serial() const { return serial_; }

  // (height, width) of the host's filter rectangle.
  struct Size {
    int16_t height;
    int16_t width;
  };
  virtual Size GetImageSize() const;

  // The mask under edit (the last plane of the host's output) and the
  // working image (the document's colour planes) of the current run.
  void SetWorkImages(Image* mask, Image* working) {
    mask_ = mask;
    working_ = working;
  }
  Image* MaskImage() const { return mask_; }
  Image* WorkingImage() const { return working_; }

  // The pen's path, empty and open at creation, and the view it is drawn
  // in (none while no view shows it).
  CBezierPath& Path() { return path_; }
  BezierPathView* PathView() const { return pathView_; }
  void SetPathView(BezierPathView* view) { pathView_ = view; }

  // Views are put at the front of the list; a removed view must be on it.
  void AddView(DocumentView& view);
  void RemoveView(DocumentView& view);
  bool HasViews() const { return firstView_ != nullptr; }
  DocumentView* FirstView() const { return firstView_; }
  // The work window's view, offered idle time before the others.
  DocumentView* MainView() const { return mainView_; }
  void SetMainView(DocumentView* view) { mainView_ = view; }
  // Every view invalidates the rectangle in its own window coordinates.
  void InvalidateImageRect(const Rect& rect);

  // Appends a change that has been made; never throws for lack of memory
  // (without memory the change just cannot be undone).
  void PushCommand(std::unique_ptr<Command> command) noexcept { history_.push(std::move(command)); }
  // Exceptions from a command's apply pass to the caller; the history is
  // unchanged for that step. A pending command is taken back first.
  void Undo() {
    DropPendingCommand();
    history_.undo(*this);
  }
  void Redo() {
    DropPendingCommand();
    history_.redo(*this);
  }

  // A change shown while it is being made and not yet in the history (the
  // pen's preview of the next node, a point being dragged): the command
  // that takes it back. It is applied and dropped before any command of
  // the history is applied, so that a preview never stays.
  void SetPendingCommand(std::unique_ptr<Command> command) { pending_ = std::move(command); }
  Command* PendingCommand() const { return pending_.get(); }
  std::unique_ptr<Command> TakePendingCommand() { return std::move(pending_); }
  // Takes the pending change back and forgets it; nothing without one.
  void DropPendingCommand();
  bool CanUndo() const { return history_.canUndo(); }
  bool CanRedo() const { return history_.canRedo(); }

  const CommandHistory& history() const { return history_; }

  // Level 0 frees nothing; any other level deletes one command.
  uint32_t purge(int level) override { return level == 0 ? 0 : history_.purgeOne(); }

 private:
  CommandHistory history_;
  DocumentView* firstView_ = nullptr;
  DocumentView* mainView_ = nullptr;
  Image* mask_ = nullptr;
  Image* working_ = nullptr;
  CBezierPath path_;
  BezierPathView* pathView_ = nullptr;
  std::unique_ptr<Command> pending_;
  CWorkDocument* previous_;  // the current document before this one
  uint64_t serial_;
  static inline CWorkDocument* current_ = nullptr;
  static inline uint64_t lastSerial_ = 0;
};
