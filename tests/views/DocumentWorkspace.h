#pragma once
// A main window's client area with document windows in it, for the tests of the
// dialogs that work on a document.
#include <QMdiArea>

#include "support/ViewTestSupport.h"
#include "views/DocumentWindow.h"
#include "views/DocumentWindowHost.h"
#include "views/ImageWindows.h"

namespace qm::test {

struct DocumentWorkspace {
  AppReady ready;
  QMdiArea area;
  TDocumentWindowHost host;
  TImageWindows windows{area, &host};

  DocumentWorkspace() {
    area.resize(800, 600);
    area.show();
  }
  // A window showing the bitmap as its background.
  TNewImgForm* Open(const TBitmap& bmp) {
    TImageWindowSetup setup;
    setup.Bitmap = &bmp;
    return TNewImgForm::CreateWithImage(windows, setup);
  }
};

}  // namespace qm::test
