#pragma once
// The folder choosers of the shell: the copy-to-folder dialog (a folder typed or
// browsed for, remembered in the settings) over the desktop's folder browser
// (BrowseForFolder, ShellOps.h).
#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qm {

class TIniFile;

class TDirForm : public QDialog {
 public:
  explicit TDirForm(QWidget* parent = nullptr);

  // The browse button's folder browser, titled with the message, starting at the
  // edit's folder; a chosen folder goes into the edit, a cancel leaves it.
  void BrowseClick();

  QLabel* LblMsg;
  QLabel* ResIcon;
  QLineEdit* EdiDir;
  QToolButton* SBDir;
  QPushButton* BtnOk;
  QPushButton* BtnCancel;
};

// Asks for a folder. The edit starts with [Params] CopyTo of settings when that names
// an existing folder, else with lastUsedFolder. On OK the edit's text is written to
// [Params] CopyTo (in memory: the owner saves the file) and returned in folder; false
// when cancelled, folder unchanged. settings may be null.
bool ShowCopyToFolderDialog(const std::string& caption, const std::string& message, std::string& folder,
                            TIniFile* settings, const std::string& lastUsedFolder);

}  // namespace qm
