// The editor started as the program starts it, without a translation module and with
// one in the user's data folder: the captions and hints of the main window, the tool
// palette and the image browser, a dialog, the icon filter, Qt's own buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>

#include "dialogs/DialogList.h"
#include "dialogs/DialogRegistry.h"
#include "platform/texts/Format.h"
#include "shell/palette/ToolPalette.h"
#include "support/MainFormFixture.h"
#include "support/ProgramStart.h"
#include "support/TranslationModules.h"

using namespace qm;
using namespace qm::test;

namespace {

// The editor as the program starts it, the module variant first copied into the user's
// data folder (none when empty). Its own registry, so the dialogs it opens are made
// under its texts.
struct TranslatedEditor : Editor {
  TDialogRegistry Dialogs;
  explicit TranslatedEditor(const std::string& variant) {
    InstallParameterDialogs(Dialogs);
    if (!variant.empty()) std::filesystem::copy_file(ModulePath(variant), Home.File(variant + ".plg"));
    Options = ProgramStartOptions(&Dialogs);
    Start();
  }
  TExplorForm& Browser() {
    if (!Form->Browser() || !Form->Browser()->isVisible()) {
      EXPECT_TRUE(Form->Commands().Trigger("MenuExplore"));
    }
    return *Form->Browser();
  }
};

enum class TWhere { MainButton, PaletteButton, BrowserButton, BrowserItem, MenuItem, Dialog };

std::string Seen(TranslatedEditor& e, TWhere where, const char* name) {
  auto tip = [name](QObject* root) {
    auto* b = root->findChild<QToolButton*>(QString::fromLatin1(name));
    EXPECT_TRUE(b) << name;
    return b ? b->toolTip().toStdString() : std::string();
  };
  switch (where) {
    case TWhere::MainButton: return tip(e.Form.get());
    case TWhere::PaletteButton: return tip(&e.Form->Palette());
    case TWhere::BrowserButton: return tip(&e.Browser());
    case TWhere::BrowserItem: {
      auto* a = e.Browser().findChild<QAction*>(QString::fromLatin1(name));
      EXPECT_TRUE(a) << name;
      return a ? a->text().toStdString() : std::string();
    }
    case TWhere::MenuItem: return e.Form->Commands().Action(name)->text().toStdString();
    case TWhere::Dialog: {
      // the dialog's title, then its OK button
      if (!e.Form->Commands().Trigger("MenuFiltreFlouGauss")) return "not opened";
      auto* d = e.Form->findChild<QWidget*>(QStringLiteral("TBlurForm"));
      if (!d || !d->isVisible()) return "not shown";
      const QString ok = d->findChild<QPushButton*>(QStringLiteral("BOk"))->text();
      const std::string seen = (d->windowTitle() + " | " + ok).toStdString();
      d->findChild<QPushButton*>(QStringLiteral("BAnnuler"))->click();
      return seen;
    }
  }
  return {};
}

}  // namespace

TEST_F(TranslationTable, CaptionsAndHintsWithoutAModuleAndUnderOne) {
  struct TRow {
    TWhere Where;
    const char* Name;
    std::string French, English;
  };
  const TRow rows[] = {
      // the main window's buttons: the cleaned captions of their commands and their keys
      {TWhere::MainButton, "BtnNew", "Nouveau [Ctrl+N]", "New [Ctrl+N]"},
      {TWhere::MainButton, "BtnOuvrir", "Ouvrir [Ctrl+O]", "Open [Ctrl+O]"},
      {TWhere::MainButton, "BtnRedim", "Taille de l'image [Ctrl+H]", "Picture size [Ctrl+H]"},
      {TWhere::MainButton, "BtnSelection", "Afficher la sélection [Ctrl+D]", "Show the selection [Ctrl+D]"},
      {TWhere::MainButton, "BtnZoomPe", "Plein écran [F11]", "Full screen [F11]"},
      {TWhere::MainButton, "BtnZoomPlus", "Zoom avant [+]", "Zoom in [+]"},
      {TWhere::MainButton, "BtnZoom100", "Taille réelle [1]", "Actual size [1]"},
      {TWhere::MainButton, "BtnRVB", "Couleurs RVB", "RGB colours"},
      {TWhere::MainButton, "BtnSymVert", "Symétrie horizontale", "Flip horizontally"},
      // the adjustment steps: their dialogs' captions split at the "/"
      {TWhere::MainButton, "BtnLumMoins", "Luminosité (-)", "Brightness (-)"},
      {TWhere::MainButton, "BtnCtrPlus", "Contraste (+)", "Contrast (+)"},
      {TWhere::MainButton, "BtnColPlus", "Saturation (+)", "Saturation (+)"},
      {TWhere::MainButton, "BtnGamMoins", "Correction gamma (-)", "Gamma correction (-)"},
      // the palette: the tools' hints and keys, the selection buttons' commands and keys
      {TWhere::PaletteButton, "BtnSel", "Outil Sélection [A..J]", "Selection tool [A..J]"},
      {TWhere::PaletteButton, "BtnPipette", "Outil Pipette [K]", "Colour picker tool [K]"},
      {TWhere::PaletteButton, "BtnRetouche", "Outil Retouche [X]", "Retouch tool [X]"},
      {TWhere::PaletteButton, "TB0", "Rectangle [A]", "Rectangle [A]"},
      {TWhere::PaletteButton, "TB5", "Polygone [J]", "Polygon [J]"},
      {TWhere::PaletteButton, "TB6", "Lasso [I]", "Free-hand lasso [I]"},
      {TWhere::PaletteButton, "TB7", "Charger une forme", "Load a shape"},
      // the browser: its folder buttons, its items (a dialog's decorated)
      {TWhere::BrowserButton, "BtnDir", "Explorer / Un dossier", "Explore / A folder"},
      {TWhere::BrowserButton, "BtnMask", "Explorer / Le dossier des masques", "Explore / The masks folder"},
      {TWhere::BrowserButton, "BtnPattern", "Le dossier des motifs / Utiliser comme motif",
       "The patterns folder / Define Pattern"},
      {TWhere::BrowserItem, "MenuExploreDir", "Un dossier...", "A folder..."},
      {TWhere::BrowserItem, "MenuExploreRenommer", "Renommer l'image...", "Rename the picture..."},
      {TWhere::BrowserItem, "MenuExploreTrier", "Trier", "Sort"},
      // a menu, a dialog's command, a dialog
      {TWhere::MenuItem, "MenuFichier", "&Fichier", "&File"},
      {TWhere::MenuItem, "MenuFichierNouveau", "Nouveau...", "New..."},
      {TWhere::Dialog, "TBlurForm", "Flou gaussien | Ok", "Gaussian blur | OK"},
  };
  for (const bool module : {false, true}) {
    SCOPED_TRACE(module ? "under a module" : "without a module");
    TranslatedEditor e(module ? "english" : "");
    EXPECT_EQ(TranslationLoaded(), module);
    e.NewDocument(Picture(60, 40, 10));
    for (const TRow& r : rows) EXPECT_EQ(Seen(e, r.Where, r.Name), module ? r.English : r.French) << r.Name;
    // a hint set on a button's item leaves the button its glyph
    EXPECT_FALSE(e.Browser().findChild<QToolButton*>(QStringLiteral("BtnPattern"))->icon().isNull());
    // the open dialogs' filter names icons as the module does
    const std::string icons = (module ? "Windows icon" : "Icône Windows") + std::string(" (*.ico)|*.ico");
    EXPECT_NE(BuildImageFilter(false, false, false).find(icons), std::string::npos);
  }
}

TEST_F(TranslationTable, TheKeysASelectionButtonsHintNamesChooseWhatTheButtonChooses) {
  TranslatedEditor e("");
  TNewImgForm& w = e.NewDocument(Picture(60, 40, 20));
  TMyImageLayered& view = w.View();
  int checked = 0;
  for (int n = 0; n < 12; ++n) {
    auto* b = e.Form->Palette().findChild<QToolButton*>(QStringLiteral("TB%1").arg(n));
    ASSERT_TRUE(b);
    const std::string hint = b->toolTip().toStdString();
    if (hint.size() < 4 || hint.back() != ']') continue;
    const char key = hint[hint.size() - 2];
    SCOPED_TRACE(hint);
    QTest::keyClick(&view, Qt::Key_H);  // a shape no button chooses: the last triangle
    b->click();
    const std::pair<TMyShape, bool> clicked{view.SelShape(), view.MultiLine};
    QTest::keyClick(&view, Qt::Key_H);
    ASSERT_NE((std::pair<TMyShape, bool>{view.SelShape(), view.MultiLine}), clicked);
    QTest::keyClick(&view, Qt::Key(Qt::Key_A + (key - 'A')));
    EXPECT_EQ((std::pair<TMyShape, bool>{view.SelShape(), view.MultiLine}), clicked);
    ++checked;
  }
  EXPECT_EQ(checked, 8);
}

TEST_F(TranslationTable, QtsOwnButtonsSpeakTheModulesLanguage) {
  // The French test module in an editor whose system speaks no French: the open
  // dialog's Cancel button is Qt's own, in French.
  TranslatedEditor e("francais");
  ASSERT_TRUE(TranslationLoaded());
  std::string cancel;
  WhenModal([&cancel](QWidget* dialog) {
    if (auto* box = dialog->findChild<QDialogButtonBox*>())
      if (QPushButton* b = box->button(QDialogButtonBox::Cancel)) cancel = b->text().toStdString();
    QMetaObject::invokeMethod(dialog, "reject");
  });
  ASSERT_TRUE(e.Form->Commands().Trigger("MenuFichierOuvrir"));
  EXPECT_EQ(cancel, "Annuler");
  EXPECT_EQ(e.Form->Commands().Menu("MenuFichier")->title().toStdString(), "&Fichier (test)");
  // A later start without a module puts Qt's texts back in the system's language.
  InstallQtTranslation("");
  QDialogButtonBox box(QDialogButtonBox::Cancel);
  EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text().toStdString(), "Cancel");
}

// The open dialog's list speaks the interface's language, whatever the system's: its
// column titles and a file's date in French without a module, in English under the
// English one; the program's own numbers keep the system's separator under both.
TEST_F(TranslationTable, TheOpenDialogsColumnsSpeakTheInterfacesLanguage) {
  TempFolder folder("columns");
  const std::string path = std::filesystem::absolute(folder.Path).string();
  folder.Write("plage.jpg", "not read");
  const QDateTime date = QFileInfo(QString::fromStdString(path + "/plage.jpg")).lastModified();
  const std::string separator = QLocale::system().decimalPoint().toStdString();
  const struct {
    const char* Variant;
    QLocale Locale;
    const char* Name;
  } rows[] = {{"", QLocale(QLocale::French, QLocale::France), "Nom"}, {"english", QLocale(QLocale::English), "Name"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Name);
    TranslatedEditor e(r.Variant);
    EXPECT_EQ(FormatSettings().DecimalSeparator, separator);
    std::string title, cell;
    WhenModal([&](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      ASSERT_TRUE(d);
      d->setViewMode(QFileDialog::Detail);
      d->setDirectory(QString::fromStdString(path));
      auto* tree = d->findChild<QTreeView*>(QStringLiteral("treeView"));
      ASSERT_TRUE(tree);
      EXPECT_TRUE(QTest::qWaitFor([&] { return tree->model()->rowCount(tree->rootIndex()) == 1; }));
      title = tree->model()->headerData(0, Qt::Horizontal).toString().toStdString();
      cell = tree->model()->index(0, 3, tree->rootIndex()).data().toString().toStdString();
      QMetaObject::invokeMethod(d, "reject");
    });
    ASSERT_TRUE(e.Form->Commands().Trigger("MenuFichierOuvrir"));
    EXPECT_EQ(title, r.Name);
    EXPECT_EQ(cell, r.Locale.toString(date, QLocale::ShortFormat).toStdString());
  }
}
