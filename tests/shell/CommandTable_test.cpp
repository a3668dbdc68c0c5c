#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "platform/texts/UiTexts.h"
#include "shell/services/CommandTable.h"
#include "shell/services/ShortcutKeys.h"

using namespace qm;

namespace {

bool IsContainer(const TCommandRow* r) {
  return r && (r->Kind == TCommandKind::MenuBar || r->Kind == TCommandKind::Popup ||
               r->Kind == TCommandKind::ToolBar || r->Kind == TCommandKind::Menu);
}

// The items a captioning routine of the translation captions under a menu: the menu's
// own caption, then every item and sub-menu below it, separators aside. The shell
// captions the recent files, the copyright, Sheerlay and forum items itself (they
// have no entry), and the two history items of the image pop-up.
struct TCount {
  int Items = 0;
  int Dialogs = 0;
};
void CountCaptioned(std::string_view parent, TCount& n) {
  for (const TCommandRow* r : CommandChildren(parent)) {
    if (r->Kind == TCommandKind::Separator || r->Kind == TCommandKind::Copies) continue;
    if (r->Name == "PopImgUndo" || r->Name == "PopImgRedo") continue;
    if (CommandOwner(*r).Text != kNoText) {
      ++n.Items;
      if (TakesDialogCaption(*r)) ++n.Dialogs;
    }
    if (r->Kind == TCommandKind::Menu) CountCaptioned(r->Name, n);
  }
}

struct TTableGuard {
  TTableGuard() { ResetTextTable(); }
  ~TTableGuard() { ResetTextTable(); }
};

}  // namespace

TEST(CommandTable, RowsAreNamedOnceAndReferToRowsThatExist) {
  std::set<std::string_view> names;
  for (const TCommandRow& r : CommandRows()) {
    if (!r.Name.empty()) EXPECT_TRUE(names.insert(r.Name).second) << "twice: " << r.Name;
    const bool root = r.Kind == TCommandKind::MenuBar || r.Kind == TCommandKind::Popup || r.Kind == TCommandKind::ToolBar;
    EXPECT_EQ(root, r.Parent.empty()) << r.Name;
    if (!root) EXPECT_TRUE(IsContainer(FindCommandRow(r.Parent))) << r.Name << " in " << r.Parent;
    EXPECT_TRUE(r.Text == kNoText || int(r.Text) < kTextCount) << r.Name;
    if (r.Kind == TCommandKind::Item) {
      EXPECT_TRUE(r.Handler.ends_with("Click")) << r.Name;
      EXPECT_FALSE(r.Caption.empty()) << r.Name;
    }
    if (r.Kind == TCommandKind::Show) {
      const TCommandRow* shown = FindCommandRow(r.Source);
      ASSERT_TRUE(shown) << r.Name;
      EXPECT_EQ(shown->Kind, TCommandKind::Item) << r.Name;
    }
    if (r.Kind == TCommandKind::Copies) EXPECT_EQ(FindCommandRow(r.Source)->Kind, TCommandKind::Menu);
    // a tool bar holds buttons only
    if (const TCommandRow* p = FindCommandRow(r.Parent); p && p->Kind == TCommandKind::ToolBar)
      EXPECT_NE(r.Kind, TCommandKind::Menu) << r.Name;
  }
  EXPECT_EQ(FindCommandRow("MenuFichierOuvrir")->Text, TextId::GetTrMnuOpen);
  EXPECT_EQ(FindCommandRow("Nothing"), nullptr);
}

// Each captioning routine's count of items and of dialog items.
TEST(CommandTable, MenuCountsMatchTheCaptioningRoutines) {
  struct TExpect {
    std::vector<std::string_view> Menus;
    int Items, Dialogs;
  };
  const TExpect expected[] = {
      {{"MenuFichier"}, 22, 10},
      {{"MenuEdition"}, 26, 3},
      {{"MenuCalque"}, 52, 11},
      {{"MenuSelection"}, 44, 4},
      {{"MenuImage"}, 39, 12},  // the text item of the layer menu is captioned here again
      {{"MenuReglage"}, 18, 11},
      {{"MenuFiltre"}, 135, 22},
      {{"MenuOutils"}, 22, 7},
      {{"MenuAffichage"}, 17, 0},
      {{"MenuFenetre"}, 6, 0},
      {{"MenuAide"}, 5, 0},
      {{"PopForm", "PopImg", "PopSel", "PopTortion", "PopCalque"}, 48, 12},
  };
  for (const TExpect& e : expected) {
    TCount n;
    for (std::string_view menu : e.Menus) {
      const TCommandRow* row = FindCommandRow(menu);
      ASSERT_TRUE(row) << menu;
      if (row->Kind == TCommandKind::Menu) ++n.Items;
      CountCaptioned(menu, n);
    }
    if (e.Menus[0] == "MenuImage") {
      ++n.Items;
      ++n.Dialogs;
      EXPECT_EQ(FindCommandRow("MenuTexte")->Caption, "Texte...");
    }
    EXPECT_EQ(n.Items, e.Items) << e.Menus[0];
    EXPECT_EQ(n.Dialogs, e.Dialogs) << e.Menus[0];
  }
}

TEST(CommandTable, NoTwoCommandsShareAKey) {
  std::map<TShortcut, std::string_view> byKey;
  for (const TCommandRow& r : CommandRows()) {
    if (r.Kind != TCommandKind::Item || r.Shortcut == 0) continue;
    EXPECT_FALSE(ShortcutToKeySequence(r.Shortcut).isEmpty()) << r.Name;
    auto [it, fresh] = byKey.emplace(r.Shortcut, r.Name);
    EXPECT_TRUE(fresh) << r.Name << " and " << it->second << " share " << r.Shortcut;
  }
  // the values the forms give, and the two mended: merge down is Ctrl+M (not Ctrl+Enter)
  // and copying the image to a folder leaves Ctrl+Shift+C to the merged copy
  const std::pair<const char*, TShortcut> values[] = {
      {"MenuFiltreRepeter", 16459},     {"MenuTexte", 16468},
      {"MenuCalqueSupprimer", 16430},   {"MenuCalqueFusionAll", 8205},
      {"MenuCalqueParams", 24647},      {"MenuCalqueFusionPrev", scCtrl | 'M'},
      {"MenuEditionCopierFusion", scCtrl | scShift | 'C'}, {"MenuCopierImage", scCtrl | scAlt | 'C'},
  };
  for (const auto& [name, value] : values) EXPECT_EQ(FindCommandRow(name)->Shortcut, value) << name;
}

TEST(ShortcutKeys, ValuesConvertToQtKeysAndBack) {
  const std::pair<TShortcut, const char*> texts[] = {
      {16459, "Ctrl+K"},
      {scCtrl | scShift | 'S', "Ctrl+Shift+S"},
      {8205, "Shift+Return"},
      {16430, "Ctrl+Del"},
      {scShift | scAlt | vkDelete, "Alt+Shift+Del"},
      {scCtrl | (vkF1 + 4), "Ctrl+F5"},
      {vkNext, "PgDown"},
      {vkNumpad0 + 7, "Num+7"},
      {scCtrl | 187, "Ctrl+="},
      {0, ""},
      {scCtrl | 255, ""},  // no such key
  };
  for (const auto& [value, text] : texts)
    EXPECT_EQ(ShortcutToKeySequence(value).toString(QKeySequence::PortableText).toStdString(), text) << value;
  // every key the table knows comes back as the same value, whatever the modifiers
  int known = 0;
  for (int vk = 1; vk < 256; ++vk) {
    if (VirtualKeyToQtKey(vk) == Qt::Key_unknown) continue;
    ++known;
    for (TShortcut mods : {TShortcut(0), scShift, TShortcut(scCtrl | scAlt), scModifiers}) {
      const TShortcut s = TShortcut(vk) | mods;
      EXPECT_EQ(KeySequenceToShortcut(ShortcutToKeySequence(s)), s) << vk;
    }
  }
  EXPECT_EQ(known, 26 + 10 + 10 + 24 + 37);
  EXPECT_EQ(KeySequenceToShortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter)), scCtrl | vkReturn);
}

TEST(CommandTable, CaptionsFollowTheTranslation) {
  TTableGuard guard;
  const TCommandRow& open = *FindCommandRow("MenuFichierOuvrir");
  EXPECT_EQ(CommandCaption(open), "Ouvrir...");
  EXPECT_EQ(CommandCaption(*FindCommandRow("BtnOuvrir")), "Ouvrir...");
  // a translated dialog item is cleaned and decorated, a plain one taken as it comes
  FillTextByName("GetTrMnuOpen", "&open:");
  FillTextByName("GetTrMnuFile", "&File");
  FillTextByName("GetTrLblContour", "outline");
  FillTextByName("GetTrMnuFilter", "Filter");
  FillTextByName("GetTrMnuSelSave", "save shape...");
  FillTextByName("GetTrMnuClose", "");  // an empty text keeps the design caption
  const std::pair<const char*, const char*> expected[] = {
      {"MenuFichierOuvrir", "Open..."}, {"PopFormOuvrir", "Open..."},      {"MenuFichier", "&File"},
      {"MenuFiltreCtr3D", "Outline 3D..."}, {"Menu8bfFiltre", "Filter 8BF"}, {"MenuSelEnregistrer", "save shape..."},
      {"MenuFichierFermer", "Fermer"},  {"MenuFichierRecent1", "1"},
  };
  for (const auto& [name, caption] : expected) EXPECT_EQ(CommandCaption(*FindCommandRow(name)), caption) << name;
}
