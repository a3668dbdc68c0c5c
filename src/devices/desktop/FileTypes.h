#pragma once
// The program's two file types on the user's desktop: the layered image (.qxi) and the
// selection (.qxs) open in the program from the file manager. Registered at every start
// in the user's XDG folders, the freedesktop way: a shared-mime-info package naming the
// types, the program's desktop entry (its Exec the running executable) listing them, and
// the program as their default application in mimeapps.list, and the icons of the
// launcher and of the two types in the user's hicolor icon theme (so that both resolve
// without an installation). A foreign default found
// there is kept in the settings file ([Associations], by type). Only files whose content
// changes are written, and only their tools run (update-mime-database,
// update-desktop-database, gtk-update-icon-cache on a cache already there): an
// up-to-date start writes nothing. Failures are silent; the
// program runs without associations.
#include <string>
#include <string_view>

namespace qm {

class TIniFile;

inline constexpr char kImageMimeType[] = "application/x-quillomatic-image";
inline constexpr char kSelectionMimeType[] = "application/x-quillomatic-selection";
inline constexpr char kDesktopEntryId[] = "quillomatic.desktop";
// The sizes of the launcher's icon, and so of the types' icons, in pixels.
inline constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

struct TFileTypeSetup {
  std::string Executable;  // the program the desktop entry starts
  std::string DataHome;    // $XDG_DATA_HOME: mime/, applications/ and icons/ in it
  std::string ConfigHome;  // $XDG_CONFIG_HOME: mimeapps.list in it
};

// What a registration changed.
struct TFileTypeReport {
  int FilesWritten = 0;
  int ToolsRun = 0;
};

TFileTypeReport RegisterFileTypes(const TFileTypeSetup& setup, TIniFile& settings);

// The program's start: the running executable, the user's XDG folders.
void RegisterProgramFileTypes(TIniFile& settings);

// The Exec value that starts the program on the files, quoted by the Desktop Entry rules
// (a path may hold blanks, quotes, "$", "%" or backslashes).
std::string DesktopExecLine(const std::string& executable);

// The icon a type's files show: its name with "-" for "/", as the mime file names it.
std::string MimeIconName(std::string_view mimeType);

// Whether an association's value names our program.
bool IsOwnAssociation(std::string_view value);

}  // namespace qm
