#include "dialogs/command/CommandGlyphs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <cmath>
#include <cstdlib>

#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

constexpr int kSize = 16;

// A transparent glyph drawn by paint, with a greyed copy for the disabled state.
template <class Paint>
QIcon Glyph(Paint paint) {
  QIcon icon;
  for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = QApplication::palette().color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                                                     QPalette::WindowText);
    paint(p, ink);
    p.end();
    icon.addPixmap(pixmap, mode);
  }
  return icon;
}

}  // namespace

QIcon AnchorGlyph(int dx, int dy) {
  if (std::abs(dx) > 1 || std::abs(dy) > 1) return QIcon();
  return Glyph([dx, dy](QPainter& p, const QColor& ink) {
    if (dx == 0 && dy == 0) {
      p.fillRect(QRectF(3, 3, 10, 10), ink);
      return;
    }
    // an arrow from the middle toward the neighbour
    const double len = std::hypot(dx, dy), ux = dx / len, uy = dy / len;
    const QPointF tip(8 + ux * 6, 8 + uy * 6), tail(8 - ux * 4, 8 - uy * 4);
    p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(tail, tip);
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(tip.x() - ux * 5 - uy * 3.5, tip.y() - uy * 5 + ux * 3.5);
    head.lineTo(tip.x() - ux * 5 + uy * 3.5, tip.y() - uy * 5 - ux * 3.5);
    head.closeSubpath();
    p.fillPath(head, ink);
  });
}

QIcon PatternGlyph() {
  return Glyph([](QPainter& p, const QColor& ink) {
    p.setPen(QPen(ink, 1));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        if ((x + y) % 2 == 0) p.fillRect(QRectF(2 + x * 3, 2 + y * 3, 3, 3), ink);
  });
}

void SetPatternChooser(QAbstractButton* button, bool mask) {
  button->setIcon(PatternGlyph());
  button->setToolTip(QString::fromStdString(Tr(mask ? TextId::GetTrHntChooseMask : TextId::GetTrHntChoosePattern)));
}

QIcon AlignmentGlyph(int alignment) {
  return Glyph([alignment](QPainter& p, const QColor& ink) {
    const int widths[] = {12, 8, 12, 6};
    for (int i = 0; i < 4; ++i) {
      const int w = widths[i];
      const int x = alignment == 0 ? 2 : alignment == 2 ? 14 - w : (kSize - w) / 2;
      p.fillRect(QRect(x, 3 + i * 3, w, 2), ink);
    }
  });
}

}  // namespace qm
