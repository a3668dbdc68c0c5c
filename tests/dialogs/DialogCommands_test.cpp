// The road from a menu row to its dialog, in the real editor: the row's step, the
// request the dialog gets, what a refusal or a failure leaves, and the menus after a
// dialog closes.
#include <gtest/gtest.h>

#include <QMenu>
#include <new>
#include <set>
#include <stdexcept>

#include "DialogTestSupport.h"
#include "document/Undo.h"
#include "pixel/Blur.h"
#include "pixel/ImgUtils.h"
#include "shell/commands/AdjustCommands.h"
#include "shell/commands/FilterCommands.h"

using namespace qm;
using namespace qm::test;

namespace {

// A dialog that records each request it gets and shows nothing, registered in the
// program's registry under the class names given. Returns what Opens says.
struct TRecorder {
  std::vector<std::pair<std::string, TDialogRequest>> Opened;
  bool Opens = true;
  void Register(TDialogRegistry& registry, std::initializer_list<const char*> names) {
    for (const char* name : names)
      registry.Register(name, TDialogKind::Command, [this, name](TDialogHost&, const TDialogRequest& request) {
        Opened.emplace_back(name, request);
        return Opens;
      });
  }
};

// The rows of a menu and of its sub-menus.
void MenuItems(std::string_view menu, std::set<std::string_view>& out) {
  for (const TCommandRow* row : CommandChildren(menu)) {
    if (row->Kind == TCommandKind::Item) out.insert(row->Name);
    if (row->Kind == TCommandKind::Menu) MenuItems(row->Name, out);
  }
}

struct TRecordingShell {
  TDialogRegistry Dialogs;
  TRecorder Recorder;
  std::unique_ptr<DialogShell> Shell;
  explicit TRecordingShell(std::initializer_list<const char*> names) {
    InstallParameterDialogs(Dialogs);
    Recorder.Register(Dialogs, names);
    Shell = std::make_unique<DialogShell>(&Dialogs);
  }
  TMainForm& Form() { return *Shell->Form; }
  TUndoList& History() { return Shell->Services->GetActiveImgForm()->History(); }
  const TDialogRequest& Last() { return Recorder.Opened.back().second; }
};

}  // namespace

TEST(DialogCommands, RowsOpenTheirDialogOverTheirStep) {
  // Every item of the two menus is a direct row or a dialog row, but for the repeat
  // command, the photo-mask blend of the Image menu and the plug-in entries.
  std::set<std::string_view> menus, rows;
  MenuItems("MenuFiltre", menus);
  MenuItems("MenuReglage", menus);
  for (auto table : {DirectFilterCommands(), DirectAdjustCommands()})
    for (const TDirectCommand& c : table) rows.insert(c.Name);
  for (const TDialogCommandRow& c : DialogCommandRows()) rows.insert(c.Name);
  for (std::string_view name : menus)
    if (name != "MenuFiltreRepeter") EXPECT_TRUE(rows.count(name)) << name;

  TRecordingShell e({"TLensForm", "TVarianteForm", "TOptionSelForm"});
  TMainForm& form = e.Form();
  TNewImgForm* w = e.Shell->Doc;
  // Registered: enabled; not registered: disabled.
  EXPECT_TRUE(form.Commands().IsEnabled("MenuFiltreSphere"));
  EXPECT_TRUE(form.Commands().IsEnabled("MenuFiltreFlouGauss"));
  {
    // Every row has its dialog in the program; over a registry holding one dialog
    // only, the others' rows stay disabled.
    TDialogRegistry one;
    TRecorder recorder;
    recorder.Register(one, {"TLensForm"});
    DialogShell bare(&one);
    EXPECT_TRUE(bare.Form->Commands().IsEnabled("MenuFiltreSphere"));
    EXPECT_FALSE(bare.Form->Commands().IsEnabled("MenuFiltreMosaique"));
    EXPECT_FALSE(bare.Form->Commands().IsEnabled("MenuImageEncadrerExt"));
  }

  // The deformations' step keeps the mask too and cannot be faded.
  ASSERT_TRUE(form.Commands().Trigger("MenuFiltreSphere"));
  ASSERT_EQ(e.Recorder.Opened.size(), 1u);
  EXPECT_EQ(e.Recorder.Opened[0].first, "TLensForm");
  EXPECT_EQ(e.Last().Caption, "Sphérisation / Lentille");
  EXPECT_FALSE(e.Last().Modal);
  EXPECT_TRUE(e.Last().NewStep);
  const TUndoLayerItem* step = w->History().GetCurrentUndoStep();
  ASSERT_NE(step, nullptr);
  EXPECT_EQ(step->Name, "Sphérisation / Lentille");
  EXPECT_EQ(GetUndoStepParam(*step, upKind), ukWorkRectImageAndMask);
  EXPECT_EQ(GetUndoStepParam(*step, upNoFade), 1);
  e.Shell->Services->Operations().EndDialogOperation(true);

  // The hue variations open modal, without a step of the command's own.
  ASSERT_TRUE(form.Commands().Trigger("MenuReglageVariante"));
  EXPECT_TRUE(e.Last().Modal);
  EXPECT_FALSE(e.Last().NewStep);
  EXPECT_EQ(w->History().GetUndoStepCount(), 0);

  // The selection's dialogs: modal, with their modes.
  w->Selection().SetSelectionRect(TRect{10, 10, 60, 50});
  w->Selection().Show();
  form.UpdateCommandStates();
  ASSERT_TRUE(form.Commands().Trigger("MenuSelContracter"));
  EXPECT_EQ(e.Last().Caption, "Contracter");
  EXPECT_EQ(e.Last().Mode, 1);
  ASSERT_TRUE(form.Commands().Trigger("MenuSelDilater"));
  EXPECT_EQ(e.Last().Mode, 0);
  EXPECT_TRUE(e.Last().Modal);

  // A dialog that does not open leaves no step behind, and the redo branch as it was.
  e.Shell->Services->Operations().BeginUndoableOperation(ukWorkRect, "Flou");
  e.Shell->Services->UndoCommand(nullptr);
  e.Recorder.Opens = false;
  ASSERT_TRUE(form.Commands().Trigger("MenuFiltreSphere"));
  EXPECT_EQ(w->History().GetUndoStepCount(), 1);
  ASSERT_NE(w->History().GetNextUndoStep(), nullptr);
  EXPECT_EQ(w->History().GetNextUndoStep()->Name, "Flou");
}

TEST(DialogCommands, FadeReopensItsStep) {
  TRecordingShell e({"TAttenuerForm"});
  e.Shell->Services->Operations().BeginUndoableOperation(ukWorkRect, "Flou");
  e.Form().UpdateCommandStates();
  ASSERT_TRUE(e.Form().Commands().Trigger("MenuAttenuer"));
  ASSERT_EQ(e.History().GetUndoStepCount(), 2);
  TUndoLayerItem* fade = e.History().GetCurrentUndoStep();
  EXPECT_EQ(GetUndoStepParam(*fade, upKind), int(ukFade));
  ASSERT_EQ(e.Recorder.Opened.size(), 1u);
  EXPECT_TRUE(e.Last().NewStep);
  EXPECT_EQ(e.Last().Value, 100);
  SetUndoStepParam(*fade, upFadeOpacity, 40);
  ASSERT_TRUE(e.Form().Commands().Trigger("MenuAttenuer"));
  EXPECT_EQ(e.History().GetUndoStepCount(), 2);
  ASSERT_EQ(e.Recorder.Opened.size(), 2u);
  EXPECT_FALSE(e.Last().NewStep);
  EXPECT_EQ(e.Last().Value, 40);
}

TEST(DialogCommands, IndexedColoursAskBeforeDroppingTransparency) {
  TRecordingShell e({"TIndexForm"});
  e.Shell->Doc->Image().Layers[0].Image.Transparent = true;
  e.Shell->Answer = [](const std::string&, int) { return int(mrNo); };
  ASSERT_TRUE(e.Form().Commands().Trigger("MenuModeIndex"));
  EXPECT_EQ(e.Shell->Messages.back(), Tr(TextId::GetTrDlgMain13));
  EXPECT_TRUE(e.Recorder.Opened.empty());
  EXPECT_EQ(e.History().GetUndoStepCount(), 0);
  e.Shell->Answer = [](const std::string&, int) { return int(mrYes); };
  ASSERT_TRUE(e.Form().Commands().Trigger("MenuModeIndex"));
  ASSERT_EQ(e.Recorder.Opened.size(), 1u);
  EXPECT_EQ(e.Recorder.Opened[0].first, "TIndexForm");
  EXPECT_EQ(GetUndoStepParam(*e.History().GetCurrentUndoStep(), upKind), int(ukWholeImage));
}

namespace {

// A filter whose operation runs out of memory, registered under the noise's class.
struct TFailingParams {
  int Amount;
};

}  // namespace

template <>
struct qm::TParamTable<TFailingParams> {
  static constexpr std::array Fields{IntParam("Amount", &TFailingParams::Amount, {1, 100}, {1, 100}, 20)};
};

namespace {

void ScribbleThenFail(TBitmap& layer, const TFailingParams&, TRect) {
  layer.FillRect(GetBitmapRect(layer), clBlack);
  throw std::bad_alloc();
}

class TFailingForm final : public TParamDialogOf<TFailingParams> {
 public:
  static constexpr TDialogTraits kTraits{"TBruitForm", TextId::TrFixDlgGaussianBlur, TextId::GetTrMnuGaussianBlur};
  TFailingForm() : TParamDialogOf(kTraits, &ScribbleThenFail) {
    AddSlider(&TFailingParams::Amount, {.Name = "TBN", .LabelName = "LblN", .Format = TextId::GetTrFmtAmount});
  }
};

}  // namespace

// A failure inside a preview, and inside a menu command: the message, the layer and the
// history as they were, no busy state left, the menus usable.
TEST(DialogCommands, AFailureLeavesTheShellUsable) {
  TDialogRegistry dialogs;
  InstallParameterDialogs(dialogs);
  RegisterParamDialog<TFailingForm>(dialogs);
  DialogShell shell(&dialogs);
  TMainForm& form = *shell.Form;
  const TBitmap original = shell.Layer().Clone();

  QWidget* d = shell.OpenForm("TBruitForm");
  ASSERT_TRUE(d);
  Click(d, "BApercu");
  EXPECT_EQ(shell.Messages.back(), Tr(TextId::TrFixOutOfMemory));
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  EXPECT_FALSE(shell.Services->IsBusy());
  EXPECT_TRUE(d->isVisible());  // the dialog stays for other values
  Click(d, "BOk");              // OK runs the operation again: it fails again, and stays
  EXPECT_TRUE(d->isVisible());
  Click(d, "BAnnuler");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  EXPECT_FALSE(shell.Services->ShellLock());

  // A command that opens its step, writes, then throws.
  form.Commands().SetHandler("MenuFiltreFlou", [&](const TCommandSender&) {
    shell.Services->BeginBusy();
    shell.Services->Operations().BeginUndoableOperation(ukWorkRect, "Flou");
    shell.Layer().FillRect(GetBitmapRect(shell.Layer()), clWhite);
    throw std::runtime_error("Le filtre a échoué.");
  });
  ASSERT_TRUE(form.Commands().Trigger("MenuFiltreFlou"));
  EXPECT_EQ(shell.Messages.back(), "Le filtre a échoué.");
  EXPECT_TRUE(SameBitmaps(shell.Layer(), original));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
  EXPECT_FALSE(shell.Services->IsBusy());
  // The editor goes on: a real filter from its menu.
  ASSERT_TRUE(form.Commands().Trigger("MenuFiltreFlouGauss"));
  d = form.findChild<QWidget*>("TBlurForm");
  ASSERT_TRUE(d && d->isVisible());
  Click(d, "BOk");
  EXPECT_EQ(shell.History().GetUndoStepCount(), 1);
}

// Cancel, or Esc, gives the menus back at once: their titles and the undo of the step
// before the dialog, without a click in the main window first.
TEST(DialogCommands, ClosingADialogGivesTheMenusBack) {
  DialogShell shell;
  TMainForm& form = *shell.Form;
  ASSERT_TRUE(form.Commands().Trigger("MenuReglageNegatif"));
  for (Qt::Key key : {Qt::Key_Escape, Qt::Key_unknown}) {
    ASSERT_TRUE(form.Commands().Trigger("MenuFiltreFlouGauss"));
    QWidget* d = form.findChild<QWidget*>("TBlurForm");
    ASSERT_TRUE(d && d->isVisible());
    EXPECT_FALSE(form.Commands().Menu("MenuFiltre")->menuAction()->isEnabled());
    if (key == Qt::Key_Escape) QTest::keyClick(d, key);
    else Click(d, "BAnnuler");
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(form.Commands().Menu("MenuFiltre")->menuAction()->isEnabled());
    EXPECT_TRUE(form.Commands().Action("MenuEditionUndo")->isEnabled());
  }
  ASSERT_TRUE(form.Commands().Trigger("MenuEditionUndo"));
  EXPECT_EQ(shell.History().GetCurrentUndoStep(), nullptr);
}
