#include "views/DocumentWindowHost.h"

#include <QDateTime>
#include <QFileInfo>

#include "views/DocumentWindow.h"
#include "imagefiles/FileDispatch.h"
#include "imagefiles/FileFormats.h"
#include "imagefiles/PictureFiles.h"
#include "platform/texts/TextUtils.h"

namespace qm {

TImagePointer TImagePointer::From(const QMouseEvent& e) {
  const QPoint p = e.position().toPoint();
  return TImagePointer{TPoint{p.x(), p.y()}, e.button(), e.buttons(), e.modifiers()};
}

const TPictureFileSettings& TDocumentWindowHost::PictureFileSettings() const {
  static const TPictureFileSettings defaults;
  return defaults;
}

TSaveOutcome TDocumentWindowHost::SaveImageWindow(TNewImgForm& window) {
  const TPictureFileSettings& settings = PictureFileSettings();
  std::string name;
  if (!window.IsNew && IsKnownImageExt(window.FileName())) name = window.FileName();
  else ExecuteSaveDialog(settings, window.IsNew ? ExtractFileName(window.FileName()) : window.FileName(), name);
  if (name.empty()) return soSaveCancelled;
  // The writer may convert what it is given (palette reduction): it gets a copy, the
  // view keeps showing the document.
  TBitmap flat = window.Image().UpdatedComposition().Clone();
  const int result = SaveDocumentFile(settings, name, flat, window.Image());
  if (result != 1) return result == 0 ? soSaveCancelled : soSaveFailed;
  window.SetFileName(name);
  window.IsNew = false;
  window.FileDate = QFileInfo(QString::fromStdString(name)).lastModified().toSecsSinceEpoch();
  window.MarkImageWindowSaved();
  return soSaved;
}

void TDocumentWindowHost::ShapeDrawn(TNewImgForm& window, const TRect& r, TSelectionOption option) {
  TSelectionControl& selection = window.Selection();
  switch (option) {
    case soStart:
    case soCancelled:
      selection.Hide();
      break;
    case soChanged:
      ShowSelectionRectStatus(window, r);
      break;
    case soFinished:
      // a line drawn with the line tool is the tool's, not a selection
      if (window.View().SelectionMode() != smShape) break;
      selection.SyncShape();
      selection.SetSelectionRect(r);
      selection.Show();
      window.SelectionDefined = true;
      break;
  }
}

}  // namespace qm
