// The plug-in host in the real editor, with modules the build makes: what it lists and
// the menus, buttons and about boxes it makes of them; runs from the menus that leave
// one undo step, or none when they fail; a plug-in with a Qt window of its own.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include "document/Undo.h"
#include "extensions/PluginAbout.h"
#include "platform/texts/DateFormat.h"
#include "platform/texts/IniFile.h"
#include "extensions/PluginTestSupport.h"
#include "shell/services/CommandSet.h"
#include "support/ViewTestSupport.h"

using namespace qm;
using namespace qm::test;

namespace {

std::vector<std::string> Texts(const std::vector<QAction*>& actions) {
  std::vector<std::string> t;
  for (QAction* a : actions) t.push_back(a->text().toStdString());
  return t;
}

bool Shown(TMainForm& form, const char* name) {
  if (QAction* a = form.Commands().Action(name)) return a->isVisible();
  for (QWidget* w : form.findChildren<QMenu*>())
    for (QAction* a : w->actions())
      if (a->objectName() == QLatin1String(name)) return a->isVisible();
  ADD_FAILURE() << name;
  return false;
}

const TPluginEntry* Entry(PluginEditor& e, const std::string& nameText) {
  for (const TPluginEntry& p : e.Host->Plugins())
    if (p.NameText == nameText) return &p;
  return nullptr;
}

}  // namespace

TEST(PluginHost, ListsOurModulesByNameWithTheirMenusCaptionsAndGlyphs) {
  PluginEditor e;
  e.Install({"invert", "import", "probe", "compat80", "compat71", "compatnone", "typeneg", "glyph19", "glyph20",
             "bars"});
  e.Install({"about"}, "sous-dossier/plus-bas");
  e.InstallAs("named", "Beta.qxl");
  e.InstallAs("named", "alpha.qxl");
  e.Home.Write("Plugins/pas-un-module.qxl", "not a module");
  e.InstallBridge();  // a module of the folder that is not a plug-in
  TMainForm& form = e.Start();
  ASSERT_TRUE(e.Host);

  // Refused: the compatibility text "8.0" and the type -1; the rest in name order,
  // whatever the case.
  std::vector<std::string> names;
  for (const TPluginEntry& p : e.Host->Plugins()) names.push_back(p.NameText);
  std::vector<std::string> expected = {"|X|Y",         "alpha.qxl",          "Avec sa boîte|Test", "Beta.qxl",
                                       "Glyphe|Test",  "Grand glyphe|Test",  "Importer test|Test", "Inverser|Test",
                                       "Sans texte|Test", "Sept un|Test",    "Sonde|Sonder l'image"};
  std::vector<std::string> sorted = names;
  std::erase(sorted, "|X|Y");
  std::erase(expected, "|X|Y");
  EXPECT_EQ(sorted, expected);
  EXPECT_EQ(names.size(), expected.size() + 1);

  // The description as read, the glyph copied with its key colour transparent.
  const TPluginEntry* probe = Entry(e, "Sonde|Sonder l'image");
  ASSERT_TRUE(probe);
  EXPECT_EQ(probe->VersionText, "Version 2.1b (2004)");
  EXPECT_EQ(probe->Author, "(c) Atelier Morvek & fils");
  EXPECT_EQ(probe->CompatibilityText, "7");
  EXPECT_TRUE(probe->Glyph.isNull());
  const TPluginEntry* glyph = Entry(e, "Glyphe|Test");
  ASSERT_TRUE(glyph && !glyph->Glyph.isNull());
  EXPECT_EQ(glyph->Glyph.size(), QSize(19, 19));
  EXPECT_EQ(qAlpha(glyph->Glyph.pixel(0, 0)), 0);
  EXPECT_EQ(glyph->Glyph.pixel(9, 9), qRgb(20, 60, 200));
  EXPECT_TRUE(Entry(e, "Grand glyphe|Test")->Glyph.isNull());  // 20 x 20: the standard glyph

  // Each plug-in's about entry and command, the about caption before the bar, the
  // command's after it; "|X|Y" splits nowhere and loses every bar.
  TPluginCommands& commands = e.Commands();
  const std::vector<std::string> about = Texts(commands.AboutItems());
  const std::vector<std::string> items = Texts(commands.PluginItems());
  ASSERT_EQ(items.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    const TPluginCaptions c = PluginCaptions(names[i]);
    EXPECT_EQ(about[i], c.About);
    EXPECT_EQ(items[i], c.Command);
  }
  const size_t bars = size_t(std::find(names.begin(), names.end(), "|X|Y") - names.begin());
  ASSERT_LT(bars, names.size());
  EXPECT_EQ(about[bars], "XY");
  EXPECT_EQ(items[bars], "XY");
  EXPECT_EQ(form.Commands().Menu("MenuPluginFiltre")->actions().count(e.Item("Sonder l'image")), 1);
  EXPECT_EQ(form.Commands().Menu("MenuPluginImport")->actions().size(), 1);
  EXPECT_EQ(form.Commands().Menu("MenuPluginExport")->actions().size(), 1);
  EXPECT_EQ(form.Commands().Menu("MenuPluginImage")->actions().size(), 2);
  EXPECT_EQ(form.Commands().Menu("MenuPluginOutil")->actions().size(), 5);

  // Each menu and its separator shown once it has an entry; the 8BF menu has none.
  for (const char* shown : {"MenuPluginAPropos", "MenuPluginFiltre", "MenuSepPluginFiltre", "MenuPluginImage",
                            "MenuSepPluginImage", "MenuPluginImport", "MenuPluginExport", "MenuSepPluginFichier",
                            "MenuPluginOutil", "MenuSepPluginOutil"})
    EXPECT_TRUE(Shown(form, shown)) << shown;
  EXPECT_FALSE(Shown(form, "Menu8bfFiltre"));
}

TEST(PluginHost, SwitchedOffNoMenuShows) {
  PluginEditor e;
  e.Install({"probe", "import"});
  e.WriteSettings("[Plugins]\nLoadPlugins=0\n");
  TMainForm& form = e.Start();
  ASSERT_TRUE(e.Host);
  EXPECT_TRUE(e.Host->Plugins().empty());
  for (const char* hidden : {"MenuPluginAPropos", "MenuPluginFiltre", "MenuSepPluginFiltre", "Menu8bfFiltre",
                             "MenuPluginImage", "MenuSepPluginImage", "MenuPluginImport", "MenuPluginExport",
                             "MenuSepPluginFichier", "MenuPluginOutil", "MenuSepPluginOutil"})
    EXPECT_FALSE(Shown(form, hidden)) << hidden;
  EXPECT_FALSE(form.Commands().IsEnabled("MenuAffichageBarrePlugins"));
}

TEST(PluginHost, ToolButtonsAreTheChosenOnesOrTheFirstTwenty) {
  {
    // No choice: every plug-in qualifies, the first 20 by name.
    PluginEditor e;
    for (int i = 25; i >= 1; --i) e.InstallAs("named", "module" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".qxl");
    e.Start();
    const std::vector<QAction*>& buttons = e.Commands().ToolButtons();
    ASSERT_EQ(buttons.size(), 20u);
    EXPECT_EQ(buttons.front()->text().toStdString(), "module01.qxl");
    EXPECT_EQ(buttons.back()->text().toStdString(), "module20.qxl");
    EXPECT_FALSE(buttons.front()->icon().pixmap(16, 16).isNull());  // the standard glyph
  }
  {
    // A choice by file name or by the name Preferences writes, in any case; the buttons
    // follow the list's order, and bring the plug-in's glyph.
    PluginEditor e;
    e.Install({"probe", "glyph19", "glyph20", "import"});
    e.WriteSettings("[Plugins]\nPluginsBar=1\nPlugin1=GLYPH19.QXL\nPlugin2=sonde\nPlugin3=absent.qxl\n");
    TMainForm& form = e.Start();
    EXPECT_EQ(Texts(e.Commands().ToolButtons()), (std::vector<std::string>{"Glyphe", "Sonde"}));
    EXPECT_TRUE(form.Commands().ToolBar("ToolBar4")->isVisible());
    const QPixmap glyph = e.Commands().ToolButtons()[0]->icon().pixmap(19, 19);
    EXPECT_EQ(glyph.toImage().pixel(9, 9), qRgb(20, 60, 200));
  }
  {
    // The bar asked for, but no plug-in chosen for it: unchecked, and written so.
    PluginEditor e;
    e.Install({"probe"});
    e.WriteSettings("[Plugins]\nPluginsBar=1\nPlugin1=absent.qxl\n");
    TMainForm& form = e.Start();
    EXPECT_TRUE(e.Commands().ToolButtons().empty());
    EXPECT_FALSE(form.Commands().ToolBar("ToolBar4")->isVisible());
    EXPECT_FALSE(form.Commands().Action("MenuAffichageBarrePlugins")->isChecked());
    e.Form.reset();
    EXPECT_EQ(TIniFile(e.SettingsFile()).ReadString("Plugins", "PluginsBar", ""), "0");
  }
}

TEST(PluginHost, FilterRunsLeaveOneStepUndoGivesBackAndFailuresLeaveNone) {
  PluginEditor e;
  e.Install({"failing", "import", "invert"});
  TMainForm& form = e.Start();
  TPluginCommands& commands = e.Commands();
  QAction* invert = e.Item("Test");
  ASSERT_EQ(commands.PluginItems().size(), 3u);
  // Without a document only the import runs.
  EXPECT_FALSE(commands.PluginItems()[0]->isEnabled());
  EXPECT_TRUE(commands.PluginItems()[1]->isEnabled());
  EXPECT_FALSE(commands.PluginItems()[2]->isEnabled());

  TBitmap picture(40, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) picture.SetPixel(x, y, RGB(x * 6, y * 8, 100));
  e.OpenPicture(picture);
  TShellServices& services = e.Services();
  const std::vector<uint8_t> original = Pixels(*services.GetActiveLayerBitmap());
  EXPECT_TRUE(commands.PluginItems()[2]->isEnabled());
  EXPECT_TRUE(form.Commands().IsEnabled("MenuAffichageBarrePlugins"));

  // A version 1 module: it inverts through the rows the host lends it.
  ASSERT_TRUE(invert);
  commands.PluginItems()[2]->trigger();
  std::vector<uint8_t> inverted = original;
  for (uint8_t& v : inverted) v = uint8_t(255 - v);
  EXPECT_EQ(Pixels(*services.GetActiveLayerBitmap()), inverted);
  TUndoList& history = *services.GetActiveHistory();
  ASSERT_EQ(history.GetUndoStepCount(), 1);
  EXPECT_EQ(history.GetCurrentUndoStep()->Name, "Test");
  EXPECT_EQ(services.Operations().RepeatableCaption(), "Test");
  EXPECT_FALSE(services.IsBusy());

  // One that writes and then fails: the image as it was, no step, no repeat.
  commands.PluginItems()[0]->trigger();
  EXPECT_EQ(Pixels(*services.GetActiveLayerBitmap()), inverted);
  EXPECT_EQ(history.GetUndoStepCount(), 1);
  EXPECT_FALSE(services.Operations().HasRepeatableCommand());

  // Undone, the first run gives the picture back byte for byte.
  services.UndoCommand(nullptr);
  EXPECT_EQ(Pixels(*services.GetActiveLayerBitmap()), original);
}

TEST(PluginHost, TheHostsAboutBoxDescribesThePlugin) {
  // The label rules, each edge.
  EXPECT_EQ(VersionToken("Version 2.1b (2004)"), "2.1b");
  EXPECT_EQ(VersionToken("v3"), "3");
  EXPECT_EQ(VersionToken("sans chiffre"), "");
  for (const char* author : {"(C) Jean", "© Jean", "Copyright Jean", "copyright © (c) Jean", "  Jean "})
    EXPECT_EQ(AuthorLine(author), "Copyright © Jean") << author;
  EXPECT_EQ(AuthorLine("Dupont & fils"), "Copyright © Dupont & fils");

  PluginEditor e;
  e.Install({"probe"});
  e.InstallAs("compatnone", "un-nom-de-module-bien-trop-long-pour-la-boite.qxl");
  e.Start();
  const TPluginEntry* probe = Entry(e, "Sonde|Sonder l'image");
  ASSERT_TRUE(probe);
  bool loaded = false;
  TPlgDlgForm* box = nullptr;
  WhenModal([&](QWidget* w) {
    box = dynamic_cast<TPlgDlgForm*>(w);
    loaded = e.Host->IsPluginLoaded();
    w->findChild<QPushButton*>("Button1")->click();
  });
  e.Commands().AboutItems()[size_t(probe - e.Host->Plugins().data())]->trigger();
  ASSERT_TRUE(box);
  EXPECT_TRUE(loaded);
  EXPECT_FALSE(e.Host->IsPluginLoaded());
  EXPECT_EQ(box->windowTitle().toStdString(), "A propos du module");
  EXPECT_EQ(box->size(), QSize(335, 338));
  EXPECT_TRUE(box->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(box->LblCaption->text().toStdString(), "Sonde 2.1b");
  EXPECT_EQ(box->LblAuthor->text().toStdString(), "Copyright © Atelier Morvek & fils");
  EXPECT_EQ(box->LblType->text().toStdString(), "Menu : Filtre/Modules externes/Sonder l'image");
  const std::string file = box->LblFile->text().toStdString();
  EXPECT_EQ(file.rfind("Nom du fichier : probe.qxl (", 0), 0u) << file;
  EXPECT_FALSE(box->LblVersion->text().isEmpty());
  EXPECT_EQ(box->LblComment->text().toStdString(), "Un module d'essai.");
  EXPECT_FALSE(box->LblComment->isHidden());

  // A long file name is cut with "..."; an image plug-in's path; no comment, no label.
  TPluginEntry other = *probe;
  other.File = e.Folder + "/un-nom-de-module-bien-trop-long-pour-la-boite.qxl";
  other.Type = TPluginType::Image;
  other.Comment.clear();
  other.VersionText = "sans chiffre";
  box->FillPluginAboutForm(other);
  EXPECT_EQ(box->LblCaption->text().toStdString(), "Sonde ");
  EXPECT_EQ(box->LblType->text().toStdString(), "Menu : Image/Modules externes/Sonder l'image");
  EXPECT_NE(box->LblFile->text().toStdString().find(" un-nom-de-module-bien-trop-long-pour-la-... ("),
            std::string::npos)
      << box->LblFile->text().toStdString();
  EXPECT_TRUE(box->LblComment->isHidden());

  // The module's date alone, whatever blanks the date's picture holds.
  const std::time_t written = std::time_t(QFileInfo(QString::fromStdString(other.File)).lastModified().toSecsSinceEpoch());
  for (const char* picture : {"dd/mm/yyyy hh:nn:ss", "d mmm yyyy t"}) {
    SetText(TextId::GetTrFmtFileDate, picture);
    box->FillPluginAboutForm(other);
    const std::string date(picture, std::string_view(picture).find_first_of("ht") - 1);
    EXPECT_EQ(box->LblVersion->text().toStdString(), FormatDateTime(date, LocalDateTime(written))) << picture;
  }
}

TEST(PluginHost, APluginsOwnAboutBoxGetsTheHostRecord) {
  PluginEditor e;
  e.Install({"about"});
  e.Start();
  int32_t level = 0;
  std::string language;
  Probe().About = [&](QxlPluginHost* host) {
    level = host->Level;
    language = host->LanguageCode;
  };
  e.Commands().AboutItems()[0]->trigger();
  EXPECT_EQ(level, 4);
  EXPECT_EQ(language, "FR");
  EXPECT_EQ(e.Host->AboutForm(), nullptr);  // the host's own box was not needed
}

TEST(PluginHost, APluginWindowIsCentredLockedModalAndPicksColours) {
  PluginEditor e;
  e.Install({"qt"});
  TMainForm& form = e.Start();
  TBitmap picture(60, 40, pf24bit, RGB(10, 200, 30));
  TNewImgForm& doc = e.OpenPicture(picture);
  TShellServices& services = e.Services();
  const std::vector<uint8_t> original = Pixels(*services.GetActiveLayerBitmap());
  std::vector<uint32_t> colours;
  std::vector<std::string> clicks;
  Probe().SetColor = [&](uint32_t c) { colours.push_back(c); };
  Probe().PointClick = [&](int32_t x, int32_t y, int32_t b) {
    clicks.push_back(std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(b));
  };
  QPointer<QWidget> plugin;
  bool checked = false;
  auto* timer = new QTimer(&form);
  QObject::connect(timer, &QTimer::timeout, &form, [&] {
    QWidget* w = form.findChild<QWidget*>("QtPluginForm");
    if (!w || !w->isVisible() || checked) return;
    checked = true;
    timer->stop();
    plugin = w;
    // Centred on the main window, the shell held for it, the image still clickable.
    const QRect m = form.frameGeometry();
    EXPECT_EQ(w->pos(), QPoint(m.left() + (m.width() - w->frameGeometry().width()) / 2,
                               m.top() + (m.height() - w->frameGeometry().height()) / 2));
    EXPECT_EQ(services.ShellLock(), &form);
    EXPECT_TRUE(services.IsPluginLoaded());
    EXPECT_TRUE(w->isEnabled());
    const TPoint at = doc.View().ImageToClientPoint(TPoint{30, 20});
    Click(doc.View(), QPoint(at.X, at.Y));
    w->findChild<QPushButton*>("BtnOk")->click();
  });
  timer->start(5);
  e.Item("Inverser Qt")->trigger();
  ASSERT_TRUE(checked);
  // Deleted before its code went away.
  EXPECT_TRUE(plugin.isNull());
  EXPECT_EQ(services.ShellLock(), nullptr);
  EXPECT_FALSE(services.IsPluginLoaded());
  ASSERT_EQ(colours.size(), 1u);
  EXPECT_EQ(colours[0], RGB(10, 200, 30));
  EXPECT_EQ(clicks.size(), 1u);
  // OK inverted the image through the host's bitmaps, as one undo step.
  std::vector<uint8_t> inverted = original;
  for (uint8_t& v : inverted) v = uint8_t(255 - v);
  EXPECT_EQ(Pixels(*services.GetActiveLayerBitmap()), inverted);
  EXPECT_EQ(services.GetActiveHistory()->GetUndoStepCount(), 1);
  services.UndoCommand(nullptr);
  EXPECT_EQ(Pixels(*services.GetActiveLayerBitmap()), original);
}

// Plug-ins built as strict C99 from the header alone, one per requirement asked for by
// its name: the host reads the bit the name stands for, and the command follows it on
// a one-layer, true-colour, opaque PNG without selection or EXIF, alone in the editor.
TEST(PluginHost, APluginBuiltFromTheHeaderAloneAsksForEachRequirementByName) {
  const struct {
    const char* Name;
    int Bit;
    bool Enabled;
  } requirements[] = {{"TRUE_COLOR", 0, true},     {"FEW_COLORS", 1, false},     {"TRANSPARENT", 2, false},
                      {"OPAQUE", 3, true},         {"SELECTION", 4, false},      {"NO_SELECTION", 5, true},
                      {"DOCUMENT", 6, true},       {"TWO_DOCUMENTS", 7, false},  {"LAYERS", 8, false},
                      {"ONE_LAYER", 9, true},      {"ALPHA", 10, false},         {"NO_ALPHA", 11, true},
                      {"JPEG_FILE", 16, false},    {"GIF_FILE", 17, false},      {"PNG_FILE", 18, true},
                      {"BMP_FILE", 19, false},     {"TIFF_FILE", 20, false},     {"SELECTION_FILE", 21, false},
                      {"EXIF", 22, false}};
  PluginEditor e;
  for (const auto& r : requirements) {
    const std::string kind = QString::fromLatin1(r.Name).toLower().toStdString();
    e.InstallAs(("requirements/require_" + kind).c_str(), "require_" + kind + ".qxl");
  }
  e.Start();
  ASSERT_EQ(e.Host->Plugins().size(), std::size(requirements));
  // Without a document only the one asking for a document is off.
  for (const auto& r : requirements) {
    QAction* item = e.Item(r.Name);
    ASSERT_TRUE(item) << r.Name;
    EXPECT_EQ(item->isEnabled(), r.Bit != 6) << r.Name;
  }
  e.OpenPicture(TBitmap(16, 8, pf24bit, RGB(200, 120, 40)), "photo.png");
  e.Commands().UpdatePluginStates();
  for (const auto& r : requirements) {
    const auto entry = std::find_if(e.Host->Plugins().begin(), e.Host->Plugins().end(), [&](const TPluginEntry& p) {
      return PluginCaptions(p.NameText).Command == r.Name;
    });
    ASSERT_NE(entry, e.Host->Plugins().end()) << r.Name;
    EXPECT_EQ(entry->Flags, 1u << r.Bit) << r.Name;
    EXPECT_EQ(entry->Type, TPluginType::Tool);
    EXPECT_EQ(e.Item(r.Name)->isEnabled(), r.Enabled) << r.Name;
  }
}
