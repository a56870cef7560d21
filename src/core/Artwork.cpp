#include "core/Artwork.h"

#include "core/Language.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace orvel {

namespace {

void drawTank(QPainter& p, const QRectF& r) {
  // A horizontal LPG tank with a multivalve: the object every fitter recognises.
  QLinearGradient shell(r.topLeft(), r.bottomLeft());
  shell.setColorAt(0.0, QColor(250, 250, 252));
  shell.setColorAt(0.45, QColor(205, 212, 222));
  shell.setColorAt(1.0, QColor(130, 140, 155));
  p.setPen(QPen(QColor(60, 66, 80), 2));
  p.setBrush(shell);
  p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
  const QRectF valve(r.center().x() - r.height() * 0.22, r.top() - r.height() * 0.28,
                     r.height() * 0.44, r.height() * 0.32);
  p.setBrush(QColor(200, 40, 40));
  p.drawRoundedRect(valve, 3, 3);
  p.setPen(QPen(QColor(60, 66, 80), 2));
  p.drawLine(QPointF(valve.center().x(), valve.top()),
             QPointF(valve.center().x(), valve.top() - r.height() * 0.18));
}

void drawFlame(QPainter& p, const QPointF& base, qreal h) {
  QPainterPath outer;
  outer.moveTo(base);
  outer.cubicTo(base + QPointF(-h * 0.45, -h * 0.25), base + QPointF(-h * 0.2, -h * 0.7),
                base + QPointF(0, -h));
  outer.cubicTo(base + QPointF(h * 0.25, -h * 0.65), base + QPointF(h * 0.45, -h * 0.3), base);
  QRadialGradient g(base + QPointF(0, -h * 0.3), h * 0.7);
  g.setColorAt(0.0, QColor(255, 255, 255));
  g.setColorAt(0.35, QColor(90, 170, 255));
  g.setColorAt(1.0, QColor(20, 70, 200));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawPath(outer);
}

}  // namespace

QPixmap logoPicture(const QSize& size) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r(1, 1, size.width() - 2, size.height() - 2);
  QLinearGradient bg(r.topLeft(), r.bottomRight());
  bg.setColorAt(0.0, QColor(16, 42, 92));
  bg.setColorAt(1.0, QColor(6, 18, 46));
  p.setPen(QPen(QColor(120, 150, 200), 1.5));
  p.setBrush(bg);
  p.drawRoundedRect(r, 14, 14);

  const qreal w = r.width();
  const qreal h = r.height();
  drawTank(p, QRectF(r.left() + w * 0.16, r.top() + h * 0.62, w * 0.42, h * 0.24));
  drawFlame(p, QPointF(r.left() + w * 0.74, r.top() + h * 0.88), h * 0.36);

  QFont title(QStringLiteral("DejaVu Sans"));
  title.setBold(true);
  title.setPixelSize(static_cast<int>(h * 0.2));
  p.setFont(title);
  p.setPen(QColor(240, 244, 255));
  p.drawText(QRectF(r.left(), r.top() + h * 0.06, w, h * 0.26), Qt::AlignCenter,
             QStringLiteral("ORVEL 2001"));
  QFont sub(QStringLiteral("DejaVu Sans"));
  sub.setPixelSize(static_cast<int>(h * 0.075));
  p.setFont(sub);
  p.setPen(QColor(170, 195, 240));
  p.drawText(
      QRectF(r.left(), r.top() + h * 0.31, w, h * 0.12), Qt::AlignCenter,
      tr3("sterownik instalacji LPG  ·  wersja 2.2", "LPG conversion controller  ·  version 2.2",
          "centralina impianto GPL  ·  versione 2.2"));
  return pixmap;
}

QPixmap aboutPicture() {
  return logoPicture(QSize(96, 64));
}

QIcon commandIcon(CommandPicture which) {
  const int s = 44;
  QPixmap pm(s, s);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink(30, 50, 110);
  switch (which) {
    case CommandPicture::Settings: {
      // Three sliders: settings edited one at a time.
      p.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap));
      const int xs[3] = {10, 22, 34};
      const int knobs[3] = {28, 14, 22};
      for (int i = 0; i < 3; ++i) {
        p.drawLine(xs[i], 6, xs[i], 38);
        p.setBrush(QColor(220, 60, 50));
        p.drawRoundedRect(QRectF(xs[i] - 5, knobs[i] - 3, 10, 7), 2, 2);
      }
      break;
    }
    case CommandPicture::Calibration: {
      // A crosshair over a target: the engine measured and thresholds proposed.
      p.setPen(QPen(ink, 3));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(22, 22), 15, 15);
      p.setPen(QPen(QColor(220, 60, 50), 3));
      p.drawEllipse(QPointF(22, 22), 6, 6);
      p.setPen(QPen(ink, 2));
      p.drawLine(22, 2, 22, 12);
      p.drawLine(22, 32, 22, 42);
      p.drawLine(2, 22, 12, 22);
      p.drawLine(32, 22, 42, 22);
      break;
    }
    case CommandPicture::Oscilloscope:
    case CommandPicture::RpmScaling: {
      // A screen with a trace; the petrol variant adds a drop.
      p.setPen(QPen(ink, 2));
      p.setBrush(QColor(20, 40, 30));
      p.drawRoundedRect(QRectF(3, 6, 38, 30), 4, 4);
      QPainterPath trace;
      trace.moveTo(6, 28);
      for (int x = 6; x <= 38; x += 2) {
        const double y = 21 + 9 * ((x / 8) % 2 ? -1 : 1);
        trace.lineTo(x, y);
      }
      p.setPen(QPen(QColor(80, 240, 120), 2));
      p.setBrush(Qt::NoBrush);
      p.drawPath(trace);
      if (which == CommandPicture::RpmScaling) {
        QPainterPath drop;
        drop.moveTo(36, 26);
        drop.cubicTo(30, 34, 30, 42, 36, 42);
        drop.cubicTo(42, 42, 42, 34, 36, 26);
        p.setPen(QPen(QColor(120, 60, 0), 1.5));
        p.setBrush(QColor(250, 190, 40));
        p.drawPath(drop);
      }
      break;
    }
  }
  return QIcon(pm);
}

QIcon arrowIcon(ArrowGlyph direction) {
  const int s = 16;
  QPixmap pm(s, s);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 50, 110));
  QPolygonF tri;
  switch (direction) {
    case ArrowGlyph::Left:
      tri << QPointF(4, 8) << QPointF(12, 3) << QPointF(12, 13);
      break;
    case ArrowGlyph::Right:
      tri << QPointF(12, 8) << QPointF(4, 3) << QPointF(4, 13);
      break;
    case ArrowGlyph::Up:
      tri << QPointF(8, 4) << QPointF(3, 12) << QPointF(13, 12);
      break;
    case ArrowGlyph::Down:
      tri << QPointF(8, 12) << QPointF(3, 4) << QPointF(13, 4);
      break;
  }
  p.drawPolygon(tri);
  return QIcon(pm);
}

}  // namespace orvel
