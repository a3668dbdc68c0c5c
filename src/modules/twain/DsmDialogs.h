#pragma once
// The two windows of our data source manager: a source's options dialog (mode, depth,
// resolution, document source) and the chooser of the source.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "modules/twain/SaneOptions.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace qm::twaindsm {

// The options of one device. The dialog only shows and collects: its owner reads and
// writes the device. "Numériser" calls OnScan; closing the window by any means calls
// OnClose, or OnCancel while a scan is running (the window then stays).
class TScanOptionsDialog : public QDialog {
 public:
  explicit TScanOptionsDialog(const QString& deviceTitle);

  // Fills the four lists; an option the device lacks is shown disabled.
  void SetChoices(const std::vector<TSaneChoice>& choices);
  // The values chosen, in the order SetChoices gave them (empty for a missing option).
  std::vector<std::string> ChosenValues() const;
  // While busy the controls are disabled and the status says a scan is running.
  void SetBusy(bool busy);
  // A message under the options (empty clears it).
  void SetStatus(const QString& text);

  std::function<void()> OnScan;
  std::function<void()> OnClose;
  std::function<void()> OnCancel;
  // Called when the user picks another mode or source: the owner writes it and gives
  // the choices back, since the other options may depend on it.
  std::function<void(const std::string& option, const std::string& value)> OnChoiceChanged;

 protected:
  void closeEvent(class QCloseEvent* e) override;
  void reject() override;

 private:
  std::vector<TSaneChoice> choices_;
  std::vector<QComboBox*> combos_;
  QLabel* status_;
  QPushButton* scan_;
  QPushButton* close_;
  bool busy_ = false;
  bool filling_ = false;
};

// One entry of the chooser.
struct TChooserEntry {
  std::string Name;
  std::string Vendor;
  std::string Model;
};

// Runs the chooser modally; the chosen entry's index, or -1 when cancelled.
int RunSourceChooser(const std::vector<TChooserEntry>& entries, int current);

}  // namespace qm::twaindsm
