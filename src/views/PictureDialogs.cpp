#include "views/PictureDialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeDatabase>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "imagefiles/FileDispatch.h"
#include "imagefiles/FormatRegistry.h"
#include "pixel/PixelFormat.h"
#include "pixel/Thumbnail.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/AppPaths.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kPanelWidth = 220;

// The file list's columns in the interface's language: Qt writes a file's size and date
// in the system's locale and names a folder in a text its catalogues lack, so the
// size, the folder's type and the date are written again in the default locale (the
// interface's, InstallInterfaceLocale).
class TInterfaceColumns : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || index.column() < 1 || index.column() > 3)
      return QIdentityProxyModel::data(index, role);
    const QFileInfo info = files->fileInfo(mapToSource(index));
    const QLocale locale;
    switch (index.column()) {
      case 1: return info.isDir() ? QString() : locale.formattedDataSize(info.size(), 0);
      case 2:
        if (info.isDir()) {
          const QString folder = QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory")).comment();
          return folder.isEmpty() ? QIdentityProxyModel::data(index, role) : folder.left(1).toUpper() + folder.mid(1);
        }
        return QIdentityProxyModel::data(index, role);
      default: return locale.toString(info.lastModified(), QLocale::ShortFormat);
    }
  }
};

// The dialog's list through those columns.
void ShowInterfaceColumns(QFileDialog& dialog) { dialog.setProxyModel(new TInterfaceColumns(&dialog)); }

TColor PanelColor(const QWidget* w) { return QRgbToColor(w->palette().color(QPalette::Window).rgb()); }

// The masks of one entry of our filter, for Qt: blank-separated, "*.*" as "*".
QString QtMasks(const std::string& masks) {
  QStringList out;
  for (const QString& m : Q(masks).split(';', Qt::SkipEmptyParts)) out << (m.trimmed() == "*.*" ? "*" : m.trimmed());
  return out.join(' ');
}

// A dialog opened on a folder of the masks' or the patterns' list has every folder of
// that list in its side bar, the user's own and the program's.
void AddListPlaces(QFileDialog& d, const std::string& initialDir) {
  const QString start = QDir::cleanPath(Q(initialDir));
  for (TUserFolder list : {TUserFolder::Masks, TUserFolder::Patterns}) {
    const std::vector<std::string> folders = ListFolders(list);
    if (std::none_of(folders.begin(), folders.end(),
                     [&](const std::string& f) { return QDir::cleanPath(Q(f)) == start; }))
      continue;
    QList<QUrl> places = d.sidebarUrls();
    for (const std::string& f : folders) {
      const QUrl place = QUrl::fromLocalFile(QDir::cleanPath(Q(f)));
      if (QFileInfo(place.toLocalFile()).isDir() && !places.contains(place)) places << place;
    }
    d.setSidebarUrls(places);
    return;
  }
}

// Qt keeps a file dialog's side bar in the user's settings when the dialog goes: the list
// folders given to one dialog are put back to the user's own places before it does, so
// that they do not pile up in every later dialog (and stay there, greyed, once gone).
class TUserPlaces {
 public:
  explicit TUserPlaces(QFileDialog& d) : Dialog(d), Places(d.sidebarUrls()) {}
  ~TUserPlaces() { Dialog.setSidebarUrls(Places); }
  TUserPlaces(const TUserPlaces&) = delete;
  TUserPlaces& operator=(const TUserPlaces&) = delete;

 private:
  QFileDialog& Dialog;
  const QList<QUrl> Places;
};

// Keeps the file dialog's own folder, file and filter choices as the caller gave them.
void Configure(QFileDialog& d, const std::string& title, const std::string& initialDir, const std::string& filter) {
  d.setOption(QFileDialog::DontUseNativeDialog, true);
  if (!title.empty()) d.setWindowTitle(Q(title));
  if (!initialDir.empty()) {
    d.setDirectory(Q(initialDir));
    AddListPlaces(d, initialDir);
  }
  d.setNameFilters(ToQtNameFilters(filter));
}

QWidget* ActiveParent() { return QApplication::activeWindow(); }

}  // namespace

QStringList ToQtNameFilters(const std::string& filter) {
  const QStringList parts = Q(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString label = parts[i].trimmed();
    const int bracket = label.lastIndexOf('(');
    if (bracket > 0 && label.endsWith(')')) label = label.left(bracket).trimmed();
    out << label + " (" + QtMasks(parts[i + 1].toStdString()) + ")";
  }
  return out;
}

// --- Preview box ---------------------------------------------------------------------

TPreviewBox::TPreviewBox(const TBitmap& picture, QWidget* parent) : QWidget(parent), picture_(picture) {
  setObjectName("PaintBox");
}

void TPreviewBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (picture_.Empty() || width() < 1 || height() < 1) {
    p.setFont(parentWidget() && parentWidget()->parentWidget() ? parentWidget()->parentWidget()->font() : font());
    p.drawText(rect(), Qt::AlignCenter, Q(Tr(TextId::GetDlgPictureNone)));
    return;
  }
  const TColor back = PanelColor(this);
  TBitmap surface(width(), height(), pf24bit, back);
  TRect drawn;
  DrawThumbnail(picture_, surface, back, 0, 0, back, true, drawn);
  p.drawImage(0, 0, BitmapAsQImage(surface));
}

// --- Open dialog ---------------------------------------------------------------------

TOpenPictureDialog::TOpenPictureDialog(QWidget* parent) : QFileDialog(parent) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  ShowInterfaceColumns(*this);
  setFileMode(QFileDialog::ExistingFile);
  setAcceptMode(QFileDialog::AcceptOpen);

  PicturePanel = new QFrame(this);
  PicturePanel->setObjectName("PicturePanel");
  // The preview takes a fixed share; the list, its columns' widths and the rest.
  PicturePanel->setFixedWidth(std::max(kPanelWidth, fontMetrics().horizontalAdvance(QStringLiteral("00000x00000 pixels")) + 24));
  auto* column = new QVBoxLayout(PicturePanel);
  column->setContentsMargins(6, 6, 6, 6);
  PictureLabel = new QLabel(PicturePanel);
  PictureLabel->setObjectName("PictureLabel");
  PictureLabel->setAlignment(Qt::AlignCenter);
  PaintPanel = new QFrame(PicturePanel);
  PaintPanel->setObjectName("PaintPanel");
  PaintPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* inner = new QVBoxLayout(PaintPanel);
  inner->setContentsMargins(2, 2, 2, 2);
  PaintBox = new TPreviewBox(preview_, PaintPanel);
  PaintBox->setMinimumSize(150, 150);
  inner->addWidget(PaintBox);
  PreviewCheck = new QCheckBox(Q(Tr(TextId::GetDlgPicturePreview)), PicturePanel);
  PreviewCheck->setObjectName("PreviewCheck");
  column->addWidget(PictureLabel);
  column->addWidget(PaintPanel, 1);
  column->addWidget(PreviewCheck);
  if (auto* grid = qobject_cast<QGridLayout*>(layout()))
    grid->addWidget(PicturePanel, 0, grid->columnCount(), grid->rowCount(), 1);

  connect(this, &QFileDialog::currentChanged, this, [this](const QString& f) { UpdatePreview(f); });
  // A selection the keys or the mouse extend after the current file moved: the preview
  // follows it too (several files show none).
  for (QAbstractItemView* view : findChildren<QAbstractItemView*>())
    if (view->selectionModel())
      connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdatePreview(current_); });
  connect(PreviewCheck, &QCheckBox::toggled, this, [this] {
    if (isVisible()) UpdatePreview(current_);
  });
}

bool TOpenPictureDialog::Preview() const { return PreviewCheck->isChecked(); }
void TOpenPictureDialog::SetPreview(bool on) { PreviewCheck->setChecked(on); }

void TOpenPictureDialog::UpdatePreview(const QString& fileName) {
  current_ = fileName;
  const bool wanted = Preview() && !fileName.isEmpty() && QFileInfo(fileName).isFile() && selectedFiles().size() <= 1;
  if (wanted && fileName == shown_ && !preview_.Empty()) return;  // shown already
  preview_.Clear();
  shown_.clear();
  PictureLabel->clear();
  if (wanted) {
    TLoadRequest request;
    request.Preview = true;
    TLoadResult loaded = LoadPicture(fileName.toStdString(), request);
    if (loaded.Result == frDone && !loaded.Bitmap.Empty()) {
      FlattenTransparentGraphic(loaded.Bitmap, PanelColor(this));
      preview_ = std::move(loaded.Bitmap);
      const int w = loaded.StoredWidth > 0 ? loaded.StoredWidth : preview_.Width();
      const int h = loaded.StoredHeight > 0 ? loaded.StoredHeight : preview_.Height();
      PictureLabel->setText(Q(Format(TextId::GetDlgPictureFmt, {w, h})));
      shown_ = fileName;
    }
  }
  PaintBox->update();
}

void TOpenPictureDialog::FitListColumns() {
  auto* tree = findChild<QTreeView*>(QStringLiteral("treeView"));
  QHeaderView* header = tree ? tree->header() : nullptr;
  if (!header || header->count() < 4) return;
  const QFontMetrics fm = tree->fontMetrics(), hm = header->fontMetrics();
  // What each column shows at its widest, in the interface's language: a long name with
  // its icon, a size, a type, a date with its time.
  const QLocale locale;
  const QString widest[] = {
      QStringLiteral("IMG_20240131_235959_HDR.jpeg"),
      locale.formattedDataSize(999'999'999'999, 1) + QStringLiteral(" "),
      QStringLiteral("Image JPEG 2000 (.jp2)"),
      locale.toString(QDateTime(QDate(2000, 12, 28), QTime(23, 59, 59)), QLocale::ShortFormat),
  };
  const int icon = tree->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, tree);
  int total = 0;
  for (int i = 0; i < 4; ++i) {
    const QString title = header->model()->headerData(i, Qt::Horizontal).toString();
    // the header's text beside its sort arrow, the cells' text between their margins
    const int need = std::max(hm.horizontalAdvance(title) + 2 * icon, fm.horizontalAdvance(widest[i]) + 16 +
                                                                           (i == 0 ? icon + 8 : 0));
    if (header->sectionSize(i) < need) header->resizeSection(i, need);
    total += header->sectionSize(i);
  }
  // The dialog opens wide enough to show the four columns whole beside the sidebar and
  // the preview, within the screen.
  const QWidget* sidebar = findChild<QWidget*>(QStringLiteral("sidebar"));
  const int chrome = width() - tree->viewport()->width() - PicturePanel->width() - (sidebar ? sidebar->width() : 0);
  int wanted = total + PicturePanel->width() + (sidebar ? sidebar->width() : 0) + std::max(chrome, 0) +
               tree->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, tree);
  if (const QScreen* screen = this->screen()) wanted = std::min(wanted, screen->availableGeometry().width() * 9 / 10);
  if (width() < wanted) resize(wanted, std::max(height(), 420));
}

void TOpenPictureDialog::showEvent(QShowEvent* e) {
  QFileDialog::showEvent(e);
  if (!fitted_) {
    fitted_ = true;
    FitListColumns();
  }
  preview_.Clear();
  shown_.clear();
  PictureLabel->clear();
  PaintBox->update();
}

void TOpenPictureDialog::done(int result) {
  QFileDialog::done(result);
  preview_.Clear();
  shown_.clear();
  current_.clear();
}

// --- Save dialog ---------------------------------------------------------------------

TMySaveDialog::TMySaveDialog(QWidget* parent) : QFileDialog(parent) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  ShowInterfaceColumns(*this);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  connect(this, &QFileDialog::filterSelected, this, [this](const QString& f) { FollowFilter(f); });
  // Qt renames only a name that has an extension, and not on every road to a new type:
  // the type box itself is followed too (FollowFilter does nothing twice).
  if (auto* types = findChild<QComboBox*>("fileTypeCombo"))
    connect(types, &QComboBox::activated, this, [this, types](int i) { FollowFilter(types->itemText(i)); });
}

void TMySaveDialog::FollowFilter(const QString& nameFilter) {
  auto* edit = findChild<QLineEdit*>("fileNameEdit");
  if (!edit || edit->text().isEmpty()) return;
  const int open = nameFilter.lastIndexOf('('), close = nameFilter.lastIndexOf(')');
  if (open < 0 || close < open) return;
  const QString first = nameFilter.mid(open + 1, close - open - 1).section(' ', 0, 0);
  const QString ext = Q(GetFirstMaskExt(first.toStdString()));
  if (ext.isEmpty() || ext.contains('*')) return;
  QString name = edit->text();
  const int slash = name.lastIndexOf('/');
  const int dot = name.lastIndexOf('.');
  if (dot > slash + 1) name.truncate(dot);  // a leading dot names a hidden file, not an extension
  edit->setText(name + ext);
}

// --- The dispatch's hooks -----------------------------------------------------------

bool RunOpenPictureDialog(TOpenPictureRequest& request, std::vector<std::string>& files) {
  TOpenPictureDialog d(ActiveParent());
  const TUserPlaces places(d);
  Configure(d, request.Title, request.InitialDir, request.Filter);
  d.setFileMode(request.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  d.SetPreview(request.PreviewChecked);
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool chosen = d.exec() == QDialog::Accepted;
  QApplication::restoreOverrideCursor();
  request.PreviewChecked = d.Preview();
  files.clear();
  if (chosen)
    for (const QString& f : d.selectedFiles()) files.push_back(f.toStdString());
  QApplication::processEvents();
  return chosen && !files.empty();
}

bool RunSavePictureDialog(const TSavePictureRequest& request, std::string& fileName) {
  TMySaveDialog d(ActiveParent());
  const TUserPlaces places(d);
  Configure(d, request.Title, request.InitialDir, request.Filter);
  d.setOption(QFileDialog::DontConfirmOverwrite, false);
  const QStringList filters = d.nameFilters();
  if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
    d.selectNameFilter(filters[request.FilterIndex - 1]);
  if (!request.DefaultExt.empty()) d.setDefaultSuffix(Q(request.DefaultExt).remove(0, request.DefaultExt[0] == '.'));
  if (!request.FileName.empty()) d.selectFile(Q(ExtractFileName(request.FileName)));
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
  fileName = d.selectedFiles().first().toStdString();
  return true;
}

std::string ChoosePatternFile() {
  TOpenPictureRequest request;
  request.InitialDir = ListStartFolder(TUserFolder::Patterns);
  request.Filter = BuildImageFilter(true, false, false);
  request.PreviewChecked = true;
  std::vector<std::string> files;
  return RunOpenPictureDialog(request, files) ? files.front() : std::string();
}

void InstallPictureDialogs() { SetPictureDialogs(RunOpenPictureDialog, RunSavePictureDialog); }

}  // namespace qm
