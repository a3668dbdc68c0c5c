#pragma once
// Driving the views as a user does: real widgets, real events on the viewport.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include "views/CustomImage.h"
#include "support/QtTestApp.h"

namespace qm::test {

// A mouse event on the viewport at a local point, with the buttons held after it and
// the modifiers (QTest's own move carries no modifiers).
inline void SendMouse(TMyCustomImage& view, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons held, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QWidget* vp = view.viewport();
  QMouseEvent e(type, QPointF(at), QPointF(vp->mapToGlobal(at)), button, held, mods);
  QApplication::sendEvent(vp, &e);
}

// Press at a, move through the points, release at the last one.
inline void Drag(TMyCustomImage& view, QPoint a, std::initializer_list<QPoint> path,
                 Qt::KeyboardModifiers mods = Qt::NoModifier) {
  SendMouse(view, QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton, mods);
  QPoint last = a;
  for (const QPoint& p : path) {
    SendMouse(view, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton, mods);
    last = p;
  }
  SendMouse(view, QEvent::MouseButtonRelease, last, Qt::LeftButton, Qt::NoButton, mods);
}

inline void Click(TMyCustomImage& view, QPoint at) {
  SendMouse(view, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
  SendMouse(view, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

inline void Hover(TMyCustomImage& view, QPoint at) {
  SendMouse(view, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
}

// The viewport as the view paints it, through its own paint pass.
inline QImage Rendered(TMyCustomImage& view, const QRegion& region = QRegion()) {
  const QSize s = view.viewport()->size();
  QImage img(s, QImage::Format_RGB32);
  img.fill(Qt::magenta);
  QPainter p(&img);
  view.RenderViewport(p, region.isEmpty() ? QRegion(QRect(QPoint(0, 0), s)) : region);
  return img;
}

// First member of a fixture holding widgets: the application exists before them.
struct AppReady {
  AppReady() { App(); }
};

// A view of the given viewport size, shown offscreen.
template <class View>
void Prepare(View& view, int w, int h) {
  App();
  view.setFrameStyle(QFrame::NoFrame);
  view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view.resize(w, h);
  view.show();
  QApplication::processEvents();
}

// The same, showing a picture.
inline void ShowPicture(TMyCustomImage& view, int w, int h, TBitmap picture) {
  Prepare(view, w, h);
  view.Picture() = std::move(picture);
  view.PictureChanged();
}

}  // namespace qm::test
