#include "shell/services/Settings.h"

#include <filesystem>

#include "pixel/RectUtils.h"
#include "platform/core/Colors.h"
#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

constexpr const char* kErr = "ERR";
constexpr const char* kPosition = "Position";
constexpr const char* kParams = "Params";
constexpr const char* kFiles = "Files";
constexpr const char* kTools = "Tools";
constexpr const char* kPlugins = "Plugins";

class TReader {
 public:
  explicit TReader(const TIniFile& ini) : ini_(ini) {}

  std::string Text(const char* section, const char* key) const { return ini_.ReadString(section, key, kErr); }
  bool Missing(const std::string& v) const { return v == kErr; }

  // A key is tested against one literal only: a default-off key is switched on by
  // "1" exactly, a default-on key off by "0" exactly; anything else keeps the default.
  bool Bool(const char* section, const char* key, bool def) const {
    const std::string v = Text(section, key);
    return def ? v != "0" : v == "1";
  }
  int Int(const char* section, const char* key, int def) const {
    const std::string v = Text(section, key);
    return Missing(v) ? def : StrToIntDef(v, def);
  }
  int Clamped(const char* section, const char* key, int def, int min, int max) const {
    const std::string v = Text(section, key);
    return Missing(v) ? def : StrToIntClamped(v, def, min, max);
  }
  TColor Color(const char* section, const char* key, TColor def) const {
    const std::string v = Text(section, key);
    return Missing(v) ? def : HexStrToColor(v, def, true);
  }
  std::string Folder(const char* section, const char* key, const std::string& def) const {
    const std::string v = Text(section, key);
    std::error_code ec;
    if (Missing(v) || v.empty() || !std::filesystem::is_directory(v, ec)) return def;
    return v;
  }

 private:
  const TIniFile& ini_;
};

std::string NumberedKey(const char* base, int n) { return std::string(base) + std::to_string(n); }

bool IsExistingFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec) && !std::filesystem::is_directory(path, ec);
}

// Settings files written by hand may hold any number; window geometry stays far from
// the int32 limits so that adding sizes cannot overflow.
int SaneCoordinate(int v) { return v < -1000000 ? -1000000 : (v > 1000000 ? 1000000 : v); }

}  // namespace

TShellSettings DefaultShellSettings(const TSettingsEnvironment& env) {
  TShellSettings s;
  s.MainBounds = MainWindowBounds(-1, -1, -1, -1, env.Screen);
  s.OpenDir = env.DefaultOpenFolder;
  s.XPMenu = env.VisualStyles;
  s.PrintUnit = env.PrintUnit;
  s.Dir8bf = env.PluginFolder;
  return s;
}

bool ReadRunMulti(const TIniFile& ini) { return TReader(ini).Bool(kParams, "RunMulti", true); }

TRect MainWindowBounds(int x, int y, int w, int h, const TRect& screen) {
  TRect r;
  if (x == -1 || y == -1 || w == -1 || h == -1) {
    r = TRect{10, 10, 800, 600};
  } else {
    x = SaneCoordinate(x);
    y = SaneCoordinate(y);
    MakeOrderedRect(x, y, x + SaneCoordinate(w), y + SaneCoordinate(h), r);
  }
  EnsureMinRectSize(r, 640, 480, true, true);
  KeepRectInside(r, screen, true);
  return r;
}

std::vector<std::string> ReadPluginButtons(const TIniFile& ini) {
  std::vector<std::string> names;
  TReader rd(ini);
  for (int n = 1; n <= kMaxPluginButtons; ++n) {
    const std::string v = rd.Text(kPlugins, NumberedKey("Plugin", n).c_str());
    if (!rd.Missing(v) && !v.empty()) names.push_back(v);
  }
  return names;
}

TShellSettings ReadShellSettings(const TIniFile& ini, const TSettingsEnvironment& env) {
  TShellSettings s = DefaultShellSettings(env);
  TReader rd(ini);

  // [Position]
  const int x = rd.Int(kPosition, "X", -1), y = rd.Int(kPosition, "Y", -1);
  const int w = rd.Int(kPosition, "W", -1), h = rd.Int(kPosition, "H", -1);
  s.MainBounds = MainWindowBounds(x, y, w, h, env.Screen);
  s.PositionSaved = x != -1 && y != -1 && w != -1 && h != -1;
  s.Maximize = rd.Bool(kPosition, "Maximize", false);

  // [Params], first part
  s.RunMulti = rd.Bool(kParams, "RunMulti", true);
  s.OpenDir = rd.Folder(kParams, "Open", env.DefaultOpenFolder);
  s.SaveDir = rd.Folder(kParams, "Save", "");
  s.LockDir = rd.Bool(kParams, "LockDir", false);
  s.UniqueDir = rd.Bool(kParams, "UniqueDir", false);
  s.MaximizeImgWin = rd.Bool(kParams, "MaximizeImgWin", false);
  s.Preview = rd.Bool(kParams, "Preview", false);
  s.AdvancedDisplay = rd.Bool(kParams, "AdvancedDisplay", true);
  s.BkgTexture = rd.Bool(kParams, "BkgTexture", true);
  s.XPMenu = rd.Bool(kParams, "XPMenu", env.VisualStyles);
  s.BorderShadow = rd.Bool(kParams, "BorderShadow", true);
  s.History = rd.Clamped(kParams, "History", 12, 1, 24);

  // [Files]
  s.ClearFileListe = rd.Bool(kFiles, "ClearFileListe", false);
  if (!s.ClearFileListe) {
    for (int n = 1; n <= kMaxRecentFiles; ++n) {
      const std::string v = rd.Text(kFiles, NumberedKey("File", n).c_str());
      if (!rd.Missing(v) && !v.empty() && IsExistingFile(v)) s.RecentFiles.push_back(v);
    }
  }

  // [Params], second part
  {
    const int q = rd.Int(kParams, "JpgCompression", -1);
    // Any negative value asks; 0 to 10 is the lowest quality the writer accepts.
    s.JpgCompression = q < 0 ? -1 : (q < 10 ? 10 : (q > 100 ? 100 : q));
  }
  s.DefaultFormat = rd.Clamped(kParams, "DefaultFormat2", -1, -1, env.FormatCount > 0 ? env.FormatCount - 1 : -1);
  s.PreserveFileDate = rd.Bool(kParams, "PreserveFileDate", false);
  s.ImageUnit = rd.Clamped(kParams, "ImageUnit", 0, 0, 2);
  s.PrintUnit = rd.Clamped(kParams, "PrintUnit", env.PrintUnit < 0 || env.PrintUnit > 1 ? 0 : env.PrintUnit, 0, 1);
  s.GridCellSize = rd.Clamped(kParams, "GridCellSize", 16, 1, 50);
  s.ColorGrid = rd.Color(kParams, "ColorGrid", 0xC0C0C0);
  s.PreserveExif = rd.Bool(kParams, "PreserveExif", true);
  s.TrackBallZoom = rd.Bool(kParams, "TrackBallZoom", true);
  s.ThumbSize = rd.Clamped(kParams, "ThumbSize", 1, 0, 2);
  s.AlphaBlendForm = rd.Bool(kParams, "AlphaBlendForm", false);
  s.BoundingBox = rd.Bool(kParams, "BoundingBox", true);

  // [Tools]: the bars are on unless the key holds something other than "1".
  {
    const std::string bar = rd.Text(kTools, "FilterBar");
    s.FilterBar = rd.Missing(bar) || bar == "1";
    const std::string pal = rd.Text(kTools, "ToolsPalette");
    s.ToolsPalette = rd.Missing(pal) || pal == "1";
  }
  {
    const int a = rd.Int(kTools, "ToolsAlignment", 2);
    if (a >= 0 && a <= 2) s.ToolsAlignment = a;
  }
  if (s.ToolsAlignment == 0) {
    s.PaletteX = rd.Int(kTools, "X", -1);
    s.PaletteY = rd.Int(kTools, "Y", -1);
  }
  s.Color1 = rd.Color(kTools, "Color1", 0x000000);
  s.Color2 = rd.Color(kTools, "Color2", 0xFFFFFF);
  s.Palette = rd.Clamped(kTools, "Palette", 0, 0, 11);

  // [Plugins]
  s.PluginsBar = rd.Bool(kPlugins, "PluginsBar", false);
  s.LoadPlugins = rd.Bool(kPlugins, "LoadPlugins", true);
  if (env.PluginsAvailable) s.PluginButtons = ReadPluginButtons(ini);
  s.Dir8bf = rd.Folder(kPlugins, "8bfDir", env.PluginFolder);
  s.Mode8bf = rd.Bool(kPlugins, "8bfMode", true);
  return s;
}

void WriteShellSettings(TIniFile& ini, const TShellSettings& s) {
  if (!s.Maximize) {
    ini.WriteInteger(kPosition, "X", s.MainBounds.Left);
    ini.WriteInteger(kPosition, "Y", s.MainBounds.Top);
    ini.WriteInteger(kPosition, "W", s.MainBounds.Width());
    ini.WriteInteger(kPosition, "H", s.MainBounds.Height());
  }
  ini.WriteBool(kPosition, "Maximize", s.Maximize);

  if (!s.LockDir) {
    ini.WriteString(kParams, "Open", s.OpenDir);
    ini.WriteString(kParams, "Save", s.SaveDir);
  }
  ini.WriteBool(kParams, "MaximizeImgWin", s.MaximizeImgWin);
  ini.WriteBool(kParams, "BorderShadow", s.BorderShadow);
  ini.WriteBool(kParams, "Preview", s.Preview);

  for (int n = 1; n <= kMaxRecentFiles; ++n) {
    const std::string key = NumberedKey("File", n);
    if (n <= int(s.RecentFiles.size()))
      ini.WriteString(kFiles, key, s.RecentFiles[size_t(n - 1)]);
    else
      ini.DeleteKey(kFiles, key);
  }

  ini.WriteBool(kTools, "FilterBar", s.FilterBar);
  ini.WriteInteger(kParams, "ThumbSize", s.ThumbSize);
  ini.WriteBool(kParams, "BoundingBox", s.BoundingBox);

  ini.WriteBool(kTools, "ToolsPalette", s.ToolsPalette);
  if (s.ToolsAlignment == 0) {
    ini.WriteInteger(kTools, "X", s.PaletteX);
    ini.WriteInteger(kTools, "Y", s.PaletteY);
  }
  ini.WriteString(kTools, "Color1", ColorToHexStr(s.Color1, true));
  ini.WriteString(kTools, "Color2", ColorToHexStr(s.Color2, true));
  ini.WriteInteger(kTools, "Palette", s.Palette);

  ini.WriteBool(kPlugins, "PluginsBar", s.PluginsBar);
}

bool SaveShellSettings(TIniFile& ini, const TShellSettings& s, std::string* error) {
  WriteShellSettings(ini, s);
  return ini.Save(error);
}

void WritePreferenceSettings(TIniFile& ini, const TShellSettings& s, const TPreferenceExtras& extras) {
  ini.WriteString(kParams, "Open", s.OpenDir);
  ini.WriteString(kParams, "Save", s.SaveDir);
  ini.WriteBool(kParams, "UniqueDir", s.UniqueDir);
  ini.WriteBool(kParams, "LockDir", s.LockDir);
  ini.WriteInteger(kTools, "ToolsAlignment", s.ToolsAlignment);
  ini.WriteInteger(kParams, "JpgCompression", s.JpgCompression);
  ini.WriteInteger(kParams, "DefaultFormat2", s.DefaultFormat);
  ini.WriteBool(kParams, "PreserveFileDate", s.PreserveFileDate);
  ini.WriteInteger("FitImage", "Width", extras.FitWidth);
  ini.WriteInteger("FitImage", "Height", extras.FitHeight);
  ini.WriteBool("FitImage", "Deform", extras.FitDeform);
  ini.WriteInteger(kParams, "ImageUnit", s.ImageUnit);
  ini.WriteInteger(kParams, "PrintUnit", s.PrintUnit);
  ini.WriteInteger(kParams, "GridCellSize", s.GridCellSize);
  ini.WriteString(kParams, "ColorGrid", ColorToHexStr(s.ColorGrid, true));
  ini.WriteInteger(kParams, "History", s.History);
  ini.WriteBool(kPlugins, "LoadPlugins", s.LoadPlugins);
  for (int n = 1; n <= kMaxPluginButtons; ++n) {
    const std::string key = NumberedKey("Plugin", n);
    if (n <= int(s.PluginButtons.size()))
      ini.WriteString(kPlugins, key, s.PluginButtons[size_t(n - 1)]);
    else
      ini.DeleteKey(kPlugins, key);
  }
  ini.WriteBool(kParams, "AdvancedDisplay", s.AdvancedDisplay);
  ini.WriteBool(kParams, "BkgTexture", s.BkgTexture);
  if (extras.ThemedMenus) ini.WriteBool(kParams, "XPMenu", s.XPMenu);
  if (extras.TranslucentDialogs) ini.WriteBool(kParams, "AlphaBlendForm", s.AlphaBlendForm);
  ini.WriteBool(kFiles, "ClearFileListe", s.ClearFileListe);
  ini.WriteBool(kParams, "PreserveExif", s.PreserveExif);
  ini.WriteBool(kParams, "TrackBallZoom", s.TrackBallZoom);
  ini.WriteBool(kParams, "RunMulti", s.RunMulti);
  ini.WriteString(kPlugins, "8bfDir", s.Dir8bf);
  ini.WriteBool(kPlugins, "8bfMode", s.Mode8bf);
}

}  // namespace qm
