#include "shell/commands/PluginCommands.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QToolBar>
#include <algorithm>

#include "document/qt/SelectionMask.h"
#include "imagefiles/FormatProbes.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandChecks.h"
#include "shell/services/CommandSet.h"
#include "shell/services/CommandStates.h"
#include "shell/services/FormUtils.h"
#include "shell/services/LayerChange.h"
#include "shell/services/Settings.h"
#include "shell/services/ShellServices.h"
#include "views/DocumentWindow.h"

// The standard glyph is compiled into this static library: nothing refers to its object
// file, so it is registered by hand (outside any namespace, as the macro asks).
static void InitPluginGlyphs() { Q_INIT_RESOURCE(PluginGlyphs); }

namespace qm {
namespace {

// The file kinds the requirement bits name, by the document's extension.
uint32_t FileKindBits(const std::string& fileName) {
  const std::string ext = LowerExt(fileName);
  if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".jfif") return prJpegFile;
  if (ext == ".gif") return prGifFile;
  if (ext == ".png") return prPngFile;
  if (ext == ".bmp" || ext == ".rle" || ext == ".dib") return prBmpFile;
  if (ext == ".tif" || ext == ".tiff") return prTiffFile;
  if (ext == ".qxs") return prSelectionFile;
  return 0;
}

// A bit pair: when first is set it must hold, else when second is set that must.
bool Pair(uint32_t flags, uint32_t first, uint32_t second, bool fact) {
  if (flags & first) return fact;
  if (flags & second) return !fact;
  return true;
}

}  // namespace

TPluginFacts ReadPluginFacts(TShellServices& services) {
  TPluginFacts f;
  const TCommandState s = ReadCommandState(services);
  f.Doc = s.Doc;
  f.WindowCount = services.Windows().Count();
  if (!f.Doc) return f;
  f.TrueColor = s.TC;
  f.ColorCount = services.GetActiveImageColorCount();
  f.BgTransparent = s.BgT;
  f.SelectionShown = s.SelV;
  f.LayerCount = s.LayerCount;
  f.Alpha = s.Alpha;
  f.BgLocked = s.Bl;
  f.ActiveImageLayer = !s.Txt;
  f.ActiveLocked = s.Blk;
  f.FileName = services.GetActiveFileName();
  if (TNewImgForm* w = services.GetActiveImgForm()) f.Exif = w->HasExif;
  return f;
}

bool IsPluginCommandEnabled(TPluginType type, uint32_t flags, const TPluginFacts& f) {
  const bool needsDocument = type == TPluginType::Filter || type == TPluginType::Image || type == TPluginType::Export;
  if (!f.Doc) return !needsDocument && !(flags & prDocument);
  if (type == TPluginType::Image && (f.BgLocked || f.Alpha || f.LayerCount != 1)) return false;
  if (type == TPluginType::Filter && (!f.TrueColor || !f.ActiveImageLayer || f.ActiveLocked)) return false;
  if ((flags & prTwoWindows) && f.WindowCount < 2) return false;
  if (flags & prTrueColor) {
    if (!f.TrueColor) return false;
  } else if ((flags & prFewColors) && !(f.ColorCount > 0 && f.ColorCount < 257)) {
    return false;
  }
  if (!Pair(flags, prTransparent, prOpaque, f.BgTransparent)) return false;
  if (!Pair(flags, prSelection, prNoSelection, f.SelectionShown)) return false;
  if (flags & prLayers) {
    if (f.LayerCount <= 1) return false;
  } else if ((flags & prOneLayer) && f.LayerCount != 1) {
    return false;
  }
  if (!Pair(flags, prAlpha, prNoAlpha, f.Alpha)) return false;
  const uint32_t fileBits = flags & (prJpegFile | prGifFile | prPngFile | prBmpFile | prTiffFile | prSelectionFile);
  // Each file bit is a requirement of its own: a plug-in naming two kinds runs on none.
  if (fileBits && (FileKindBits(f.FileName) & fileBits) != fileBits) return false;
  if ((flags & prExif) && !f.Exif) return false;
  return true;
}

TPluginCaptions PluginCaptions(const std::string& nameText) {
  TPluginCaptions c;
  SplitNameValue(nameText, c.About, c.Command);
  return c;
}

std::string PluginCaption(const std::string& nameText) { return PluginCaptions(nameText).About; }

namespace {

// The plug-in menus, and the separators shown with them (in their menus).
constexpr std::string_view kPluginMenus[] = {"MenuPluginAPropos", "MenuPluginFiltre", "Menu8bfFiltre",
                                             "MenuPluginImage",   "MenuPluginImport", "MenuPluginExport",
                                             "MenuPluginOutil"};
struct TSeparatorPlace {
  std::string_view Name, Menu;
};
constexpr TSeparatorPlace kSeparators[] = {{"MenuSepPluginFiltre", "MenuFiltre"},
                                           {"MenuSepPluginImage", "MenuImage"},
                                           {"MenuSepPluginFichier", "MenuFichier"},
                                           {"MenuSepPluginOutil", "MenuOutils"}};

void SetShown(TCommandSet& commands, std::string_view name, bool shown) {
  if (QAction* a = commands.Action(name)) {
    a->setVisible(shown);
    return;
  }
  for (const TSeparatorPlace& sep : kSeparators)
    if (sep.Name == name)
      if (QMenu* menu = commands.Menu(sep.Menu))
        for (QAction* a : menu->actions())
          if (a->objectName() == QLatin1String(name.data(), qsizetype(name.size()))) a->setVisible(shown);
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

QIcon GlyphOf(const TPluginEntry& entry) {
  static const bool loaded = (InitPluginGlyphs(), true);
  (void)loaded;
  return entry.Glyph.isNull() ? QIcon(QStringLiteral(":/plugins/plugin.xpm")) : QIcon(QPixmap::fromImage(entry.Glyph));
}

// A tool-bar choice names the plug-in by its file (without folder) or by the caption
// Preferences lists it under; the case does not matter.
bool IsChosen(const TPluginEntry& entry, const std::vector<std::string>& choices) {
  const QString file = Q(ExtractFileName(entry.File)), caption = Q(PluginCaption(entry.NameText));
  for (const std::string& choice : choices)
    if (file.compare(Q(choice), Qt::CaseInsensitive) == 0 || caption.compare(Q(choice), Qt::CaseInsensitive) == 0)
      return true;
  return false;
}

}  // namespace

void HidePluginMenus(TCommandSet& commands) {
  for (std::string_view menu : kPluginMenus) SetShown(commands, menu, false);
  for (const TSeparatorPlace& sep : kSeparators) SetShown(commands, sep.Name, false);
}

TPluginCommands::TPluginCommands(TShellServices& services, TCommandSet& commands, TPluginHost& host)
    : QObject(&commands), services_(services), commands_(commands), host_(host) {}

QMenu* TPluginCommands::MenuOf(TPluginType type) const {
  switch (type) {
    case TPluginType::Filter: return commands_.Menu("MenuPluginFiltre");
    case TPluginType::Image: return commands_.Menu("MenuPluginImage");
    case TPluginType::Import: return commands_.Menu("MenuPluginImport");
    case TPluginType::Export: return commands_.Menu("MenuPluginExport");
    case TPluginType::Tool: return commands_.Menu("MenuPluginOutil");
  }
  return nullptr;
}

void TPluginCommands::BuildMenus(const std::vector<std::string>& buttons, bool rgba8bf) {
  rgba8bf_ = rgba8bf;
  const std::vector<TPluginEntry>& plugins = host_.Plugins();
  QMenu* about = commands_.Menu("MenuPluginAPropos");
  for (size_t i = 0; i < plugins.size(); ++i) {
    const TPluginCaptions captions = PluginCaptions(plugins[i].NameText);
    QAction* info = about ? about->addAction(Q(captions.About)) : new QAction(Q(captions.About), this);
    connect(info, &QAction::triggered, this, [this, i] { ShowAbout(i); });
    aboutItems_.push_back(info);
    SetShown(commands_, "MenuPluginAPropos", true);
    QMenu* menu = MenuOf(plugins[i].Type);
    QAction* item = menu ? menu->addAction(GlyphOf(plugins[i]), Q(captions.Command))
                         : new QAction(Q(captions.Command), this);
    connect(item, &QAction::triggered, this, [this, i] { RunFilterPluginMenuItem(i); });
    items_.push_back(item);
    static constexpr std::string_view kMenus[] = {"MenuPluginFiltre", "MenuPluginImage", "MenuPluginImport",
                                                  "MenuPluginExport", "MenuPluginOutil"};
    static constexpr std::string_view kSeps[] = {"MenuSepPluginFiltre", "MenuSepPluginImage", "MenuSepPluginFichier",
                                                 "MenuSepPluginFichier", "MenuSepPluginOutil"};
    SetShown(commands_, kMenus[int(plugins[i].Type)], true);
    SetShown(commands_, kSeps[int(plugins[i].Type)], true);
  }
  // The .8bf filters in their category's sub-menu (found by its exact text), or
  // directly under the 8BF menu without one.
  const std::vector<T8bfEntry>& filters = host_.Filters8bf();
  QMenu* menu8bf = commands_.Menu("Menu8bfFiltre");
  std::vector<std::pair<std::string, QMenu*>> categories;
  for (size_t i = 0; menu8bf && i < filters.size(); ++i) {
    QMenu* parent = menu8bf;
    if (!filters[i].Category.empty()) {
      auto found = std::find_if(categories.begin(), categories.end(),
                                [&](const auto& c) { return c.first == filters[i].Category; });
      if (found == categories.end())
        found = categories.insert(categories.end(), {filters[i].Category, menu8bf->addMenu(Q(filters[i].Category))});
      parent = found->second;
    }
    QAction* item = parent->addAction(Q(filters[i].Name));
    connect(item, &QAction::triggered, this, [this, i] { Run8bfMenuItem(i); });
    items8bf_.push_back(item);
  }
  if (!items8bf_.empty()) {
    SetShown(commands_, "Menu8bfFiltre", true);
    SetShown(commands_, "MenuSepPluginFiltre", true);
  }
  // The tool buttons, in the list's order.
  QToolBar* bar = commands_.ToolBar("ToolBar4");
  for (size_t i = 0; i < plugins.size() && int(buttons_.size()) < kMaxPluginButtons; ++i) {
    if (!buttons.empty() && !IsChosen(plugins[i], buttons)) continue;
    QAction* button = new QAction(GlyphOf(plugins[i]), Q(PluginCaption(plugins[i].NameText)), this);
    button->setObjectName(QStringLiteral("BtnPlugin%1").arg(buttons_.size() + 1));
    connect(button, &QAction::triggered, this, [this, i] { RunPluginToolButton(i); });
    if (bar) bar->addAction(button);
    buttons_.push_back(button);
    buttonPlugins_.push_back(i);
  }
  for (std::string_view menu : {"MenuPluginFiltre", "MenuPluginImage", "MenuPluginImport", "MenuPluginExport",
                                "MenuPluginOutil", "Menu8bfFiltre"})
    if (QMenu* m = commands_.Menu(menu)) connect(m, &QMenu::aboutToShow, this, [this] { UpdatePluginStates(); });
  UpdatePluginStates();
}

bool TPluginCommands::Enabled(size_t index) const {
  const TPluginEntry& e = host_.Plugins()[index];
  return IsPluginCommandEnabled(e.Type, e.Flags, ReadPluginFacts(services_));
}

void TPluginCommands::UpdatePluginStates() {
  const TPluginFacts facts = ReadPluginFacts(services_);
  const std::vector<TPluginEntry>& plugins = host_.Plugins();
  for (size_t i = 0; i < items_.size(); ++i)
    items_[i]->setEnabled(IsPluginCommandEnabled(plugins[i].Type, plugins[i].Flags, facts));
  for (size_t b = 0; b < buttons_.size(); ++b) {
    const TPluginEntry& e = plugins[buttonPlugins_[b]];
    buttons_[b]->setEnabled(IsPluginCommandEnabled(e.Type, e.Flags, facts));
  }
  const bool filter = facts.Doc && facts.TrueColor && facts.ActiveImageLayer && !facts.ActiveLocked;
  for (QAction* item : items8bf_) item->setEnabled(filter && host_.Is8bfModulePresent());
}

bool TPluginCommands::RunPluginWithUndo(const TPluginEntry& entry) {
  const bool filter = entry.Type == TPluginType::Filter;
  if (filter && CheckSelectionHasPixels(services_.LayerHost())) return false;
  const TBitmap* layer = services_.GetActiveLayerBitmap();
  const int width = layer ? layer->Width() : 0, height = layer ? layer->Height() : 0;
  const int colors = services_.GetActiveImageColorCount();
  TNewImgForm* window = services_.GetActiveImgForm();
  // The plug-in reads and writes the document through its callbacks (which keep its
  // writes within what the step gives back) and shows its own busy state; a run it
  // reports failed leaves the document as it was.
  TLayerChangeOptions options;
  options.Kind = filter ? ukWorkRectImageAndMask : ukWholeImage;
  options.Caption = CleanMenuCaption(PluginCaptions(entry.NameText).Command);
  options.Restrict = false;
  options.Busy = false;
  const bool changed = RunLayerChange(services_, options, [&](TLayerRun& run) {
    run.Refused = !host_.RunPlugin(entry, &run);
    // A document the plug-in opened stands in front: the step is given back where it is.
    if (run.Refused && window && services_.GetActiveImgForm() != window) services_.Windows().ActivateImageWindow(window);
  });
  if (changed) {
    layer = services_.GetActiveLayerBitmap();
    if (layer && layer->Width() == width && layer->Height() == height) services_.UpdateStatusBar();
    else services_.ResetImageWindowState();
    services_.RefreshLayerNavigator();
  } else {
    services_.SetActiveImageColorCount(colors);
    services_.Operations().ClearRepeatableCommand();  // a failed run is not repeated
  }
  return changed;
}

void TPluginCommands::RunPluginDirect(const TPluginEntry& entry) {
  services_.Windows().RefreshAllImageWindows();
  host_.RunPlugin(entry, nullptr);
}

void TPluginCommands::RunFilterPluginMenuItem(size_t index) {
  if (index >= host_.Plugins().size() || host_.IsPluginLoaded() || !services_.CanRunCommand(nullptr) ||
      !Enabled(index))
    return;
  const TPluginEntry entry = host_.Plugins()[index];
  // A document or the editor closed meanwhile goes once the whole command is over.
  TCloseHold held(services_);
  if (int(entry.Type) >= int(TPluginType::Import)) {
    RunPluginDirect(entry);
    return;
  }
  if (RunPluginWithUndo(entry) && entry.Type == TPluginType::Filter)
    services_.Operations().RecordRepeatableCommand(CleanMenuCaption(PluginCaptions(entry.NameText).Command),
                                                   [this, index] { RunFilterPluginMenuItem(index); });
}

void TPluginCommands::RunPluginToolButton(size_t index) {
  if (index >= host_.Plugins().size() || host_.IsPluginLoaded() || !services_.CanRunCommand(nullptr) ||
      !Enabled(index))
    return;
  const TPluginEntry entry = host_.Plugins()[index];
  TCloseHold held(services_);
  if (int(entry.Type) >= int(TPluginType::Import)) RunPluginDirect(entry);
  else RunPluginWithUndo(entry);
}

void TPluginCommands::Run8bfMenuItem(size_t index) {
  if (index >= host_.Filters8bf().size() || host_.IsPluginLoaded() || !services_.CanRunCommand(nullptr)) return;
  services_.Windows().RefreshAllImageWindows();
  if (CheckSelectionHasPixels(services_.LayerHost())) return;
  const T8bfEntry entry = host_.Filters8bf()[index];
  TCloseHold held(services_);
  TLayerChangeOptions options;
  options.Kind = rgba8bf_ ? ukWorkRectImageAndMask : ukWorkRect;
  options.Caption = CleanMenuCaption(entry.Name);
  options.Busy = false;  // the bridge's progress shows it while pixels are copied
  const bool done =
      RunLayerChange(services_, options, [&](TLayerRun& run) { run.Refused = !host_.Run8bfFilter(entry, rgba8bf_); });
  services_.EndBusy();
  if (!done) return;
  services_.RefreshLayerNavigator();
  services_.Operations().RecordRepeatableCommand(options.Caption, [this, index] { Run8bfMenuItem(index); });
}

void TPluginCommands::ShowAbout(size_t index) {
  if (index >= host_.Plugins().size()) return;
  services_.Windows().RefreshAllImageWindows();
  host_.ShowPluginAbout(host_.Plugins()[index]);
}

}  // namespace qm
