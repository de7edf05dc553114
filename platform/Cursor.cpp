#include "platform/Cursor.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QPixmap>

#include <map>

#include "platform/internal/Backend.h"
#include "platform/internal/BitmapImpl.h"

namespace platform {
namespace {

const std::map<int, Qt::CursorShape>& systemShapes() {
  static const std::map<int, Qt::CursorShape> shapes{
      {kIdcArrow, Qt::ArrowCursor},        {kIdcIBeam, Qt::IBeamCursor},
      {kIdcWait, Qt::WaitCursor},          {kIdcCross, Qt::CrossCursor},
      {kIdcUpArrow, Qt::UpArrowCursor},    {kIdcSize, Qt::SizeAllCursor},
      {kIdcIcon, Qt::ArrowCursor},         {kIdcSizeNwse, Qt::SizeFDiagCursor},
      {kIdcSizeNesw, Qt::SizeBDiagCursor}, {kIdcSizeWe, Qt::SizeHorCursor},
      {kIdcSizeNs, Qt::SizeVerCursor},     {kIdcSizeAll, Qt::SizeAllCursor},
      {kIdcNo, Qt::ForbiddenCursor},       {kIdcHand, Qt::PointingHandCursor},
      {kIdcAppStarting, Qt::BusyCursor},   {kIdcHelp, Qt::WhatsThisCursor},
      {kIdcDragCopy, Qt::DragCopyCursor},  {kIdcDragMove, Qt::DragMoveCursor},
  };
  return shapes;
}

std::map<int, Cursor>& resources() {
  static std::map<int, Cursor> map;
  return map;
}

Cursor& current() {
  static Cursor cursor{kIdcArrow, {}, {}};
  return cursor;
}

void showOnScreen(const Cursor& cursor) {
  if (!backend::hasScreen()) return;
  QCursor q;
  if (cursor.isNull()) {
    q = QCursor(Qt::BlankCursor);
  } else if (!cursor.image.isNull()) {
    q = QCursor(QPixmap::fromImage(cursor.image.impl().image), cursor.hotSpot.x, cursor.hotSpot.y);
  } else {
    auto it = systemShapes().find(cursor.id);
    q = QCursor(it == systemShapes().end() ? Qt::ArrowCursor : it->second);
  }
  if (QApplication::overrideCursor()) {
    QApplication::changeOverrideCursor(q);
  } else {
    QApplication::setOverrideCursor(q);
  }
}

}  // namespace

bool isSystemCursorId(int id) { return systemShapes().count(id) != 0; }

Cursor loadSystemCursor(int id) { return isSystemCursorId(id) ? Cursor{id, {}, {}} : Cursor{}; }

Cursor loadCursor(int id) {
  if (isSystemCursorId(id)) return loadSystemCursor(id);
  auto it = resources().find(id);
  return it == resources().end() ? Cursor{} : it->second;
}

void registerCursor(int id, const Bitmap& image, Point hotSpot) { resources()[id] = Cursor{id, image, hotSpot}; }

Cursor setCursor(const Cursor& cursor) {
  Cursor previous = current();
  const bool changed = previous.id != cursor.id;
  current() = cursor;
  if (changed) showOnScreen(cursor);
  return previous;
}

Cursor currentCursor() { return current(); }

WaitCursor::WaitCursor() : previous_(setCursor(loadSystemCursor(kIdcWait))) {}

WaitCursor::~WaitCursor() { setCursor(previous_); }

}  // namespace platform
