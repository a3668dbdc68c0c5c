#include "shell/commands/ToolsCommands.h"

#include <QAction>

#include "document/LayeredImage.h"
#include "pixel/PixelFormat.h"
#include "platform/core/Messages.h"
#include "platform/texts/AppPaths.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/CommandChecks.h"
#include "shell/services/CommandSet.h"
#include "shell/browser/FileActions.h"
#include "shell/commands/FileCommands.h"
#include "shell/services/ShellServices.h"
#include "views/DocumentWindow.h"
#include "views/GifAnimForm.h"
#include "views/IconForm.h"

namespace qm {

TToolsCommands::TToolsCommands(TShellServices& services, TCommandSet& commands, TFileCommands& files,
                               QWidget* parent)
    : services_(services), commands_(commands), files_(files), parent_(parent) {}

TToolsCommands::~TToolsCommands() = default;

std::string TToolsCommands::WallpaperFile() { return DataFolder() + "/" + Tr(TextId::GetTrWallpaperFileName); }

void TToolsCommands::Wire(const TDeviceCommands& devices) {
  devices_ = devices;
  // Every command goes through the guard first: a parameter dialog holds the shell.
  auto wire = [this](std::string_view name, std::function<void(const TCommandSender&)> run) {
    commands_.SetHandler(name, [this, run = std::move(run)](const TCommandSender& sender) {
      if (services_.CanRunCommand(sender.Action)) run(sender);
    });
  };
  auto shared = [this](std::string_view handler, std::function<void(const TCommandSender&)> run) {
    commands_.SetSharedHandler(handler, [this, run = std::move(run)](const TCommandSender& sender) {
      if (services_.CanRunCommand(sender.Action)) run(sender);
    });
  };
  if (devices_.ShowBatch)
    wire("MenuAutomatisation", [this](const TCommandSender&) {
      if (TNewImgForm* w = services_.GetActiveImgForm()) w->Selection().Hide();
      services_.Windows().RefreshAllImageWindows();
      devices_.ShowBatch();
    });
  if (devices_.SetDesktopWallpaper)
    shared("MenuPapierPeintClick", [this](const TCommandSender& s) { SetWallpaper(s.Tag()); });
  wire("MenuExportIcone", [this](const TCommandSender&) { ExportIcon(); });
  wire("MenuGifAnim", [this](const TCommandSender&) { AnimatedGif(); });
  shared("MenuGestionImageClick", [this](const TCommandSender& s) {
    ManageImage(s.Tag(), TShellServices::GetMenuItemCaption(s.Action));
  });
  // The saved file in the desktop's program for its type.
  wire("MenuShell", [this](const TCommandSender& s) {
    ManageImage(faOpen, TShellServices::GetMenuItemCaption(s.Action));
  });
  shared("MenuNaviguerClick", [this](const TCommandSender& s) { Navigate(s.Tag()); });
  // The scanner's items: busy with the status "Twain", no hourglass.
  auto twain = [this, &wire](std::string_view name, const std::function<void()>& run) {
    if (!run) return;
    wire(name, [this, run](const TCommandSender&) { Busy(run); });
  };
  twain("MenuTwainSource", devices_.TwainSelectSource);
  twain("MenuTwainLot", devices_.TwainBatchAcquire);
  // Acquiring is the menu item's, the workspace pop-up's and the tool bar's.
  if (devices_.TwainAcquire)
    shared("MenuTwainNumeriserClick", [this](const TCommandSender&) { Busy(devices_.TwainAcquire); });
}

void TToolsCommands::Busy(const std::function<void()>& run) {
  TBusyScope busy(services_, Tr(TextId::GetTrStaTwain), false);
  run();
}

void TToolsCommands::SetWallpaper(int tag) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w || !devices_.SetDesktopWallpaper) return;
  if (ShowMessageDialog(Tr(TextId::GetTrDlgMain2), mtConfirmation, mbYes | mbNo) != mrYes) return;
  TLayeredImage& image = w->Image();
  image.RenderLayers();
  const int colors = image.ColorCount;
  if (colors > 256 || colors <= 0) {
    devices_.SetDesktopWallpaper(image.ComposedBitmap(), WallpaperFile(), tag == 1, tag == 2);
    return;
  }
  // An image of few colours stays as few on the desktop.
  TBitmap indexed = image.ComposedBitmap().Clone();
  ConvertBitmapToIndexed(indexed, colors, false, false);
  devices_.SetDesktopWallpaper(indexed, WallpaperFile(), tag == 1, tag == 2);
}

void TToolsCommands::ExportIcon() {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return;
  w->Selection().Hide();
  w->Image().RenderLayers();
  services_.Windows().RefreshAllImageWindows();
  if (!icon_) icon_ = std::make_unique<TIconForm>(parent_);
  icon_->Execute(*w, services_.LastUsedFolder());
}

void TToolsCommands::AnimatedGif() {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w || !CheckSeveralLayers(&w->Image())) return;
  w->Selection().Hide();
  services_.Windows().RefreshAllImageWindows();
  if (!gifAnim_) gifAnim_ = new TGifAnimForm(parent_);
  gifAnim_->Open(*w, services_.LastUsedFolder());
}

void TToolsCommands::ManageImage(int tag, const std::string& title) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w || w->IsNew) return;
  // Copies, moves and renames take the file as saved; a deletion needs no save.
  if (tag != faRecycle && !w->QuerySaveImageWindow()) return;
  std::string newName;
  DoBrowserFileAction(services_, title, w->FileName(), TFileAction(tag), newName);
}

void TToolsCommands::Navigate(int tag) {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w || w->IsNew) return;
  const std::string next = GetSiblingImageFile(services_, w->FileName(), TSiblingFile(tag));
  if (next.empty() || !w->QuerySaveImageWindow()) return;
  files_.OpenImageFile(next, false, true);
}

}  // namespace qm
