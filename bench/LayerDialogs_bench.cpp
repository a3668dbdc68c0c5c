// The layer dialogs as a user runs them on a 24 MP document: the text dialog's OK (the
// text rendered, composed and repainted), a release of a layer-options slider over five
// layers with a shadow, and the export of a masked 24 MP layer to PNG beside Save As
// PNG of the same picture and `gm convert` of it.
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

#include "CodecBench.h"
#include "EditorBench.h"
#include "dialogs/layers/LayerForms.h"
#include "document/LayerOps.h"
#include "imagefiles/FileDispatch.h"
#include "imagefiles/PictureFiles.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Parallel.h"

#include "GmBench.h"

namespace qm::bench {
namespace {

const char* kTextOk = "Text dialog OK: 3 lines at 72 pt, shadow and outline (24 MP document)";
const char* kOptions = "Layer options: slider released, shadow on, 5 layers (24 MP document)";
const char* kExport = "PNG of a masked 24 MP layer: layer export / gm convert";
const char* kSaveAs = "PNG of the 24 MP picture: Save As / GraphicsMagick encode";

QM_BENCH(kTextOk, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  TLayeredImage& image = b.Doc->Image();
  TLayerHost& host = b.form->Services().LayerHost();
  for (auto _ : st) {
    st.PauseTiming();
    QWidget* d = b.Open("MenuTexte", "TTextForm");
    d->findChild<QComboBox*>("CBTaille")->setEditText("72");
    d->findChild<QCheckBox*>("CBOmbre")->setChecked(true);
    d->findChild<QCheckBox*>("CBContour")->setChecked(true);
    d->findChild<QPlainTextEdit*>("Memo")->setPlainText("Quillomatic Morvek\nun texte sur trois lignes\n72 points");
    st.ResumeTiming();
    d->findChild<QPushButton*>("BOk")->click();
    b.Repaint();
    st.PauseTiming();
    if (image.GetLayerCount() > 1) DeleteActiveLayer(host);
    st.ResumeTiming();
  }
});

QM_BENCH(kOptions, kOurs, kPhotoBytes, [](benchmark::State& st) {
  EnsureGuiApp();
  TDialogBench b;
  TLayerHost& host = b.form->Services().LayerHost();
  // four layers of 2000 x 1500 with a mask, over the photo, the top one's shadow on
  for (int i = 0; i < 4; ++i) {
    TBitmap image = Photo2().Clone(), mask = PhotoMask().Clone();
    CropBitmap(image, TRect{0, 0, 2000, 1500});
    CropBitmap(mask, TRect{0, 0, 2000, 1500});
    AddLayerFromBitmap(host, "#" + std::to_string(i + 1), std::move(image), std::move(mask),
                       TPoint{300 + 900 * i, 400 + 600 * i});
  }
  b.Doc->Image().GetActiveLayer()->Shadow.Enabled = 1;
  QWidget* d = b.Open("MenuCalqueOptions", "TOpCalqueForm");
  auto* alpha = d->findChild<QSlider*>("TBAlpha");
  int value = 50;
  for (auto _ : st) {
    alpha->setSliderDown(true);
    alpha->setValue(value = value == 50 ? 60 : 50);
    alpha->setSliderDown(false);
    emit alpha->sliderReleased();
    b.Repaint();
  }
  d->findChild<QPushButton*>("BAnnuler")->click();
});

// The layer: the photo under its grey mask.
const TLayerItem& MaskedLayer() {
  static TLayerItem* layer = [] {
    auto* l = new TLayerItem;
    l->Image = Photo().Clone();
    l->Mask = PhotoMask().Clone();
    return l;
  }();
  return *layer;
}

QM_BENCH(kExport, kOurs, kPhotoBytes, [](benchmark::State& st) {
  const std::string file = CodecFolder() + "/layer" + std::to_string(EngineThreads()) + ".png";
  for (auto _ : st) ExportLayer(MaskedLayer(), TLayerExportFormat::Png, file);
  st.counters["bytes"] = double(std::filesystem::file_size(file));
});

QM_BENCH(kExport, kTool, kPhotoBytes, [](benchmark::State& st) {
  if (!HaveTool("gm")) return st.SkipWithError("gm is not installed");
  const std::string in = PhotoPpm(), out = CodecFolder() + "/gm.png";
  for (auto _ : st)
    if (const TToolRun r = RunTool({"gm", "convert", in, "-quality", "75", out}, EngineThreads()); !r)
      st.SkipWithError(r.Reason.c_str());
});

QM_BENCH(kSaveAs, kOurs, kPhotoBytes, [](benchmark::State& st) {
  const std::string file = CodecFolder() + "/saved" + std::to_string(EngineThreads()) + ".png";
  TBitmap picture = Photo().Clone();
  const TSaveRequest request = DefaultSaveRequest(TPictureFileSettings{});
  for (auto _ : st) SavePicture(file, picture, request);
  st.counters["bytes"] = double(std::filesystem::file_size(file));
});

QM_BENCH(kSaveAs, kGM, kPhotoBytes, [](benchmark::State& st) { TimeGraphicsMagickEncode(st, "PNG", 75); });

}  // namespace
}  // namespace qm::bench
