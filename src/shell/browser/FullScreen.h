#pragma once
// The full-screen view of the active document: the composed image alone on a black
// screen, fitted but never enlarged, with a line of information under it; the keys and
// the wheel walk through the images of the document's folder.
#include <QWidget>
#include <string>

#include "pixel/ImgZoom.h"
#include "platform/core/Bitmap.h"
#include "shell/browser/FileActions.h"

class QLabel;

namespace qm {

class TLayeredImage;

// What the view needs of the main window.
class TFullScreenHost {
 public:
  virtual ~TFullScreenHost() = default;
  // The active document's image and file name (null and empty without one).
  virtual TLayeredImage* FullScreenImage() = 0;
  virtual std::string FullScreenFileName() = 0;
  // Whether the active document window allows walking through its folder, and the walk
  // itself (the main window's folder navigation commands).
  virtual bool CanNavigateFolder() = 0;
  virtual void NavigateFolder(TSiblingFile which) = 0;
  // The display-smoothing option, for reduced images.
  virtual bool SmoothDisplay() = 0;
};

class TPeForm : public QWidget {
 public:
  explicit TPeForm(TFullScreenHost& host, QWidget* parent = nullptr);
  ~TPeForm() override;

  // Shows the view over everything (the pointer hidden) and displays the document.
  void ShowFullScreen();
  // Composes the active document again and fits it to the screen.
  void Display();

  const TImageZoom& Zoom() const { return zoom_; }
  QLabel* PnlInfos;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Navigate(TSiblingFile which);
  void CentrePointer();

  TFullScreenHost& host_;
  TImageZoom zoom_;
  const TBitmap* composed_ = nullptr;
  TBitmap drawn_;  // the zoomed image as the screen shows it, made once per display
};

// Whether a full-screen view exists and is shown.
bool IsFullScreenShown();

}  // namespace qm
