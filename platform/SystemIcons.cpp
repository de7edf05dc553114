// The system's own icons (hand, question, exclamation, asterisk), drawn
// here at 32 × 32 pixels.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "platform/Resources.h"
#include "platform/internal/Backend.h"

namespace platform::resources {

Icon systemIcon(int id) {
  if (id < kIdiHand || id > kIdiAsterisk) return {};
  backend::ensureApplication();
  QImage image(32, 32, QImage::Format_RGBA8888);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill;
    QString mark;
    if (id == kIdiExclamation) {
      QPainterPath triangle;
      triangle.moveTo(16, 1.5);
      triangle.lineTo(30.5, 29.5);
      triangle.lineTo(1.5, 29.5);
      triangle.closeSubpath();
      p.setPen(QPen(QColor(0, 0, 0), 1));
      p.setBrush(QColor(255, 210, 0));
      p.drawPath(triangle);
      fill = QColor(0, 0, 0);
      mark = "!";
    } else {
      const QColor disc = id == kIdiHand ? QColor(200, 0, 0) : QColor(0, 70, 200);
      p.setPen(QPen(disc.darker(140), 1));
      p.setBrush(disc);
      p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
      fill = QColor(255, 255, 255);
      mark = id == kIdiQuestion ? "?" : "i";
    }
    if (id == kIdiHand) {
      p.setPen(QPen(fill, 4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(10, 10), QPointF(22, 22));
      p.drawLine(QPointF(22, 10), QPointF(10, 22));
    } else {
      QFont font;
      font.setPixelSize(id == kIdiExclamation ? 18 : 22);
      font.setBold(true);
      font.setFamily("serif");
      p.setFont(font);
      p.setPen(fill);
      p.drawText(QRect(0, id == kIdiExclamation ? 8 : 1, 32, id == kIdiExclamation ? 22 : 30), Qt::AlignCenter, mark);
    }
  }
  return Icon::fromRgba32(32, 32, image.constBits(), image.bytesPerLine());
}

}  // namespace platform::resources
