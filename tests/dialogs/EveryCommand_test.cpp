// Every command of the table, run as a user runs it on a document saved a moment ago:
// the document is modified exactly when what a save would write differs from before.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <set>

#include "DialogTestSupport.h"
#include "document/TextData.h"
#include "document/qt/Clipboard.h"
#include "imagefiles/LayeredFile.h"
#include "shell/palette/ToolPalette.h"

using namespace qm;
using namespace qm::test;

namespace {

// The rows that leave the document for the desktop or the world: a page or the file
// handed to another program, the desktop's wallpaper, the scanner's search; and the
// end of the editor itself.
const std::set<std::string_view> kOutsideTheEditor = {
    "MenuAideInfos",          "MenuAideWeb",           "MenuAideForum",     "MenuShell",
    "MenuPapierPeintCentrer", "MenuPapierPeintMosaique", "MenuPapierPeintAjuster",
    "MenuTwainSource",        "MenuTwainNumeriser",    "MenuTwainLot",      "PopFormTwain",
    "MenuFichierQuiter"};

// What a save as a layered file writes: every pixel, every layer, every saved field.
std::vector<uint8_t> SavedBytes(TLayeredImage& image) {
  TMemoryStream s;
  SaveLayeredImageToStream(image, s);
  return s.Data();
}

int32_t CurrentStep(TNewImgForm& w) {
  const TUndoLayerItem* step = w.History().GetCurrentUndoStep();
  return step ? step->Id() : 0;
}

// The document a case starts from, the history holding a step (undone, for the redo).
struct Preparation {
  const char* Name;
  bool UpperLayer;  // a bitmap layer with a mask and a shadow, active; else the background
  bool Text;        // a text layer on top, active
  bool Selection;   // a rectangle shown
  bool Undone;      // the history's step undone before the save
};

const Preparation kPreparations[] = {
    {"UpperLayerSelected", true, false, true, false},
    {"Background", false, false, false, true},
    {"TextLayer", true, true, false, false},
};

class EveryCommand : public ::testing::TestWithParam<Preparation> {
 protected:
  DialogShell shell_;
  TempFolder folder_{"everycommand"};
  int attempts_ = 0;  // on the modal dialog shown

  TNewImgForm& Prepare() {
    for (TNewImgForm* w : shell_.Services->Windows().Windows()) shell_.Services->CloseImageWindow(w, true);
    const Preparation& p = GetParam();
    const std::string name = folder_.File("plage.png");
    WritePicture(name, RandomBitmap(120, 90, 3));
    TNewImgForm& w = *shell_.Open(name, 120, 90, 3);
    shell_.Doc = &w;
    TLayerHost& host = shell_.Services->LayerHost();
    AddLayerFromBitmap(host, "#1", RandomBitmap(60, 50, 9), TBitmap(60, 50, pf24bit, RGB(40, 40, 40)), TPoint{20, 10});
    w.Image().Layers[1].Shadow.Enabled = 1;
    if (p.Text) {
      auto data = std::make_unique<TTextData>();
      data->Lines = {"Plage"};
      AddTextLayer(host, "#2", std::move(data));
    }
    if (!p.UpperLayer) w.Image().SetActiveLayerIndex(0);
    shell_.Services->Operations().BeginUndoableOperation(ukWorkRect, "Luminosité");
    TBitmap& layer = shell_.Layer();
    layer.FillRect(TRect{0, 0, 8, 8}, RGB(255, 0, 0));
    if (p.Undone) shell_.Services->UndoCommand(nullptr);
    if (p.Selection) {
      w.Selection().SetShape(ssRect);
      w.Selection().SetSelectionRect(TRect{5, 5, 40, 30});
      w.Selection().Show();
      w.SelectionDefined = true;
    }
    const TBitmap picture(20, 10, pf24bit, RGB(0, 128, 255));
    CopyBitmapWithMask(ClipboardData(), &picture, nullptr);
    w.MarkImageWindowSaved();
    shell_.Form->UpdateCommandStates();
    return w;
  }

  // What a user does with a dialog a command shows: OK (the values as offered), a
  // name typed where one is asked; a file, folder, colour or printer chooser and a
  // dialog that keeps refusing are cancelled.
  void Answer(QWidget* d) {
    auto* dialog = qobject_cast<QDialog*>(d);
    auto* ok = d->findChild<QPushButton*>(QStringLiteral("BOk"));
    if (!ok) ok = d->findChild<QPushButton*>(QStringLiteral("BtnOk"));
    if (auto* input = d->findChild<QLineEdit*>(QStringLiteral("EdiInput")); input && input->isVisible())
      input->setText(QStringLiteral("Nouveau"));
    if (ok && ok->isVisible() && ok->isEnabled() && ++attempts_ < 3 && !qobject_cast<QFileDialog*>(d)) ok->click();
    else if (dialog) dialog->reject();
    else d->close();
  }

  // The dialogs left open after the command (the modeless ones), answered; an open
  // transform frame validated.
  void AnswerOpenDialogs() {
    if (shell_.Form->Distortion().IsOpen()) shell_.Form->Commands().Trigger("PopDistorsionValider");
    for (int round = 0; round < 3; ++round) {
      QApplication::processEvents();
      std::vector<QPointer<QWidget>> shown;
      for (QWidget* w : QApplication::topLevelWidgets()) shown.emplace_back(w);
      for (QWidget* w : shown) {
        if (!w || w == shell_.Form.get() || !w->isVisible() || dynamic_cast<TOutilsForm*>(w)) continue;
        if (w->windowType() != Qt::Dialog && w->windowType() != Qt::Tool) continue;
        attempts_ = 0;
        Answer(w);
      }
    }
  }
};

TEST_P(EveryCommand, MarksTheDocumentExactlyWhenItChanges) {
  // every modal dialog is answered as it shows, at any depth; the answer runs from an
  // event of its own, for Qt never fires a timer again while its slot runs: an answer
  // that opens a dialog in turn (Exporter's save dialog) would leave that one unanswered
  QTimer modals;
  bool queued = false;
  QObject::connect(&modals, &QTimer::timeout, [this, &modals, &queued] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || queued) return;
    queued = true;
    QTimer::singleShot(0, &modals, [this, &queued, shown = QPointer<QWidget>(w)] {
      queued = false;
      if (shown && shown == QApplication::activeModalWidget()) Answer(shown);
    });
  });
  modals.start(5);
  int ran = 0;
  for (const TCommandRow& row : CommandRows()) {
    if (row.Kind != TCommandKind::Item || kOutsideTheEditor.count(row.Name)) continue;
    TNewImgForm& w = Prepare();
    if (!shell_.Form->Commands().IsEnabled(row.Name)) continue;
    QPointer<TNewImgForm> window(&w);
    const std::string file = w.FileName();
    const int32_t step = CurrentStep(w);
    const std::vector<uint8_t> before = SavedBytes(w.Image());
    attempts_ = 0;
    EXPECT_TRUE(shell_.Form->Commands().Trigger(row.Name)) << row.Name;
    AnswerOpenDialogs();
    ++ran;
    // closed, its file deleted, or another file opened in it
    if (!window || window->FileName() != file) continue;
    // a change leaves the document modified; without one, only a step taken (that
    // changed nothing) or an undo may
    const bool changed = SavedBytes(window->Image()) != before;
    const bool stepped = CurrentStep(*window) != step;
    if (changed) {
      EXPECT_TRUE(window->IsImageModified()) << row.Name << ": changed, left unmodified";
    } else if (!stepped) {
      EXPECT_FALSE(window->IsImageModified()) << row.Name << ": unchanged, marked";
    }
  }
  EXPECT_GT(ran, 100);
}

INSTANTIATE_TEST_SUITE_P(Prepared, EveryCommand, ::testing::ValuesIn(kPreparations),
                         [](const ::testing::TestParamInfo<Preparation>& i) { return std::string(i.param.Name); });

}  // namespace
