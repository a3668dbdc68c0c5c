#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"

using namespace qm;

namespace {
struct TableGuard {
  TableGuard() { ResetTextTable(); }
  ~TableGuard() { ResetTextTable(); }
};
}  // namespace

TEST(UiTexts, EveryExportNameIsUniqueAndFindsItsEntry) {
  const auto& names = ExportNames();
  // 852 texts, the program's 20 own (the glyph controls' hints, the missing scanner),
  // the colour picker's 65 colour names and 2 hints, and the print unit.
  EXPECT_EQ(names.size(), 852u + 20u + 67u + 1u);
  std::set<std::string_view> unique(names.begin(), names.end());
  EXPECT_EQ(unique.size(), names.size());
  int found = 0;
  for (std::string_view n : names) {
    if (n == "GetTrPrnUnit") continue;
    const auto id = FindTextByName(n);
    ASSERT_TRUE(id) << n;
    EXPECT_EQ(TextName(*id), n);
    ++found;
  }
  EXPECT_EQ(found, 852 + 20 + 67);
  // The odd spellings the modules export are kept as they are.
  for (const char* n : {"GetTrMnyCrystallize", "GetTrlLblCompressLow", "GetTrlLblCompressHigh", "GetTrLblbatchSuccess",
                        "GetTrFmtSkewTopBootom", "GetTrLblEval", "GetTrDldGlb4"})
    EXPECT_TRUE(FindTextByName(n)) << n;
  // Names are matched exactly, as module exports are.
  EXPECT_FALSE(FindTextByName("gettrbtnok"));
  EXPECT_FALSE(FindTextByName("TrLblHue"));  // derived, never exported
  EXPECT_TRUE(IsDerivedText(TextId::TrLblHue));
}

TEST(UiTexts, BuiltinsAreTheFrenchTexts) {
  TableGuard guard;
  const std::pair<TextId, const char*> expected[] = {
      {TextId::GetTrLanguage, "Français"},
      {TextId::GetTrCode, "FR"},
      {TextId::GetTrDate, "01/02/2005"},
      {TextId::GetTrVersion, "1.5"},
      {TextId::GetTrCharset, ""},
      {TextId::GetDlgYes, "&Oui"},
      {TextId::GetDlgNo, "&Non"},
      {TextId::GetDlgOk, "Ok"},
      {TextId::GetDlgCancel, "Annuler"},
      {TextId::GetDlgWarning, "Avertissement"},
      {TextId::GetDlgInput, "Saisie"},
      {TextId::GetDlgByte, "octet"},
      {TextId::GetDlgGb, "Go"},
      {TextId::GetDlgPictureFmt, "%dx%d pixels"},
      {TextId::GetDlgPicturePreview, "Aperçu"},
      {TextId::GetDlgPictureNone, "(Vide)"},
      {TextId::GetDlgOtherColors, "Autre couleur"},
      {TextId::GetMnuBkSp, "RetArr"},
      {TextId::GetMnuEnter, "Entrée"},
      {TextId::GetMnuPgUp, "PagePréc"},
      {TextId::GetMnuHome, "Origine"},
      {TextId::GetMnuDel, "Suppr"},
      {TextId::GetMnuShift, "Maj+"},
      {TextId::GetMnuCtrl, "Ctrl+"},
      {TextId::GetMnuAlt, "Alt+"},
      {TextId::GetOeAll, "Toutes les images"},
      {TextId::GetFltIconFile, "Icône"},
      {TextId::GetOeMsgErrorOpening, "Impossible d'ouvrir l'image dans le fichier \"%s\" !"},
      {TextId::GetShpMsgStreamError, "Fichier de données invalide !"},
      {TextId::GetTrStaReady, "Prêt"},
      {TextId::GetTrStaProcessing, "Traitement en cours"},
      {TextId::GetTrStaPreparingColor, "Preparation des couleurs"},
      {TextId::GetTrStaFmtExploring, "Exploration : %d image(s)"},
      {TextId::GetTrStaFlagRVB, "16M"},
      {TextId::GetTrMnuUndo, "Défaire"},
      {TextId::GetTrMnuFade, "Atténuer"},
      {TextId::GetTrMnuRepeat, "Répéter"},
      {TextId::GetTrMnuSelHide, "Masquer la sélection"},
      {TextId::GetTrFmtInfoSel, "%d:%d => %d:%d (L=%d  H=%d  L/H=%s)"},
      {TextId::GetTrFmtUntitled, "Sans titre %d"},
      {TextId::GetTrFmtDuplicate, "Copie de %s"},
      {TextId::GetTrFmtResolution, "%.2f dpi"},
      {TextId::GetTrFmtOpacity, "Opacité : %d%%"},
      {TextId::GetTrFmtHue, "Teinte : %d°"},
      {TextId::GetTrFmtRadius, "Rayon : %d pixels"},
      {TextId::GetTrLblPixels, "pixels"},
      {TextId::GetTrLblInches, "pouces"},
      {TextId::GetTrLblPictures, "Images"},
      {TextId::GetTrLblNoSaved, "<non enregistré>"},
      {TextId::GetTrDlgBatch3, "Vous devez annuler le traitement par lots\ravant de quitter Quillomatic Morvek !"},
      {TextId::GetTrDlgMain5, "Rétablir avec la dernière version enregistrée ?"},
      {TextId::GetTrDldGlb1, "Renseignez tous les champs avant de continuer !"},
      {TextId::GetTrWallpaperFileName, "Papier-peint-Quillomatic.bmp"},
      {TextId::GetTrLblTwainOptions, "Options de numérisation"},
      {TextId::GetTrBtnTwainScan, "Numériser"},
      {TextId::GetTrFmtTwainResolution, "%d ppp"},
      {TextId::GetTrMonFebruary, "Février"},
      {TextId::GetTrMonAugust, "Août"},
      {TextId::GetTrMonDecember, "Décembre"},
      {TextId::GetTrBtnOk, ""},
      {TextId::GetTrMnuFile, ""},
      {TextId::GetTrFmtFileDate, ""},
      {TextId::TrLblHue, ""},
  };
  for (const auto& [id, text] : expected) EXPECT_EQ(Tr(id), text) << TextName(id);
  EXPECT_EQ(Tr(TextId::GetTrFmtExploreProperties),
            "Nom du fichier : %s\rDossier : %s\rDimensions : %s\r\rTaille du fichier : %s\rDate : %s\r\r"
            "Nombre d'images : %d");
  EXPECT_EQ(GetTrPrnUnit(), 0);
  EXPECT_FALSE(TranslationLoaded());
}

TEST(UiTexts, FillingByNameChangesOnlyTheGivenEntries) {
  TableGuard guard;
  EXPECT_EQ(FillTextByName("GetTrBtnOk", "OK"), FillResult::Filled);
  EXPECT_EQ(FillTextByName("GetDlgCancel", "Cancel"), FillResult::Filled);
  EXPECT_EQ(FillTextByName("GetTrLblWidth", ""), FillResult::Filled);
  EXPECT_EQ(FillTextByName("GetTrNoSuchEntry", "x"), FillResult::UnknownName);
  for (int i = 0; i < kTextCount; ++i) {
    const TextId id = TextId(i);
    if (id == TextId::GetTrBtnOk || id == TextId::GetDlgCancel || id == TextId::GetTrLblWidth) continue;
    EXPECT_EQ(Tr(id), BuiltinText(id)) << TextName(id);
    EXPECT_FALSE(IsTextFilled(id));
  }
  EXPECT_EQ(Tr(TextId::GetTrBtnOk), "OK");
  EXPECT_EQ(Tr(TextId::GetDlgCancel), "Cancel");
  EXPECT_TRUE(IsTextFilled(TextId::GetTrLblWidth));
  EXPECT_EQ(Tr(TextId::GetTrLblWidth), "");

  // Captions: the filled, non-empty text wins; otherwise the design caption stays.
  EXPECT_EQ(CaptionOr(TextId::GetTrBtnOk, "Ok"), "OK");
  EXPECT_EQ(CaptionOr(TextId::GetTrLblWidth, "Largeur :"), "Largeur :");
  EXPECT_EQ(CaptionOr(TextId::GetTrLblHeight, "Hauteur :"), "Hauteur :");
  EXPECT_EQ(CaptionOr(TextId::GetTrMnuUndo, "&Défaire"), "&Défaire");

  ResetTextTable();
  EXPECT_EQ(Tr(TextId::GetTrBtnOk), "");
  EXPECT_FALSE(IsTextFilled(TextId::GetTrBtnOk));
}

TEST(UiTexts, FormatEntriesRefuseTextsWithOtherPlaceholders) {
  TableGuard guard;
  EXPECT_TRUE(IsFormatEntry(TextId::GetTrFmtOpacity));
  EXPECT_TRUE(IsFormatEntry(TextId::GetOeMsgErrorSaving));  // a message with "%s"
  EXPECT_TRUE(IsFormatEntry(TextId::GetTrDlgPrint1));
  EXPECT_FALSE(IsFormatEntry(TextId::GetTrLblWidth));
  EXPECT_FALSE(IsFormatEntry(TextId::GetTrFmtFileDate));  // a date picture, not a format

  EXPECT_EQ(FillTextByName("GetTrFmtOpacity", "Opacity: %d%%"), FillResult::Filled);
  EXPECT_EQ(Tr(TextId::GetTrFmtOpacity), "Opacity: %d%%");
  EXPECT_EQ(FillTextByName("GetTrFmtRadius", "Radius: %s pixels"), FillResult::Refused);
  EXPECT_EQ(FillTextByName("GetTrFmtRadius", "Radius: %d %d pixels"), FillResult::Refused);
  EXPECT_EQ(FillTextByName("GetTrFmtRadius", "Radius"), FillResult::Refused);
  EXPECT_EQ(FillTextByName("GetTrFmtRadius", "Radius: %n"), FillResult::Refused);
  EXPECT_EQ(FillTextByName("GetTrFmtRadius", "Radius: %d%"), FillResult::Refused);
  EXPECT_EQ(Tr(TextId::GetTrFmtRadius), "Rayon : %d pixels");
  EXPECT_FALSE(IsTextFilled(TextId::GetTrFmtRadius));
  // Reordered arguments and other widths or precisions are accepted.
  EXPECT_EQ(FillTextByName("GetTrDlgImage5", "Copy \"%0:s\" to \"%1:s\"?"), FillResult::Filled);
  EXPECT_EQ(FillTextByName("GetTrDlgImage5", "To \"%1:s\" from \"%0:s\"?"), FillResult::Filled);
  EXPECT_EQ(FillTextByName("GetTrFmtResolution", "%.1f ppp"), FillResult::Filled);
  EXPECT_EQ(FillTextByName("GetTrDlgImage9", "Image \"%d\" changed."), FillResult::Refused);
  // A plain text may hold a percent sign.
  EXPECT_EQ(FillTextByName("GetTrLblPct", "%"), FillResult::Filled);
}

TEST(UiTexts, EveryFormatBuiltinIsWellFormedAndAcceptsItself) {
  TableGuard guard;
  int formats = 0;
  for (int i = 0; i < kTextCount; ++i) {
    const TextId id = TextId(i);
    if (!IsFormatEntry(id)) continue;
    ++formats;
    // A malformed built-in would make every translation of it refused.
    std::vector<TFormatPlaceholder> ph;
    EXPECT_TRUE(ParseFormatPlaceholders(BuiltinText(id), ph)) << TextName(id);
    EXPECT_EQ(FillTextByName(TextName(id), BuiltinText(id)), FillResult::Filled) << TextName(id);
    EXPECT_EQ(Tr(id), BuiltinText(id));
  }
  // The format strings (all but the file-date picture) and the messages with placeholders.
  EXPECT_GE(formats, 39 + 12);
}

TEST(UiTexts, ThePrintUnitIsReadAsAnInteger) {
  TableGuard guard;
  EXPECT_EQ(FillTextByName("GetTrPrnUnit", "1"), FillResult::Filled);
  EXPECT_EQ(GetTrPrnUnit(), 1);
  FillTextByName("GetTrPrnUnit", "12a");
  EXPECT_EQ(GetTrPrnUnit(), 0);
  FillTextByName("GetTrPrnUnit", "-3");
  EXPECT_EQ(GetTrPrnUnit(), -3);
  FillTextByName("GetTrPrnUnit", "");
  EXPECT_EQ(GetTrPrnUnit(), 0);
  FillTextByName("GetTrPrnUnit", "99999999999");
  EXPECT_EQ(GetTrPrnUnit(), 0);
}

TEST(UiTexts, ProgramSetTextsAreNotTranslations) {
  TableGuard guard;
  SetText(TextId::GetTrFmtFileDate, "dd/mm/yyyy hh:nn");
  SetText(TextId::TrLblHue, "Teinte");
  EXPECT_EQ(Tr(TextId::GetTrFmtFileDate), "dd/mm/yyyy hh:nn");
  EXPECT_EQ(Tr(TextId::TrLblHue), "Teinte");
  EXPECT_FALSE(IsTextFilled(TextId::GetTrFmtFileDate));
  SetTranslationLoaded(true);
  EXPECT_TRUE(TranslationLoaded());
  ResetTextTable();
  EXPECT_FALSE(TranslationLoaded());
  EXPECT_EQ(Tr(TextId::TrLblHue), "");
}

TEST(UiTexts, TheProgramsOwnTextsAreNeitherExportedNorFilled) {
  TableGuard guard;
  EXPECT_EQ(Tr(TextId::TrFixFullScreen), "Plein écran");
  EXPECT_FALSE(FindTextByName("TrFixFullScreen"));
  EXPECT_FALSE(IsDerivedText(TextId::TrFixFmtCursorPos));
  EXPECT_FALSE(IsFormatEntry(TextId::TrFixFmtCursorPos));
  EXPECT_EQ(FillTextByName("TrFixFmtCursorPos", "%d"), FillResult::UnknownName);
  EXPECT_EQ(Tr(TextId::TrFixFmtCursorPos), "X:Y = %d:%d");
}
