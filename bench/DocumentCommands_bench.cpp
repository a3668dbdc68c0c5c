// The Image, Edit and Layer menus' heavy commands through the real main window, on a
// 24 MP document of ten full-size layers: the flip and the quarter turn of every layer
// with its undo step, the merge of the visible layers, and a 24 MP picture pasted as a
// layer. Beside the flip and the turn, OpenCV doing the same to the eleven bitmaps (no
// undo, no masks): the floor of the work.
#include <QTemporaryDir>
#include <memory>
#include <opencv2/core.hpp>

#include "EditorBench.h"
#include "GuiBench.h"
#include "Harness.h"
#include "document/LayerOps.h"
#include "document/qt/Clipboard.h"
#include "platform/core/Messages.h"
#include "platform/texts/IniFile.h"
#include "shell/main/MainForm.h"

namespace qm::bench {
namespace {

const char* kFlipAll = "Flip every layer with its undo step, 10 layers (24 MP, the Image menu)";
const char* kTurnAll = "Quarter turn of every layer with its undo step, 10 layers (24 MP, the Image menu)";
const char* kMergeVisible = "Merge the visible layers, 10 layers (24 MP, the Layer menu)";
const char* kPaste = "Paste a 24 MP picture as a layer (the Edit menu)";
const char* kUnclosed = "a document window did not close";

// Two steps of history: the flips keep their undo, the run its memory.
struct TEditor : TBenchEditor {
  TEditor() : TBenchEditor("[Params]\nHistory=2\n") {
    // the merges' confirmation answered yes
    SetMessageHandler([](const std::string&, int, int buttons, const std::string&) {
      return buttons & mbYes ? int(mrYes) : int(mrOk);
    });
  }
  TShellServices& Services() { return form->Services(); }
  // A fresh document: the photo under ten full-size layers; false when the documents
  // before would not close.
  [[nodiscard]] bool TenLayers() {
    if (!CloseDocuments()) return false;
    Services().CreateImageWindow(&Photo(), nullptr, 16777216, false, "");
    for (int i = 0; i < 10; ++i)
      AddLayerFromBitmap(Services().LayerHost(), "#", i % 2 ? Photo2() : Photo(), nullptr,
                         TPoint{17 * i - 80, 11 * i - 50});
    return true;
  }
  bool Run(const char* name) {
    form->UpdateCommandStates();
    return form->Commands().Trigger(name);
  }
};

TEditor& Editor() {
  return FamilyFixture<TEditor>();
}

QM_BENCH(kFlipAll, kOurs, 11 * kPhotoBytes, [](benchmark::State& st) {
  TEditor& e = Editor();
  if (!e.TenLayers()) return st.SkipWithError(kUnclosed);
  for (auto _ : st)
    if (!e.Run("MenuImageSymVerti2")) return st.SkipWithError("the flip did not run");
});

QM_BENCH(kFlipAll, kOpenCV, 11 * kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat src = AsMat(Photo());
  cv::Mat out[11];
  for (auto _ : st)
    for (cv::Mat& o : out) cv::flip(src, o, 1);
});

QM_BENCH(kTurnAll, kOurs, 11 * kPhotoBytes, [](benchmark::State& st) {
  TEditor& e = Editor();
  if (!e.TenLayers()) return st.SkipWithError(kUnclosed);
  for (auto _ : st)
    if (!e.Run("MenuImageRot90_2")) return st.SkipWithError("the turn did not run");
});

QM_BENCH(kTurnAll, kOpenCV, 11 * kPhotoBytes, [](benchmark::State& st) {
  const cv::Mat src = AsMat(Photo());
  cv::Mat out[11];
  for (auto _ : st)
    for (cv::Mat& o : out) cv::rotate(src, o, cv::ROTATE_90_CLOCKWISE);
});

QM_BENCH(kMergeVisible, kOurs, 11 * kPhotoBytes, [](benchmark::State& st) {
  TEditor& e = Editor();
  for (auto _ : st) {
    st.PauseTiming();
    if (!e.TenLayers()) return st.SkipWithError(kUnclosed);
    st.ResumeTiming();
    if (!e.Run("MenuCalqueFusionAllVisible")) return st.SkipWithError("the merge did not run");
  }
});

QM_BENCH(kPaste, kOurs, kPhotoBytes, [](benchmark::State& st) {
  TEditor& e = Editor();
  if (!e.TenLayers()) return st.SkipWithError(kUnclosed);
  TBitmap picture = Photo2().Clone();
  CopyBitmapWithMask(ClipboardData(), &picture, nullptr);
  QCoreApplication::processEvents();
  for (auto _ : st) {
    if (!e.Run("MenuEditionCollerSel")) return st.SkipWithError("the paste did not run");
    st.PauseTiming();
    DeleteActiveLayer(e.Services().LayerHost());
    st.ResumeTiming();
  }
  ClearClipboardData(ClipboardData());
});

}  // namespace
}  // namespace qm::bench
