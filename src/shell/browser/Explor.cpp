#include "shell/browser/Explor.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QGridLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "imagefiles/FileDispatch.h"
#include "imagefiles/FormatRegistry.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/PictureFiles.h"
#include "pixel/PixelFormat.h"
#include "pixel/Thumbnail.h"
#include "platform/core/Messages.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/AppPaths.h"
#include "platform/texts/DateFormat.h"
#include "platform/texts/Format.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/MsgDlg.h"
#include "shell/services/ShellOps.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kThumbSide = 64;
constexpr int kMaxItems = 1000;  // a scan ends after the item that passes it
constexpr int kIconSpacing = 84;
constexpr char kSection[] = "Explorer";
const QColor kFrameColor(0xFF, 0x99, 0x00);  // the selected item's frame (0x0099FF)

enum TMetadataBits : unsigned { mdExif = 1, mdIptc = 2, mdComment = 4 };

// The captions of the entries: the text table's when a translation gave one.
struct TActionRow {
  TExplorAction Action;
  const char* Name;
  TextId Text;
  const char* Caption;
};
const TActionRow kActionRows[] = {
    {TExplorAction::LoadSelection, "MenuExploreChargerForme", TextId::GetTrMnuLoadSelShape, "Charger cette forme"},
    {TExplorAction::Sheerlay, "MenuExploreSheerlay", TextId::GetTrMnuLoadSheerlay, "Lancer Sheerlay avec ce masque"},
    {TExplorAction::UsePattern, "MenuExploreUtiliserMotif", TextId::GetTrMnuDefinePattern, "Utiliser comme motif"},
    {TExplorAction::OpenNew, "MenuExploreOuvrirImage", TextId::GetTrMnuQuillomaticOpen,
     "Ouvrir en tant que nouvelle image"},
    {TExplorAction::ShellOpen, "MenuExploreShellOpen", TextId::GetTrMnuShellOpen, "Ouvrir avec le programme associé"},
    {TExplorAction::Rename, "MenuExploreRenommer", TextId::GetTrMnuRename, "Renommer l'image..."},
    {TExplorAction::Move, "MenuExploreDeplacer", TextId::GetTrMnuMoveTo, "Déplacer l'image vers..."},
    {TExplorAction::Copy, "MenuExploreCopier", TextId::GetTrMnuCopyTo, "Copier  l'image vers..."},
    {TExplorAction::Delete, "MenuExploreSupprimer", TextId::GetTrMnuDelete, "Supprimer l'image"},
    {TExplorAction::Properties, "MenuExploreProprietes", TextId::GetTrMnuImageProperties, "Propriétés de l'image"},
    {TExplorAction::Sort, "MenuExploreTrier", TextId::GetTrMnuSort, "Trier"},
    {TExplorAction::SubFolders, "MenuExploreSousDossiers", TextId::GetTrMnuSubFolders, "Inclure les sous-dossiers"},
    {TExplorAction::CustomFilter, "MenuExploreFiltre", TextId::GetTrMnuCustomFilter, "Filtre personnalisé..."},
    {TExplorAction::Refresh, "MenuExploreActualiser", TextId::GetTrMnuRefresh, "Actualiser"},
    {TExplorAction::Clear, "MenuExploreVider", TextId::GetTrMnuClearThumbs, "Vider la liste des miniatures"},
};

const TActionRow& RowOf(TExplorAction a) {
  for (const TActionRow& r : kActionRows)
    if (r.Action == a) return r;
  return kActionRows[0];
}
std::string CaptionOf(TExplorAction a) { return MenuCaptionOr(RowOf(a).Text, RowOf(a).Caption); }

// The folder entries: menu item, text, design caption, folder option bit, the tool
// button that opens it (the patterns folder's button is the one that swaps places).
struct TFolderRow {
  const char* Name;
  TextId Text;
  const char* Caption;
  unsigned Option;
  const char* Button;
};
const TFolderRow kFolderRows[] = {
    {"MenuExploreDir", TextId::GetTrMnuExpDir, "Un dossier...", efOpen, "BtnDir"},
    {"MenuExploreImage", TextId::GetTrMnuExpCurrentDir, "Le dossier de l'image en cours", efOpen, "BtnImg"},
    {"MenuExploreOuvrir", TextId::GetTrMnuExpOpeningDir, "Le dossier d'ouverture", efOpen, "BtnOuvrir"},
    {"MenuExploreSave", TextId::GetTrMnuExpSavingDir, "Le dossier d'enregistrement", efSave, "BtnSauve"},
    {"MenuExploreSel", TextId::GetTrMnuExpSelDir, "Le dossier des sélections", efSelections, "BtnSel"},
    {"MenuExploreMasque", TextId::GetTrMnuExpMaskDir, "Le dossier des masques", efMasks, "BtnMask"},
    {"MenuExploreMotif", TextId::GetTrMnuExpPatternDir, "Le dossier des motifs", efPatterns, "BtnPattern"},
};

std::string ExploreCaption() { return CaptionOr(TextId::GetTrMnuExplore, "Explorer"); }

// The folder buttons' hints, after the captions: "Explorer / " and the folder's item;
// the patterns folder's button names its folder and what it does with a picture. Set
// on the items the buttons show, so a button keeps its hint whatever state its item
// goes through.
void SetBrowserToolButtonHints(QMenu& explore) {
  for (const TFolderRow& f : kFolderRows) {
    QAction* a = explore.findChild<QAction*>(f.Name);
    if (!a) continue;
    const std::string folder = CleanMenuCaption(a->text().toStdString());
    a->setToolTip(Q(f.Option == efPatterns ? folder + " / " + CleanMenuCaption(CaptionOf(TExplorAction::UsePattern))
                                           : CleanMenuCaption(ExploreCaption()) + " / " + folder));
  }
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

std::string FormatFileDate(std::time_t t) {
  const std::string& picture = Tr(TextId::GetTrFmtFileDate);
  return FormatDateTime(picture.empty() ? std::string_view("c") : std::string_view(picture), LocalDateTime(t));
}

// The badges of a thumbnail's top-left corner: EXIF, IPTC, comment, one after the
// other from x = 3.
void DrawBadges(TBitmap& cell, unsigned metadata) {
  static const TColor kBadgeColors[] = {0xC06020, 0x30A040, 0x20B8E8};  // blue, green, amber
  constexpr int kSide = 7;
  int x = 3;
  for (int i = 0; i < 3; ++i) {
    if (!(metadata & (1u << i))) continue;
    for (int y = 3; y < 3 + kSide; ++y) {
      uint8_t* p = cell.ScanLine(y) + 3 * x;
      for (int dx = 0; dx < kSide; ++dx, p += 3) {
        const bool edge = y == 3 || y == 3 + kSide - 1 || dx == 0 || dx == kSide - 1;
        const TColor c = edge ? TColor(0x303030) : kBadgeColors[i];
        p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
      }
    }
    x += kSide + 2;
  }
}

// An item of the list: in scan order, or by caption when the list sorts.
class TExplorItem : public QListWidgetItem {
 public:
  TExplorItem(const QIcon& icon, const QString& caption, TImageData* data)
      : QListWidgetItem(icon, caption), Data(data) {}
  bool operator<(const QListWidgetItem& other) const override {
    const auto& o = static_cast<const TExplorItem&>(other);
    if (listWidget() && listWidget()->property("byCaption").toBool()) {
      const int c = text().compare(o.text(), Qt::CaseInsensitive);
      if (c != 0) return c < 0;
    }
    return Data->ImageIndex < o.Data->ImageIndex;
  }
  TImageData* Data;
};

// The selected item is drawn by the browser itself: its thumbnail 4 pixels smaller
// than the cell, in a 2-pixel frame, its caption underlined.
class TExplorDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!(option.state & QStyle::State_Selected)) return QStyledItemDelegate::paint(p, option, index);
    const QRect r = option.rect;
    const QRect frame(r.x() + (r.width() - kThumbSide) / 2, r.y() + 2, kThumbSide, kThumbSide);
    p->fillRect(frame, option.palette.color(QPalette::Base));
    p->setPen(QPen(kFrameColor, 2));
    p->drawRect(frame.adjusted(1, 1, -1, -1));
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    p->drawPixmap(frame.adjusted(2, 2, -2, -2), icon.pixmap(kThumbSide, kThumbSide));
    const QString caption = index.data(Qt::DisplayRole).toString();
    const QFontMetrics fm(option.font);
    const int w = fm.horizontalAdvance(caption), y = frame.bottom() + 3;
    const QRect text(r.x() + (r.width() - w) / 2, y, w, fm.height());
    p->setPen(option.palette.color(QPalette::Text));
    p->drawText(text, Qt::AlignCenter, caption);
    p->drawLine(text.left(), text.bottom() + 1, text.right(), text.bottom() + 1);
  }
};

}  // namespace

std::string TExplorHost::ChooseFolder(const std::string& title, const std::string& initial) {
  return BrowseForFolder(title, initial);
}

QString TExplorForm::ItemCaption(const std::string& fileName) {
  QString caption = Q(ExtractFileName(fileName));
  if (caption.size() >= 14) {
    const int dot = caption.lastIndexOf('.');
    if (dot > 0) caption.truncate(dot);
    if (caption.size() >= 14) caption = caption.left(12) + "...";
  }
  return caption;
}

TExplorForm::TExplorForm(TExplorHost& host, QWidget* parent, const TThumbnailCache* cache)
    : QFrame(parent), host_(host) {
  setObjectName("ExplorForm");
  setWindowTitle(Q(CaptionOr(TextId::GetTrMnuExplorer, "Explorateur d'images")));
  if (!cache) {
    ownCache_ = std::make_unique<TThumbnailCache>();
    cache = ownCache_.get();
  }
  pool_ = std::make_unique<TThumbnailPool>(0, cache);
  masks_ = GetImageMaskList();

  List = new QListWidget(this);
  List->setObjectName("ListView");
  List->setViewMode(QListView::IconMode);
  List->setFlow(QListView::LeftToRight);
  List->setWrapping(false);
  List->setMovement(QListView::Static);
  List->setResizeMode(QListView::Adjust);
  List->setUniformItemSizes(true);
  List->setIconSize(QSize(kThumbSide, kThumbSide));
  List->setGridSize(QSize(kIconSpacing, kThumbSide + List->fontMetrics().height() + 8));
  List->setSelectionMode(QAbstractItemView::SingleSelection);
  List->setContextMenuPolicy(Qt::CustomContextMenu);
  List->setItemDelegate(new TExplorDelegate(List));
  List->setSortingEnabled(true);
  List->setProperty("byCaption", sorted_);
  Progress = new QProgressBar(this);
  Progress->setObjectName("Progress");
  Progress->setMaximumHeight(List->fontMetrics().height());
  Progress->setTextVisible(false);
  Progress->hide();

  BuildMenu();
  BuildToolBar();
  auto* column = new QVBoxLayout;
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(List, 1);
  column->addWidget(Progress);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(ToolBar);
  row->addLayout(column, 1);
  setFixedHeight(style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 97);

  options_ = efOpen | efSelections | efMasks | efPatterns;
  if (!host_.UniqueDir()) options_ |= efSave;

  connect(List, &QListWidget::itemActivated, this, [this] { ActivateItem(); });
  connect(List, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    UpdateBrowserToolButtons(true);
    Popup->popup(List->viewport()->mapToGlobal(at));
  });
  UpdateBrowserToolButtons(true);
}

TExplorForm::~TExplorForm() {
  pool_.reset();  // no delivery may reach a form being destroyed
}

void TExplorForm::BuildMenu() {
  Popup = new QMenu(this);
  Popup->setObjectName("PopupMenu");
  QMenu* explore = Popup->addMenu(Q(ExploreCaption()));
  explore->setObjectName("MenuExplore");
  for (const TFolderRow& f : kFolderRows) {
    QAction* a = explore->addAction(Q(MenuCaptionOr(f.Text, f.Caption)));
    a->setObjectName(f.Name);
    const std::string name = f.Name;
    connect(a, &QAction::triggered, this, [this, name] {
      const bool choose = QApplication::keyboardModifiers() & Qt::ControlModifier;
      if (name == "MenuExploreDir") return ExploreFolder({}, true);
      if (name == "MenuExploreImage") return ExploreFolder(FolderOf(host_.ActiveImageFile()), choose);
      if (name == "MenuExploreOuvrir") return ExploreFolder(host_.OpenFolder(), choose);
      if (name == "MenuExploreSave")
        return ExploreFolder(host_.SaveFolder().empty() ? host_.OpenFolder() : host_.SaveFolder(), choose);
      if (name == "MenuExploreSel") return ExploreFolder(UserFolder(TUserFolder::Selections), choose);
      if (name == "MenuExploreMasque") return ExploreFolder(ListStartFolder(TUserFolder::Masks), choose);
      ExploreFolder(ListStartFolder(TUserFolder::Patterns), choose);
    });
  }
  Popup->addSeparator();
  for (const TActionRow& r : kActionRows) {
    if (r.Action == TExplorAction::ShellOpen || r.Action == TExplorAction::Rename ||
        r.Action == TExplorAction::Properties || r.Action == TExplorAction::Sort)
      Popup->addSeparator();
    QAction* a = Popup->addAction(Q(CaptionOf(r.Action)));
    a->setObjectName(r.Name);
    a->setCheckable(r.Action == TExplorAction::Sort || r.Action == TExplorAction::SubFolders);
    const TExplorAction action = r.Action;
    connect(a, &QAction::triggered, this, [this, action] { RunAction(action); });
    Actions[r.Action] = a;
  }
  connect(Popup, &QMenu::aboutToShow, this, [this] { UpdateBrowserToolButtons(true); });
}

void TExplorForm::BuildToolBar() {
  // A grid of small buttons: three rows fit the panel's height.
  ToolBar = new QWidget(this);
  ToolBar->setObjectName("ToolBar");
  auto* grid = new QGridLayout(ToolBar);
  grid->setContentsMargins(2, 2, 2, 2);
  grid->setSpacing(1);
  QMenu* explore = Popup->findChild<QMenu*>("MenuExplore");
  const QStyle::StandardPixmap glyphs[] = {QStyle::SP_DirIcon,           QStyle::SP_FileDialogContentsView,
                                           QStyle::SP_DialogOpenButton,  QStyle::SP_DialogSaveButton,
                                           QStyle::SP_FileDialogDetailedView, QStyle::SP_FileDialogListView};
  int i = 0;
  for (const TFolderRow& f : kFolderRows) {
    if (i == 6) break;  // the patterns folder has the button that swaps places
    QAction* a = explore->findChild<QAction*>(f.Name);
    a->setIcon(style()->standardIcon(glyphs[i]));
    auto* button = new QToolButton(ToolBar);
    button->setObjectName(f.Button);
    button->setDefaultAction(a);
    button->setAutoRaise(true);
    grid->addWidget(button, i % 3, i / 3);
    ++i;
  }
  BtnPattern = new QToolButton(ToolBar);
  BtnPattern->setObjectName("BtnPattern");
  BtnPattern->setAutoRaise(true);
  // the glyph on the item, as the other folders': a button takes its item's again at
  // every change of the item
  QAction* patterns = explore->findChild<QAction*>("MenuExploreMotif");
  patterns->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
  BtnPattern->setDefaultAction(patterns);
  SetBrowserToolButtonHints(*explore);
  BtnMenu = new QToolButton(ToolBar);
  BtnMenu->setObjectName("BtnMenu");
  BtnMenu->setAutoRaise(true);
  BtnMenu->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  BtnMenu->setMenu(Popup);
  BtnMenu->setPopupMode(QToolButton::InstantPopup);
  BtnMenu->setToolTip(Q(CaptionOr(TextId::GetTrMnuExplore, "Explorer") + " / " +
                        CaptionOr(TextId::GetTrMnuAction, "Action")));
  AlignBrowserToolbar(false);
}

void TExplorForm::AlignBrowserToolbar(bool paletteDockedLeft) {
  if (auto* row = qobject_cast<QHBoxLayout*>(layout())) {
    row->removeWidget(ToolBar);
    row->insertWidget(paletteDockedLeft ? 1 : 0, ToolBar);
  }
  // the button on the outer side opens the patterns folder, the inner one drops the
  // menu down
  auto* grid = static_cast<QGridLayout*>(ToolBar->layout());
  grid->removeWidget(BtnPattern);
  grid->removeWidget(BtnMenu);
  grid->addWidget(paletteDockedLeft ? BtnMenu : BtnPattern, 0, 2);
  grid->addWidget(paletteDockedLeft ? BtnPattern : BtnMenu, 1, 2);
}

bool TExplorForm::InFolder(const std::string& folder) const {
  return !folder_.empty() && Lower(folder_).rfind(Lower(AddTrailingBackslash(folder)), 0) == 0;
}

bool TExplorForm::InList(TUserFolder list) const {
  const std::vector<std::string> folders = ListFolders(list);
  return std::any_of(folders.begin(), folders.end(), [this](const std::string& f) { return InFolder(f); });
}

std::string TExplorForm::SelectedFile() const {
  const auto items = List->selectedItems();
  return items.isEmpty() ? std::string() : static_cast<TExplorItem*>(items.first())->Data->FileName;
}

const TImageData* TExplorForm::ItemData(int row) const {
  QListWidgetItem* item = List->item(row);
  return item ? static_cast<TExplorItem*>(item)->Data : nullptr;
}

bool TExplorForm::ActionVisible(TExplorAction action) const {
  switch (action) {
    case TExplorAction::LoadSelection:
      return host_.HasActiveImage() && InFolder(UserFolder(TUserFolder::Selections));
    case TExplorAction::Sheerlay:
      return host_.ActiveImageTrueColor() && InList(TUserFolder::Masks);
    case TExplorAction::UsePattern:
      return host_.ActiveImageTrueColor() && InList(TUserFolder::Patterns);
    default:
      return true;
  }
}

bool TExplorForm::ActionEnabled(TExplorAction action) const {
  switch (action) {
    case TExplorAction::Sort:
    case TExplorAction::SubFolders:
    case TExplorAction::CustomFilter:
      return true;
    case TExplorAction::Refresh:
      return folderLoaded_ && !folder_.empty();
    case TExplorAction::Clear:
      return List->count() > 0;
    default:
      return List->count() > 0 && !SelectedFile().empty();
  }
}

void TExplorForm::UpdateBrowserToolButtons(bool full) {
  QMenu* explore = Popup->findChild<QMenu*>("MenuExplore");
  for (const TFolderRow& f : kFolderRows)
    if (QAction* a = explore->findChild<QAction*>(f.Name)) a->setEnabled((options_ & f.Option) != 0);
  if (QAction* a = explore->findChild<QAction*>("MenuExploreImage"))
    a->setEnabled(host_.HasActiveImage() && !host_.ActiveImageFile().empty());
  if (!full) return;
  for (auto& [action, a] : Actions) {
    a->setVisible(ActionVisible(action));
    a->setEnabled(ActionEnabled(action));
  }
  Actions[TExplorAction::Sort]->setChecked(sorted_);
  Actions[TExplorAction::SubFolders]->setChecked(recurse_);
}

void TExplorForm::ExploreFolder(const std::string& folder, bool choose) {
  if (choose || folder.empty()) return LoadBrowserFolder({}, folder);
  LoadBrowserFolder(folder);
}

// --- Loading ---------------------------------------------------------------------------

void TExplorForm::LoadBrowserFolder(const std::string& folder, const std::string& initialFolder) {
  if (loading_) return StopBrowserLoading();
  std::string chosen = folder;
  if (chosen.empty()) {
    chosen = host_.ChooseFolder(CaptionOr(TextId::GetTrMnuExpDir, "Un dossier..."),
                                initialFolder.empty() ? host_.OpenFolder() : initialFolder);
    if (chosen.empty()) return;
  }
  ClearBrowser();
  folder_ = AddTrailingBackslash(chosen);
  loading_ = true;
  folderLoaded_ = false;
  host_.BeginBusy(Tr(TextId::GetTrStaExploring));
  Progress->setRange(0, 0);
  Progress->show();
  const std::string masks = InFolder(UserFolder(TUserFolder::Selections)) ? "*.qxs" : masks_;
  TScanRequest request;
  request.Folder = folder_;
  request.Masks = masks;
  request.Recurse = recurse_;
  QPointer<TExplorForm> self(this);
  const uint64_t scan = scan_ + 1;
  request.Deliver = [this, scan](TScannedFile&& file) {
    auto shared = std::make_shared<TScannedFile>(std::move(file));
    QMetaObject::invokeMethod(this, [this, scan, shared] {
      if (scan == scan_) Received(std::move(*shared));
    }, Qt::QueuedConnection);
  };
  request.WalkDone = [this, scan](int files) {
    QMetaObject::invokeMethod(this, [this, scan, files] {
      if (scan == scan_) WalkEnded(files);
    }, Qt::QueuedConnection);
  };
  scan_ = scan;
  pool_->Start(std::move(request));
}

void TExplorForm::Received(TScannedFile&& file) {
  if (!loading_) return;
  pending_.emplace(file.Index, std::move(file));
  // added in scan order: a file waits until those found before it are in
  for (auto it = pending_.find(next_); it != pending_.end(); it = pending_.find(next_)) {
    TScannedFile f = std::move(it->second);
    pending_.erase(it);
    ++next_;
    if (f.Ok) AddItem(f);
    if (added_ > kMaxItems) {
      pool_->Cancel();
      return FinishLoading();
    }
  }
  if (walked_ > 0) Progress->setValue(next_);
  host_.StatusText(Format(TextId::GetTrStaFmtExploring, {added_}));
  if (walked_ >= 0 && next_ >= walked_) FinishLoading();
}

void TExplorForm::WalkEnded(int files) {
  if (!loading_) return;
  walked_ = files;
  Progress->setRange(0, std::max(files, 1));
  Progress->setValue(next_);
  if (next_ >= walked_) FinishLoading();
}

void TExplorForm::AddItem(TScannedFile& file) {
  const TThumbnail& t = file.Thumb;
  auto data = std::make_unique<TImageData>();
  data->FileName = file.FileName;
  data->Width = t.Width;
  data->Height = t.Height;
  data->ImageIndex = file.Index;
  data->FileDate = file.Stamp.MTime;
  data->FileSize = file.Stamp.Size;
  data->Metadata = (t.HasExif ? unsigned(mdExif) : 0u) | (t.HasIptc ? unsigned(mdIptc) : 0u) |
                   (t.HasComment ? unsigned(mdComment) : 0u);
  const TColor listColor = QRgbToColor(List->palette().color(QPalette::Base).rgb());
  TBitmap cell(kThumbSide, kThumbSide, pf24bit, listColor);
  TRect drawn;
  DrawThumbnail(t.Picture, cell, clWhite, 2, 0, listColor, true, drawn);
  DrawBadges(cell, data->Metadata);
  const QIcon icon(QPixmap::fromImage(BitmapAsQImage(cell).copy()));
  List->addItem(new TExplorItem(icon, ItemCaption(file.FileName), data.get()));
  data_.push_back(std::move(data));
  ++added_;
}

void TExplorForm::FinishLoading() {
  if (!loading_) return;
  loading_ = false;
  folderLoaded_ = true;
  pending_.clear();
  Progress->hide();
  host_.StatusText(Format(TextId::GetTrStaFmtExploring, {added_}));
  host_.EndBusy();
  UpdateBrowserToolButtons(true);
}

void TExplorForm::StopBrowserLoading() {
  if (!loading_) return;
  pool_->Cancel();
  FinishLoading();
}

void TExplorForm::WaitUntilLoaded() {
  while (loading_) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TExplorForm::RefreshBrowser() {
  if (!folder_.empty()) LoadBrowserFolder(folder_);
}

void TExplorForm::ClearBrowser() {
  StopBrowserLoading();
  ++scan_;
  List->clear();
  data_.clear();
  pending_.clear();
  next_ = added_ = 0;
  walked_ = -1;
  UpdateBrowserToolButtons(true);
}

void TExplorForm::RemoveBrowserFileItem(const std::string& fileName) {
  for (int i = List->count() - 1; i >= 0; --i) {
    if (Lower(ItemData(i)->FileName) != Lower(fileName)) continue;
    delete List->takeItem(i);
    return;
  }
}

void TExplorForm::RenameBrowserFileItem(const std::string& oldName, const std::string& newName) {
  for (int i = List->count() - 1; i >= 0; --i) {
    auto* item = static_cast<TExplorItem*>(List->item(i));
    if (Lower(item->Data->FileName) != Lower(oldName)) continue;
    item->Data->FileName = newName;
    item->setText(ItemCaption(newName));
    List->sortItems();
    return;
  }
}

void TExplorForm::SetSorted(bool sorted) {
  sorted_ = sorted;
  List->setProperty("byCaption", sorted_);
  List->sortItems();
}

// --- Actions ---------------------------------------------------------------------------

void TExplorForm::ActivateItem() {
  for (TExplorAction a : {TExplorAction::LoadSelection, TExplorAction::Sheerlay, TExplorAction::UsePattern})
    if (ActionVisible(a)) return RunAction(a);
  RunAction(TExplorAction::OpenNew);
}

void TExplorForm::RunAction(TExplorAction action) {
  const std::string file = SelectedFile();
  const std::string title = CleanMenuCaption(CaptionOf(action));
  switch (action) {
    case TExplorAction::Sort:
      return SetSorted(!sorted_);
    case TExplorAction::SubFolders:
      recurse_ = !recurse_;
      return UpdateBrowserToolButtons(true);
    case TExplorAction::CustomFilter: {
      std::string masks = masks_.size() < 32 ? masks_ : std::string();
      if (!InputQueryDialog(title, DecorateCaption(CaptionOf(action), ckLabel), masks)) return;
      masks_ = masks.empty() ? GetImageMaskList() : masks;
      return RefreshBrowser();
    }
    case TExplorAction::Refresh:
      return RefreshBrowser();
    case TExplorAction::Clear:
      return ClearBrowser();
    default:
      break;
  }
  if (file.empty()) return;
  switch (action) {
    case TExplorAction::LoadSelection:
      return host_.LoadSelectionFile(file);
    case TExplorAction::Sheerlay:
      return host_.RunSheerlay(file);
    case TExplorAction::OpenNew:
      return host_.OpenImageFile(file);
    case TExplorAction::UsePattern: {
      if (ShowMessageDialog(Tr(TextId::GetTrDlgMain9), mtConfirmation, mbYes | mbNo, title) != mrYes) return;
      TLoadResult loaded = LoadPicture(file, TLoadRequest{});
      if (loaded.Result != frDone) {
        ShowMessageDialog(Format(TextId::GetOeMsgErrorOpening, {file}), mtError, mbOK);
        return;
      }
      FlattenTransparentGraphic(loaded.Bitmap, clWhite);
      return host_.SetPattern(std::move(loaded.Bitmap));
    }
    case TExplorAction::Properties: {
      const TImageData* d = static_cast<TExplorItem*>(List->selectedItems().first())->Data;
      const std::string dims = Format("%d x %d %s", {d->Width, d->Height, Tr(TextId::GetTrLblPixels)});
      ShowMessageDialog(Format(TextId::GetTrFmtExploreProperties,
                               {ExtractFileName(file), FolderOf(file), dims, FormatFileSize(d->FileSize, false),
                                FormatFileDate(d->FileDate), List->count()}),
                        mtInformation, mbOK, title);
      return;
    }
    default:
      break;
  }
  // the file actions of the shell, refused on a file a document window holds
  static const std::map<TExplorAction, int> kFileActions = {{TExplorAction::ShellOpen, 0},
                                                            {TExplorAction::Copy, 1},
                                                            {TExplorAction::Move, 2},
                                                            {TExplorAction::Rename, 3},
                                                            {TExplorAction::Delete, 4}};
  const auto it = kFileActions.find(action);
  if (it == kFileActions.end()) return;
  if (it->second != 0 && host_.IsFileOpen(file)) {
    ShowMessageDialog(Tr(TextId::GetTrDlgMain7), mtWarning, mbOK);
    return;
  }
  std::string newName;
  if (!host_.FileAction(title, file, it->second, newName)) return;
  if (it->second == 3) RenameBrowserFileItem(file, newName);
  else if (it->second == 2 || it->second == 4) RemoveBrowserFileItem(file);
}

// --- Settings and visibility -------------------------------------------------------------

void TExplorForm::ReadSettings() {
  TIniFile* ini = host_.Settings();
  if (!ini) return;
  const std::string dir = ini->ReadString(kSection, "Dir", "ERR!");
  recurse_ = ini->ReadString(kSection, "SubDirs", "ERR!") == "1";
  SetSorted(ini->ReadString(kSection, "Sort", "ERR!") != "0");
  if (dir != "ERR!" && FolderExists(dir) && folder_.empty()) folder_ = AddTrailingBackslash(dir);
}

void TExplorForm::WriteSettings() const {
  TIniFile* ini = host_.Settings();
  if (!ini) return;
  ini->WriteString(kSection, "Dir", folder_);
  ini->WriteBool(kSection, "SubDirs", recurse_);
  ini->WriteBool(kSection, "Sort", sorted_);
}

void TExplorForm::showEvent(QShowEvent* e) {
  QFrame::showEvent(e);
  ReadSettings();
  UpdateBrowserToolButtons(true);
}

void TExplorForm::hideEvent(QHideEvent* e) {
  StopBrowserLoading();
  WriteSettings();
  QFrame::hideEvent(e);
}

}  // namespace qm
