#include "display/FeedbackKit.h"

#include <cstdint>

#include "display/CImageView.h"
#include "platform/Resources.h"
#include "platform/WindowDC.h"

namespace {

platform::DeviceContext* gCurrentDC = nullptr;
CImageView* gCurrentView = nullptr;

// Rows of the 2 × 2 patterns, leftmost pixel in the high bit.
platform::Bitmap makePattern(int pattern) {
  uint8_t rows[2] = {0, 0};
  switch (pattern) {
    case kPatternChecker: rows[0] = 0x80, rows[1] = 0x40; break;
    case kPatternQuarter: rows[0] = 0x80, rows[1] = 0x00; break;
    case kPatternThreeQuarters: rows[0] = 0xC0, rows[1] = 0x40; break;
    default: rows[0] = 0xC0, rows[1] = 0xC0; break;
  }
  return platform::Bitmap::monochrome(2, 2, rows);
}

struct PatternRegistrar {
  PatternRegistrar() {
    for (int id = kPatternChecker; id <= kPatternSolid; ++id) platform::resources::registerBitmap(id, makePattern(id));
  }
} gPatternRegistrar;

}  // namespace

platform::DeviceContext* CurrentFeedbackDC() { return gCurrentDC; }
CImageView* CurrentFeedbackView() { return gCurrentView; }

platform::Bitmap FeedbackPatternBitmap(int pattern) {
  platform::Bitmap b = platform::resources::loadBitmap(pattern);
  return b.isNull() ? makePattern(pattern) : b;
}

StFeedbackDC::StFeedbackDC(CImageView& view) {
  if (gCurrentDC != nullptr && gCurrentView == &view) {
    dc_ = gCurrentDC;
    previousDC_ = gCurrentDC;
    previousView_ = gCurrentView;
    return;
  }
  auto client = std::make_unique<platform::ClientDC>(view);
  const platform::Point origin = view.GdiOrigin();
  client->setViewportOrigin({-origin.x, -origin.y});
  client->setBkMode(platform::kBkOpaque);
  client->setPen({platform::kPenSolid, 0});
  client->setTextColour(0);
  client->setBkColour(0xFFFFFF);
  client->setBrush(platform::Brush::patterned(FeedbackPatternBitmap(kPatternSolid)));
  owned_ = std::move(client);
  makeCurrent(view, *owned_);
}

StFeedbackDC::StFeedbackDC(CImageView& view, platform::DeviceContext& dc) { makeCurrent(view, dc); }

void StFeedbackDC::makeCurrent(CImageView& view, platform::DeviceContext& dc) {
  previousDC_ = gCurrentDC;
  previousView_ = gCurrentView;
  dc_ = &dc;
  gCurrentDC = &dc;
  gCurrentView = &view;
}

StFeedbackDC::~StFeedbackDC() {
  gCurrentDC = previousDC_;
  gCurrentView = previousView_;
}

StInvertMode::StInvertMode(platform::DeviceContext& dc)
    : dc_(dc), rop_(dc.rop2()), pen_(dc.pen()), text_(dc.textColour()), bk_(dc.bkColour()) {
  dc.setRop2(platform::kR2Not);
  dc.setPen({platform::kPenSolid, 0x808080});
  dc.setTextColour(0x808080);
  dc.setBkColour(0);
}

StInvertMode::~StInvertMode() {
  dc_.setRop2(rop_);
  dc_.setPen(pen_);
  dc_.setTextColour(text_);
  dc_.setBkColour(bk_);
}

void FeedbackMoveTo(platform::DeviceContext& dc, platform::Point p) { dc.moveTo(p); }

void FeedbackLineTo(platform::DeviceContext& dc, platform::Point p) {
  const platform::Pen previous = dc.setPen({platform::kPenSolid, dc.pen().colour});
  dc.lineTo(p);
  dc.setPen(previous);
}

void FeedbackRectangle(platform::DeviceContext& dc, const platform::Rect& r) {
  const platform::Brush previous = dc.setBrush(platform::Brush::null());
  const platform::Pen pen = dc.setPen({platform::kPenSolid, dc.pen().colour});
  dc.rectangle(r);
  dc.setPen(pen);
  dc.setBrush(previous);
}

void FeedbackEllipse(platform::DeviceContext& dc, const platform::Rect& r) {
  const platform::Brush previous = dc.setBrush(platform::Brush::null());
  const platform::Pen pen = dc.setPen({platform::kPenSolid, dc.pen().colour});
  dc.ellipse(r);
  dc.setPen(pen);
  dc.setBrush(previous);
}

void FeedbackFillRect(platform::DeviceContext& dc, const platform::Rect& r) {
  const platform::Pen pen = dc.setPen({platform::kPenNull, 0});
  // Without a pen the figure leaves out its last row and column.
  dc.rectangle({r.left, r.top, r.right + 1, r.bottom + 1});
  dc.setPen(pen);
}

void SelectFeedbackPattern(platform::DeviceContext& dc, int pattern) {
  dc.setBrush(platform::Brush::patterned(FeedbackPatternBitmap(pattern)));
}
