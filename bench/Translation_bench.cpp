// The translation loader at the program's start: five candidate modules in one folder,
// the first four refused (three versions that are not "1.5", a file that is no
// library), the last one valid and exporting every entry of the text table, each
// entry called and copied. Loading Qt's own catalogue for the standard buttons and
// dialogs (QTranslator, qtbase_fr.qm), which the same start does, is timed beside it
// for scale: no peer library loads modules of this interface.
#include <QLibraryInfo>
#include <QTranslator>
#include <filesystem>
#include <fstream>

#include "Harness.h"
#include "extensions/Translation.h"
#include "platform/texts/UiTexts.h"

namespace qm::bench {
namespace {

const std::string& CandidateFolder() {
  static TempFolder folder("qm_bench_translations");
  static const bool made = [] {
    const std::filesystem::path modules = QM_BENCH_TRANSLATION_FOLDER;
    std::filesystem::copy_file(modules / "old.plg", folder.path / "a.plg");
    std::filesystem::copy_file(modules / "blank.plg", folder.path / "b.plg");
    std::filesystem::copy_file(modules / "newer.plg", folder.path / "c.plg");
    std::ofstream(folder.path / "d.plg") << "not a library";
    std::filesystem::copy_file(modules / "english.plg", folder.path / "e.plg");
    return true;
  }();
  (void)made;
  static const std::string path = folder.path.string();
  return path;
}

QM_BENCH("LoadFirstTranslation: 5 candidates, the last valid with every entry", kOurs, 0,
         [](benchmark::State& st) {
           const std::vector<std::string> folders{CandidateFolder()};
           for (auto _ : st) {
             ResetTextTable();
             if (!LoadFirstTranslation(folders)) st.SkipWithError("no module loaded");
           }
           st.counters["entries"] = double(ExportNames().size());
           ResetTextTable();
         });

QM_BENCH("Qt's catalogue qtbase_fr.qm loaded by QTranslator (for scale)", kOurs, 0, [](benchmark::State& st) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (auto _ : st) {
    QTranslator translator;
    if (!translator.load(QStringLiteral("qtbase_fr"), folder)) st.SkipWithError("no qtbase_fr.qm");
  }
});

}  // namespace
}  // namespace qm::bench
