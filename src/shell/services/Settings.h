#pragma once
// The shell's settings: the keys of [Position], [Params], [Files], [Tools] and
// [Plugins] in "Quillomatic.ini", with their defaults, ranges and reading rules.
// Reading never fails: a missing file, a missing key, the value "ERR" or an
// unreadable value keeps the key's default. Features that own further sections
// ([Explorer], [Text], ...) read them through the same TIniFile.
#include <string>
#include <vector>

#include "platform/core/Types.h"
#include "platform/texts/IniFile.h"

namespace qm {

// What the reading depends on besides the file.
struct TSettingsEnvironment {
  TRect Screen{0, 0, 1920, 1080};  // the desktop, for the main window's bounds
  std::string DefaultOpenFolder;   // when [Params] Open names no existing folder
  std::string PluginFolder;        // when [Plugins] 8bfDir names no existing folder
  int FormatCount = 0;             // rows of the format table ([Params] DefaultFormat2)
  bool VisualStyles = true;        // the default of [Params] XPMenu
  int PrintUnit = 0;               // the default of [Params] PrintUnit
  bool PluginsAvailable = false;   // [Plugins] Plugin1..20 are read only then
};

struct TShellSettings {
  // [Position]: the main window's normal bounds and whether it is maximised.
  TRect MainBounds{10, 10, 800, 600};
  bool Maximize = false;
  // X, Y, W and H were all read: a start before this one placed the window. Without
  // them the window is placed for a first start (TMainForm).
  bool PositionSaved = false;

  // [Params]
  bool RunMulti = true;  // "0" enables the single-instance hand-over
  std::string OpenDir, SaveDir;
  bool LockDir = false, UniqueDir = false;
  bool MaximizeImgWin = false, Preview = false;
  bool AdvancedDisplay = true, BkgTexture = true, XPMenu = true, BorderShadow = true;
  int History = 12;          // 1..24 undo steps per document
  int JpgCompression = -1;   // -1 asks with the JPEG dialog, else 10..100
  int DefaultFormat = -1;    // -1 keeps the document's format, else a row of the format table
  bool PreserveFileDate = false;
  int ImageUnit = 0;         // 0 pixels, 1 centimetres, 2 inches
  int PrintUnit = 0;         // 0 centimetres, 1 inches
  int GridCellSize = 16;     // 1..50 pixels
  TColor ColorGrid = 0xC0C0C0;
  bool PreserveExif = true, TrackBallZoom = true;
  // A middle click on a document fits it to its window (no key: always on).
  bool MiddleClickZoom = true;
  int ThumbSize = 1;         // 0..2
  bool AlphaBlendForm = false, BoundingBox = true;

  // [Files]
  bool ClearFileListe = false;
  std::vector<std::string> RecentFiles;  // most recent first, at most 12

  // [Tools]
  bool FilterBar = true, ToolsPalette = true;
  int ToolsAlignment = 2;    // 0 floating, 1 docked left, 2 docked right
  int PaletteX = -1, PaletteY = -1;  // only while floating
  TColor Color1 = 0x000000, Color2 = 0xFFFFFF;
  int Palette = 0;           // 0..11

  // [Plugins]
  bool PluginsBar = false, LoadPlugins = true;
  std::vector<std::string> PluginButtons;  // at most 20
  std::string Dir8bf;
  bool Mode8bf = true;
};

constexpr int kMaxRecentFiles = 12;
constexpr int kMaxPluginButtons = 20;

// The defaults of every key in that environment.
TShellSettings DefaultShellSettings(const TSettingsEnvironment& env);

// [Params] RunMulti alone, read before anything else: false only for "0".
bool ReadRunMulti(const TIniFile& ini);

// Every key, in the order the main window reads them at start-up.
TShellSettings ReadShellSettings(const TIniFile& ini, const TSettingsEnvironment& env);

// [Plugins] Plugin1..Plugin20, the non-empty ones.
std::vector<std::string> ReadPluginButtons(const TIniFile& ini);

// The main window's bounds from [Position]: (10, 10, 800, 600) when any value is -1,
// else (x, y, x + w, y + h); at least 640 x 480 keeping its top-left corner; moved
// inside the screen and cut to it.
TRect MainWindowBounds(int x, int y, int w, int h, const TRect& screen);

// The keys the main window writes back when it closes, into ini (not saved).
void WriteShellSettings(TIniFile& ini, const TShellSettings& s);
// WriteShellSettings, then the file saved atomically to ini.Path(). A failure leaves
// the previous file untouched and returns false with the reason in error.
bool SaveShellSettings(TIniFile& ini, const TShellSettings& s, std::string* error = nullptr);

// What the Preferences dialog writes besides the shell's settings: the fit-image
// dialog's defaults ([FitImage]) and which desktop-dependent keys exist here.
struct TPreferenceExtras {
  int FitWidth = 800, FitHeight = 600;
  bool FitDeform = false;
  bool ThemedMenus = true;         // [Params] XPMenu is written
  bool TranslucentDialogs = false; // [Params] AlphaBlendForm is written
};

// The keys the Preferences dialog owns, into ini (not saved), in the dialog's order:
// Open, Save, UniqueDir, LockDir, ToolsAlignment, JpgCompression, DefaultFormat2,
// PreserveFileDate, Width, Height, Deform, ImageUnit, PrintUnit, GridCellSize,
// ColorGrid, History, LoadPlugins, Plugin1..20 (those after the last button deleted),
// AdvancedDisplay, BkgTexture, XPMenu, AlphaBlendForm, ClearFileListe, PreserveExif,
// TrackBallZoom, RunMulti, 8bfDir, 8bfMode.
void WritePreferenceSettings(TIniFile& ini, const TShellSettings& s, const TPreferenceExtras& extras = {});

}  // namespace qm
