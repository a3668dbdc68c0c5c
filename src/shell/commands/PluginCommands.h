#pragma once
// The commands of filter plug-ins and .8bf filters: when each plug-in's menu item and
// tool button is enabled (its type and its requirement flags against the active
// document), and how a run is wrapped in the busy state, an undo step and the repeat
// command. Loading and running the modules is the plug-in host's (TPluginHost, made
// above the shell); without one every plug-in menu stays empty.
#include <QImage>
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Types.h"

class QAction;
class QMenu;

namespace qm {

class TCommandSet;
class TShellServices;
struct TLayerRun;

enum class TPluginType : int { Filter = 0, Image = 1, Import = 2, Export = 3, Tool = 4 };

// The requirement flags of a plug-in's header; each set bit narrows where it runs. The
// values are the header's QXL_REQUIRE_* (extensions/FilterPluginApi.h, above this
// layer: the plug-in host checks that the two agree when it is built).
enum TPluginRequirement : uint32_t {
  prTrueColor = 0x1,
  prFewColors = 0x2,        // a colour count below 257 (unless prTrueColor)
  prTransparent = 0x4,      // the background has transparency
  prOpaque = 0x8,           // it has none (unless prTransparent)
  prSelection = 0x10,       // a selection is shown
  prNoSelection = 0x20,     // none is (unless prSelection)
  prDocument = 0x40,        // a document (the only bit read without one)
  prTwoWindows = 0x80,      // at least two document windows
  prLayers = 0x100,         // more than one layer
  prOneLayer = 0x200,       // exactly one (unless prLayers)
  prAlpha = 0x400,          // an alpha channel
  prNoAlpha = 0x800,        // none (unless prAlpha)
  prJpegFile = 0x10000,
  prGifFile = 0x20000,
  prPngFile = 0x40000,
  prBmpFile = 0x80000,      // BMP or RLE
  prTiffFile = 0x100000,
  prSelectionFile = 0x200000,  // a selection file (.qxs)
  prExif = 0x400000,        // the document came with EXIF data
};

// One plug-in of the host's list, as its description gave it when the editor started.
struct TPluginEntry {
  std::string File;      // the module
  std::string NameText;  // "about caption|command caption"
  std::string VersionText, Author, Comment, CompatibilityText;
  TPluginType Type = TPluginType::Filter;
  uint32_t Flags = 0;
  QImage Glyph;  // its own 19 x 19 glyph, the key colour transparent; null: the standard one
};

// One .8bf filter of the host's list.
struct T8bfEntry {
  std::string File;
  std::string Category;  // empty: directly under the 8BF menu
  std::string Name;
};

// The plug-in host as the shell's commands use it. Implementations live above the
// shell (the extensions); each run works on the shell's active document.
class TPluginHost {
 public:
  virtual ~TPluginHost() = default;
  // In name order (the user's collation, case ignored).
  virtual const std::vector<TPluginEntry>& Plugins() const = 0;
  // In category-and-name order.
  virtual const std::vector<T8bfEntry>& Filters8bf() const = 0;
  // Loads the module, runs it, frees it; true when the plug-in reports a change. Every
  // lock and busy state the plug-in took ends with it. change: the runner's change the
  // run goes into (its undo step), null for a run without one.
  virtual bool RunPlugin(const TPluginEntry& entry, TLayerRun* change) = 0;
  virtual void ShowPluginAbout(const TPluginEntry& entry) = 0;
  // Runs the filter on the active layer's working rectangle; true on success.
  virtual bool Run8bfFilter(const T8bfEntry& entry, bool rgba) = 0;
  // True while a module is loaded (a plug-in runs or shows its about box).
  virtual bool IsPluginLoaded() const = 0;
  // The bridge that runs .8bf filters is installed.
  virtual bool Is8bfModulePresent() const = 0;
  // A colour picked and a click made on the image while a plug-in runs (image
  // coordinates; button 0 left, 1 right): passed on when the plug-in takes them.
  virtual void SendPluginColorPick(TColor color) = 0;
  virtual void SendPluginPointClick(TPoint imagePoint, int button) = 0;
};

// What the program's start tells the plug-in host of the editor around it.
struct TPluginSetup {
  // Searched for "*.qxl" with their sub-folders; none when plug-ins are switched off.
  std::vector<std::string> Folders;
  std::string PluginFolder;  // the user's plug-in folder
  std::string Folder8bf;     // searched for "*.8bf" with its sub-folders
  std::string SettingsFile;
  // The folders the file commands opened from last and propose for saving.
  std::function<std::string()> OpenFolder, SaveFolder;
};

// The two captions of a plug-in's name text: the about entry's (cleaned of its
// accelerator marks and trailing dots) and the command's.
struct TPluginCaptions {
  std::string About, Command;
};
TPluginCaptions PluginCaptions(const std::string& nameText);

// Hides every plug-in menu and its separator; each shows again once it gets an entry.
void HidePluginMenus(TCommandSet& commands);

// What the enabling reads of the editor.
struct TPluginFacts {
  bool Doc = false;
  int WindowCount = 0;
  bool TrueColor = false;
  int ColorCount = 0;
  bool BgTransparent = false;   // layer 0 has an alpha mask or a transparent colour
  bool SelectionShown = false;
  int LayerCount = 0;
  bool Alpha = false;
  bool BgLocked = false;
  bool ActiveImageLayer = false;  // the active layer is an image (bitmap) layer
  bool ActiveLocked = false;      // locked or hidden
  std::string FileName;           // the document's file
  bool Exif = false;
};

TPluginFacts ReadPluginFacts(TShellServices& services);

// Types 0, 1 and 3 need a document, 2 and 4 do not; an image plug-in needs the
// background unlocked, no alpha and a single layer, a filter true colour and an active
// image layer neither locked nor hidden; with a document every set requirement must
// hold. Without one the command is enabled unless prDocument is set.
bool IsPluginCommandEnabled(TPluginType type, uint32_t flags, const TPluginFacts& facts);

// The about caption (the name Preferences shows and writes for a tool-bar button).
std::string PluginCaption(const std::string& nameText);

class TPluginCommands : public QObject {
 public:
  TPluginCommands(TShellServices& services, TCommandSet& commands, TPluginHost& host);

  // The items of the five plug-in menus, the about items and the .8bf items (in their
  // category's sub-menu of the 8BF menu); each menu and its separator shown once it
  // has an entry. Then the ToolBar4 buttons of the plug-ins named in buttons, by file
  // name or by caption, any case (every plug-in when buttons is empty), 20 at most.
  void BuildMenus(const std::vector<std::string>& buttons, bool rgba8bf);
  // Every item and button enabled by its plug-in's rule.
  void UpdatePluginStates();

  bool RunPluginWithUndo(const TPluginEntry& entry);
  void RunPluginDirect(const TPluginEntry& entry);
  // The handlers of a plug-in item, a tool button and a .8bf item (index: in the host's
  // lists).
  void RunFilterPluginMenuItem(size_t index);
  void RunPluginToolButton(size_t index);
  void Run8bfMenuItem(size_t index);
  void ShowAbout(size_t index);

  // The items made, in the host's order (tests and the tool-bar follow them).
  const std::vector<QAction*>& PluginItems() const { return items_; }
  const std::vector<QAction*>& AboutItems() const { return aboutItems_; }
  const std::vector<QAction*>& ToolButtons() const { return buttons_; }
  const std::vector<QAction*>& Filter8bfItems() const { return items8bf_; }

 private:
  QMenu* MenuOf(TPluginType type) const;
  bool Enabled(size_t index) const;

  TShellServices& services_;
  TCommandSet& commands_;
  TPluginHost& host_;
  bool rgba8bf_ = true;
  std::vector<QAction*> items_, aboutItems_, buttons_, items8bf_;
  std::vector<size_t> buttonPlugins_;
};

}  // namespace qm
