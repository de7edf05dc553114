#pragma once

#include <QRegion>

#include "platform/Region.h"

namespace platform {

struct Region::Impl {
  QRegion region;
};

inline QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }
inline Rect fromQRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

}  // namespace platform
