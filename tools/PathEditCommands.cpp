#include "tools/PathEditCommands.h"

#include "display/CWorkDocument.h"
#include "tools/MaskEdit.h"

std::unique_ptr<Command> NodeAddedCommand::apply(CWorkDocument& document) {
  CBezierPath& path = document.Path();
  if (removes_)
    node_ = path.RemoveLastNode(document.PathView());
  else
    path.AppendNodeData(document.PathView(), node_);
  removes_ = !removes_;
  return nullptr;
}

std::unique_ptr<Command> PathClosedCommand::apply(CWorkDocument& document) {
  CBezierPath& path = document.Path();
  const bool wasClosed = path.closed();
  path.SetClosed(document.PathView(), closed_);
  closed_ = wasClosed;
  path.ReplaceNode(document.PathView(), 0, firstNode_);
  return nullptr;
}

std::unique_ptr<Command> NodeChangedCommand::apply(CWorkDocument& document) {
  document.Path().ReplaceNode(document.PathView(), index_, node_);
  return nullptr;
}

std::unique_ptr<Command> PathFilledCommand::apply(CWorkDocument& document) {
  document.Path().SwapWith(document.PathView(), path_);
  MaskDeltaRecord::applyDelta(*delta_, document);
  return nullptr;
}
