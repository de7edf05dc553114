#include "display/CWorkDocument.h"

#include <cassert>

#include "shell/PlugIn.h"

CWorkDocument::CWorkDocument() : previous_(current_), serial_(++lastSerial_) { current_ = this; }

CWorkDocument::~CWorkDocument() {
  if (current_ == this) current_ = previous_;
}

CWorkDocument::Size CWorkDocument::GetImageSize() const {
  const HostRect& r = gFilterRecord->filterRect;
  return {static_cast<int16_t>(r.bottom - r.top), static_cast<int16_t>(r.right - r.left)};
}

void CWorkDocument::DropPendingCommand() {
  if (std::unique_ptr<Command> pending = std::move(pending_)) (void)pending->apply(*this);
}

void CWorkDocument::AddView(DocumentView& view) {
  view.nextView_ = firstView_;
  firstView_ = &view;
}

void CWorkDocument::RemoveView(DocumentView& view) {
  for (DocumentView** link = &firstView_; *link != nullptr; link = &(*link)->nextView_) {
    if (*link == &view) {
      *link = view.nextView_;
      view.nextView_ = nullptr;
      if (mainView_ == &view) mainView_ = nullptr;
      return;
    }
  }
  assert(!"RemoveView: the view is not on the document's list");
}

void CWorkDocument::InvalidateImageRect(const Rect& rect) {
  for (DocumentView* view = firstView_; view != nullptr; view = view->nextView_) {
    platform::Rect windowRect{rect.left, rect.top, rect.right, rect.bottom};
    view->ImageToWindowRect(windowRect);
    view->InvalidateWindowRect(windowRect);
  }
}
