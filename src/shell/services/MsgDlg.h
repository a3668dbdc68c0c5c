#pragma once
// The program's one message box: warnings, errors, information, confirmations and the
// one-line input box, with its button captions and titles from the text table. Every
// layer reaches it through ShowMessageDialog (platform/core/Messages.h) once
// InstallMessageDialog has run.
#include <QDialog>
#include <string>

#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qm {

// Where the row of buttons sits.
enum TMsgButtonAlignment : int { baLeft = 0, baRight = 1, baCenter = 2 };

// Options shared by every box.
struct TMsgDlgOptions {
  TMsgButtonAlignment ButtonAlignment = baRight;
  int MinClientWidth = 0;         // 0 = none
  QWidget* CenterOn = nullptr;    // else the box's window: the active one, else the main window
  int InputOption = 1;            // kept on the input edit as its "inputOption" property
  std::string AppTitle = kAppTitle;  // the window caption
};
TMsgDlgOptions& MsgDlgOptions();

// The box itself, laid out in pixels at 96 dpi around its 32 x 32 icon.
class TMsgDlgForm : public QDialog {
 public:
  explicit TMsgDlgForm(QWidget* parent = nullptr);

  // Prepares a message: buttons a mask of mbYes, mbNo, mbOK, mbCancel (none at all
  // shows OK); an empty title takes the type's.
  void SetupMessage(const std::string& text, TMsgType type, int buttons, const std::string& title);
  // Prepares the input box: the prompt above an edit holding value, OK and Cancel.
  void SetupInput(const std::string& title, const std::string& prompt, const std::string& value);
  // Centres the box and shows it modally; returns 6 Yes, 7 No, 1 OK or 2 Cancel.
  int Execute();

  bool InputMode() const { return inputMode_; }
  std::string InputText() const;

  QLabel* ResIcon;
  QLabel* LblMsg;
  QLabel* LblCaption;
  QFrame* PnlSep;
  QPushButton* BtnYes;
  QPushButton* BtnNo;
  QPushButton* BtnOk;
  QPushButton* BtnCancel;
  QLineEdit* EdiInput;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void LayOut(const std::string& text, int buttons);
  void SetIcon(TMsgType type);
  void Centre();
  QPushButton* EscapeButton() const;

  bool inputMode_ = false;
};

// Shows a message in a new box and returns the answer.
int ShowQtMessageDialog(const std::string& text, TMsgType type, int buttons, const std::string& title);

// The one-line input box titled title ("Saisie" when empty); on OK value takes the
// edit's text and true is returned.
bool InputQueryDialog(const std::string& title, const std::string& prompt, std::string& value);
bool InputQueryWithDefault(const std::string& title, const std::string& prompt, const std::string& def,
                           std::string& value);

// Routes ShowMessageDialog to the box. Needs a QApplication.
void InstallMessageDialog();

}  // namespace qm
