#include "platform/Controls.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>

#include "platform/Input.h"
#include "platform/Menu.h"
#include "platform/SystemMetrics.h"
#include "platform/WindowDC.h"

namespace platform {
namespace {

void notifyParent(Window& control, uint32_t code) {
  if (Window* parent = control.parent())
    parent->send(kWmCommand, makeWParam(static_cast<uint32_t>(control.id()), code),
                 reinterpret_cast<intptr_t>(&control));
}

Colour face() { return systemColour(kColourBtnFace); }

void paintText(DeviceContext& dc, const Rect& r, const std::string& text, unsigned format, bool enabled) {
  dc.setBkMode(kBkTransparent);
  dc.setTextColour(systemColour(enabled ? kColourBtnText : kColourGrayText));
  dc.drawText(r, text, format);
}

// Runs the paint of a control in a paint context over its update region.
template <typename Paint>
intptr_t paintWith(Window& w, Paint paint) {
  PaintDC dc(w);
  paint(static_cast<DeviceContext&>(dc));
  return 0;
}


}  // namespace

CreateParams controlParams(Window& parent, int id, const Rect& rect, std::string text) {
  CreateParams p;
  p.title = std::move(text);
  p.style = kWsChild | kWsVisible;
  p.parent = &parent;
  p.rect = rect;
  p.id = id;
  return p;
}

// ---- ScrollBar ----

int32_t ScrollBar::maxPosition() const {
  const int64_t span = static_cast<int64_t>(info_.max) - (info_.page > 0 ? static_cast<int64_t>(info_.page) - 1 : 0);
  return static_cast<int32_t>(std::max<int64_t>(info_.min, span));
}

int32_t ScrollBar::clamp(int32_t pos) const { return std::clamp(pos, info_.min, std::max(info_.min, maxPosition())); }

int32_t ScrollBar::setInfo(const ScrollInfo& info, bool redraw) {
  if (info.mask & kSifRange) info_.min = info.min, info_.max = std::max(info.min, info.max);
  if (info.mask & kSifPage) info_.page = info.page;
  if (info.mask & kSifPos) info_.pos = info.pos;
  info_.pos = clamp(info_.pos);
  if (info.mask & kSifDisableNoScroll) {
    const bool nothingToScroll = info_.page > 0 && static_cast<int64_t>(info_.page) > info_.max - info_.min;
    enable(!nothingToScroll && info_.max > info_.min);
  } else if (!isEnabled() && (info.mask & (kSifRange | kSifPage))) {
    enable(true);
  }
  if (redraw) invalidate(false);
  return info_.pos;
}

int32_t ScrollBar::setPosition(int32_t pos) {
  info_.pos = clamp(pos);
  invalidate(false);
  return info_.pos;
}

int32_t ScrollBar::trackLength() const {
  const Rect r = clientRect();
  const int32_t arrow = vertical_ ? r.width() : r.height();
  return std::max(0, (vertical_ ? r.height() : r.width()) - 2 * arrow);
}

Rect ScrollBar::thumbRect() const {
  const Rect r = clientRect();
  const int32_t arrow = vertical_ ? r.width() : r.height();
  const int32_t track = trackLength();
  const int64_t range = static_cast<int64_t>(info_.max) - info_.min + 1;
  if (!isEnabled() || range <= 0 || track <= 0) return {};
  int32_t size = info_.page ? static_cast<int32_t>(track * std::min<int64_t>(info_.page, range) / range) : arrow;
  size = std::clamp(size, std::min(8, track), track);
  const int64_t movable = std::max<int64_t>(1, maxPosition() - info_.min);
  const auto offset = static_cast<int32_t>((track - size) * (static_cast<int64_t>(info_.pos) - info_.min) / movable);
  return vertical_ ? Rect{0, arrow + offset, r.width(), arrow + offset + size}
                   : Rect{arrow + offset, 0, arrow + offset + size, r.height()};
}

void ScrollBar::notify(uint32_t code, int32_t pos) {
  if (Window* parent = this->parent())
    parent->send(vertical_ ? kWmVScroll : kWmHScroll, makeWParam(code, static_cast<uint32_t>(pos)),
                 reinterpret_cast<intptr_t>(this));
}

// A filled triangle in the middle of an arrow button, pointing up or left
// (towards the start) or down or right (towards the end).
void ScrollBar::drawArrow(DeviceContext& dc, const Rect& button, bool towardsEnd, Colour colour) const {
  const int32_t breadth = std::min(button.width(), button.height());
  const int32_t depth = std::max(2, breadth / 4);
  const int32_t cx = button.left + button.width() / 2, cy = button.top + button.height() / 2;
  dc.setRop2(kR2CopyPen);
  dc.setPen({kPenSolid, colour});
  for (int32_t i = 0; i < depth; ++i) {
    // Row i from the tip: 2i+1 pixels.
    const int32_t along = towardsEnd ? depth / 2 - i : i - depth / 2;
    if (vertical_) {
      dc.moveTo({cx - i, cy + along});
      dc.lineTo({cx + i + 1, cy + along});
    } else {
      dc.moveTo({cx + along, cy - i});
      dc.lineTo({cx + along, cy + i + 1});
    }
  }
}

void ScrollBar::paint(DeviceContext& dc) {
  const Rect r = clientRect();
  // The track of a disabled bar is plain face colour.
  dc.fillRect(r, Brush::solid(systemColour(isEnabled() ? kColour3dLight : kColourBtnFace)));
  const int32_t arrow = vertical_ ? r.width() : r.height();
  const Rect first = vertical_ ? Rect{0, 0, r.width(), arrow} : Rect{0, 0, arrow, r.height()};
  const Rect last = vertical_ ? Rect{0, r.height() - arrow, r.width(), r.height()}
                              : Rect{r.width() - arrow, 0, r.width(), r.height()};
  const bool enabled = isEnabled();
  bool towardsEnd = false;
  for (const Rect& a : {first, last}) {
    dc.fillRect(a, Brush::solid(face()));
    dc.drawEdge(a, kEdgeRaised);
    // A disabled bar shows its arrows grey, embossed, as disabled text is.
    if (!enabled) drawArrow(dc, a.offsetBy(1, 1), towardsEnd, systemColour(kColourBtnHighlight));
    drawArrow(dc, a, towardsEnd, systemColour(enabled ? kColourBtnText : kColourGrayText));
    towardsEnd = true;
  }
  const Rect thumb = thumbRect();
  if (!thumb.isEmpty()) {
    dc.fillRect(thumb, Brush::solid(face()));
    dc.drawEdge(thumb, kEdgeRaised);
  }
}

intptr_t ScrollBar::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmPaint:
      return paintWith(*this, [&](DeviceContext& dc) { paint(dc); });
    case kWmLButtonDown: {
      if (!isEnabled()) return 0;
      const Point p = pointOfParam(lParam);
      const Rect r = clientRect();
      const int32_t along = vertical_ ? p.y : p.x;
      const int32_t arrow = vertical_ ? r.width() : r.height();
      const int32_t length = vertical_ ? r.height() : r.width();
      const Rect thumb = thumbRect();
      if (along < arrow) {
        notify(kSbLineUp, info_.pos);
      } else if (along >= length - arrow) {
        notify(kSbLineDown, info_.pos);
      } else if (thumb.contains(p)) {
        dragging_ = true;
        dragOffset_ = along - (vertical_ ? thumb.top : thumb.left);
        setCapture();
        return 0;
      } else {
        notify(along < (vertical_ ? thumb.top : thumb.left) ? kSbPageUp : kSbPageDown, info_.pos);
      }
      notify(kSbEndScroll, info_.pos);
      return 0;
    }
    case kWmMouseMove:
    case kWmLButtonUp: {
      if (!dragging_) return 0;
      const Point p = pointOfParam(lParam);
      const Rect thumb = thumbRect();
      const int32_t arrow = vertical_ ? clientRect().width() : clientRect().height();
      const int32_t size = vertical_ ? thumb.height() : thumb.width();
      const int32_t free = std::max(1, trackLength() - size);
      const int32_t offset = std::clamp((vertical_ ? p.y : p.x) - dragOffset_ - arrow, 0, free);
      info_.trackPos = info_.min + static_cast<int32_t>(static_cast<int64_t>(maxPosition() - info_.min) * offset / free);
      if (message == kWmMouseMove) {
        notify(kSbThumbTrack, info_.trackPos);
      } else {
        dragging_ = false;
        releaseCapture();
        notify(kSbThumbPosition, info_.trackPos);
        notify(kSbEndScroll, info_.pos);
      }
      return 0;
    }
    case kWmEnable:
      invalidate(false);
      return 0;
    default:
      return Window::handleMessage(message, wParam, lParam);
  }
}

// ---- SizeBox ----

intptr_t SizeBox::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message != kWmPaint) return Window::handleMessage(message, wParam, lParam);
  return paintWith(*this, [&](DeviceContext& dc) {
    const Rect r = clientRect();
    dc.fillRect(r, Brush::solid(face()));
    dc.setPen({kPenSolid, systemColour(kColourBtnShadow)});
    for (int32_t k = 4; k < std::min(r.width(), r.height()); k += 4) {
      dc.moveTo({r.right - 1, r.bottom - k - 1});
      dc.lineTo({r.right - k - 1, r.bottom - 1});
    }
  });
}

// ---- PushButton ----

void PushButton::setIcon(const Icon& icon) {
  icon_ = icon;
  invalidate(false);
}

void PushButton::setPressed(bool pressed) {
  if (pressed_ == pressed) return;
  pressed_ = pressed;
  invalidate(false);
}

void PushButton::click() {
  if (!isEnabled()) return;
  notifyParent(*this, kBnClicked);
}

void PushButton::paint(DeviceContext& dc) {
  const Rect r = clientRect();
  dc.fillRect(r, Brush::solid(face()));
  dc.drawEdge(r, pressed_ ? kEdgeSunken : kEdgeRaised);
  if (default_) {
    dc.setBrush(Brush::null());
    dc.setPen({kPenSolid, systemColour(kColourWindowText)});
    dc.rectangle(r);
  }
  const int32_t shift = pressed_ ? 1 : 0;
  if (hasFocus()) {
    dc.setBrush(Brush::null());
    dc.setPen({kPenSolid, systemColour(kColourBtnShadow)});
    dc.rectangle({r.left + 4, r.top + 4, r.right - 4, r.bottom - 4});
  }
  if (!icon_.isNull()) {
    dc.drawIcon({(r.width() - icon_.width()) / 2 + shift, (r.height() - icon_.height()) / 2 + shift}, icon_);
  } else {
    paintText(dc, r.offsetBy(shift, shift), title(), kDtCenter | kDtVCenter | kDtSingleLine, isEnabled());
  }
}

intptr_t PushButton::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmPaint:
      return paintWith(*this, [&](DeviceContext& dc) { paint(dc); });
    case kWmLButtonDown:
      tracking_ = true;
      setCapture();
      setPressed(true);
      return 0;
    case kWmMouseMove:
      if (tracking_) setPressed(clientRect().contains(pointOfParam(lParam)));
      return 0;
    case kWmLButtonUp: {
      if (!tracking_) return 0;
      tracking_ = false;
      releaseCapture();
      setPressed(false);
      if (clientRect().contains(pointOfParam(lParam))) click();
      return 0;
    }
    case kWmKeyDown:
      if (wParam == kVkSpace || wParam == kVkReturn) {
        click();
        return 0;
      }
      if ((wParam == kVkEscape || wParam == kVkTab) && parent()) return parent()->send(message, wParam, lParam);
      return Window::handleMessage(message, wParam, lParam);
    case kWmSetFocus:
    case kWmKillFocus:
    case kWmEnable:
    case kWmSetText:
      invalidate(false);
      return 0;
    default:
      return Window::handleMessage(message, wParam, lParam);
  }
}

// ---- CheckableButton, RadioButton, CheckBox ----

void CheckableButton::setChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  invalidate(true);
}

intptr_t CheckableButton::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmPaint:
      return paintWith(*this, [&](DeviceContext& dc) {
        const Rect r = clientRect();
        dc.fillRect(r, Brush::solid(face()));
        const int32_t d = std::min(13, r.height());
        const int32_t top = (r.height() - d) / 2;
        drawMark(dc, {0, top, d, top + d});
        paintText(dc, {d + 4, 0, r.right, r.bottom}, title(), kDtVCenter | kDtSingleLine, isEnabled());
      });
    case kWmLButtonUp:
      if (!isEnabled()) return 0;
      clicked();
      notifyParent(*this, kBnClicked);
      return 0;
    case kWmKeyDown:
      if (wParam == kVkSpace && isEnabled()) {
        clicked();
        notifyParent(*this, kBnClicked);
        return 0;
      }
      if ((wParam == kVkTab || wParam == kVkReturn || wParam == kVkEscape) && parent())
        return parent()->send(message, wParam, lParam);
      return Window::handleMessage(message, wParam, lParam);
    case kWmSetFocus:
    case kWmKillFocus:
    case kWmSetText:
    case kWmEnable:
      invalidate(true);
      return 0;
    default:
      return Window::handleMessage(message, wParam, lParam);
  }
}

std::vector<RadioButton*> RadioButton::group() {
  std::vector<RadioButton*> out;
  if (parent() == nullptr) return {this};
  const auto& siblings = parent()->children();
  auto self = std::find(siblings.begin(), siblings.end(), this);
  auto start = self;
  while (start != siblings.begin() && !((*start)->style() & kWsGroup)) --start;
  for (auto it = start; it != siblings.end(); ++it) {
    if (it != start && ((*it)->style() & kWsGroup)) break;
    if (auto* radio = dynamic_cast<RadioButton*>(*it)) out.push_back(radio);
  }
  return out;
}

void RadioButton::check() {
  for (RadioButton* r : group()) r->setChecked(r == this);
}

void RadioButton::drawMark(DeviceContext& dc, const Rect& box) const {
  dc.setPen({kPenSolid, systemColour(kColourBtnShadow)});
  dc.setBrush(Brush::solid(systemColour(kColourWindow)));
  dc.ellipse(box);
  if (!isChecked()) return;
  dc.setPen({kPenNull, 0});
  dc.setBrush(Brush::solid(systemColour(kColourWindowText)));
  dc.ellipse({box.left + 3, box.top + 3, box.right - 3, box.bottom - 3});
}

void CheckBox::drawMark(DeviceContext& dc, const Rect& box) const {
  dc.setPen({kPenSolid, systemColour(kColourBtnShadow)});
  dc.setBrush(Brush::solid(systemColour(kColourWindow)));
  dc.rectangle(box);
  if (!isChecked()) return;
  dc.setPen({kPenSolid, systemColour(kColourWindowText)});
  dc.moveTo({3, box.top + 6});
  dc.lineTo({5, box.top + 9});
  dc.lineTo({10, box.top + 3});
}

// ---- GroupBox, StaticText, StaticImage ----

intptr_t GroupBox::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message != kWmPaint) return Window::handleMessage(message, wParam, lParam);
  return paintWith(*this, [&](DeviceContext& dc) {
    const Rect r = clientRect();
    dc.fillRect(r, Brush::solid(face()));
    const Size text = dc.textExtent(Menu::displayText(title()));
    const int32_t line = text.cy / 2;
    dc.drawEdge({r.left, r.top + line, r.right, r.bottom}, kEdgeSunken);
    dc.fillRect({6, 0, 10 + text.cx, text.cy}, Brush::solid(face()));
    paintText(dc, {8, 0, 8 + text.cx, text.cy}, title(), kDtSingleLine, isEnabled());
  });
}

intptr_t StaticText::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == kWmSetText) {
    invalidate(true);
    return 0;
  }
  if (message != kWmPaint) return Window::handleMessage(message, wParam, lParam);
  return paintWith(*this, [&](DeviceContext& dc) {
    dc.fillRect(clientRect(), Brush::solid(face()));
    paintText(dc, clientRect(), title(), format_, isEnabled());
  });
}

void StaticImage::setImage(const Bitmap& image) {
  image_ = image;
  invalidate(true);
}

intptr_t StaticImage::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message != kWmPaint) return Window::handleMessage(message, wParam, lParam);
  return paintWith(*this, [&](DeviceContext& dc) {
    dc.fillRect(clientRect(), Brush::solid(face()));
    if (!image_.isNull()) dc.drawIcon({0, 0}, image_);
  });
}

// ---- NumberField ----

namespace {
constexpr int32_t kFieldInset = 4;
constexpr unsigned kFieldText = kDtLeft | kDtVCenter | kDtSingleLine | kDtNoPrefix;
}  // namespace

void NumberField::setText(std::string text) {
  setTitle(std::move(text));
  anchor_ = caret_ = title().size();
  invalidate(true);
}

void NumberField::setInteger(long value) { setText(std::to_string(value)); }

void NumberField::setSelection(size_t anchor, size_t caret) {
  anchor_ = std::min(anchor, title().size());
  caret_ = std::min(caret, title().size());
  invalidate(true);
}

void NumberField::replaceSelection(const std::string& with) {
  std::string text = title();
  const size_t start = selectionStart();
  text.replace(start, selectionEnd() - start, with);
  setTitle(std::move(text));
  anchor_ = caret_ = start + with.size();
  invalidate(true);
  notifyParent(*this, kEnChange);
}

bool NumberField::integer(long& out) const {
  const std::string& t = title();
  size_t first = t.find_first_not_of(' ');
  size_t last = t.find_last_not_of(' ');
  if (first == std::string::npos) return false;
  const char* begin = t.data() + first;
  const char* end = t.data() + last + 1;
  long value = 0;
  auto [ptr, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || ptr != end) return false;
  out = value;
  return true;
}

void NumberField::paint(DeviceContext& dc) {
  const Rect r = clientRect();
  dc.fillRect(r, Brush::solid(systemColour(isEnabled() ? kColourWindow : kColourBtnFace)));
  dc.drawEdge(r, kEdgeSunken);
  const std::string& text = title();
  const auto xAt = [&](size_t offset) { return kFieldInset + dc.textExtent(std::string_view(text).substr(0, offset)).cx; };
  const Rect line{r.left + kFieldInset, r.top, r.right - 2, r.bottom};
  paintText(dc, line, text, kFieldText, isEnabled());
  if (!hasFocus()) return;
  const size_t start = selectionStart(), end = selectionEnd();
  if (start < end) {
    const Rect selected{xAt(start), 3, std::min(xAt(end), r.right - 2), r.bottom - 3};
    dc.fillRect(selected, Brush::solid(systemColour(kColourHighlight)));
    dc.setBkMode(kBkTransparent);
    dc.setTextColour(systemColour(kColourHighlightText));
    dc.drawText({selected.left, r.top, r.right - 2, r.bottom}, std::string_view(text).substr(start, end - start), kFieldText);
    return;
  }
  dc.setRop2(kR2Not);
  dc.moveTo({xAt(caret_), 3});
  dc.lineTo({xAt(caret_), r.bottom - 3});
}

intptr_t NumberField::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmPaint:
      return paintWith(*this, [&](DeviceContext& dc) { paint(dc); });
    case kWmChar: {
      const size_t start = selectionStart(), end = selectionEnd();
      if (wParam == kVkBack) {
        if (start == end && start == 0) return 0;
        if (start == end) anchor_ = caret_ - 1;
        replaceSelection({});
      } else if (wParam >= '0' && wParam <= '9') {
        if (start == 0 && end < title().size() && title()[end] == '-') return 0;
        replaceSelection(std::string(1, static_cast<char>(wParam)));
      } else if (wParam == '-') {
        if (start != 0 || (end < title().size() && title()[end] == '-')) return 0;
        replaceSelection("-");
      }
      return 0;
    }
    case kWmLButtonDown: {
      setFocus();
      // The caret goes to the character boundary nearest the click.
      ClientDC dc(*this);
      const int32_t x = pointOfParam(lParam).x - kFieldInset;
      size_t best = 0;
      for (size_t i = 1; i <= title().size(); ++i)
        if (std::abs(dc.textExtent(std::string_view(title()).substr(0, i)).cx - x) <
            std::abs(dc.textExtent(std::string_view(title()).substr(0, best)).cx - x))
          best = i;
      setSelection(best, best);
      return 0;
    }
    case kWmKeyDown: {
      const bool shift = (keyState(kVkShift) & 0x8000) != 0;
      const size_t size = title().size();
      size_t to = caret_;
      switch (wParam) {
        case kVkTab:
        case kVkReturn:
        case kVkEscape:
          // They belong to the dialog around the field.
          return parent() ? parent()->send(message, wParam, lParam) : 0;
        case kVkLeft:
          to = !shift && selectionStart() != selectionEnd() ? selectionStart() : (caret_ > 0 ? caret_ - 1 : 0);
          break;
        case kVkRight:
          to = !shift && selectionStart() != selectionEnd() ? selectionEnd() : std::min(size, caret_ + 1);
          break;
        case kVkHome: to = 0; break;
        case kVkEnd: to = size; break;
        case kVkDelete:
          if (selectionStart() == selectionEnd()) {
            if (caret_ >= size) return 0;
            anchor_ = caret_ + 1;
          }
          replaceSelection({});
          return 0;
        default:
          return Window::handleMessage(message, wParam, lParam);
      }
      setSelection(shift ? anchor_ : to, to);
      return 0;
    }
    case kWmSetFocus:
    case kWmKillFocus:
      invalidate(true);
      return 0;
    default:
      return Window::handleMessage(message, wParam, lParam);
  }
}

// ---- ListBox ----

void ListBox::changed() {
  updateScrollBar();
  if (redraw_) invalidate(true);
}

int32_t ListBox::rowWidth() const {
  const int32_t bar = scrollBar_ && scrollBar_->exists() ? scrollBar_->clientRect().width() : 0;
  return std::max(0, clientRect().width() - bar);
}

void ListBox::updateScrollBar() {
  if (!scrollBar_ || !scrollBar_->exists()) return;
  // The page is the number of rows that fit from the top row on.
  int32_t height = 0;
  int visible = 0;
  for (int i = top_; i < count() && height + rowHeight(i) <= clientRect().height(); ++i, ++visible) height += rowHeight(i);
  scrollBar_->setInfo({kSifAll | kSifDisableNoScroll, 0, std::max(0, count() - 1),
                       static_cast<uint32_t>(std::max(1, visible)), top_, 0});
}

void ListBox::ensureVisible(int index) {
  if (index < 0 || index >= count()) return;
  if (index < top_) {
    setTopIndex(index);
    return;
  }
  while (top_ < index && rowRect(index).bottom > clientRect().height()) ++top_;
  changed();
}

int ListBox::insertRow(int index, uintptr_t data, int32_t height) {
  if (index < -1 || index > count()) return -1;
  const int at = index == -1 ? count() : index;
  rows_.insert(rows_.begin() + at, Row{data, std::max(1, height), false});
  if (caret_ >= at) ++caret_;
  changed();
  return at;
}

bool ListBox::deleteRow(int index) {
  if (index < 0 || index >= count()) return false;
  rows_.erase(rows_.begin() + index);
  if (caret_ == index) {
    caret_ = -1;
  } else if (caret_ > index) {
    --caret_;
  }
  top_ = std::clamp(top_, 0, std::max(0, count() - 1));
  changed();
  return true;
}

void ListBox::clear() {
  rows_.clear();
  caret_ = -1;
  top_ = 0;
  changed();
}

uintptr_t ListBox::rowData(int index) const {
  return index >= 0 && index < count() ? rows_[static_cast<size_t>(index)].data : 0;
}

bool ListBox::setRowData(int index, uintptr_t data) {
  if (index < 0 || index >= count()) return false;
  rows_[static_cast<size_t>(index)].data = data;
  invalidateRow(index);
  return true;
}

int32_t ListBox::rowHeight(int index) const {
  return index >= 0 && index < count() ? rows_[static_cast<size_t>(index)].height : 0;
}

bool ListBox::setRowHeight(int index, int32_t height) {
  if (index < 0 || index >= count()) return false;
  rows_[static_cast<size_t>(index)].height = std::max(1, height);
  changed();
  return true;
}

bool ListBox::isSelected(int index) const {
  return index >= 0 && index < count() && rows_[static_cast<size_t>(index)].selected;
}

bool ListBox::setSelected(int index, bool selected) {
  if (index < 0 || index >= count()) return false;
  rows_[static_cast<size_t>(index)].selected = selected;
  invalidateRow(index);
  return true;
}

bool ListBox::setCaretIndex(int index) {
  if (index < -1 || index >= count()) return false;
  const int old = caret_;
  caret_ = index;
  invalidateRow(old);
  invalidateRow(index);
  return true;
}

bool ListBox::setTopIndex(int index) {
  if (index < 0 || (index >= count() && count() > 0)) return false;
  top_ = index;
  changed();
  return true;
}

Rect ListBox::rowRect(int index) const {
  if (index < 0 || index >= count()) return {};
  int32_t y = 0;
  if (index >= top_) {
    for (int i = top_; i < index; ++i) y += rows_[static_cast<size_t>(i)].height;
  } else {
    for (int i = index; i < top_; ++i) y -= rows_[static_cast<size_t>(i)].height;
  }
  return {0, y, rowWidth(), y + rows_[static_cast<size_t>(index)].height};
}

int ListBox::rowFromPoint(Point client, bool& outside) const {
  int32_t y = 0;
  for (int i = top_; i < count(); ++i) {
    const int32_t h = rows_[static_cast<size_t>(i)].height;
    if (client.y >= y && client.y < y + h && client.y >= 0) {
      outside = client.x < 0 || client.x >= rowWidth();
      return i;
    }
    y += h;
  }
  outside = true;
  return count();
}

void ListBox::setRedraw(bool on) {
  redraw_ = on;
  if (on) invalidate(true);
}

void ListBox::invalidateRow(int index) {
  if (!redraw_ || index < 0 || index >= count()) return;
  invalidateRect(rowRect(index), true);
}

void ListBox::paint(DeviceContext& dc, const Region& area) {
  const Rect all = clientRect();
  int32_t bottom = 0;
  for (int i = top_; i < count() && bottom < all.bottom; ++i) {
    const Rect r = rowRect(i);
    bottom = r.bottom;
    if (!area.intersects(r)) continue;
    const DrawItem item{i, r, isSelected(i), hasFocus() && i == caret_};
    if (drawRow) {
      drawRow(dc, item);
    } else {
      dc.fillRect(r, Brush::solid(systemColour(item.selected ? kColourHighlight : kColourWindow)));
    }
  }
  if (bottom < all.bottom) dc.fillRect({0, bottom, rowWidth(), all.bottom}, Brush::solid(systemColour(kColourWindow)));
}

intptr_t ListBox::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmPaint: {
      if (!redraw_) {
        // Nothing is drawn while redrawing is off; turning it on again
        // repaints the whole list.
        validate();
        return 0;
      }
      PaintDC dc(*this);
      paint(dc, dc.paintRegion());
      return 0;
    }
    case kWmEraseBkgnd:
      return 1;  // the rows cover everything
    case kWmCreate:
      if (style() & kWsVScroll) {
        scrollBar_ = std::make_unique<ScrollBar>(true);
        if (!scrollBar_->create(controlParams(*this, 0, {0, 0, systemMetric(kSmCxVScroll), 0}))) return -1;
      }
      return 0;
    case kWmSize:
      if (scrollBar_ && scrollBar_->exists()) {
        const int32_t w = pointParamX(lParam), h = pointParamY(lParam);
        scrollBar_->move({w - systemMetric(kSmCxVScroll), 0, w, h});
      }
      changed();
      return 0;
    case kWmVScroll: {
      const int32_t last = std::max(0, count() - 1);
      switch (lowWord(wParam)) {
        case kSbLineUp: setTopIndex(std::max(0, top_ - 1)); break;
        case kSbLineDown: setTopIndex(std::min(last, top_ + 1)); break;
        case kSbPageUp: setTopIndex(std::max(0, top_ - static_cast<int>(scrollBar_->info().page))); break;
        case kSbPageDown: setTopIndex(std::min(last, top_ + static_cast<int>(scrollBar_->info().page))); break;
        case kSbThumbTrack:
        case kSbThumbPosition: setTopIndex(std::clamp(static_cast<int>(highWord(wParam)), 0, last)); break;
        case kSbTop: setTopIndex(0); break;
        case kSbBottom: setTopIndex(last); break;
        default: break;
      }
      return 0;
    }
    case kWmLButtonDown: {
      setFocus();
      bool outside = false;
      const int row = rowFromPoint(pointOfParam(lParam), outside);
      if (!outside && row < count()) {
        setCaretIndex(row);
        notifyParent(*this, kLbnSelChange);
      }
      return 0;
    }
    case kWmSetFocus:
    case kWmKillFocus:
      invalidateRow(caret_);
      return 0;
    default:
      return Window::handleMessage(message, wParam, lParam);
  }
}

}  // namespace platform
