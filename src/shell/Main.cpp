// Until the main window exists, the program opens one window that shows the pixel
// engine at work: a generated picture fitted into the window with a smooth
// reduction, on a framed cell with a feathered drop shadow.
#include <cstdlib>

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include "pixel/ImgUtils.h"
#include "pixel/ImgZoom.h"
#include "pixel/Shadow.h"
#include "platform/core/Colors.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/UiTexts.h"

namespace {

qm::TBitmap MakePicture(int w, int h) {
  qm::TBitmap bmp(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      qm::TColor c = qm::HSVToColor(x * 359 / w, 80 + 175 * y / h, 255 - 120 * y / h);
      qm::ColorToPixel24(c, p + 3 * x);
    }
  }
  return bmp;
}

class PreviewWindow : public QWidget {
 public:
  PreviewWindow() : picture_(MakePicture(3000, 2000)) {
    setWindowTitle(QString::fromUtf8(qm::kAppTitle));
    resize(900, 640);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    qm::TQtCanvas canvas(painter);
    canvas.BrushColor = qm::clAppWorkSpace;
    qm::TRect view{40, 40, width() - 60, height() - 60};
    qm::TImageZoom zoom;
    zoom.SetAlignment(qm::alCenter);
    zoom.SetBitmap(&picture_);
    zoom.SetTarget(&canvas);
    zoom.SetViewRect(view);
    zoom.SetFitMode(qm::fmFitWhole);
    zoom.Halftone = true;
    canvas.FillRect(canvas.ClipRect());
    qm::TRect drawn;
    zoom.DrawTo(false, drawn);
    qm::DrawCanvasShadow(canvas, zoom.GetImageRect(), 8, 60, qm::clAppWorkSpace, true, false);
  }

 private:
  qm::TBitmap picture_;
};

}  // namespace

int main(int argc, char** argv) {
  // idle worker threads of the kernels sleep rather than spin between operations
  setenv("OMP_WAIT_POLICY", "passive", 0);
  QApplication app(argc, argv);
  PreviewWindow w;
  w.show();
  return app.exec();
}
