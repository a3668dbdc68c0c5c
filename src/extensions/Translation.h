#pragma once
// Translation modules ("*.plg", TranslationModuleApi.h): at the program's start the
// first module that passes the version test fills the text table (UiTexts.h) and is
// unloaded again before the loader returns; nothing of it stays in memory. Every
// failure is silent and only moves the loader on to the next module.
//
// Modules are shared objects of this platform, texts in UTF-8: the modules of the
// program's first platform (Windows libraries, ANSI texts) do not load, they are
// skipped as any file that is not a library.
//
// GUI thread, at the start, before any window reads the table.
#include <string>
#include <vector>

namespace qm {

// Where modules are looked for, in this order: the program's module folder (the
// executable's folder in the build tree, lib/quillomatic beside its bin folder once
// installed) and the user's data folder (DataFolder(): QM_HOME when set).
std::vector<std::string> TranslationFolders();

// The "*.plg" files directly in the folders (sub-folders are not searched), in one
// list sorted by file name without regard to case; a name found in two folders comes
// first from the earlier folder. A folder that is empty or relative is skipped: the
// current folder is never searched.
std::vector<std::string> FindTranslationModules(const std::vector<std::string>& folders);

// Loads the module at path: GetCompatibility first, which must answer "1.5" byte for
// byte, else the table is left untouched; then every entry the module exports replaces
// its text (the table refuses format texts with other placeholders); then the icon
// format is registered again under the text GetFltIconFile, so the open dialogs' filter
// names icons in the module's language. True when the module passed.
bool LoadTranslationFile(const std::string& path);

// Tries the modules of the folders in order until one loads; false when none did.
bool LoadFirstTranslation(const std::vector<std::string>& folders);
bool LoadFirstTranslation();

// The texts built from the table once a module filled it: TrLblHue (the hue format
// text up to its ":", trimmed; empty without one), TrLblWeb216 (the 256-colour palette
// text with its first "Windows", in any case, made "Web" and its first "256" made
// "216"), TrLblDate (what follows the fifth line break of the picture properties text,
// up to a blank; empty with fewer breaks), and GetTrLblPreserveExif with its first
// "exif", in any case, made "EXIF/IPTC" unless it already says "EXIF/IPTC".
void BuildDerivedTexts();

// Qt's own texts (standard buttons, the file, print and colour dialogs, the edit
// pop-ups) in the language of the code ("EN", any case), or of the system's locale when
// the code is empty: Qt's catalogue "qtbase_<code>" from its translations folder,
// installed in place of the one this installed before. False when Qt has none for it
// (Qt's English texts stay).
bool InstallQtTranslation(const std::string& languageCode);

// The locale Qt's own windows follow where they do not ask the system's (the file
// dialogs' file types, sizes and dates): the language of the code (French in France for
// "FR", any case), the system's when the code names no language Qt knows. The program's
// own numbers and dates follow the system's locale whatever this says.
void InstallInterfaceLocale(const std::string& languageCode);

// What the program's start hands the main window: the first module of the program's
// folders, the derived texts built from it, Qt's own texts and locale in the module's
// language (French, the interface's own, without a module). True when a module was
// loaded.
bool LoadProgramTranslation();
bool LoadProgramTranslation(const std::vector<std::string>& folders);

}  // namespace qm
