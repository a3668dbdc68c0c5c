#pragma once
// The image browser "Explorateur d'images": a panel of the main window showing the
// 64 x 64 thumbnails of the pictures of a folder with their names, and the file
// actions on them (open, open with the desktop's program, rename, move, copy, trash,
// properties; for the program's own folders: load a selection, open the photo-mask
// blend with a mask, use a picture as the fill pattern).
//
// Thumbnails are made by a small pool of threads (ThumbnailPool.h) and kept in the
// desktop's shared thumbnail cache: the window stays responsive while a folder of
// hundreds of photos loads, and the folder opens at once the second time. Items are
// added in the order the walk found the files (sorted by caption when sorting is on);
// a scan ends after the item that passes 1000.
#include <QFrame>
#include <QListWidget>
#include <QPointer>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imagefiles/ThumbnailPool.h"
#include "platform/core/Bitmap.h"
#include "platform/texts/AppPaths.h"

class QAction;
class QMenu;
class QProgressBar;
class QToolButton;

namespace qm {

class TIniFile;

// The rest of the program as the browser sees it. Every member has a default that
// suits a program without documents (and a test).
class TExplorHost {
 public:
  virtual ~TExplorHost() = default;
  // The shell's folders ([Params] Open and Save) and whether one folder serves both.
  virtual std::string OpenFolder() { return {}; }
  virtual std::string SaveFolder() { return {}; }
  virtual bool UniqueDir() { return false; }
  // The active document: whether there is one, its file (empty when never saved),
  // and whether its active layer is true-colour.
  virtual bool HasActiveImage() { return false; }
  virtual std::string ActiveImageFile() { return {}; }
  virtual bool ActiveImageTrueColor() { return false; }
  // Whether a document window holds the file.
  virtual bool IsFileOpen(const std::string& /*fileName*/) { return false; }
  virtual void OpenImageFile(const std::string& /*fileName*/) {}
  virtual void LoadSelectionFile(const std::string& /*fileName*/) {}
  virtual void RunSheerlay(const std::string& /*maskFile*/) {}
  // The shell's fill pattern becomes the picture (24-bit) and its two tools usable.
  virtual void SetPattern(TBitmap&& /*picture*/) {}
  // The shell's file action (0 open with the desktop's program, 1 copy, 2 move, 3
  // rename, 4 trash) with its questions and messages; true when done, newName then
  // holding the file's name after it. The default does nothing: the main window
  // implements it with DoBrowserFileAction.
  virtual bool FileAction(const std::string& /*title*/, const std::string& /*fileName*/, int /*action*/,
                          std::string& /*newName*/) {
    return false;
  }
  // The busy state and the status bar while a folder loads.
  virtual void BeginBusy(const std::string& /*status*/) {}
  virtual void EndBusy() {}
  virtual void StatusText(const std::string& /*text*/) {}
  // The settings file holding [Explorer]; null: nothing is read or written.
  virtual TIniFile* Settings() { return nullptr; }
  // The folder chooser; empty when cancelled. The default is the desktop's.
  virtual std::string ChooseFolder(const std::string& title, const std::string& initial);
};

// What the browser knows of one item.
struct TImageData {
  std::string FileName;
  int Width = 0, Height = 0;  // as stored in the file
  int ImageIndex = 0;         // the order the scan found it in
  std::time_t FileDate = 0;
  int64_t FileSize = 0;
  unsigned Metadata = 0;      // bit 0 EXIF, bit 1 IPTC, bit 2 comment
};

// Folder option bits of the tool buttons and menu entries.
enum TExplorFolders : unsigned {
  efOpen = 1,
  efSave = 2,
  efSelections = 4,
  efMasks = 8,
  efPatterns = 16,
};

// Actions of the popup menu, in menu order.
enum class TExplorAction {
  LoadSelection, Sheerlay, UsePattern, OpenNew, ShellOpen, Rename, Move, Copy, Delete, Properties,
  Sort, SubFolders, CustomFilter, Refresh, Clear,
};

class TExplorForm : public QFrame {
 public:
  // The host must outlive the form; the thumbnails go to cache (null: the user's
  // cache folder).
  explicit TExplorForm(TExplorHost& host, QWidget* parent = nullptr, const TThumbnailCache* cache = nullptr);
  ~TExplorForm() override;

  // The item's caption: names of 14 characters or more lose their extension, and
  // when still that long are cut to 12 characters followed by "...".
  static QString ItemCaption(const std::string& fileName);

  // Loads a folder's thumbnails; while loading, a call stops the scan instead. An
  // empty folder asks for one, starting at initialFolder (else the open folder).
  void LoadBrowserFolder(const std::string& folder, const std::string& initialFolder = {});
  bool IsBrowserLoading() const { return loading_; }
  void StopBrowserLoading();
  void RefreshBrowser();
  void ClearBrowser();
  // The item of that file (found ignoring case, from the last) is dropped or renamed.
  void RemoveBrowserFileItem(const std::string& fileName);
  void RenameBrowserFileItem(const std::string& oldName, const std::string& newName);
  void UpdateBrowserToolButtons(bool full);
  // The panel docks on the left, or on the right when the tool palette is docked left;
  // the pattern buttons swap places with it.
  void AlignBrowserToolbar(bool paletteDockedLeft);

  // Runs an action on the selected item (or on the list); the popup's entries call it.
  void RunAction(TExplorAction action);
  // Double click or Enter: the first visible of load selection, photo-mask blend,
  // use as pattern, else open as a new image.
  void ActivateItem();
  // Which entries the popup shows and enables now.
  bool ActionVisible(TExplorAction action) const;
  bool ActionEnabled(TExplorAction action) const;

  // [Explorer] Dir, SubDirs and Sort.
  void ReadSettings();
  void WriteSettings() const;

  const std::string& Folder() const { return folder_; }
  const std::string& Masks() const { return masks_; }
  void SetMasks(const std::string& masks) { masks_ = masks; }
  bool Sorted() const { return sorted_; }
  bool Recurse() const { return recurse_; }
  unsigned FolderOptions() const { return options_; }
  bool FolderLoaded() const { return folderLoaded_; }
  int ItemCount() const { return List->count(); }
  // The data of the item at a row (null outside).
  const TImageData* ItemData(int row) const;
  // Blocks (processing events) until the running scan has ended; tests and scenes.
  void WaitUntilLoaded();

  QWidget* ToolBar;  // the folder buttons, the pattern button and the menu button
  QListWidget* List;
  QProgressBar* Progress;
  QMenu* Popup;
  QToolButton* BtnPattern;  // the patterns folder
  QToolButton* BtnMenu;     // drops the popup down
  std::map<TExplorAction, QAction*> Actions;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void BuildMenu();
  void BuildToolBar();
  void ExploreFolder(const std::string& folder, bool choose);
  void Received(TScannedFile&& file);
  void WalkEnded(int files);
  void AddItem(TScannedFile& file);
  void FinishLoading();
  void SetSorted(bool sorted);
  std::string SelectedFile() const;
  bool InFolder(const std::string& folder) const;
  // In one of the list's folders (ListFolders).
  bool InList(TUserFolder list) const;

  TExplorHost& host_;
  std::unique_ptr<TThumbnailCache> ownCache_;
  std::unique_ptr<TThumbnailPool> pool_;
  std::string folder_, masks_;
  unsigned options_ = efOpen;
  bool sorted_ = true, recurse_ = false;
  bool loading_ = false, folderLoaded_ = false;
  // The scan's results come in any order; they are added in scan order.
  uint64_t scan_ = 0;
  std::map<int, TScannedFile> pending_;
  int next_ = 0, walked_ = -1, added_ = 0;
  std::vector<std::unique_ptr<TImageData>> data_;
};

}  // namespace qm
