#pragma once
// The host's about box of a plug-in that shows none of its own: a small borderless box
// with a film-strip picture, the plug-in's name and version, the module's date, its
// author, the menu path of its command, the module's file with its size, and its
// comment. Made once, filled again at each showing, moved by a press anywhere on it.
#include <QDialog>
#include <string>

#include "shell/commands/PluginCommands.h"

class QFrame;
class QLabel;
class QPushButton;

namespace qm {

class TPlgDlgForm : public QDialog {
 public:
  explicit TPlgDlgForm(QWidget* parent = nullptr);

  // Every label from the plug-in.
  void FillPluginAboutForm(const TPluginEntry& item);

  QFrame* PnlFond;
  QFrame* Panel1;
  QLabel* Image1;
  QLabel* LblCaption;
  QLabel* LblVersion;
  QLabel* LblAuthor;
  QFrame* Bevel1;
  QLabel* LblType;
  QLabel* LblFile;
  QLabel* LblComment;
  QPushButton* Button1;
  // The captions of the plug-in shown.
  std::string AboutCaption, CommandCaption;

 protected:
  void showEvent(QShowEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
};

// The part of a version text from its first digit up to the next blank ("Version 2.1b
// (2004)" gives "2.1b"); empty without a digit.
std::string VersionToken(const std::string& versionText);
// "Copyright © " and the author, a copyright sign or word of its own dropped.
std::string AuthorLine(const std::string& author);

}  // namespace qm
