// The child window in which the document is shown: it owns the mapping
// between image pixels and window pixels, keeps its scroll bars in step,
// turns mouse and key messages into calls on the active tool and the
// application, and schedules repainting.
//
// Three kinds of coordinates meet here (each axis alike):
//   content = image × zoom (here 1:1),
//   window  = content − (visible top-left − GDI origin),
//   client  = window − GDI origin.
// The GDI origin is the visible top-left cut to its low 14 bits, so the
// window coordinates handed to drawing calls stay within 16 bits however
// large the content; (visible top-left − GDI origin) is a multiple of 16384.
#pragma once

#include <cstdint>
#include <functional>

#include "display/DocumentView.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "platform/Region.h"
#include "platform/Window.h"

class CWorkDocument;

class CImageView : public platform::Window, public DocumentView {
 public:
  CImageView();
  ~CImageView() override;

  // Reads the image size from the document, takes it as the content size,
  // updates the scroll bars and repaints everything with erasing.
  virtual void OnImageSizeChanged();
  virtual void UpdateScrollBars();
  // Conversions in place. Image rectangles are (left, top, right, bottom)
  // like window ones.
  void ImageToWindowRect(platform::Rect& rect) const override;
  virtual void ImageToWindowPoint(platform::Point& point) const;
  virtual void WindowToImageRect(platform::Rect& rect) const;
  virtual void WindowToImagePoint(platform::Point& point) const;
  // Invalidates without erasing, clamped to 16 bits in client coordinates.
  void InvalidateWindowRect(const platform::Rect& rect) override;
  virtual void OnFocusGained() {}
  virtual void OnFocusLost() {}
  // Draws a region given in window coordinates.
  virtual void PaintRegion(const platform::Region& region) { (void)region; }
  // Points are window coordinates; flags are the mouse message's flags
  // with 0x40 for Alt.
  virtual void MouseDown(platform::Point point, uint32_t flags) { (void)point, (void)flags; }
  virtual void MouseMove(platform::Point point, uint32_t flags) { (void)point, (void)flags; }
  virtual void MouseUp(platform::Point point, uint32_t flags) { (void)point, (void)flags; }

  // Moves the visible rectangle (content coordinates; its size is the
  // client size). A content smaller than the window is centred on that
  // axis, otherwise the position is clamped to the content. With
  // `scrollWindow` the pixels on screen move along.
  void ScrollTo(const platform::Rect& visible, bool scrollWindow);

  // The bars may live in another window (the work window's container),
  // which then passes their messages here.
  void SetScrollBars(platform::ScrollBar* vertical, platform::ScrollBar* horizontal);
  platform::Size ContentSize() const { return content_; }
  const platform::Rect& VisibleRect() const { return visible_; }
  platform::Point GdiOrigin() const { return gdiOrigin_; }
  // visible top-left − GDI origin: window = content − WindowBase().
  platform::Point WindowBase() const;
  // The visible rectangle in window coordinates.
  platform::Rect VisibleWindowRect() const;
  // The image rectangle (0, 0, height, width), empty without a document or
  // outside a host call.
  platform::Rect ImageRect() const;
  // Window to client coordinates and back.
  platform::Point WindowToClient(platform::Point p) const { return {p.x - gdiOrigin_.x, p.y - gdiOrigin_.y}; }
  platform::Point ClientToWindow(platform::Point p) const { return {p.x + gdiOrigin_.x, p.y + gdiOrigin_.y}; }
  // Units of content pixels per scroll-bar unit: 2^shift.
  int32_t ScrollShift(bool vertical) const { return vertical ? vShift_ : hShift_; }

  CWorkDocument* Document() const { return document_; }

  // The application's key handlers; views forward their key messages with
  // the modifier word (4 Shift, 8 Ctrl, 0x40 Alt, 2 right button, 1 left
  // button up). Without handlers keys travel to the parent window.
  struct KeyHandlers {
    std::function<void(uint32_t key, uint32_t flags, bool wasDown)> keyDown;
    std::function<void(uint32_t key, uint32_t flags)> keyUp;
  };
  static void SetKeyHandlers(KeyHandlers handlers);

  // Modifier words from the asynchronous key state.
  static uint32_t KeyFlags();
  static uint32_t MouseFlags(uintptr_t messageFlags);

  // The GDI origin of a visible top-left coordinate: its low 14 bits with
  // the sign kept.
  static int32_t Low14(int32_t value);

 protected:
  intptr_t handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  void AttachDocument(CWorkDocument* document);
  void DetachDocument();
  // The content size for an image size; 1:1 here.
  virtual platform::Size ContentForImage(int32_t height, int32_t width) const { return {width, height}; }
  void SetContentSize(platform::Size size) { content_ = size; }
  // Called before and after the visible area moves or the zoom changes
  // (navigators redraw their frame around them), once around a change
  // however many steps it takes.
  virtual void VisibleAreaWillChange() {}
  virtual void VisibleAreaChanged() {}
  // Brackets one change of the visible area; nested brackets notify once.
  class StVisibleChange {
   public:
    explicit StVisibleChange(CImageView& view) : view_(view) {
      if (view_.changeDepth_++ == 0) view_.VisibleAreaWillChange();
    }
    ~StVisibleChange() {
      if (--view_.changeDepth_ == 0) view_.VisibleAreaChanged();
    }
    StVisibleChange(const StVisibleChange&) = delete;
    StVisibleChange& operator=(const StVisibleChange&) = delete;

   private:
    CImageView& view_;
  };
  // The window coordinates moved by (dx, dy) because the visible top-left
  // crossed a multiple of 16384: what is kept in window coordinates moves.
  virtual void WindowBaseMoved(int32_t dx, int32_t dy) { (void)dx, (void)dy; }

 private:
  void OnPaint();
  void EraseBackground(platform::DeviceContext& dc);
  void OnScroll(bool vertical, uint32_t code, int32_t thumb);
  void OnButton(bool down, intptr_t lParam, uint32_t flags);
  void OnKey(uint32_t message, uintptr_t key, intptr_t lParam);

  platform::Size content_;
  platform::Rect visible_;
  platform::Point gdiOrigin_;
  platform::ScrollBar* vBar_ = nullptr;
  platform::ScrollBar* hBar_ = nullptr;
  int32_t vShift_ = 0;
  int32_t hShift_ = 0;
  CWorkDocument* document_ = nullptr;
  int changeDepth_ = 0;
};
