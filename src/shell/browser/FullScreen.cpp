#include "shell/browser/FullScreen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

#include "document/LayeredImage.h"
#include "platform/core/Canvas.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

QPointer<TPeForm>& ShownForm() {
  static QPointer<TPeForm> form;
  return form;
}

constexpr size_t kMaxNameChars = 70;

}  // namespace

bool IsFullScreenShown() { return ShownForm() && ShownForm()->isVisible(); }

TPeForm::TPeForm(TFullScreenHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName(QStringLiteral("PeForm"));
  setWindowTitle(QString::fromStdString(CleanMenuCaption(CaptionOr(TextId::GetTrMnuFullScreen, Tr(TextId::TrFixFullScreen)))));
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, Qt::white);
  setPalette(pal);
  setAutoFillBackground(false);

  PnlInfos = new QLabel(this);
  PnlInfos->setObjectName(QStringLiteral("PnlInfos"));
  PnlInfos->setTextFormat(Qt::PlainText);
  PnlInfos->setAlignment(Qt::AlignCenter);
  PnlInfos->setAutoFillBackground(true);
  PnlInfos->setPalette(pal);
  PnlInfos->setMargin(4);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addStretch(1);
  column->addWidget(PnlInfos);

  zoom_.SetAlignment(alCenter);
  ShownForm() = this;
}

TPeForm::~TPeForm() = default;

void TPeForm::ShowFullScreen() {
  setCursor(Qt::BlankCursor);
  // The screen's size at once: the first display must not wait for the window system.
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (s) setGeometry(s->geometry());
  showFullScreen();
  raise();
  activateWindow();
  setFocus();
  Display();
}

void TPeForm::CentrePointer() {
  if (QScreen* s = screen()) QCursor::setPos(s->geometry().center());
}

void TPeForm::Display() {
  CentrePointer();
  TLayeredImage* image = host_.FullScreenImage();
  composed_ = image && image->GetLayerCount() > 0 ? &image->UpdatedComposition() : nullptr;
  const int panel = PnlInfos->sizeHint().height();
  const TRect view{0, 0, width(), std::max(0, height() - panel)};
  zoom_.SetViewRect(view);
  // Fitted to the screen, never enlarged; a reduction is smoothed as the main window's
  // display is.
  zoom_.SetBitmap(nullptr);
  zoom_.SetFitMode(fmFitWhole);
  zoom_.SetBitmap(composed_);
  zoom_.Halftone = false;
  if (composed_ && zoom_.Zoom() >= 1) zoom_.SetFitMode(fmActualSize);
  else zoom_.Halftone = host_.SmoothDisplay();

  drawn_ = TBitmap();
  if (composed_ && !view.IsEmpty()) {
    drawn_ = TBitmap(view.Width(), view.Height(), pf24bit, clBlack);
    TBitmapCanvas canvas(drawn_);
    TRect covered;
    DrawBitmapZoomed(composed_, &canvas, view, zoom_.ImageLeft(), zoom_.ImageTop(), zoom_.Zoom(), false,
                     zoom_.Halftone, false, false, covered);
  }

  std::string text;
  if (composed_) {
    const std::string name = TruncateWithEllipsis(ExtractFileName(host_.FullScreenFileName()), kMaxNameChars);
    text = Format(TextId::TrFixFmtFullScreenInfo,
                  {name, composed_->Width(), composed_->Height(), int(std::lround(zoom_.Zoom() * 100))});
  }
  PnlInfos->setText(QString::fromStdString(text));
  update();
}

void TPeForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  if (!drawn_.Empty()) p.drawImage(QPoint(0, 0), BitmapAsQImage(std::as_const(drawn_)));
}

void TPeForm::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (isVisible()) Display();
}

void TPeForm::Navigate(TSiblingFile which) {
  if (!host_.CanNavigateFolder()) return;
  host_.NavigateFolder(which);
  Display();
}

void TPeForm::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Space: hide(); break;
    case Qt::Key_PageUp: Navigate(sfPrevious); break;
    case Qt::Key_PageDown: Navigate(sfNext); break;
    case Qt::Key_Home: Navigate(sfFirst); break;
    case Qt::Key_End: Navigate(sfLast); break;
    default: QWidget::keyPressEvent(e); return;
  }
  e->accept();
}

void TPeForm::mousePressEvent(QMouseEvent* e) {
  e->accept();
  hide();
}

void TPeForm::wheelEvent(QWheelEvent* e) {
  const int dy = e->angleDelta().y();
  if (dy < 0) Navigate(sfNext);
  else if (dy > 0) Navigate(sfPrevious);
  e->accept();
}

void TPeForm::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  zoom_.SetBitmap(nullptr);
  composed_ = nullptr;
  drawn_ = TBitmap();
  CentrePointer();
  unsetCursor();
}

}  // namespace qm
