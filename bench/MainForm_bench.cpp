// The File menu's Save of a 24 MP document as JPEG at quality 90 (the quality set in the
// settings, so no dialog), through the real main window: the composition copied into
// the export bitmap, the atomic replacement, the EXIF kept, the file's resolution and
// date. Beside it the codec alone writing the same pixels to a file: the editor's own
// share of a save is the gap between the two rows. Then the File menu's Open of the same
// picture as a JPEG to its first painted document: the editor's share of an open is
// the gap to "JPEG q90 decode, 24 MP" (the same pixels, the same quality).
#include <QApplication>
#include <QTemporaryDir>
#include <memory>

#include "CodecBench.h"
#include "EditorBench.h"
#include "GuiBench.h"
#include "imagefiles/JpegCodec.h"
#include "platform/texts/IniFile.h"
#include "shell/main/MainForm.h"
#include "views/DocumentWindow.h"

namespace qm::bench {
namespace {

struct TSavingEditor : TBenchEditor {
  TSavingEditor() : TBenchEditor("[Params]\nJpgCompression=90\n") {
    form->Services().CreateImageWindow(&Photo(), nullptr, 16777216, false, CodecFolder() + "/document.jpg");
  }
};

TSavingEditor& Editor() {
  return FamilyFixture<TSavingEditor>();
}

QM_BENCH("Save of a 24 MP document as JPEG q90 (the File menu)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  TMainForm& form = *Editor().form;
  for (auto _ : st)
    if (form.Files().Save() != soSaved) return st.SkipWithError("the document was not saved");
});

QM_BENCH("JPEG q90 written to a file, 24 MP (the codec alone)", kOurs, kPhotoBytes, [](benchmark::State& st) {
  const std::string file = CodecFolder() + "/codec.jpg";
  for (auto _ : st) WriteJpegFile(file, Photo(), TJpegWriteOptions{90, false});
});

// A shown main window (a hidden one paints nothing) and the photo as a JPEG file.
struct TOpeningEditor : TBenchEditor {
  std::string file = CodecFolder() + "/opened.jpg";
  TOpeningEditor() {
    WriteJpegFile(file, Photo(), TJpegWriteOptions{90, false});
    form->resize(1600, 1000);
    form->show();
    QApplication::processEvents();
  }
};

// Read, its window made and placed at the fitted zoom, the layer strip's thumbnail and
// the view's first paint; the window is closed outside the timing.
QM_BENCH("Open of a 24 MP JPEG to its painted document (the File menu)", kOurs, kPhotoBytes,
         [](benchmark::State& st) {
           TOpeningEditor& editor = FamilyFixture<TOpeningEditor>();
           TMainForm& form = *editor.form;
           for (auto _ : st) {
             if (!form.Files().OpenImageFile(editor.file, true, false)) return st.SkipWithError("not opened");
             TNewImgForm* w = form.Services().GetActiveImgForm();
             w->View().viewport()->repaint();
             st.PauseTiming();
             form.Services().CloseImageWindow(w, true);
             QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
             QApplication::processEvents();
             st.ResumeTiming();
           }
         });

}  // namespace
}  // namespace qm::bench
