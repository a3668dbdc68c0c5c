#include "shell/services/MenuLook.h"
#include "shell/main/MainForm.h"
#include "shell/main/ToolButtonHints.h"

#include <QApplication>
#include <QAbstractSpinBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSessionManager>
#include <QTextEdit>
#include <QCloseEvent>
#include <QCursor>
#include <QScreen>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <QTime>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>

#include "controls/HintNames.h"
#include "controls/TableTexts.h"
#include "document/DocumentServices.h"
#include "document/LayerItem.h"
#include "document/qt/Clipboard.h"
#include "document/qt/TextRender.h"
#include "imagefiles/FileFormats.h"
#include "imagefiles/ReadAhead.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/RawClient.h"
#include "pixel/Blend.h"
#include "pixel/Convolution.h"
#include "platform/core/Messages.h"
#include "platform/core/Random.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/AppPaths.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/commands/AdjustCommands.h"
#include "shell/commands/DialogCommands.h"
#include "shell/commands/DocumentCommands.h"
#include "shell/commands/FilterCommands.h"
#include "shell/services/FormUtils.h"
#include "shell/browser/FullScreen.h"
#include "shell/services/Locale.h"
#include "shell/services/MsgDlg.h"
#include "shell/services/Prefs.h"
#include "shell/services/SettingsEnvironment.h"
#include "shell/palette/ToolPalette.h"
#include "views/CompressForms.h"

namespace qm {
namespace {

// The message box's least client width.
constexpr int kMessageBoxWidth = 377;

// The work area's texture: its size, and how deep its relief is (percent).
constexpr int kTextureWidth = 270, kTextureHeight = 142, kTextureRelief = 3;
// The convolution preset that softens the texture's relief.
constexpr int kTextureSoftening = 6;
// The opacity of the forms made once, when the settings ask for translucent dialogs
// (of 255).
constexpr int kTranslucentAlpha = 233;
// A first start's window: this share of the screen (percent), and what its width
// keeps beyond the tool bars' (the window's frame and the bars' spacing).
constexpr int kFirstStartShare = 90, kFirstStartSlack = 24;
// The layer strip's thumbnail size for each [Params] ThumbSize.
constexpr int kStripSizes[3] = {0, 80, 120};

std::string RowCaption(std::string_view name) {
  const TCommandRow* row = FindCommandRow(name);
  return row ? CommandCaption(*row) : std::string();
}

std::string CleanRowCaption(std::string_view name) { return CleanMenuCaption(RowCaption(name)); }

// The local files of a drop, in its order.
std::vector<std::string> DroppedFiles(const QMimeData* mime) {
  std::vector<std::string> files;
  if (!mime) return files;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) files.push_back(url.toLocalFile().toStdString());
  return files;
}

// The history preference of new documents, from the settings.
class TSettingsDocumentServices : public TDocumentServices {
 public:
  explicit TSettingsDocumentServices(const TShellSettings& settings) : settings_(settings) {}
  int HistoryCapacity() const override { return settings_.History; }

 private:
  const TShellSettings& settings_;
};

// The first readable place of the RAW module among the plug-in folders that exist;
// empty when none holds it, so that no other place is ever tried.
std::string FindRawModule(const std::vector<std::string>& pluginFolders) {
  for (const std::string& folder : pluginFolders) {
    if (folder.empty() || !FolderExists(folder)) continue;
    const std::string path = AddTrailingBackslash(folder) + "raw.qxl";
    if (FileExists(path)) return path;
  }
  return {};
}

// An editable text of any kind: a line edit, a spin edit, a text box, an editable combo.
bool IsTextEntry(QObject* o) {
  if (auto* line = qobject_cast<QLineEdit*>(o)) return !line->isReadOnly();
  if (auto* spin = qobject_cast<QAbstractSpinBox*>(o)) return !spin->isReadOnly();
  if (auto* text = qobject_cast<QTextEdit*>(o)) return !text->isReadOnly();
  if (auto* plain = qobject_cast<QPlainTextEdit*>(o)) return !plain->isReadOnly();
  if (auto* combo = qobject_cast<QComboBox*>(o)) return combo->isEditable();
  return false;
}

}  // namespace

// The services as the main window completes them: a document window's save goes
// through the File commands, and its pop-ups are the command table's.
class TMainForm::TMainServices : public TShellServices {
 public:
  TMainServices(TMainForm& form) : TShellServices(*form.area_, *form.statusBar(), &form), form_(form) {}

  TSaveOutcome SaveImageWindow(TNewImgForm& window) override {
    Windows().ActivateImageWindow(&window);
    if (GetActiveImgForm() != &window) return soSaveCancelled;
    return form_.files_->Save();
  }
  // A tool that paints with the right button leaves the image no pop-up; the layer
  // tool has the layer's; an open transform frame has its own.
  QMenu* ImagePopupMenu() override {
    if (form_.distortion_ && form_.distortion_->IsOpen()) return form_.commands_->Menu("PopTortion");
    if (ShellLock() || (form_.palette_ && !form_.palette_->ImagePopupAllowed())) return nullptr;
    const bool layer = form_.palette_ && form_.palette_->IsLayerToolActive();
    return form_.commands_->Menu(layer ? "PopCalque" : "PopImg");
  }
  QMenu* SelectionPopupMenu() override {
    if (ShellLock() || (form_.palette_ && !form_.palette_->ImagePopupAllowed())) return nullptr;
    return form_.commands_->Menu("PopSel");
  }
  // A middle click on a document puts the zoom box on its first entry, the fit to the
  // window, and applies it.
  void MiddleButtonPressed(TNewImgForm&) override {
    if (!form_.views_ || !form_.settings_.MiddleClickZoom || !GetActiveImgForm()) return;
    form_.views_->ZoomBox().setCurrentIndex(0);
    form_.views_->ApplyZoomChoice();
    form_.UpdateCommandStates();
  }
  void LayersChanged(TNewImgForm&) override { form_.UpdateCommandStates(); }
  TDialogPreferences DialogPreferences() const override {
    return {form_.settings_.ImageUnit, form_.settings_.PrintUnit, form_.settings_.PreserveFileDate,
            form_.settings_.PreserveExif};
  }
  void ActiveLayerChanged(TNewImgForm&) override { form_.UpdateCommandStates(); }
  void WindowActivating(TNewImgForm&) override { form_.UpdateCommandStates(); }
  void WindowActivated(TNewImgForm& window) override {
    TShellServices::WindowActivated(window);
    if (form_.palette_) form_.palette_->RefreshImageMode();
  }
  // A double click on a layer (the layer tool on an unlocked upper layer, or its row
  // of the strip) and on a selection shape run the commands of the menus: nothing
  // happens where the menu's item is disabled.
  void OpenLayerOptions(TNewImgForm&) override { form_.commands_->Trigger("MenuCalqueOptions"); }
  void OpenSelectionGuides(TNewImgForm&) override { form_.commands_->Trigger("MenuSelReperes"); }
  void ShapeDrawn(TNewImgForm& window, const TRect& r, TSelectionOption option) override {
    TShellServices::ShapeDrawn(window, r, option);
    if (option == soFinished || option == soCancelled) form_.UpdateCommandStates();
  }

 private:
  TMainForm& form_;
};

// What the full-screen view shows: the active document.
class TMainForm::TFullScreenLink : public TFullScreenHost {
 public:
  explicit TFullScreenLink(TMainForm& form) : form_(form) {}
  TLayeredImage* FullScreenImage() override {
    TNewImgForm* w = form_.services_->GetActiveImgForm();
    return w ? &w->Image() : nullptr;
  }
  std::string FullScreenFileName() override { return form_.services_->GetActiveFileName(); }
  // Walking through the folder is the Tools menu's navigation, for a document that
  // has a file.
  bool CanNavigateFolder() override {
    const TNewImgForm* w = form_.services_->GetActiveImgForm();
    return w && !w->IsNew;
  }
  void NavigateFolder(TSiblingFile which) override {
    static constexpr const char* kCommands[4] = {"MenuNaviguerPremier", "MenuNaviguerPrecedent",
                                                 "MenuNaviguerSuivant", "MenuNaviguerDernier"};
    form_.commands_->Trigger(kCommands[std::clamp(int(which), 0, 3)]);
  }
  bool SmoothDisplay() override { return form_.settings_.AdvancedDisplay; }

 private:
  TMainForm& form_;
};

// --- Creation ------------------------------------------------------------------------------------

TMainForm::TMainForm() : TMainForm(TStartOptions{}) {}

TMainForm::TMainForm(TStartOptions options) : options_(std::move(options)) {
  // 1-3: the caption, the settings file, the random generator.
  setWindowTitle(QString::fromUtf8(kAppTitle));
  const QTime now = QTime::currentTime();
  RandSeed(uint32_t(((now.hour() * 60 + now.minute()) * 60 + now.second()) * 1000 + now.msec()));
  ini_.Load(SettingsFilePath());
  // 4: a single instance hands the files to the one running, and this start ends.
  if (!ReadRunMulti(ini_) && options_.HandOver && options_.HandOver(options_.Files)) {
    handedOver_ = true;
    return;
  }
  // 6: the user folders.
  EnsureUserFolders();
  auto folderOr = [](TUserFolder f, const std::string& fallback) {
    const std::string path = UserFolder(f);
    return FolderExists(path) ? path : fallback;
  };
  selectionsFolder_ = folderOr(TUserFolder::Selections, DataFolder());
  masksFolder_ = folderOr(TUserFolder::Masks, DataFolder());
  patternsFolder_ = folderOr(TUserFolder::Patterns, DataFolder());
  pluginFolder_ = folderOr(TUserFolder::Plugins, {});
  // 7-11: the window, its services and commands; drops. Every control that shows no
  // text is named by its hint, in this window and in every one it opens.
  InstallHintNames();
  BuildWindow();
  setAcceptDrops(true);
  // 12-20: the settings, the translation, the locale's dates, the captions and hints,
  // the dialogs' titles, the message box.
  ReadSettings();
  // Every text the windows made so far take from the table (the menus, the tool bars'
  // hints, the file dialogs' titles among them) set again once a module filled it.
  SetTexts(this, [this] {
    commands_->UpdateCaptions();
    SetMainToolButtonHints(*commands_);
    services_->FileSettings.OpenDialogTitle = CleanRowCaption("MenuFichierOuvrir");
    services_->FileSettings.SaveDialogTitle = CleanRowCaption("MenuFichierEnregistrerSous");
  });
  if (options_.LoadTranslation) SetTranslationLoaded(options_.LoadTranslation());
  ApplyLocale();
  ApplyTextsToEveryWindow();
  MsgDlgOptions().MinClientWidth = kMessageBoxWidth;
  // The forms made once (the dialogs, the Preferences) see-through when asked.
  if (settings_.AlphaBlendForm)
    SetFormCreationHook([](QWidget* form) { form->setWindowOpacity(kTranslucentAlpha / 255.0); });
  // 21: no plug-in is loaded: their bar stays hidden.
  commands_->ToolBar("ToolBar4")->hide();
  // 22: the menus' own look, when the settings ask for it.
  if (settings_.XPMenu) {
    InstallOwnerDrawMainMenu(commands_->MenuBar(), true);
    for (const char* popup : {"PopForm", "PopImg", "PopSel", "PopTortion", "PopCalque", "PopZoom"})
      if (QMenu* menu = commands_->Menu(popup)) InstallOwnerDrawMenu(menu);
  }
  // 24-26: the Window menu lists the documents; the commands and the status bar.
  services_->Windows().SetWindowMenu(commands_->Menu("MenuFenetre"));
  services_->Operations().ClearRepeatableCommand();
  WireCommands();
  // The plug-ins found in their folders, when the settings ask for them; their menus
  // show as they get entries.
  const std::string exeFolder = QCoreApplication::applicationDirPath().toStdString();
  const std::vector<std::string> pluginFolders = {exeFolder + "/Plugins",
                                                  FolderOf(exeFolder) + "/lib/quillomatic/Plugins", pluginFolder_};
  HidePluginMenus(*commands_);
  if (options_.Plugins) AttachPlugins(options_.Plugins(*services_, PluginSetup(pluginFolders)));
  // The tool bars' shaded and grey glyphs of the advanced display.
  if (settings_.AdvancedDisplay)
    for (const char* bar : {"ToolBar1", "ToolBar2", "ToolBar3", "ToolBar4"}) ShadeToolBarGlyphs(commands_->ToolBar(bar));
  InstallCommandHooks();
  UpdateCommandStates();
  services_->UpdateStatusBar();
  // 27-29: the work area's background, the clipboard, the application's keys.
  PrepareBackground();
  WatchClipboard(ClipboardData(), this);
  if (QClipboard* cb = QGuiApplication::clipboard())
    connect(cb, &QClipboard::dataChanged, this, [this] { ClipboardChanged(); });
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) ClipboardChanged();
  });
  ClipboardChanged();
  qApp->installEventFilter(this);
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
    if (!CommitSession(manager.allowsInteraction())) manager.cancel();
    manager.release();
  });
  // 30-31: the layer model's hooks; the RAW module, looked for in the plug-in folders
  // only.
  InstallLayerHooks();
  SetRawPluginPath(FindRawModule(pluginFolders));
  RegisterRawFormats();
  // 32: the file types, registered with the desktop at every start.
  if (options_.RegisterFileTypes) options_.RegisterFileTypes(ini_);
  // The tool palette, then the first paint of the work area shows it and opens the
  // command line's files.
  BuildPalette();
  area_->viewport()->installEventFilter(this);
  if (!settings_.PositionSaved) PlaceForFirstStart();
}

void TMainForm::PlaceForFirstStart() {
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect free = screen->availableGeometry();
  // The width every row of the top tool bars asks for (a break starts a row).
  int bars = 0, row = 0;
  for (QToolBar* bar : findChildren<QToolBar*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (bar->isHidden() || toolBarArea(bar) != Qt::TopToolBarArea) continue;
    if (toolBarBreak(bar)) row = 0;
    row += bar->sizeHint().width();
    bars = std::max(bars, row);
  }
  const int width = std::min(free.width(), std::max(bars + kFirstStartSlack, free.width() * kFirstStartShare / 100));
  const QSize size(width, free.height() * kFirstStartShare / 100);
  setGeometry(QRect(free.center() - QPoint(size.width() / 2, size.height() / 2), size));
}

void TMainForm::BuildPalette() {
  palette_ = new TOutilsForm(*this, *services_, *commands_, settings_);
  TShellServices::THooks& h = services_->Hooks;
  h.FlushPaletteEdits = [this] { return palette_->FlushPaletteEdits(); };
  h.PaletteWindow = [this]() -> QWidget* { return palette_; };
  h.SelectPaletteSelectionTool = [this] { palette_->SelectTool(TTool::Selection); };
  h.SelectPaletteTool = [this](int number) { palette_->SelectTool(number); };
  h.ResetSelectionMode = [this] { selection_->ResetSelectionMode(); };
  h.ForegroundColor = [this] { return palette_->GetPaletteColor(false); };
  h.BackgroundColor = [this] { return palette_->GetPaletteColor(true); };
  h.IsLayerToolActive = [this] { return palette_->IsLayerToolActive(); };
  h.ActiveTool = [this] { return palette_->ActiveTool(); };
  h.RefreshImageMode = [this] { palette_->RefreshImageMode(); };
  h.RefreshImageCursor = [this] { palette_->RefreshImageCursor(); };
  // A line drawn with the line tool, and a shape drawn while the palette's outline or
  // fill is ticked, go into the layer; the selection page's shapes and the tool keys go
  // through the selection commands.
  selection_->Hooks.SelectPaletteTool = [this](int tool) { palette_->SelectTool(tool); };
  selection_->Hooks.DrawWithShapeTool = [this](TNewImgForm& w, const TRect& r) {
    return palette_->DrawWithShapeTool(w, r);
  };
  selection_->Hooks.DrawLine = [this](TNewImgForm& w, const TRect& line) { palette_->DrawLineTool(w, line); };
  // the palette's lasso draws free-hand, its polygon vertex by vertex
  palette_->Hooks.SelectSelectionTool = [this](TMyShape kind, bool freehand) {
    selection_->SelectSelectionTool(kind, kind == ssPolygon && !freehand, 0);
  };
  palette_->Hooks.ResetSelectionMode = [this] { selection_->ResetSelectionMode(); };
  commands_->SetHandler("MenuAffichageOutils", [this](const TCommandSender& sender) {
    if (!services_->CanRunCommand(sender.Action)) return;
    if (palette_->IsToolPaletteShown()) palette_->HidePalette();
    else palette_->ShowPalette();
  });
  palette_->UpdateToolButtonStates();
  connect(palette_, &QDockWidget::topLevelChanged, this, [this] { FollowPaletteSide(); });
  connect(palette_, &QDockWidget::dockLocationChanged, this, [this] { FollowPaletteSide(); });
  FollowPaletteSide();
}

void TMainForm::FollowPaletteSide() {
  // the browser's buttons and the plug-ins' bar go to the side the palette leaves free
  const bool left = palette_->GetPaletteAlignment() == 1;
  if (browser_) browser_->AlignBrowserToolbar(left);
  QToolBar* plugins = commands_->ToolBar("ToolBar4");
  const bool shown = !plugins->isHidden();
  addToolBar(left ? Qt::RightToolBarArea : Qt::LeftToolBarArea, plugins);
  plugins->setVisible(shown);
}

void TMainForm::BuildWindow() {
  column_ = new QWidget(this);
  auto* layout = new QVBoxLayout(column_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  area_ = new QMdiArea(column_);
  area_->setObjectName(QStringLiteral("MDIClient"));
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  layout->addWidget(area_, 1);
  setCentralWidget(column_);
  services_ = std::make_unique<TMainServices>(*this);
  commands_ = new TCommandSet(this);
  setMenuBar(commands_->MenuBar());
  for (const char* bar : {"ToolBar1", "ToolBar2"}) addToolBar(commands_->ToolBar(bar));
  addToolBarBreak();
  addToolBar(commands_->ToolBar("ToolBar3"));
  addToolBar(commands_->ToolBar("ToolBar4"));
  files_ = std::make_unique<TFileCommands>(*services_, settings_, recent_);
  files_->MasksFolder = masksFolder_;
  files_->PatternsFolder = patternsFolder_;
  files_->FirstSaved = [this] {
    if (browser_ && browser_->isVisible()) browser_->UpdateBrowserToolButtons(false);
  };
  views_ = std::make_unique<TViewCommands>(*this, *services_, *commands_, settings_);
  distortion_ = std::make_unique<TDistortionFrame>(*services_, this);
  documentServices_ = std::make_unique<TSettingsDocumentServices>(settings_);
  SetDocumentServices(documentServices_.get());
  InstallServiceHooks();
}

void TMainForm::ReadSettings() {
  settings_ = ReadShellSettings(ini_, SystemSettingsEnvironment(GetFormatCount(), false));
  recent_.Assign(settings_.RecentFiles);
  const TRect& r = settings_.MainBounds;
  setGeometry(r.Left, r.Top, r.Width(), r.Height());
  if (settings_.Maximize) setWindowState(windowState() | Qt::WindowMaximized);
  services_->JpegQuality = settings_.JpgCompression;
  services_->KeepExifSetting = settings_.PreserveExif;
  services_->FileSettings.OpenPreviewChecked = settings_.Preview;
  services_->FileSettings.ReadAhead = options_.ReadAhead;
  commands_->ToolBar("ToolBar3")->setVisible(settings_.FilterBar);
  if (QAction* a = commands_->Action("MenuAffichageBarreFiltres")) a->setChecked(settings_.FilterBar);
  if (QAction* a = commands_->Action("MenuAffichageMaximiser")) a->setChecked(settings_.MaximizeImgWin);
  if (QAction* a = commands_->Action("MenuCadreOmbre")) a->setChecked(settings_.BorderShadow);
  if (QAction* a = commands_->Action("MenuSelReperes")) a->setChecked(settings_.BoundingBox);
  static const char* const thumbs[3] = {"MenuAffichageMiniature1", "MenuAffichageMiniature2", "MenuAffichageMiniature3"};
  if (QAction* a = commands_->Action(thumbs[settings_.ThumbSize])) a->setChecked(true);
}

void TMainForm::WriteSettings() {
  settings_.Maximize = isMaximized();
  const QRect g = settings_.Maximize ? normalGeometry() : geometry();
  settings_.MainBounds = TRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
  settings_.RecentFiles = recent_.Names();
  settings_.Preview = services_->FileSettings.OpenPreviewChecked;
  if (browser_) browser_->WriteSettings();
  palette_->StoreSettings();
  SaveShellSettings(ini_, settings_);  // a failure loses this run's settings, silently
}

void TMainForm::InstallServiceHooks() {
  TShellServices::THooks& h = services_->Hooks;
  h.ForegroundColor = [this] { return settings_.Color1; };
  h.BackgroundColor = [this] { return settings_.Color2; };
  h.BrowserWindow = [this]() -> QWidget* { return browser_.data(); };
  h.IsBrowserScanning = [this] { return browser_ && browser_->IsBrowserLoading(); };
  h.UpdateCommandStates = [this] { UpdateCommandStates(); };
  h.EnableSelectionButton = [this](bool) { UpdateCommandStates(); };
  h.MaximiseNewWindows = [this] { return settings_.MaximizeImgWin; };
  h.ReapplyZoom = [](TNewImgForm& w) { w.FitWindowToImage(w.FitToWindow, false); };
  h.ViewSettings = [this] {
    TDocumentViewSettings v;
    v.BorderShadow = settings_.BorderShadow;
    v.GridWidth = settings_.GridCellSize;
    v.GridColor = settings_.ColorGrid;
    v.SelectionBoundsHitTest = settings_.BoundingBox;
    v.LayerStripSize = kStripSizes[std::clamp(settings_.ThumbSize, 0, 2)];
    return v;
  };
  h.FileRenamed = [this](const std::string& from, const std::string& to) {
    recent_.Rename(from, to);
    if (browser_) browser_->RenameBrowserFileItem(from, to);
  };
  h.FileRemoved = [this](const std::string& name) {
    recent_.Remove(name);
    if (browser_) browser_->RemoveBrowserFileItem(name);
  };
  h.SettingsFile = [this] { return &ini_; };
  h.LastUsedFolder = [this] { return settings_.OpenDir; };
  h.SaveFolder = [this] { return settings_.SaveDir; };
  h.PrepareExportBitmap = [this](const TFileSender& sender, const std::string&) {
    files_->PrepareExportBitmap(sender);
  };
  // The writers' options asked at a save: the JPEG quality over a preview of the saved
  // document, the shell held while it is asked; the PNG and GIF options.
  h.AskJpegOptions = [this](const std::string& fileName, TJpegWriteOptions& options, bool& keepExif) {
    return ExecuteJpegCompressDialog(this, services_->GetActiveImgForm(), fileName, options, keepExif,
                                     [this](QWidget* shown) { services_->SetShellLock(shown); });
  };
  h.AskPngOptions = [this](const std::string& fileName, TPngWriteOptions& options) {
    return ExecutePngCompressDialog(this, fileName, options);
  };
  h.AskGifOptions = [this](const std::string& fileName, TGifWriteOptions& options) {
    return ExecuteGifCompressDialog(this, fileName, options);
  };
}

void TMainForm::InstallLayerHooks() {
  InstallTextLayerHooks();
  LayerDisplayName = [](const TLayerItem&, std::string& name) {
    name = StandardLayerDisplayName(name, Tr(TextId::GetTrLblLayerBkg), Tr(TextId::GetTrFmtLayerName));
  };
  // A textured text reads its picture with every reader of the program, silently.
  LoadTexturePicture = [](const std::string& fileName, TBitmap& picture) {
    TLoadResult r = LoadPicture(fileName, TLoadRequest{});
    if (r.Result != frDone) return false;
    picture = std::move(r.Bitmap);
    return true;
  };
}

void TMainForm::PrepareBackground() {
  const QColor workspace = palette().color(QPalette::Dark);
  if (!settings_.BkgTexture) {
    area_->setBackground(workspace);
    return;
  }
  // A grain of light and dark specks, pressed into the workspace colour and softened:
  // the tile repeats without a visible seam because the specks are independent.
  const TColor base = QRgbToColor(workspace.rgb());
  TBitmap tile(kTextureWidth, kTextureHeight, pf24bit, base);
  TBitmap grain(kTextureWidth, kTextureHeight, pf24bit, RGB(128, 128, 128));
  const uint32_t seed = GetRandSeed();
  RandSeed(0x51ED);
  for (int y = 0; y < kTextureHeight; ++y)
    for (int x = 0; x < kTextureWidth; ++x) {
      const int r = Random(8);
      if (r < 2) grain.SetPixel(x, y, r == 0 ? clBlack : clWhite);
    }
  RandSeed(seed);
  const TRect all{0, 0, kTextureWidth, kTextureHeight};
  ApplyTexturePattern(grain, tile, all, kTextureRelief);
  ApplyConvolutionPresetInPlace(tile, kTextureSoftening, all);
  area_->setBackground(QBrush(QPixmap::fromImage(BitmapAsQImage(tile).copy())));
}

TMainForm::~TMainForm() {
  if (handedOver_) return;  // nothing else was made, and the settings stay as they are
  qApp->removeEventFilter(this);
  SetFormCreationHook({});
  WriteSettings();
  // The browser and the documents go while what they call back is still there.
  delete fullScreen_.data();
  distortion_.reset();
  views_.reset();
  delete browser_.data();
  services_->Hooks = {};
  delete palette_;
  palette_ = nullptr;
  services_.reset();
  pluginHost_.reset();
  files_.reset();
  SetDocumentServices(nullptr);
}

// --- First paint, drops, keys, closing -------------------------------------------------------------

void TMainForm::FirstPaint() {
  if (settings_.ToolsPalette) {
    palette_->ShowPalette();
    repaint();
  }
  if (!options_.Files.empty()) {
    repaint();
    files_->OpenFiles(options_.Files);
  }
  // what was read ahead and not opened keeps no memory
  services_->FileSettings.ReadAhead = nullptr;
  if (options_.ReadAhead) options_.ReadAhead->Drop();
  firstPaintDone_ = true;
  if (OnFirstPaint) OnFirstPaint();
}

void TMainForm::OpenDroppedFiles(const std::vector<std::string>& files) {
  if (!services_->CanRunCommand(commands_->Action("BtnOuvrir"))) return;
  files_->OpenFiles(files);
}

void TMainForm::ReceiveHandedOverFiles(const std::vector<std::string>& files) {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (!files.empty()) OpenDroppedFiles(files);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* e) {
  if (!DroppedFiles(e->mimeData()).empty()) e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e) {
  const std::vector<std::string> files = DroppedFiles(e->mimeData());
  if (files.empty()) return;
  e->acceptProposedAction();
  OpenDroppedFiles(files);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* e) {
  switch (e->type()) {
    case QEvent::Paint:
      // (this filter is the application's too: it sees every paint)
      if (!firstPaintQueued_ && area_ && watched == area_->viewport()) {
        firstPaintQueued_ = true;
        area_->viewport()->removeEventFilter(this);
        QMetaObject::invokeMethod(this, [this] { FirstPaint(); }, Qt::QueuedConnection);
      }
      break;
    case QEvent::KeyPress:
      if (!QApplication::activeModalWidget() && (BatchKey() || ApplicationKey(static_cast<QKeyEvent*>(e)))) return true;
      break;
    case QEvent::MouseButtonPress:
      // The work area's free part: typed values put in force; its pop-up on a right
      // click while no dialog holds the shell.
      if (area_ && watched == area_->viewport()) {
        services_->FlushPaletteEdits();
        const auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() == Qt::RightButton && !services_->ShellLock())
          commands_->Menu("PopForm")->popup(m->globalPosition().toPoint());
      }
      break;
    case QEvent::Wheel:
      if (views_ && views_->Wheel(watched, static_cast<QWheelEvent*>(e))) return true;
      break;
    case QEvent::Quit:
      // The application is told to end (its last window closed, the session's end):
      // it ends now. Left to Qt, a quit asks every window to close, and a document with
      // unsaved changes would ask again what its close was already told.
      if (watched == qApp) {
        QCoreApplication::exit(0);
        return true;
      }
      break;
    case QEvent::ShortcutOverride:
      // While a batch runs a shortcut is a key like any other: it asks for the abort.
      if (!QApplication::activeModalWidget() && IsBatchRunning()) {
        e->accept();
        return true;
      }
      // A key an edit takes as it is (Home, End, the page keys, F2, Delete...) goes to
      // the focused edit, never to the window's shortcut of the same key.
      if (IsTextEntry(watched)) {
        const auto* k = static_cast<QKeyEvent*>(e);
        if (!(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
          e->accept();
          return true;
        }
      }
      break;
    case QEvent::Shortcut:
      // A menu shortcut is honoured only when a tool action may start.
      if (qobject_cast<QAction*>(watched) && watched->parent() == commands_ && !services_->CanStartToolAction())
        return true;
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, e);
}

bool TMainForm::ApplicationKey(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Escape:
      if (browser_ && browser_->IsBrowserLoading()) {
        browser_->StopBrowserLoading();
        return true;
      }
      return false;
    case Qt::Key_F5:
      if (!browser_ || !browser_->isVisible()) {
        if (!commands_->Trigger("MenuExplore")) return true;
        QCoreApplication::processEvents();
      }
      if (browser_) browser_->RefreshBrowser();
      return true;
    default:
      return false;
  }
}

bool TMainForm::IsBatchRunning() const { return devices_.IsBatchRunning && devices_.IsBatchRunning(); }

bool TMainForm::BatchKey() {
  if (!IsBatchRunning()) return false;
  if (devices_.AbortBatch) devices_.AbortBatch();
  return true;
}

bool TMainForm::CommitSession(bool mayAsk) {
  if (!mayAsk) return true;
  if (IsBatchRunning()) {
    ShowMessageDialog(Tr(TextId::GetTrDlgBatch3), mtWarning, mbOK);
    return false;
  }
  const std::vector<TNewImgForm*> windows = services_->Windows().Windows();
  for (TNewImgForm* w : windows)
    if (!w->CloseQuery()) return false;
  return true;
}

void TMainForm::closeEvent(QCloseEvent* e) {
  if (IsBatchRunning()) {
    ShowMessageDialog(Tr(TextId::GetTrDlgBatch3), mtWarning, mbOK);
    e->ignore();
    return;
  }
  // Each document asks about its own changes; one that stays keeps the editor open.
  const std::vector<TNewImgForm*> windows = services_->Windows().Windows();
  for (TNewImgForm* w : windows)
    if (!w->CloseQuery()) {
      e->ignore();
      return;
    }
  e->accept();
}

// --- Commands -----------------------------------------------------------------------------------------

void TMainForm::WireCommand(std::string_view name, std::function<void(const TCommandSender&)> run) {
  commands_->SetHandler(name, [this, run = std::move(run)](const TCommandSender& sender) {
    if (services_->CanRunCommand(sender.Action)) run(sender);
  });
}

void TMainForm::WireCommands() {
  WireCommand("MenuFichierOuvrir", [this](const TCommandSender&) { files_->OpenWithDialog(); });
  commands_->SetSharedHandler("MenuFichierNClick", [this](const TCommandSender& sender) {
    if (!services_->CanRunCommand(sender.Action) || sender.Tag() >= recent_.Count()) return;
    files_->OpenImageFile(recent_.Names()[size_t(sender.Tag())], true, true);
  });
  connect(commands_->Menu("MenuFichierRecents"), &QMenu::aboutToShow, this, [this] { UpdateRecentMenu(); });
  UpdateRecentMenu();
  WireCommand("MenuFichierEnregistrer", [this](const TCommandSender&) { files_->Save(); });
  WireCommand("MenuFichierEnregistrerSous", [this](const TCommandSender&) { files_->SaveAs(); });
  commands_->SetSharedHandler("MenuEnregistrerDansClick", [this](const TCommandSender& sender) {
    if (services_->CanRunCommand(sender.Action)) files_->SaveInto(TSaveIntoFolder(sender.Tag()));
  });
  WireCommand("MenuFichierRetablir", [this](const TCommandSender&) { files_->Revert(); });
  commands_->SetHandler("MenuFichierFermer", [this](const TCommandSender&) {
    services_->CloseImageWindow(services_->GetActiveImgForm(), false);
  });
  commands_->SetHandler("MenuFichierFermerTout", [this](const TCommandSender&) { files_->CloseAll(); });
  commands_->SetHandler("MenuFichierQuiter", [this](const TCommandSender&) { close(); });
  commands_->SetHandler("MenuFichierInfos", [this](const TCommandSender& sender) {
    files_->ShowImageInfo(TShellServices::GetMenuItemCaption(sender.Action));
  });
  commands_->SetHandler("MenuEditionUndo", [this](const TCommandSender& s) { services_->UndoCommand(s.Action); });
  commands_->SetHandler("MenuEditionRedo", [this](const TCommandSender& s) { services_->RedoCommand(s.Action); });
  WireCommand("MenuFiltreRepeter", [this](const TCommandSender&) {
    services_->Operations().RepeatLastCommand();
    UpdateCommandStates();
  });
  WireCommand("MenuExplore", [this](const TCommandSender&) { ToggleBrowser(); });
  WireCommand("MenuParams", [this](const TCommandSender&) {
    // a see-through dialog shows the documents as they are
    if (settings_.AlphaBlendForm) services_->Windows().RefreshAllImageWindows();
    Preferences()->Execute();
  });
  // The devices the program's start offers (batch, wallpaper, scanning, printing).
  if (options_.Devices) devices_ = options_.Devices(*services_);
  tools_ = std::make_unique<TToolsCommands>(*services_, *commands_, *files_, this);
  tools_->Wire(devices_);
  scannerPresent_ = devices_.TwainPresent && devices_.TwainPresent();
  if (devices_.Print) {
    printerPresent_ = devices_.PrinterPresent && devices_.PrinterPresent();
    WireCommand("MenuFichierImprimer", [this](const TCommandSender&) { devices_.Print(); });
  }
  // The Filter, Adjustment and Selection menus.
  RegisterFilterCommands(*commands_, *services_);
  RegisterAdjustCommands(*commands_, *services_);
  selection_ = new TSelectionCommands(*commands_, *services_);
  TDocumentCommandHooks documentHooks;
  documentHooks.SelectPaletteTool = [this](int tool) {
    if (selection_->Hooks.SelectPaletteTool) selection_->Hooks.SelectPaletteTool(tool);
  };
  documentHooks.ThumbnailSizeChanged = [this](int size) { settings_.ThumbSize = size >= 120 ? 2 : size > 0 ? 1 : 0; };
  documentHooks.OpenFolder = [this] { return settings_.OpenDir; };
  RegisterDocumentCommands(*commands_, *services_, *selection_, options_.Dialogs, std::move(documentHooks));
  // Every dialog command whose dialog the launcher knows, from every menu.
  if (options_.Dialogs) AttachDialogCommands(*commands_, *services_, *options_.Dialogs);
  if (QAction* frame = commands_->Action("MenuSelReperes"))
    connect(frame, &QAction::toggled, this, [this](bool on) { settings_.BoundingBox = on; });
  // The View, Window and Help commands, and the free transform of a layer.
  views_->Hooks.UpdateCommandStates = [this] { UpdateCommandStates(); };
  views_->Hooks.ShownBrowser = [this]() -> QWidget* { return browser_ && browser_->isVisible() ? browser_.data() : nullptr; };
  views_->Hooks.DistortionFrameOpen = [this] { return distortion_->IsOpen(); };
  views_->Hooks.DistortionFrameMoved = [this] { distortion_->ViewMoved(); };
  views_->Hooks.ShowFullScreen = [this] { ShowFullScreen(); };
  services_->Hooks.IsDistortionFrameOpen = [this] { return distortion_->IsOpen(); };
  distortion_->Popup = commands_->Menu("PopTortion");
  distortion_->OnClosedOrOpened = [this] { UpdateCommandStates(); };
  commands_->SetHandler("PopDistorsionValider", [this](const TCommandSender&) { distortion_->Apply(); });
  commands_->SetHandler("PopDistorsionAnnuler", [this](const TCommandSender&) { distortion_->Cancel(); });
  // Scale or distort the active layer with the frame's handles (the frame hides the
  // selection and holds the shell while it is open).
  commands_->SetSharedHandler("MenuCalqueTransformClick", [this](const TCommandSender& s) {
    if (!services_->CanRunCommand(s.Action)) return;
    if (selection_->Hooks.SelectPaletteTool) selection_->Hooks.SelectPaletteTool(13);
    distortion_->Open(TLayerTransformMode(s.Tag() == 1 ? 1 : 0));
  });
  // Each top menu puts the palette's typed values in force, then shows the state as it
  // is now.
  for (const TCommandRow* row : CommandChildren("Menu"))
    if (row->Kind == TCommandKind::Menu)
      connect(commands_->Menu(row->Name), &QMenu::aboutToShow, this, [this, name = row->Name] {
        services_->FlushPaletteEdits();
        UpdateMenuDecorations();
        commands_->UpdateStates(name);
      });
  connect(commands_->Menu("PopZoom"), &QMenu::aboutToShow, this, [this] { services_->FlushPaletteEdits(); });
  // The rules read the state taken once per round of enabling.
  commands_->SetStateReader([this] { state_ = CommandState(); });
  commands_->SetRuleEvaluator([this](TCommandRule rule) { return CommandRuleHolds(rule, state_); });
}

void TMainForm::InstallCommandHooks() {
  // A command that throws ends its busy state, gives back the change it began and says
  // what failed; nothing reaches the event loop. What a command changed beside the
  // history marks its document modified. The menus follow every command.
  TCommandSet::THooks hooks;
  hooks.Starting = [this] { commandMarks_.push_back(services_->MarkHistory()); };
  hooks.Failed = [this](const std::exception_ptr& failure) {
    services_->RecoverFromFailure(commandMarks_.back(), failure);
  };
  hooks.Ran = [this] {
    services_->EndCommand(commandMarks_.back());
    commandMarks_.pop_back();
    UpdateCommandStates();
  };
  commands_->SetHooks(std::move(hooks));
}

TPluginSetup TMainForm::PluginSetup(const std::vector<std::string>& folders) const {
  TPluginSetup setup;
  if (settings_.LoadPlugins && !pluginFolder_.empty())
    for (const std::string& folder : folders)
      if (!folder.empty() && FolderExists(folder) &&
          std::find(setup.Folders.begin(), setup.Folders.end(), folder) == setup.Folders.end())
        setup.Folders.push_back(folder);
  setup.PluginFolder = pluginFolder_;
  setup.Folder8bf = settings_.Dir8bf;
  setup.SettingsFile = ini_.Path();
  setup.OpenFolder = [this] { return settings_.OpenDir; };
  setup.SaveFolder = [this] {
    return settings_.UniqueDir || settings_.SaveDir.empty() ? settings_.OpenDir : settings_.SaveDir;
  };
  return setup;
}

void TMainForm::AttachPlugins(std::unique_ptr<TPluginHost> host) {
  if (!host || pluginHost_) return;
  pluginHost_ = std::move(host);
  services_->Hooks.IsPluginLoaded = [this] { return pluginHost_->IsPluginLoaded(); };
  services_->Hooks.SendPluginPointClick = [this](TPoint p, int button) { pluginHost_->SendPluginPointClick(p, button); };
  services_->Hooks.SendPluginColorPick = [this](TColor c) { pluginHost_->SendPluginColorPick(c); };
  // The buttons' list is read only when there are plug-ins to make buttons for.
  if (!pluginHost_->Plugins().empty()) settings_.PluginButtons = ReadPluginButtons(ini_);
  pluginCommands_ = new TPluginCommands(*services_, *commands_, *pluginHost_);
  pluginCommands_->BuildMenus(settings_.PluginButtons, settings_.Mode8bf);
  QToolBar* bar = commands_->ToolBar("ToolBar4");
  // Without a button the View check is cleared, and so is the setting written back.
  if (pluginCommands_->ToolButtons().empty()) settings_.PluginsBar = false;
  bar->setVisible(settings_.PluginsBar);
  if (QAction* a = commands_->Action("MenuAffichageBarrePlugins")) a->setChecked(settings_.PluginsBar);
  commands_->SetHandler("MenuAffichageBarrePlugins", [this, bar](const TCommandSender& sender) {
    settings_.PluginsBar = !bar->isVisible();
    bar->setVisible(settings_.PluginsBar);
    sender.Action->setChecked(settings_.PluginsBar);
  });
  UpdateCommandStates();
}

TPrefForm* TMainForm::Preferences() {
  if (prefs_) return prefs_;
  TPrefContext c;
  c.Settings = &settings_;
  c.Ini = &ini_;
  for (int row = 0; row < GetFormatCount(); ++row) c.Formats.push_back(GetFormatFilterText(row, 1));
  if (pluginHost_) {
    for (const TPluginEntry& e : pluginHost_->Plugins()) c.Plugins.push_back(PluginCaption(e.NameText));
    c.Bridge8bf = pluginHost_->Is8bfModulePresent();
  }
  // Translucent windows need a compositing desktop: none where nothing is shown.
  const QString platform = QGuiApplication::platformName();
  c.TranslucentDialogs = platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
  c.ThemedMenus = true;  // the menus' own look is ours, on every desktop
  c.Applied = [this] {
    services_->JpegQuality = settings_.JpgCompression;
    services_->KeepExifSetting = settings_.PreserveExif;
    services_->Windows().ApplyViewSettingsToAll();
    palette_->SetPaletteAlignment(settings_.ToolsAlignment);
    // the fit-image dialog reads its limits from the file again at its next showing
    if (options_.Dialogs) options_.Dialogs->FreeDialog("TAdapterForm");
  };
  // The dialogs that show sizes in the image unit, or paper in the print unit, are made
  // again on their next showing.
  c.FreeImageUnitDialogs = [this] {
    if (options_.Dialogs)
      for (const char* form : {"TNewForm", "TRecadrerForm", "TRedimForm"}) options_.Dialogs->FreeDialog(form);
  };
  c.FreePrintDialog = [this] {
    if (devices_.FreePrintDialog) devices_.FreePrintDialog();
  };
  prefs_ = new TPrefForm(std::move(c), this);
  CallFormCreationHook(prefs_);
  return prefs_;
}

TCommandState TMainForm::CommandState() {
  TCommandState s = ReadCommandState(*services_);
  s.Printer = printerPresent_;
  s.Scanning = scannerPresent_;
  s.PasteImage = clipboardHasImage_;
  s.PasteLayer = clipboardHasImage_ && s.Doc && s.TC;
  s.MasksFolder = FolderExists(masksFolder_);
  s.PluginsAvailable = pluginHost_ && !pluginHost_->Plugins().empty();
  return s;
}

void TMainForm::UpdateCommandStates() {
  if (!commands_) return;
  state_ = CommandState();
  UpdateHistoryMenus();
  UpdateRecentMenu();
  if (QAction* repeat = commands_->Action("MenuFiltreRepeter"))
    repeat->setText(QString::fromStdString(services_->Operations().RepeatCaption()));
  UpdateMenuDecorations();
  if (views_) views_->SyncZoomCombo();
  commands_->UpdateStates();
  if (palette_) palette_->UpdateToolButtonStates();
  if (pluginCommands_) pluginCommands_->UpdatePluginStates();
}

void TMainForm::UpdateMenuDecorations() {
  const TCommandState& s = state_;
  auto setText = [this](std::string_view name, const std::string& text) {
    if (QAction* a = commands_->Action(name)) a->setText(QString::fromStdString(text));
  };
  auto setChecked = [this](std::string_view name, bool on) {
    if (QAction* a = commands_->Action(name)) a->setChecked(on);
  };
  // The fade names the step it fades.
  std::string fade = RowCaption("MenuAttenuer");
  const TUndoList* history = services_->GetActiveHistory();
  const TUndoLayerItem* step = history ? history->GetCurrentUndoStep() : nullptr;
  if (step && CommandRuleHolds(TCommandRule::Fade, s))
    fade = s.StepKind == ukFade ? step->Name + "..." : fade + " " + step->Name + "...";
  setText("MenuAttenuer", fade);
  setText("MenuSelSelection", RowCaption(s.SelV ? "PopSelMasquer" : "MenuSelSelection"));
  setText("PopSelRecadrer", RowCaption(s.Bg ? "PopSelRecadrer" : "MenuCalqueRecadrer"));
  // The colour mode: exactly one item checked with a document.
  setChecked("MenuModeIndex", s.Doc && !s.TC);
  setChecked("MenuModeRGB", s.Doc && s.TC && !s.Alpha);
  setChecked("MenuModeRGBA", s.Doc && s.Alpha);
  setChecked("MenuCadreOmbre", settings_.BorderShadow);
  setChecked("MenuAffichageMaximiser", settings_.MaximizeImgWin);
  TNewImgForm* w = services_->GetActiveImgForm();
  setChecked("MenuAfficherGrille", w && w->View().Grid().Show);
  setChecked("MenuAfficherMagnGrille", w && w->View().Grid().Align);
  if (QMenu* windows = commands_->Menu("MenuFenetre"))
    if (QAction* sep = windows->findChild<QAction*>(QStringLiteral("ImgSep"))) sep->setVisible(s.Doc);
}

void TMainForm::ShowFullScreen() {
  if (!services_->HasActiveImage()) return;
  if (!fullScreen_) {
    fullScreenLink_ = std::make_unique<TFullScreenLink>(*this);
    fullScreen_ = new TPeForm(*fullScreenLink_, nullptr);
    fullScreen_->setObjectName(QStringLiteral("PeForm"));
  }
  fullScreen_->ShowFullScreen();
}

void TMainForm::UpdateHistoryMenus() {
  const TUndoList* history = services_->GetActiveHistory();
  const TUndoLayerItem* current = history ? history->GetCurrentUndoStep() : nullptr;
  const TUndoLayerItem* next = history ? history->GetNextUndoStep() : nullptr;
  auto caption = [this](std::string_view item, std::string_view button, const TUndoLayerItem* step) {
    QAction* a = commands_->Action(item);
    if (!a) return;
    std::string text = RowCaption(item);
    if (step && !step->Name.empty()) text += " " + step->Name;
    a->setText(QString::fromStdString(text));
    if (QWidget* b = commands_->ToolBar("ToolBar1")->findChild<QToolButton*>(QString::fromLatin1(button.data()))) {
      b->setToolTip(QString::fromStdString(text));
      AppendShortcutText(b, a, {});
    }
  };
  caption("MenuEditionUndo", "BtnUndo", current);
  caption("MenuEditionRedo", "BtnRedo", next);
  commands_->UpdateStates("MenuEdition");
}

void TMainForm::UpdateRecentMenu() {
  for (int i = 0; i < TRecentFiles::kCapacity; ++i) {
    QAction* a = commands_->Action("MenuFichierRecent" + std::to_string(i + 1));
    if (!a) continue;
    a->setVisible(i < recent_.Count());
    if (i < recent_.Count()) a->setText(QString::fromStdString(recent_.Caption(i)));
  }
}

void TMainForm::ClipboardChanged() {
  clipboardHasImage_ = ClipboardHasImage();
  if (commands_) commands_->UpdateStates();
}

void TMainForm::ToggleBrowser() {
  if (!browser_) {
    browser_ = new TExplorForm(*this, column_);
    browser_->setObjectName(QStringLiteral("ExplorForm"));
    browser_->hide();
    static_cast<QVBoxLayout*>(column_->layout())->addWidget(browser_);
    browser_->AlignBrowserToolbar(palette_->GetPaletteAlignment() == 1);
  }
  if (browser_->IsBrowserLoading()) {
    browser_->StopBrowserLoading();
    return;
  }
  const bool show = !browser_->isVisible();
  browser_->setVisible(show);
  commands_->Action("MenuExplore")->setChecked(show);
  if (show) {
    if (!browser_->FolderLoaded()) {
      // the folder shown last while it exists, else the image's, else the open folder
      std::string folder = browser_->Folder();
      if (folder.empty() && !ActiveImageFile().empty()) folder = FolderOf(ActiveImageFile());
      if (folder.empty() || !FolderExists(folder)) folder = settings_.OpenDir;
      if (!folder.empty()) browser_->LoadBrowserFolder(folder);
    }
    services_->Windows().ArrangeImageWindowsAfterResize();
    services_->UpdateStatusBar();
  }
}

// --- TExplorHost ------------------------------------------------------------------------------------------

bool TMainForm::HasActiveImage() { return services_->HasActiveImage(); }

std::string TMainForm::ActiveImageFile() {
  TNewImgForm* w = services_->GetActiveImgForm();
  return w && !w->IsNew ? w->FileName() : std::string();
}

bool TMainForm::ActiveImageTrueColor() { return services_->HasActiveImage() && services_->IsActiveImageTrueColor(); }

bool TMainForm::IsFileOpen(const std::string& fileName) {
  return services_->Windows().FindImageWindowByFileName(fileName) != nullptr;
}

void TMainForm::OpenImageFile(const std::string& fileName) { files_->OpenImageFile(fileName, true, true); }

void TMainForm::SetPattern(TBitmap&& picture) {
  services_->LayerHost().SetFillPattern(std::move(picture));
  UpdateCommandStates();
}

void TMainForm::RunSheerlay(const std::string& maskFile) {
  const TDialogCommandRow* row = FindDialogCommand("MenuSheerlay");
  if (!row || !options_.Dialogs || !options_.Dialogs->HasDialog(row->Dialog)) return;
  TCommandSender sender{FindCommandRow(row->Name), {}, commands_->Action(row->Name)};
  TDialogRequest request;
  request.File = maskFile;
  RunDialogCommand(*services_, *options_.Dialogs, *row, sender, std::move(request));
  UpdateCommandStates();
}

bool TMainForm::FileAction(const std::string& title, const std::string& fileName, int action, std::string& newName) {
  return DoBrowserFileAction(*services_, title, fileName, TFileAction(action), newName);
}

void TMainForm::BeginBusy(const std::string& status) { services_->BeginBusy(status, false); }
void TMainForm::EndBusy() { services_->EndBusy(); }
void TMainForm::StatusText(const std::string& text) { services_->SetStatusText(text); }

}  // namespace qm
