#pragma once
// The translation modules the test build makes (QM_TEST_TRANSLATION_FOLDER, one file
// per variant of src/modules/translation/SampleTranslation.c), copied where a test
// wants them, and the text table and the icon format put back after each test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "extensions/Translation.h"
#include "imagefiles/FormatRegistry.h"
#include "platform/texts/UiTexts.h"
#include "support/TempFiles.h"

namespace qm::test {

inline std::string ModulePath(const std::string& variant) {
  return std::string(QM_TEST_TRANSLATION_FOLDER) + "/" + variant + ".plg";
}

// File names and the module variants copied under them ("" for a file that is no
// library).
using ModuleFiles = std::vector<std::pair<std::string, std::string>>;

// A folder of the test's own (absolute) holding the files given.
struct ModuleFolder {
  TempFolder Folder{"translations"};
  std::string Path = std::filesystem::absolute(Folder.Path).string();

  explicit ModuleFolder(const ModuleFiles& files) {
    for (const auto& [name, variant] : files) {
      if (variant.empty()) Folder.Write(name, "not a library");
      else std::filesystem::copy_file(ModulePath(variant), Path + "/" + name);
    }
  }
};

// The lines the modules write when they are loaded and unloaded, from its making on.
struct LoadLog {
  TempFolder Folder{"translationlog"};
  std::string File = std::filesystem::absolute(Folder.Path).string() + "/log.txt";

  LoadLog() { setenv("QM_TEST_TRANSLATION_LOG", File.c_str(), 1); }
  ~LoadLog() { unsetenv("QM_TEST_TRANSLATION_LOG"); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::ifstream in(File);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

inline std::string IconDescription() {
  const std::optional<TFileFormatEntry> icon = FileFormatList().Find("ico");
  return icon ? icon->Description : std::string();
}

// The text table and the icon format as a start finds them, before and after the test.
class TranslationTable : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTextTable();
    icon_ = FileFormatList().Find("ico");
  }
  void TearDown() override {
    ResetTextTable();
    if (!icon_) return;
    if (const std::optional<TFileFormatEntry> now = FileFormatList().Find("ico"); now && now->Class)
      FileFormatList().Unregister(now->Class.get());
    FileFormatList().Register("ico", icon_->CommonDescription, icon_->Description, icon_->Kinds, icon_->Class);
  }

 private:
  std::optional<TFileFormatEntry> icon_;
};

}  // namespace qm::test
