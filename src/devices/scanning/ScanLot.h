#pragma once
// The batch scan dialog "Acquisition par lot": save every page automatically (into a
// folder, under a name sequence, in a format of the program's format table), or open
// each page as a new document. Modal; made once and kept, so a later showing keeps
// what the user left.
#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace qm {

class TScanLotForm : public QDialog {
 public:
  explicit TScanLotForm(QWidget* parent = nullptr);

  // The defaults of a new form: the folder the pages are saved into and the sequence
  // "QX_" followed by the date as yyyymmdd.
  void SetDefaults(const std::string& folder, const std::string& date);

  // What the user chose; each is empty unless the pages are saved automatically. The
  // format is the first extension of the chosen row, with its dot.
  std::string GetBatchScanFolder() const;
  std::string GetBatchScanSequence() const;
  std::string GetBatchScanFormat() const;

  QRadioButton* RBAuto;
  QRadioButton* RBNew;
  QLabel* LblDir;
  QLineEdit* EdiDir;
  QToolButton* SBOuvrir;
  QLabel* LblSequence;
  QLineEdit* EdiSequence;
  QLabel* LblFormat;
  QComboBox* CBFormat;
  QPushButton* BOk;
  QPushButton* BAnnuler;

 protected:
  // OK is refused while the pages are to be saved and no folder is chosen.
  void accept() override;

 private:
  void SBOuvrirClick();
  void FollowMode();
};

}  // namespace qm
