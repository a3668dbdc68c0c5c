#include "shell/commands/PluginCommands.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

#include "document/qt/SelectionMask.h"
#include "imagefiles/FormatProbes.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/CommandChecks.h"
#include "shell/services/CommandSet.h"
#include "shell/services/CommandStates.h"
#include "shell/services/FormUtils.h"
#include "shell/services/LayerChange.h"
#include "shell/services/ShellServices.h"
#include "views/DocumentWindow.h"

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

std::string PluginCaption(const std::string& nameText) {
  std::string name, value;
  SplitNameValue(nameText, name, value);
  return CleanMenuCaption(name.empty() ? nameText : name);
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
    const QString caption = QString::fromStdString(PluginCaption(plugins[i].NameText));
    QMenu* menu = MenuOf(plugins[i].Type);
    QAction* item = menu ? menu->addAction(caption) : new QAction(caption, this);
    connect(item, &QAction::triggered, this, [this, i] { RunFilterPluginMenuItem(i); });
    items_.push_back(item);
    if (about) connect(about->addAction(caption), &QAction::triggered, this, [this, i] { ShowAbout(i); });
  }
  const std::vector<T8bfEntry>& filters = host_.Filters8bf();
  if (QMenu* menu = commands_.Menu("MenuPluginFiltre"); menu && !filters.empty()) {
    if (!items_.empty()) menu->addSeparator();
    for (size_t i = 0; i < filters.size(); ++i) {
      QAction* item = menu->addAction(QString::fromStdString(CleanMenuCaption(filters[i].Name)));
      connect(item, &QAction::triggered, this, [this, i] { Run8bfMenuItem(i); });
      items8bf_.push_back(item);
    }
  }
  // The chosen plug-ins' buttons, in the order of the list of names.
  QToolBar* bar = commands_.ToolBar("ToolBar4");
  for (const std::string& name : buttons)
    for (size_t i = 0; i < plugins.size(); ++i) {
      if (PluginCaption(plugins[i].NameText) != CleanMenuCaption(name) && plugins[i].NameText != name) continue;
      QAction* button = new QAction(QString::fromStdString(PluginCaption(plugins[i].NameText)), this);
      button->setObjectName(QStringLiteral("BtnPlugin%1").arg(buttons_.size() + 1));
      connect(button, &QAction::triggered, this, [this, i] { RunPluginToolButton(i); });
      if (bar) bar->addAction(button);
      buttons_.push_back(button);
      buttonPlugins_.push_back(i);
      break;
    }
  for (std::string_view menu : {"MenuPluginFiltre", "MenuPluginImage", "MenuPluginImport", "MenuPluginExport",
                                "MenuPluginOutil"})
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
  // The plug-in reads and writes the document through its callbacks; a run it reports
  // failed leaves the document as it was.
  TLayerChangeOptions options;
  options.Kind = filter ? ukWorkRectImageAndMask : ukWholeImage;
  options.Caption = PluginCaption(entry.NameText);
  options.Restrict = false;
  const bool changed = RunLayerChange(services_, options, [&](TLayerRun& run) { run.Refused = !host_.RunPlugin(entry); });
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
  host_.RunPlugin(entry);
}

void TPluginCommands::RunFilterPluginMenuItem(size_t index) {
  if (index >= host_.Plugins().size() || !services_.CanRunCommand(nullptr) || !Enabled(index)) return;
  const TPluginEntry entry = host_.Plugins()[index];
  if (int(entry.Type) >= int(TPluginType::Import)) {
    RunPluginDirect(entry);
    return;
  }
  if (RunPluginWithUndo(entry) && entry.Type == TPluginType::Filter)
    services_.Operations().RecordRepeatableCommand(PluginCaption(entry.NameText),
                                                   [this, index] { RunFilterPluginMenuItem(index); });
}

void TPluginCommands::RunPluginToolButton(size_t index) {
  if (index >= host_.Plugins().size() || !services_.CanRunCommand(nullptr) || !Enabled(index)) return;
  const TPluginEntry entry = host_.Plugins()[index];
  if (int(entry.Type) >= int(TPluginType::Import)) RunPluginDirect(entry);
  else RunPluginWithUndo(entry);
}

void TPluginCommands::Run8bfMenuItem(size_t index) {
  if (index >= host_.Filters8bf().size() || !services_.CanRunCommand(nullptr)) return;
  services_.Windows().RefreshAllImageWindows();
  if (CheckSelectionHasPixels(services_.LayerHost())) return;
  const T8bfEntry entry = host_.Filters8bf()[index];
  TLayerChangeOptions options;
  options.Kind = rgba8bf_ ? ukWorkRectImageAndMask : ukWorkRect;
  options.Caption = CleanMenuCaption(entry.Name);
  if (!RunLayerChange(services_, options,
                      [&](TLayerRun& run) { run.Refused = !host_.Run8bfFilter(entry, rgba8bf_); }))
    return;
  services_.RefreshLayerNavigator();
  services_.Operations().RecordRepeatableCommand(options.Caption, [this, index] { Run8bfMenuItem(index); });
}

void TPluginCommands::ShowAbout(size_t index) {
  if (index >= host_.Plugins().size()) return;
  services_.Windows().RefreshAllImageWindows();
  host_.ShowPluginAbout(host_.Plugins()[index]);
}

}  // namespace qm
