#pragma once
// The print dialog ("Imprimer": the page previewed with the image on it, the scale, the
// printed size and position, the copies and the print options) and the small window
// that can cancel a print while it is prepared. Both are made once and kept.
#include <QDialog>
#include <QWidget>
#include <functional>
#include <string>

#include "devices/printing/PrintLayout.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPrinter;
class QPushButton;
class QScrollBar;

namespace qm {

class TFloatSpinEdit;
class TSpinEdit2;
class TSpinEditBase;

// What the dialog hands the job besides the layout.
struct TPrintOptions {
  bool OutlineOnly = false;  // the image's outline instead of the image
  bool CutLines = false;
  bool Smooth = true;        // the image smoothed when the printer scales it
};

class TImprForm : public QDialog {
 public:
  // The printer is the job's, set up by "Configurer..." and told the title and copies
  // by "Imprimer". smooth follows the shell's smooth display.
  TImprForm(QPrinter& printer, TPrintUnit unit, bool smooth, QWidget* parent);
  ~TImprForm() override;

  // Shown modal over the image (which must outlive the job): true when the user chose
  // to print. caption is the window's; jobName the printer's title for the job.
  bool Execute(const TBitmap& image, double resolution, const std::string& caption, const std::string& jobName);

  TPrintLayout& Layout() { return layout_; }
  TPrintOptions Options() const;

  // Asks where the PDF file printer writes (the file chooser); false when cancelled. The
  // tests put their own in.
  std::function<bool(QString& fileName)> AskOutputFile;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  class TPreview;
  void BuildControls(TPrintUnit unit);
  void ReadPage();
  // Every control shown from the layout.
  void ShowLayout();
  void ShowSizeFields();
  // A fault told, its field focused and selected; false when there was one.
  bool Accepts(const TPrintFault& fault);
  // The empty field first (its code, 0 when none), then the layout's fault.
  TPrintFault CheckFields() const;
  void ScrollBarZoomScroll(int position);
  void BOkTailleClick();
  void BOkMargesClick();
  void CBCentrerClick();
  void CBAjusterClick();
  void CBTailleReelleClick();
  void BConfigurerClick();
  void BImprimerClick();
  TFloatSpinEdit* Field(int code) const;

  QPrinter& printer_;
  TPrintLayout layout_;
  std::string jobName_;
  QString askedFile_;  // the PDF file printer's file, as asked last
  bool updating_ = false;  // the controls are being written from the layout
  TPreview* preview_ = nullptr;
  QLabel* LabelZoom = nullptr;
  QScrollBar* ScrollBarZoom = nullptr;
  QCheckBox *CBCentrer = nullptr, *CBAjuster = nullptr, *CBTailleReelle = nullptr;
  QCheckBox *CBContours = nullptr, *CBTraits = nullptr;
  QGroupBox *GBTaille = nullptr, *GBMarges = nullptr;
  TFloatSpinEdit *SEL = nullptr, *SEH = nullptr, *SEX = nullptr, *SEY = nullptr;
  TSpinEdit2* SECopies = nullptr;
  QPushButton *BOkTaille = nullptr, *BOkMarges = nullptr;
  QLabel *LblResolution = nullptr, *LblProp = nullptr;
  QPushButton *BConfigurer = nullptr, *BImprimer = nullptr, *BAnnuler = nullptr;
  bool smooth_ = true;
};

// The cancel window: borderless, above the others, while a print is prepared.
class TAnnulerForm : public QWidget {
 public:
  explicit TAnnulerForm(QWidget* parent);

  // Shown over the main window, not cancelled.
  void Start(QWidget* centreOn);
  bool Cancelled() const { return cancelled_; }
  // Told when "Annuler" is clicked.
  std::function<void()> OnCancel;

 private:
  bool cancelled_ = false;
};

}  // namespace qm
