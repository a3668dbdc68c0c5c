#include "shell/palette/PaletteGlyphs.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "platform/core/Random.h"
#include "platform/qt/QtBitmap.h"

namespace qm {
namespace {

constexpr double kPi = 3.14159265358979323846;

using TDraw = std::function<void(QPainter&)>;

// A glyph drawn antialiased on a transparent square of side size.
QPixmap Drawn(int size, const TDraw& draw) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p);
  p.end();
  return QPixmap::fromImage(img);
}

// The same glyph in greys, lighter: what a disabled button shows.
QPixmap Greyed(const QPixmap& glyph) {
  QImage img = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < img.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      const int g = 128 + qGray(row[x]) / 2;
      row[x] = qRgba(g, g, g, qAlpha(row[x]) / 2);
    }
  }
  return QPixmap::fromImage(img);
}

QPen Pen(QColor c, double w = 1.4) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

QPainterPath Star(QPointF c, double outer, double inner, int points) {
  QPainterPath path;
  for (int i = 0; i < 2 * points; ++i) {
    const double a = -kPi / 2 + i * kPi / points;
    const double r = i % 2 ? inner : outer;
    const QPointF q(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
    if (i == 0) path.moveTo(q);
    else path.lineTo(q);
  }
  path.closeSubpath();
  return path;
}

const QColor kInk(40, 40, 48), kWood(176, 112, 48), kMetal(150, 156, 168), kPaint(40, 110, 220);

void DrawTool(QPainter& p, TTool tool) {
  switch (tool) {
    case TTool::Selection: {
      QPen pen(kInk, 1.2, Qt::DashLine);
      pen.setDashPattern({2, 2});
      p.setPen(pen);
      p.drawRect(QRectF(3.5, 4.5, 13, 11));
      break;
    }
    case TTool::Pipette:
      p.setPen(Pen(kInk, 2.2));
      p.drawLine(QPointF(4, 16), QPointF(12, 8));
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      p.drawEllipse(QPointF(14.5, 5.5), 3.2, 3.2);
      p.setBrush(kPaint);
      p.drawEllipse(QPointF(4, 16), 1.4, 1.4);
      break;
    case TTool::MagicWand:
      p.setPen(Pen(kInk, 2.2));
      p.drawLine(QPointF(3, 17), QPointF(12, 8));
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(230, 170, 20));
      p.drawPath(Star(QPointF(14.5, 5.5), 5, 2, 4));
      break;
    case TTool::Line:
      p.setPen(Pen(kInk, 2));
      p.drawLine(QPointF(3.5, 16.5), QPointF(16.5, 3.5));
      break;
    case TTool::Fill: {
      p.setPen(Pen(kInk, 1.2));
      p.setBrush(kMetal);
      QPolygonF bucket({{4, 8}, {12, 4}, {16, 12}, {8, 16}});
      p.drawPolygon(bucket);
      p.setPen(Qt::NoPen);
      p.setBrush(kPaint);
      p.drawEllipse(QPointF(16.5, 15.5), 2, 3);
      break;
    }
    case TTool::Airbrush:
      p.setPen(Pen(kInk, 1.2));
      p.setBrush(kMetal);
      p.drawRoundedRect(QRectF(10, 7, 6, 11), 1.5, 1.5);
      p.drawRect(QRectF(11.5, 4, 3, 3));
      p.setPen(Qt::NoPen);
      p.setBrush(kPaint);
      for (const QPointF& d : {QPointF(3, 4), QPointF(6, 6), QPointF(4, 8), QPointF(7, 3), QPointF(2, 7)})
        p.drawEllipse(d, 0.9, 0.9);
      break;
    case TTool::Brush:
    case TTool::AdvancedBrush:
      p.setPen(Pen(kWood, 2.4));
      p.drawLine(QPointF(16, 3), QPointF(9, 10));
      p.setPen(Qt::NoPen);
      p.setBrush(tool == TTool::Brush ? kPaint : QColor(200, 60, 60));
      p.drawEllipse(QPointF(6.5, 13), 3, 4.2);
      if (tool == TTool::AdvancedBrush) {
        p.setBrush(QColor(230, 170, 20));
        p.drawPath(Star(QPointF(15, 15), 4, 1.6, 5));
      }
      break;
    case TTool::Blur: {
      QPainterPath drop;
      drop.moveTo(10, 2);
      drop.cubicTo(14, 8, 16, 11, 16, 13);
      drop.cubicTo(16, 17, 13, 18.5, 10, 18.5);
      drop.cubicTo(7, 18.5, 4, 17, 4, 13);
      drop.cubicTo(4, 11, 6, 8, 10, 2);
      p.setPen(Pen(kInk, 1.2));
      p.setBrush(QColor(120, 170, 230));
      p.drawPath(drop);
      break;
    }
    case TTool::Smudge:
      p.setPen(Pen(kInk, 1.2));
      p.setBrush(QColor(240, 200, 170));
      p.drawRoundedRect(QRectF(8, 2, 5, 12), 2.5, 2.5);
      p.drawRoundedRect(QRectF(5, 9, 11, 9), 3, 3);
      break;
    case TTool::Stamp:
      p.setPen(Pen(kInk, 1.2));
      p.setBrush(kWood);
      p.drawEllipse(QRectF(7, 2, 6, 6));
      p.drawRect(QRectF(9, 8, 2, 4));
      p.setBrush(kMetal);
      p.drawRect(QRectF(3.5, 12, 13, 4));
      break;
    case TTool::Move: {
      p.setPen(Pen(kInk, 1.4));
      p.drawLine(QPointF(10, 2), QPointF(10, 18));
      p.drawLine(QPointF(2, 10), QPointF(18, 10));
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      for (int i = 0; i < 4; ++i) {
        p.save();
        p.translate(10, 10);
        p.rotate(90 * i);
        p.drawPolygon(QPolygonF({{0, -9}, {-3, -5.5}, {3, -5.5}}));
        p.restore();
      }
      break;
    }
    case TTool::Eraser:
      p.setPen(Pen(kInk, 1.2));
      p.setBrush(QColor(240, 130, 150));
      p.drawPolygon(QPolygonF({{3, 12}, {10, 5}, {17, 10}, {10, 17}}));
      p.setBrush(Qt::white);
      p.drawPolygon(QPolygonF({{3, 12}, {6.5, 8.5}, {13.5, 13.5}, {10, 17}}));
      break;
    case TTool::Layer:
      p.setPen(Pen(kInk, 1.1));
      p.setBrush(QColor(250, 250, 250));
      p.drawRect(QRectF(6.5, 2.5, 11, 9));
      p.setBrush(QColor(120, 170, 230));
      p.drawRect(QRectF(2.5, 8.5, 11, 9));
      break;
    case TTool::Retouch:
      p.setPen(Pen(kInk, 1.2));
      p.setBrush(Qt::white);
      p.drawEllipse(QRectF(2.5, 6, 15, 8));
      p.setBrush(QColor(200, 40, 40));
      p.drawEllipse(QPointF(10, 10), 3, 3);
      break;
  }
}

// The selection page: shapes, the load command and the three fitting ratios.
void DrawSelectionButton(QPainter& p, int button) {
  QPen pen(kInk, 1.2);
  p.setPen(pen);
  p.setBrush(QColor(180, 205, 240));
  const QRectF box(3.5, 4.5, 13, 11);
  switch (button) {
    case 0: p.drawRect(box); break;
    case 1: p.drawEllipse(box); break;
    case 2: p.drawRoundedRect(box, 4, 4); break;
    case 3: p.drawPolygon(QPolygonF({{10, 3}, {17, 10}, {10, 17}, {3, 10}})); break;     // lozenge
    case 4: p.drawPolygon(QPolygonF({{10, 3.5}, {17, 16.5}, {3, 16.5}})); break;         // base down
    case 10: p.drawPolygon(QPolygonF({{3.5, 3}, {16.5, 10}, {3.5, 17}})); break;        // base left
    case 5: p.drawPolygon(QPolygonF({{4, 4}, {15, 3}, {17, 12}, {9, 17}, {3, 11}})); break;  // polygon
    case 6: {  // lasso
      QPainterPath path;
      path.moveTo(4, 8);
      path.cubicTo(2, 2, 17, 1, 17, 8);
      path.cubicTo(17, 14, 8, 14, 7, 12);
      path.cubicTo(6, 16, 9, 18, 11, 18);
      p.setBrush(Qt::NoBrush);
      p.drawPath(path);
      break;
    }
    case 7:  // load
      p.setBrush(QColor(240, 210, 120));
      p.drawRect(QRectF(2.5, 6.5, 15, 10));
      p.drawLine(QPointF(10, 2), QPointF(10, 12));
      p.drawLine(QPointF(7, 9), QPointF(10, 12));
      p.drawLine(QPointF(13, 9), QPointF(10, 12));
      break;
    case 8: p.drawRect(QRectF(4.5, 4.5, 11, 11)); break;   // square
    case 11: p.drawRect(QRectF(2.5, 5, 15, 11.25)); break; // 4:3
    case 9: p.drawRect(QRectF(2.5, 5.5, 15, 10)); break;   // 3:2
    default: break;
  }
}

// Brush tip glyphs are drawn black on white and read back as grey bitmaps.
TBitmap DrawnTip(int size, const TDraw& draw) {
  QImage img(size, size, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  draw(p);
  p.end();
  return BitmapFromQImage(img);
}

TBitmap Disc(int d, bool soft) {
  return DrawnTip(d + 2, [d, soft](QPainter& p) {
    const QPointF c((d + 2) / 2.0, (d + 2) / 2.0);
    if (soft) {
      QRadialGradient g(c, d / 2.0);
      g.setColorAt(0, Qt::black);
      g.setColorAt(0.45, Qt::black);
      g.setColorAt(1, Qt::white);
      p.setBrush(g);
    }
    p.drawEllipse(c, d / 2.0, d / 2.0);
  });
}

TBitmap Speckles(int size, int count, uint32_t seed) {
  return DrawnTip(size, [=](QPainter& p) {
    const uint32_t saved = GetRandSeed();
    RandSeed(seed);
    const double r = size / 2.0 - 1;
    for (int i = 0; i < count; ++i) {
      const double a = Random(360) * kPi / 180, d = r * std::sqrt(Random(1000) / 1000.0);
      p.drawEllipse(QPointF(size / 2.0 + d * std::cos(a), size / 2.0 + d * std::sin(a)), 0.8, 0.8);
    }
    RandSeed(saved);
  });
}

TBitmap Flat(int w, int h, double angle) {
  const int size = std::max(w, h) + 2;
  return DrawnTip(size, [=](QPainter& p) {
    p.translate(size / 2.0, size / 2.0);
    p.rotate(angle);
    p.drawEllipse(QPointF(0, 0), w / 2.0, h / 2.0);
  });
}

std::vector<TBitmap> MakeBrushTips() {
  std::vector<TBitmap> tips;
  // the three tips made at the chosen size: round, square, diagonal (their glyphs)
  tips.push_back(Disc(15, true));
  tips.push_back(DrawnTip(16, [](QPainter& p) { p.drawRect(QRectF(2, 2, 12, 12)); }));
  tips.push_back(DrawnTip(16, [](QPainter& p) {
    p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, 13), QPointF(13, 3));
  }));
  for (int d : {1, 3, 5, 9, 15, 21}) tips.push_back(Disc(d, false));
  tips.push_back(Disc(21, true));
  tips.push_back(Flat(17, 5, -45));
  tips.push_back(Speckles(21, 40, 7));
  return tips;
}

std::vector<TBitmap> MakeAdvancedTips() {
  std::vector<TBitmap> tips;
  tips.push_back(Disc(9, true));  // a pen that runs dry
  tips.push_back(DrawnTip(15, [](QPainter& p) { p.drawPath(Star(QPointF(7.5, 7.5), 7, 3, 5)); }));
  tips.push_back(DrawnTip(21, [](QPainter& p) {  // a flower
    for (int i = 0; i < 5; ++i) {
      const double a = i * 2 * kPi / 5;
      p.drawEllipse(QPointF(10.5 + 5.5 * std::cos(a), 10.5 + 5.5 * std::sin(a)), 4, 4);
    }
  }));
  tips.push_back(DrawnTip(11, [](QPainter& p) {  // a ring
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 2));
    p.drawEllipse(QPointF(5.5, 5.5), 4, 4);
  }));
  tips.push_back(DrawnTip(21, [](QPainter& p) {  // a leaf
    QPainterPath leaf;
    leaf.moveTo(3, 18);
    leaf.cubicTo(3, 6, 10, 2, 18, 3);
    leaf.cubicTo(18, 12, 12, 18, 3, 18);
    p.drawPath(leaf);
  }));
  tips.push_back(DrawnTip(11, [](QPainter& p) { p.drawPolygon(QPolygonF({{5.5, 1}, {10, 5.5}, {5.5, 10}, {1, 5.5}})); }));
  tips.push_back(Speckles(15, 30, 11));  // chalk
  tips.push_back(DrawnTip(11, [](QPainter& p) { p.drawPath(Star(QPointF(5.5, 5.5), 5, 2, 4)); }));
  tips.push_back(Flat(15, 4, 0));    // calligraphy, flat
  tips.push_back(Flat(15, 4, -45));  // calligraphy, slanted
  tips.push_back(Flat(15, 4, 90));   // calligraphy, upright
  tips.push_back(Speckles(25, 60, 23));
  tips.push_back(DrawnTip(15, [](QPainter& p) { p.drawPolygon(QPolygonF({{7.5, 1}, {14, 14}, {1, 14}})); }));
  tips.push_back(DrawnTip(13, [](QPainter& p) {
    p.drawRect(QRectF(5, 1, 3, 11));
    p.drawRect(QRectF(1, 5, 11, 3));
  }));
  tips.push_back(Disc(25, true));
  return tips;
}

// A cursor: a cross at the hot spot and the tool's glyph beside it, lower right.
QCursor CrossWithGlyph(TTool tool) {
  const QPixmap glyph = ToolGlyph(tool, false);
  QPixmap pix(32, 32);
  pix.fill(Qt::transparent);
  QPainter p(&pix);
  p.setPen(QPen(Qt::white, 3));
  p.drawLine(6, 0, 6, 12);
  p.drawLine(0, 6, 12, 6);
  p.setPen(QPen(Qt::black, 1));
  p.drawLine(6, 1, 6, 11);
  p.drawLine(1, 6, 11, 6);
  p.drawPixmap(11, 11, glyph);
  p.end();
  return QCursor(pix, 6, 6);
}

}  // namespace

QPixmap ToolGlyph(TTool tool, bool disabled) {
  const QPixmap glyph = Drawn(kToolGlyphSize, [tool](QPainter& p) { DrawTool(p, tool); });
  return disabled ? Greyed(glyph) : glyph;
}

QPixmap SelectionGlyph(int button, bool disabled) {
  const QPixmap glyph = Drawn(kToolGlyphSize, [button](QPainter& p) { DrawSelectionButton(p, button); });
  return disabled ? Greyed(glyph) : glyph;
}

QPixmap SwapColorsGlyph() {
  QImage img(12, 12, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Pen(kInk, 1.1));
  QPainterPath arc;
  arc.moveTo(2, 3);
  arc.quadTo(9, 3, 9, 10);
  p.drawPath(arc);
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawPolygon(QPolygonF({{0, 3}, {3.5, 0.5}, {3.5, 5.5}}));
  p.drawPolygon(QPolygonF({{9, 12}, {6.5, 8.5}, {11.5, 8.5}}));
  p.end();
  return QPixmap::fromImage(img);
}

QPixmap ResetColorsGlyph() {
  QImage img(12, 12, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  p.drawRect(4, 4, 7, 7);
  p.setBrush(Qt::black);
  p.drawRect(0, 0, 7, 7);
  p.end();
  return QPixmap::fromImage(img);
}

QPixmap LayerCommandGlyph(int button) {
  return Drawn(kToolGlyphSize, [button](QPainter& p) {
    p.setPen(Pen(kInk, 1.1));
    p.setBrush(Qt::white);
    switch (button) {
      case 0:  // a new layer
        p.drawRect(QRectF(3.5, 3.5, 11, 13));
        p.setPen(Pen(QColor(30, 140, 40), 2));
        p.drawLine(QPointF(13, 11), QPointF(13, 18));
        p.drawLine(QPointF(9.5, 14.5), QPointF(16.5, 14.5));
        break;
      case 1:  // a copy
        p.drawRect(QRectF(6.5, 2.5, 10, 11));
        p.drawRect(QRectF(3.5, 6.5, 10, 11));
        break;
      case 2:  // gone
        p.drawRect(QRectF(3.5, 3.5, 11, 13));
        p.setPen(Pen(QColor(200, 40, 40), 2));
        p.drawLine(QPointF(10, 10), QPointF(17, 17));
        p.drawLine(QPointF(17, 10), QPointF(10, 17));
        break;
      case 3:  // down into the layer under it
        p.setBrush(QColor(120, 170, 230));
        p.drawRect(QRectF(3.5, 12.5, 13, 5));
        p.setPen(Pen(kInk, 1.6));
        p.drawLine(QPointF(10, 2), QPointF(10, 10));
        p.drawLine(QPointF(7, 7), QPointF(10, 10));
        p.drawLine(QPointF(13, 7), QPointF(10, 10));
        break;
      default:  // its options
        p.drawRect(QRectF(3.5, 3.5, 13, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        for (double x : {6.5, 10.0, 13.5}) p.drawEllipse(QPointF(x, 10), 1.2, 1.2);
        break;
    }
  });
}

QPixmap ArrowGlyph(bool bothEnds) {
  QImage img(28, 12, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Pen(kInk, 1.6));
  p.drawLine(QPointF(4, 6), QPointF(24, 6));
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawPolygon(QPolygonF({{0, 6}, {7, 1.5}, {7, 10.5}}));
  if (bothEnds) p.drawPolygon(QPolygonF({{28, 6}, {21, 1.5}, {21, 10.5}}));
  p.end();
  return QPixmap::fromImage(img);
}

const TBitmap& BrushTipGlyph(int index) {
  static const std::vector<TBitmap> tips = MakeBrushTips();
  return tips[size_t(std::clamp(index, 0, kBrushTipCount - 1))];
}

const TBitmap& AdvancedTipGlyph(int index) {
  static const std::vector<TBitmap> tips = MakeAdvancedTips();
  return tips[size_t(std::clamp(index, 0, kAdvancedTipCount - 1))];
}

QCursor ToolCursor(int number) {
  switch (number) {
    case -3: return QCursor(Qt::CrossCursor);
    case -22: return QCursor(Qt::SizeAllCursor);
    case 5: return CrossWithGlyph(TTool::Pipette);
    case 6: return CrossWithGlyph(TTool::Selection);
    case 7: return QCursor(Qt::CrossCursor);
    case 8: return CrossWithGlyph(TTool::Fill);
    case 9: return CrossWithGlyph(TTool::Blur);
    case 10: return CrossWithGlyph(TTool::Airbrush);
    case 11: return CrossWithGlyph(TTool::Stamp);
    case 12: return CrossWithGlyph(TTool::Line);
    case 16: return CrossWithGlyph(TTool::MagicWand);
    case 17: return CrossWithGlyph(TTool::Smudge);
    case 18: return CrossWithGlyph(TTool::Retouch);
    default: return QCursor(Qt::ArrowCursor);
  }
}

}  // namespace qm
