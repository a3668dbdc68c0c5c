// The texts a window takes from the text table: the design's until a translation fills
// the entry, then the entry's dressed as the design is, set again on a window made
// before the translation came.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "controls/TableTexts.h"
#include "platform/texts/TextUtils.h"
#include "support/QtTestApp.h"

using namespace qm;

TEST(TableTexts, AWindowMadeBeforeATranslationTakesItsTextsOnceApplied) {
  test::App();
  ResetTextTable();
  struct TRow {
    TTableText Text;
    const char* Filled;  // the entry's text (none: a derived text the program builds)
    std::string Design, Translated;
  };
  const TRow rows[] = {
      {{TextId::GetTrLblWidth, TextId::TrFixLblWidth}, "Width:", "Largeur :", "Width :"},    // a label's colon
      {{TextId::GetTrLblStyle, TextId::TrFixStyleGroup}, "Look", " Style ", " Look "},     // a group's blanks
      {{TextId::GetTrMnuClose, TextId::TrFixClose, kPlainCaption}, "&close", "Fermer", "Close"},  // a menu's text
      {{TextId::GetTrLblShadows, TextId::TrFixLblShadows, ckGroup}, "Shadows", "Tons sombres", " Shadows "},
      {{TextId::TrLblWeb216, TextId::TrFixWeb216}, nullptr, "Web 216 couleurs", "Web palette"},
      {{TextId::GetTrLblHeight, TextId::TrFixLblHeight}, "", "Hauteur :", "Hauteur :"},  // an empty text keeps the design
  };
  QWidget window;
  std::vector<QLabel*> labels;
  for (const TRow& r : rows) labels.push_back(SetTexts(new QLabel(&window), r.Text));
  for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(labels[i]->text().toStdString(), rows[i].Design);
  for (const TRow& r : rows)
    if (r.Filled) FillTextByName(TextName(r.Text.Entry), r.Filled);
    else SetText(r.Text.Entry, r.Translated);
  ApplyTexts(&window);
  for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(labels[i]->text().toStdString(), rows[i].Translated);
  ResetTextTable();
}
