#include "ui/CColourListBox.h"

#include <algorithm>
#include <vector>

#include "platform/Input.h"
#include "platform/Message.h"
#include "platform/Resources.h"
#include "platform/SystemMetrics.h"
#include "platform/WindowDC.h"
#include "shell/PlugIn.h"
#include "tools/CEyedropperTool.h"
#include "tools/ColourClassifier.h"
#include "tools/ColourList.h"

namespace {

using platform::Point;
using platform::Rect;

platform::Colour colour(int index) { return platform::systemColour(index); }

void fill(platform::DeviceContext& dc, const Rect& r, platform::Colour c) { dc.fillRect(r, platform::Brush::solid(c)); }

Rect inset(const Rect& r, int32_t dx, int32_t dy) { return {r.left + dx, r.top + dy, r.right - dx, r.bottom - dy}; }

bool shiftIsDown() { return (platform::asyncKeyState(platform::kVkShift) & 0x8000) != 0; }

// A block of the entry's channel bytes the size of the rectangle, handed to
// the host's display service, which converts the entry's mode for the
// screen. Without the service the swatch stays empty.
void paintColour(platform::DeviceContext& dc, const Rect& r, const ColourEntry& entry) {
  if (gFilterRecord == nullptr || gFilterRecord->displayPixels == nullptr || r.isEmpty()) return;
  const auto channels = static_cast<size_t>(entry.ChannelCount());
  if (channels == 0) return;
  std::vector<uint8_t> block(static_cast<size_t>(r.width()) * static_cast<size_t>(r.height()) * channels);
  for (size_t at = 0; at < block.size(); at += channels)
    std::copy_n(entry.channels.begin(), channels, block.begin() + static_cast<ptrdiff_t>(at));
  HostPixelMap map{};
  map.version = 1;
  map.bounds = {r.top, r.left, r.bottom, r.right};
  map.imageMode = entry.mode;
  map.rowBytes = r.width() * static_cast<int32_t>(channels);
  map.colBytes = static_cast<int32_t>(channels);
  map.planeBytes = 1;
  map.baseAddr = block.data();
  const HostRect32 source = map.bounds;
  (void)gFilterRecord->displayPixels(&map, &source, r.top, r.left, &dc);
}

}  // namespace

CColourListBox::CColourListBox(ColourList& list) : list_(list) {}

CColourListBox::~CColourListBox() {
  if (exists()) destroy();
}

bool CColourListBox::CreateList(platform::Window& bar, const Rect& rect, std::string title) {
  colourFormat_ = platform::registerClipboardFormat(kColourFormatName);
  colourSetFormat_ = platform::registerClipboardFormat(kColourSetFormatName);
  if (colourFormat_ == 0 || colourSetFormat_ == 0) return false;
  platform::CreateParams params = platform::controlParams(bar, 0, rect, std::move(title));
  params.style |= platform::kWsVScroll;
  if (!create(params)) return false;
  if (!platform::registerDropTarget(*this, *this)) {
    destroy();
    return false;
  }
  drawRow = [this](platform::DeviceContext& dc, const DrawItem& item) { DrawRow(dc, item); };
  ListReset();
  list_.SetView(this);
  if (list_.RowCount() == 0) list_.AddEmptySet(false);
  if (list_.currentRow() < 0) list_.MakeCurrent(0);
  return true;
}

// ---- Geometry ----

Rect CColourListBox::SetColumnCell(int row) const {
  const Rect r = rowRect(row);
  return {0, r.top, kSwatchLeft, r.top + kCellHeight};
}

Rect CColourListBox::SwatchCell(int row) const {
  const Rect r = rowRect(row);
  return {kSwatchLeft, r.top, r.right, r.top + kCellHeight};
}

Rect CColourListBox::SwatchFrame(int row) const { return inset(SwatchCell(row), 7, 3); }

int CColourListBox::DropIndexAt(Point client) const {
  bool outside = false;
  // Only the height decides; a point beside the rows still names its row.
  return rowFromPoint({client.x, client.y + kDropLookBelow}, outside);
}

// From 2 pixels above the boundary to 1 below it, across the list (from
// the swatches for a colour, from the left edge for a set), with a tick
// 2 pixels wide under each end.
CColourListBox::InsertionMark CColourListBox::InsertionMarkAt(int index, DragKind kind) const {
  const int32_t line = index < count() ? rowRect(index).top : rowRect(count() - 1).bottom;
  const int32_t left = kind == DragKind::kColourSet ? 0 : kSwatchLeft;
  const int32_t right = rowWidth();
  return {{left, line - 2, right, line + 1}, {left, line + 1, left + 2, line + 2}, {right - 2, line + 1, right, line + 2}};
}

// ---- Drawing ----

// One raised button face over all rows of a set: its edges run down both
// sides of every row, across the top of the first and the bottom of the
// last. Sunken while the set is being clicked, its mark one pixel lower
// and further right.
void CColourListBox::DrawSetColumn(platform::DeviceContext& dc, int row) const {
  const Rect cell = SetColumnCell(row);
  const bool first = list_.SetFirstRow(row) == row, last = list_.SetLastRow(row) == row;
  const bool pressed = pressedSetRow_ >= 0 && pressedSetRow_ < list_.RowCount() &&
                       list_.RowAt(pressedSetRow_).key == list_.RowAt(row).key;
  const platform::Colour light = colour(platform::kColourBtnHighlight), shadow = colour(platform::kColourBtnShadow),
                         dark = colour(platform::kColour3dDkShadow);
  fill(dc, cell, colour(platform::kColourBtnFace));
  const auto vertical = [&](int32_t x, platform::Colour c) { fill(dc, {x, cell.top, x + 1, cell.bottom}, c); };
  const auto horizontal = [&](int32_t y, platform::Colour c) { fill(dc, {cell.left, y, cell.right, y + 1}, c); };
  if (pressed) {
    if (first) horizontal(cell.top, shadow), horizontal(cell.top + 1, dark);
    if (last) horizontal(cell.bottom - 1, light);
    vertical(cell.left, shadow);
    vertical(cell.left + 1, dark);
    vertical(cell.right - 1, light);
  } else {
    if (first) horizontal(cell.top, light);
    if (last) horizontal(cell.bottom - 2, shadow), horizontal(cell.bottom - 1, dark);
    vertical(cell.left, light);
    vertical(cell.right - 2, shadow);
    vertical(cell.right - 1, dark);
  }
  if (!first) return;
  const bool selected = list_.RowAt(row).selected;
  const int icon = list_.keepList() ? (selected ? kKeepTicked : kKeepUnticked) : (selected ? kDropTicked : kDropUnticked);
  const int32_t offset = pressed ? 1 : 0;
  dc.drawIcon({cell.left + 5 + offset, cell.top + 4 + offset}, platform::resources::loadIcon(icon));
}

// A raised cell, the window colour inside, and the swatch framed in the
// text colour: the colour itself, or a hatch for an empty entry.
void CColourListBox::DrawSwatch(platform::DeviceContext& dc, int row) const {
  const Rect cell = SwatchCell(row);
  fill(dc, cell, colour(platform::kColourWindow));
  fill(dc, {cell.left, cell.top, cell.right, cell.top + 1}, colour(platform::kColourBtnHighlight));
  fill(dc, {cell.left, cell.top, cell.left + 1, cell.bottom}, colour(platform::kColourBtnHighlight));
  fill(dc, {cell.left, cell.bottom - 1, cell.right, cell.bottom}, colour(platform::kColourBtnShadow));
  fill(dc, {cell.right - 1, cell.top, cell.right, cell.bottom}, colour(platform::kColourBtnShadow));
  const Rect frame = SwatchFrame(row);
  dc.frameRect(frame, platform::Brush::solid(colour(platform::kColourWindowText)));
  const Rect inside = inset(frame, 1, 1);
  const ColourEntry& entry = list_.RowAt(row).entry;
  if (entry.IsColour()) {
    paintColour(dc, inside, entry);
    return;
  }
  const platform::Colour text = dc.setTextColour(colour(platform::kColourBtnShadow));
  const platform::Colour background = dc.setBkColour(colour(platform::kColourWindow));
  dc.fillRect(inside, platform::Brush::patterned(
                          platform::resources::loadBitmap(list_.keepList() ? kKeepHatch : kDropHatch)));
  dc.setTextColour(text);
  dc.setBkColour(background);
}

void CColourListBox::InvertFrame(platform::DeviceContext& dc, const Rect& outer, const Rect& inner) {
  dc.invertRect(outer);
  dc.invertRect(inner);
}

// Two nested rectangles inverted around the swatch leave a frame 2 pixels
// wide.
void CColourListBox::InvertCurrentMark(platform::DeviceContext& dc, int row) const {
  const Rect cell = SwatchCell(row);
  InvertFrame(dc, inset(cell, 3, 0), inset(cell, 5, 2));
}

void CColourListBox::InvertInsertionMark(platform::DeviceContext& dc, int index, DragKind kind) const {
  const InsertionMark mark = InsertionMarkAt(index, kind);
  dc.invertRect(mark.bar);
  dc.invertRect(mark.leftTick);
  dc.invertRect(mark.rightTick);
}

void CColourListBox::DrawRow(platform::DeviceContext& dc, const DrawItem& item) const {
  if (item.index >= list_.RowCount()) return;
  DrawSetColumn(dc, item.index);
  DrawSwatch(dc, item.index);
  if (item.rect.height() > kCellHeight)
    fill(dc, {item.rect.left, item.rect.top + kCellHeight, item.rect.right, item.rect.bottom}, colour(platform::kColourWindow));
  if (item.index == list_.currentRow()) InvertCurrentMark(dc, item.index);
}

// The feedback drawn by inversion over freshly painted rows, clipped to
// what was painted, so that it stays exactly as it was drawn.
void CColourListBox::DrawOverlays(platform::DeviceContext& dc) const {
  if (pressedCell_) InvertFrame(dc, *pressedCell_, inset(*pressedCell_, 2, 2));
  if (marked_ >= 0) InvertInsertionMark(dc, marked_, markedKind_);
}

void CColourListBox::Mark(int index) {
  if (index == marked_ && over_ == markedKind_) return;
  platform::ClientDC dc(*this);
  if (marked_ >= 0) InvertInsertionMark(dc, marked_, markedKind_);
  marked_ = index;
  markedKind_ = over_;
  InvertInsertionMark(dc, marked_, markedKind_);
}

void CColourListBox::Unmark() {
  if (marked_ < 0) return;
  platform::ClientDC dc(*this);
  InvertInsertionMark(dc, marked_, markedKind_);
  marked_ = -1;
}

void CColourListBox::InvalidateSetColumns(int first, int last) {
  if (first < 0 || last < first || last >= count()) return;
  invalidateRect({0, rowRect(first).top, kSwatchLeft, rowRect(last).bottom}, false);
}

// ---- The list's changes ----

void CColourListBox::SyncRowHeights() {
  const int rows = std::min(count(), list_.RowCount());
  for (int row = 0; row < rows; ++row) {
    const bool lastOfSet = row + 1 == rows || list_.RowAt(row + 1).key != list_.RowAt(row).key;
    const int32_t height = lastOfSet ? kLastRowHeight : kRowHeight;
    if (rowHeight(row) != height) setRowHeight(row, height);
  }
}

void CColourListBox::RowsInserted(int first, int rows) {
  for (int i = 0; i < rows; ++i) insertRow(first + i, 0, kRowHeight);
  SyncRowHeights();
  CaretMoved(list_.caretRow());
}

void CColourListBox::RowsRemoved(int first, int rows) {
  for (int i = 0; i < rows; ++i) deleteRow(first);
  SyncRowHeights();
  FillFromTop();
  CaretMoved(list_.caretRow());
}

// A list scrolled down keeps no free space under its last row when rows
// above its top would fit there.
void CColourListBox::FillFromTop() {
  int top = topIndex();
  int32_t below = 0;
  for (int row = top; row < count(); ++row) below += rowHeight(row);
  while (top > 0 && below + rowHeight(top - 1) <= clientRect().height()) below += rowHeight(--top);
  if (top != topIndex()) setTopIndex(top);
}

void CColourListBox::RowChanged(int row) {
  if (row >= 0 && row < count()) invalidateRect(SwatchCell(row), false);
}

void CColourListBox::SelectionChanged(int first, int rows) { InvalidateSetColumns(first, first + rows - 1); }

void CColourListBox::CurrentRowChanged(int previous, int current) {
  RowChanged(previous);
  RowChanged(current);
}

void CColourListBox::CaretMoved(int row) {
  if (row < 0 || row >= count()) return;
  if (caretIndex() != row) setCaretIndex(row);
  const Rect r = rowRect(row);
  if (r.top < 0 || r.bottom > clientRect().height()) ensureVisible(row);
}

void CColourListBox::ListReset() {
  clear();
  for (int row = 0; row < list_.RowCount(); ++row) insertRow(row, 0, kRowHeight);
  SyncRowHeights();
  CaretMoved(list_.caretRow());
}

// Paints come only when the queue has nothing else, never in the middle of
// one list operation, so there is nothing to hold back while one runs; each
// step invalidates no more than it changed.
void CColourListBox::SuspendRedraw(bool) {}

// ---- Clicking and dragging out ----

void CColourListBox::Press(Point client) {
  bool outside = false;
  const int row = rowFromPoint(client, outside);
  if (outside || row >= count() || row >= list_.RowCount()) return;
  // The gap under a set's last row belongs to neither cell.
  if (client.y >= rowRect(row).top + kCellHeight) return;
  if (client.x > kSetColumnLastX)
    PressSwatch(row);
  else
    PressSetColumn(row);
}

// The pressed swatch shows an inverted frame while its colour may be
// dragged away. A press that moved nothing and ends on the swatch makes
// the row current, for this list's eyedropper to fill.
void CColourListBox::PressSwatch(int row) {
  const Rect r = rowRect(row);
  const Rect cell{kSetColumnLastX + 1, r.top, r.right, r.top + kCellHeight};
  {
    platform::ClientDC dc(*this);
    InvertFrame(dc, cell, inset(cell, 2, 2));
  }
  pressedCell_ = cell;

  std::vector<uint8_t> bytes(ColourEntry::kBytes);
  list_.RowAt(row).entry.Write(bytes.data());
  platform::DataObject data;
  data.set(colourFormat_, std::move(bytes));
  dragged_ = {DragKind::kColour, row, row};
  droppedAt_ = -1;
  const uint32_t effect = platform::doDragDrop(data, platform::kDropEffectCopy | platform::kDropEffectMove);
  dragged_ = {};

  // Nothing has been painted over the frame since it was drawn, or the
  // paint drew it again: inverting it once more takes it away exactly.
  {
    platform::ClientDC dc(*this);
    InvertFrame(dc, cell, inset(cell, 2, 2));
  }
  pressedCell_.reset();

  if ((effect & platform::kDropEffectMove) != 0) {
    // A drop into this list above the row has pushed it down by one.
    list_.DeleteRow(droppedAt_ >= 0 && droppedAt_ <= row ? row + 1 : row);
    return;
  }
  if (effect == platform::kDropEffectNone && cell.contains(screenToClient(platform::cursorPosition()))) {
    list_.MakeCurrent(row);
    selectEyedropper(list_.keepList());
  }
}

// The set's column is drawn sunken while the whole set may be dragged away
// (from the moment the pointer leaves its rows). A press that moved nothing
// and ends on the row selects the set.
void CColourListBox::PressSetColumn(int row) {
  const int first = list_.SetFirstRow(row), last = list_.SetLastRow(row);
  const int32_t key = list_.RowAt(row).key;
  pressedSetRow_ = row;
  InvalidateSetColumns(first, last);
  updateNow();

  platform::DataObject data;
  data.set(colourSetFormat_, list_.SetOf(row).Bytes());
  const Rect start = clientRectToScreen({0, rowRect(first).top, rowWidth(), rowRect(last).bottom});
  dragged_ = {DragKind::kColourSet, first, last};
  const uint32_t effect = platform::doDragDrop(data, platform::kDropEffectMove, &start);
  dragged_ = {};
  pressedSetRow_ = -1;

  if ((effect & platform::kDropEffectMove) != 0) {
    list_.DeleteSet(key);
  } else {
    InvalidateSetColumns(first, last);
    bool outside = false;
    const Point at = screenToClient(platform::cursorPosition());
    if (effect == platform::kDropEffectNone && rowFromPoint(at, outside) == row && !outside)
      list_.SelectSet(row, shiftIsDown());
  }
  invalidateClassifier();
}

// ---- Dropping in ----

// Dropping something of this list's own back where it came from would
// leave every colour where it is, yet lose the set's key or the current
// row on the way; it is refused, and the press counts as a click.
bool CColourListBox::DropKeepsListAsItIs(int index, Point client) const {
  if (dragged_.kind != over_) return false;
  if (dragged_.kind == DragKind::kColourSet) return index == dragged_.first || index == dragged_.last + 1;
  const int row = dragged_.first;
  if (index == row) return true;
  if (index != row + 1) return false;
  if (index < list_.RowCount()) return list_.RowAt(index).key == list_.RowAt(row).key;
  // At the end: the colour joins the last set, its own, when the pointer is
  // over the last row.
  return rowRect(row).contains(client);
}

uint32_t CColourListBox::EffectAt(Point client, uint32_t keyState, int& index) const {
  index = DropIndexAt(client);
  switch (over_) {
    case DragKind::kColour: {
      if ((keyState & platform::kMkControl) != 0) return platform::kDropEffectCopy;
      return DropKeepsListAsItIs(index, client) ? platform::kDropEffectNone : platform::kDropEffectMove;
    }
    case DragKind::kColourSet:
      if (!list_.SetMayStartAt(index) || DropKeepsListAsItIs(index, client)) return platform::kDropEffectNone;
      return platform::kDropEffectMove;
    case DragKind::kNeither:
      break;
  }
  return platform::kDropEffectNone;
}

uint32_t CColourListBox::dragEnter(platform::Window& window, const platform::DataObject& data, uint32_t keyState,
                                   Point screen, uint32_t allowed) {
  over_ = data.has(colourFormat_)      ? DragKind::kColour
          : data.has(colourSetFormat_) ? DragKind::kColourSet
                                       : DragKind::kNeither;
  return dragOver(window, data, keyState, screen, allowed);
}

uint32_t CColourListBox::dragOver(platform::Window&, const platform::DataObject&, uint32_t keyState, Point screen,
                                  uint32_t) {
  int index = -1;
  const uint32_t effect = EffectAt(screenToClient(screen), keyState, index);
  if (effect == platform::kDropEffectNone)
    Unmark();
  else
    Mark(index);
  return effect;
}

void CColourListBox::dragLeave(platform::Window&) { Unmark(); }

uint32_t CColourListBox::drop(platform::Window&, const platform::DataObject& data, uint32_t keyState, Point screen,
                              uint32_t) {
  const Point client = screenToClient(screen);
  int index = -1;
  const uint32_t effect = EffectAt(client, keyState, index);
  Unmark();
  if (effect == platform::kDropEffectNone) return effect;
  if (over_ == DragKind::kColourSet) {
    const std::vector<uint8_t>* block = data.data(colourSetFormat_);
    const auto set = block != nullptr ? ColourSetBlock::Read(block->data(), block->size()) : std::nullopt;
    if (!set) return platform::kDropEffectNone;
    const int at = list_.InsertSet(index, *set, (keyState & platform::kMkShift) != 0);
    if (at < 0) return platform::kDropEffectNone;
    droppedAt_ = at;
    return effect;
  }
  const std::vector<uint8_t>* block = data.data(colourFormat_);
  const auto entry = block != nullptr ? ColourEntry::ReadBlock(block->data(), block->size()) : std::nullopt;
  if (!entry) return platform::kDropEffectNone;
  const bool overLastRow = rowRect(list_.RowCount() - 1).contains(client);
  droppedAt_ = list_.DropColour(index, *entry, overLastRow);
  return effect;
}

// ---- Messages ----

intptr_t CColourListBox::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case platform::kWmPaint: {
      platform::PaintDC dc(*this);
      paint(dc, dc.paintRegion());
      DrawOverlays(dc);
      return 0;
    }
    case platform::kWmLButtonDown:
      setFocus();
      Press(platform::pointOfParam(lParam));
      return 0;
    case platform::kWmDestroy:
      platform::revokeDropTarget(*this);
      list_.SetView(nullptr);
      break;
    default:
      break;
  }
  return ListBox::handleMessage(message, wParam, lParam);
}
