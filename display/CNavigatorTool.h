// The tool of the navigator views: it works on the main view through a
// navigator view that shows the same document. Over the box that outlines
// the main view's visible area it drags that area along (box mode);
// elsewhere a rubber band chooses the area the main view then fits.
#pragma once

#include "display/CTool.h"

class CMaskView;

class CNavigatorTool : public CTool {
 public:
  static constexpr int32_t kId = 3322;
  static constexpr int32_t kBoxCursor = 3311;

  int32_t CursorResourceId() const override { return kId; }
  int32_t GetCursorId() override { return boxMode_ ? kBoxCursor : kId; }
  void DrawFeedback(bool show) override;
  bool ShowFeedback() override;
  void ButtonDown() override;
  void ButtonUp() override;
  // Used from the start: releasing it always returns to the previous tool.
  void Enter() override { SetUsed(true); }

  bool BoxMode() const { return boxMode_; }

 private:
  // Whether the pointer is over the main view's box in the navigator.
  void HoverTest();
  // Scrolls the main view so the box follows the pointer.
  void FollowPointer();
  // A navigator point in the main view's window coordinates minus its GDI
  // origin (content-relative client coordinates).
  platform::Point ToMainView(platform::Point imagePoint) const;

  bool boxMode_ = false;
  platform::Point imagePoint_;
  platform::Point grab_;
};

// The one navigator tool (registered with the tool registry by the tools).
CNavigatorTool& TheNavigatorTool();
