#pragma once
// The about box: the product's title and version, its authors and date, its web page,
// the translation's credit when a translation supplies one, and "Ok".
#include <QDialog>

class QLabel;
class QPushButton;

namespace qm {

class TAProposForm : public QDialog {
 public:
  explicit TAProposForm(QWidget* parent = nullptr);

  QLabel* LblTitle;
  QLabel* LblAuthor;
  QLabel* LblDate;
  QLabel* LblWeb;
  QLabel* LblTranslationCaption;
  QLabel* LblTranslation;
  QLabel* ImgLogo;
  QPushButton* BtnOk;

 protected:
  void showEvent(QShowEvent* e) override;
  // A press anywhere on the box (its labels and picture pass presses on) moves it.
  void mousePressEvent(QMouseEvent* e) override;
};

// Shows the box modally, centred on parent.
void ShowAboutBox(QWidget* parent);

}  // namespace qm
