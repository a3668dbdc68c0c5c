// The translation loader over real modules the build makes from one source
// (src/modules/translation, tests/CMakeLists.txt): which module of a folder wins, what
// reaches the text table from a module that misbehaves, where modules are looked for,
// and the texts derived from the table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "extensions/Translation.h"
#include "imagefiles/FormatRegistry.h"
#include "platform/texts/UiTexts.h"
#include "support/TempFiles.h"
#include "support/TranslationModules.h"

using namespace qm;
using namespace qm::test;

namespace {

struct TLoaderCase {
  const char* What;
  ModuleFiles Folder;
  bool Loaded;
  std::string Language;          // GetTrLanguage afterwards
  std::vector<std::string> Log;  // what the modules' constructors and destructors said
};

}  // namespace

TEST_F(TranslationTable, TheFirstModuleThatPassesWinsAndEveryModuleIsUnloaded) {
  const TLoaderCase cases[] = {
      {"an older version before a valid one", {{"a.plg", "old"}, {"b.plg", "english"}}, true, "English",
       {"load old", "unload old", "load english", "unload english"}},
      {"a version followed by a blank", {{"a.plg", "blank"}}, false, "Français", {"load blank", "unload blank"}},
      {"a version with a further digit", {{"a.plg", "newer"}}, false, "Français", {"load newer", "unload newer"}},
      {"English.plg before francais.plg", {{"English.plg", "english"}, {"francais.plg", "francais"}}, true, "English",
       {"load english", "unload english"}},
      {"names sorted without regard to case", {{"Francais.plg", "francais"}, {"english.plg", "english"}}, true,
       "English", {"load english", "unload english"}},
      {"a file that is no library", {{"a.plg", ""}, {"b.plg", "francais"}}, true, "Français (test)",
       {"load francais", "unload francais"}},
      {"GetCompatibility alone", {{"bare.plg", "bare"}}, true, "Français", {"load bare", "unload bare"}},
      {"no module", {}, false, "Français", {}},
  };
  for (const TLoaderCase& c : cases) {
    SCOPED_TRACE(c.What);
    ResetTextTable();
    ModuleFolder folder(c.Folder);
    LoadLog log;
    EXPECT_EQ(LoadFirstTranslation({folder.Path}), c.Loaded);
    EXPECT_EQ(Tr(TextId::GetTrLanguage), c.Language);
    EXPECT_EQ(log.Lines(), c.Log);
  }
}

TEST_F(TranslationTable, ARefusedModuleLeavesTheTableAsItWas) {
  for (const char* variant : {"old", "blank", "newer"}) {
    SCOPED_TRACE(variant);
    ModuleFolder folder(ModuleFiles{{"a.plg", variant}});
    EXPECT_FALSE(LoadTranslationFile(folder.Path + "/a.plg"));
    for (TextId id : {TextId::GetTrMnuFile, TextId::GetTrLanguage, TextId::GetFltIconFile})
      EXPECT_FALSE(IsTextFilled(id)) << TextName(id);
    EXPECT_EQ(IconDescription(), "Icône Windows");
  }
  // A module of GetCompatibility alone passes and leaves every text as it was.
  ModuleFolder bare(ModuleFiles{{"a.plg", "bare"}});
  EXPECT_TRUE(LoadTranslationFile(bare.Path + "/a.plg"));
  EXPECT_FALSE(IsTextFilled(TextId::GetTrMnuFile));
  EXPECT_EQ(Tr(TextId::GetTrStaProcessing), "Traitement en cours");
  EXPECT_EQ(GetTrPrnUnit(), 0);
}

TEST_F(TranslationTable, WhatReachesTheTableFromEachModule) {
  struct TRow {
    const char* Variant;
    TextId Id;
    std::string Text;
  };
  const std::string replacement = "\xEF\xBF\xBD";
  const TRow rows[] = {
      {"english", TextId::GetTrMnuFile, "&File"},
      {"english", TextId::GetTrMnuSaveAs, "Save &as"},
      {"english", TextId::GetTrMnuModeRVB, "RGB colours"},  // written into the buffer
      {"english", TextId::GetTrFmtOpacity, "Opacity: %d%%"},
      {"english", TextId::GetTrClrBlack, "Black"},  // the program's own entries load too
      // a text of 999 bytes written into the buffer, copied whole
      {"unruly", TextId::GetTrLblComment, std::string(999, 'c')},
      // the whole buffer without a terminator, and storage of the module's own without
      // one: 999 bytes, never what lies beyond
      {"unruly", TextId::GetTrLblHelp, std::string(999, 'h')},
      {"unruly", TextId::GetTrLblName, std::string(999, 'n')},
      // a format text with other placeholders keeps the program's
      {"unruly", TextId::GetTrFmtOpacity, "Opacité : %d%%"},
      // a Latin-1 byte
      {"unruly", TextId::GetTrLblRed, "Rouge " + replacement + "carlate"},
      // a valid module without GetFltIconFile leaves the built-in name
      {"unruly", TextId::GetFltIconFile, "Icône"},
      {"francais", TextId::GetTrMnuFile, "&Fichier (test)"},
      {"francais", TextId::GetTrMnuEdit, ""},  // a NULL answer is an empty text
  };
  for (const TRow& r : rows) {
    SCOPED_TRACE(std::string(r.Variant) + " " + std::string(TextName(r.Id)));
    ResetTextTable();
    ModuleFolder folder(ModuleFiles{{"a.plg", r.Variant}});
    ASSERT_TRUE(LoadTranslationFile(folder.Path + "/a.plg"));
    EXPECT_EQ(Tr(r.Id), r.Text);
  }
}

TEST_F(TranslationTable, ThePrintUnitIsReadAsADecimalNumber) {
  const std::pair<const char*, int> rows[] = {{"english", 1}, {"unit12", 12}, {"unruly", 0}};  // "1", "12", "x1"
  for (const auto& [variant, unit] : rows) {
    ResetTextTable();
    ModuleFolder folder(ModuleFiles{{"a.plg", variant}});
    ASSERT_TRUE(LoadTranslationFile(folder.Path + "/a.plg"));
    EXPECT_EQ(GetTrPrnUnit(), unit) << variant;
  }
}

TEST_F(TranslationTable, TheIconFormatIsRegisteredAgainUnderTheModulesName) {
  const std::optional<TFileFormatEntry> before = FileFormatList().Find("ico");
  ASSERT_TRUE(before);
  const std::pair<const char*, const char*> rows[] = {{"english", "Windows icon"}, {"unruly", "Icône"}};
  for (const auto& [variant, name] : rows) {
    SCOPED_TRACE(variant);
    ResetTextTable();
    ModuleFolder folder(ModuleFiles{{"a.plg", variant}});
    ASSERT_TRUE(LoadTranslationFile(folder.Path + "/a.plg"));
    const std::optional<TFileFormatEntry> after = FileFormatList().Find("ico");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->Description, name);
    EXPECT_EQ(after->CommonDescription, name);
    EXPECT_EQ(after->Class, before->Class);
    EXPECT_EQ(after->Kinds, before->Kinds);
    EXPECT_NE(BuildImageFilter(false, false, false).find(std::string(name) + " (*.ico)|*.ico"), std::string::npos);
  }
}

TEST_F(TranslationTable, ModulesAreFoundInTheProgramsFoldersNeverInTheCurrentOne) {
  // One list over both folders, by name without regard to case.
  ModuleFolder program(ModuleFiles{{"Zeta.plg", "francais"}, {"b.plg", "old"}, {"notes.txt", ""}});
  ModuleFolder data(ModuleFiles{{"alpha.plg", "english"}, {"B.plg", "newer"}});
  const std::vector<std::string> found = FindTranslationModules({program.Path, data.Path});
  EXPECT_EQ(found, (std::vector<std::string>{data.Path + "/alpha.plg", program.Path + "/b.plg", data.Path + "/B.plg",
                                             program.Path + "/Zeta.plg"}));
  EXPECT_TRUE(LoadFirstTranslation({program.Path, data.Path}));
  EXPECT_EQ(Tr(TextId::GetTrLanguage), "English");

  // A folder given as empty or relative is not searched, wherever the program runs.
  ResetTextTable();
  ModuleFolder here(ModuleFiles{{"english.plg", "english"}});
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(here.Path);
  EXPECT_TRUE(FindTranslationModules({"", ".", "sub/.."}).empty());
  EXPECT_FALSE(LoadFirstTranslation({"", "."}));
  // The program's own folders: the test's executable folder (no module there) and the
  // user's data folder (QM_HOME), empty, then holding a module.
  TempFolder home("trhome");
  const std::string homePath = std::filesystem::absolute(home.Path).string();
  setenv("QM_HOME", homePath.c_str(), 1);
  const std::vector<std::string> folders = TranslationFolders();
  EXPECT_EQ(folders.back(), homePath);
  EXPECT_FALSE(LoadFirstTranslation());
  std::filesystem::copy_file(ModulePath("francais"), homePath + "/mine.plg");
  EXPECT_TRUE(LoadFirstTranslation());
  EXPECT_EQ(Tr(TextId::GetTrLanguage), "Français (test)");
  unsetenv("QM_HOME");
  std::filesystem::current_path(cwd);
}

TEST_F(TranslationTable, DerivedTexts) {
  struct TRow {
    const char* What;
    std::vector<std::pair<const char*, std::string>> Module;  // what a module gave
    std::string Hue, Web216, Date, PreserveExif;
  };
  const std::string english = "File: %s\rFolder: %s\rSize: %s\r\rBytes: %s\rDate: %s\r\rPictures: %d";
  const TRow rows[] = {
      {"the built-in texts", {}, "Teinte", "", "Date", ""},
      {"a module's texts",
       {{"GetTrFmtHue", " Hue\t: %d°"},
        {"GetTrLblWindows256", "WINDOWS palette, 256 colours"},
        {"GetTrFmtExploreProperties", english},
        {"GetTrLblPreserveExif", "Keep the Exif data"}},
       "Hue", "Web palette, 216 colours", "Date:", "Keep the EXIF/IPTC data"},
      {"no colon, the words later in the text, fewer line breaks, the rewrite said already",
       {{"GetTrFmtHue", "Hue %d"},
        {"GetTrLblWindows256", "256 colours of windows 256"},
        {"GetTrFmtExploreProperties", "%s %s %s\r%s\r%s %d"},
        {"GetTrLblPreserveExif", "Keep exif/IPTC data and Exif"}},
       "", "216 colours of Web 256", "", "Keep exif/IPTC data and Exif"},
      {"a word ended by a line break, a text without the words",
       {{"GetTrLblWindows256", "System palette"},
        {"GetTrFmtExploreProperties", "%s\r%s\r%s\r\r%s\rWhen\r%s %d"},
        {"GetTrLblPreserveExif", "Keep the data"}},
       "Teinte", "System palette", "When", "Keep the data"},
  };
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.What);
    ResetTextTable();
    for (const auto& [name, text] : r.Module) ASSERT_EQ(FillTextByName(name, text), FillResult::Filled) << name;
    BuildDerivedTexts();
    EXPECT_EQ(Tr(TextId::TrLblHue), r.Hue);
    EXPECT_EQ(Tr(TextId::TrLblWeb216), r.Web216);
    EXPECT_EQ(Tr(TextId::TrLblDate), r.Date);
    EXPECT_EQ(Tr(TextId::GetTrLblPreserveExif), r.PreserveExif);
  }
}
