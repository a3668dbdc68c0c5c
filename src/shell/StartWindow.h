#pragma once
// Until the main window exists, the program opens this window: a generated document
// of three layers in the document's image view, with its selection and transform
// handles, the layer navigator on its left. It owns what a document window will own
// (the layered image, the overlays).
#include <QWidget>
#include <memory>

#include "document/LayeredImage.h"
#include "views/LayerNavigator.h"
#include "views/LayeredView.h"
#include "views/SelectionControl.h"
#include "views/VerticesControl.h"

class QHBoxLayout;

namespace qm {

class TStartWindow : public QWidget {
 public:
  explicit TStartWindow(QWidget* parent = nullptr);
  ~TStartWindow() override;

  TLayeredImage& Document() { return document_; }
  TMyImageLayered& View() { return *view_; }
  TSelectionControl& Selection() { return *selection_; }
  TVerticesControl& Handles() { return *handles_; }
  TLayerNavigator& Navigator() { return *navigator_; }

  // A sunset of three layers: a gradient background, a sun with a soft edge and a
  // shadow, a translucent card with rounded corners. With a see-through background
  // the sky's top is left open.
  static void MakeSampleDocument(TLayeredImage& doc, bool seeThrough);

 private:
  TLayeredImage document_;
  QHBoxLayout* row_;
  TMyImageLayered* view_;
  TLayerNavigator* navigator_;
  std::unique_ptr<TSelectionControl> selection_;
  std::unique_ptr<TVerticesControl> handles_;
};

}  // namespace qm
