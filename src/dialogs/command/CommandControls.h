#pragma once
// The controls the command dialogs share: the size fields in a unit with the size they
// give in pixels, the 3 x 3 anchor grid, and the pattern row. Each keeps its controls
// named as the dialogs name them (EdiL, CmbUnit, TB4, CBMotif ...).
#include <QObject>
#include <QWidget>
#include <functional>
#include <string>

#include "dialogs/command/SizeUnits.h"
#include "dialogs/ParamControls.h"
#include "platform/core/Bitmap.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QToolButton;

namespace qm {

class TDialogHost;
class TFloatSpinEdit;

// A label for a row, "Largeur :" until a translation fills its entry.
QString CaptionText(TextId entry, TextId design);
// The title of the size a dialog starts from, the background layer's: " Taille en
// pixels / Mémoire (Fond) ", under a translation its size and background texts.
QString BackgroundSizeCaption();

// The size typed in a unit and what it gives in pixels:
//   GBOld (" Taille en pixels / Mémoire ... "): EdiLargeur, EdiHauteur, EdiMem,
//     read-only: the size in pixels and the memory a 24-bit image of it takes;
//   EdiL, EdiH (0..10000) in the unit of CmbUnit ("pixels", "%", "cm", "pouces"; the
//     new image's list has no "%").
// Percent is relative to the reference size; centimetres and inches go through the
// resolution. Switching the unit keeps the pixels. Writing the fields from the dialog
// does not count as typing: Typed reports only what the user changed.
class TSizeFields : public QObject {
 public:
  TSizeFields(QWidget& dialog, bool withPercent, const QString& groupCaption);

  QGroupBox* OldGroup;
  QLineEdit *EdiLargeur, *EdiHauteur, *EdiMem;
  QWidget* NewFields;  // the two fields with their labels and the unit
  TFloatSpinEdit *EdiL, *EdiH;
  QComboBox* CmbUnit;

  // A field changed by the user (width or height), while not empty.
  std::function<void(bool width)> Typed;

  void SetReference(int width, int height) {
    refWidth_ = width;
    refHeight_ = height;
  }
  void SetPixelsPerInch(double ppi) { ppi_ = ppi; }
  double PixelsPerInch() const { return ppi_; }

  TSizeUnit Unit() const { return unit_; }
  // The fields change unit, showing the same pixels (their format "0" for pixels,
  // "0.00" for the others).
  void SetUnit(TSizeUnit unit);
  bool Empty() const;
  // The pixels the fields stand for, each value read through its field's range;
  // not clamped to a document's sides.
  int Width() const;
  int Height() const;
  // The fields show the pixels in the unit / the values as they are.
  void SetPixels(int width, int height);
  void SetValues(double width, double height);
  void SetWidthPixels(int width);
  void SetHeightPixels(int height);
  // At each showing over an image of width x height at ppi: the unit of the image-unit
  // preference (the first time only), the size as the reference, shown in GBOld and in
  // the fields.
  void StartFrom(int imageUnitPreference, int width, int height, double ppi);
  // GBOld shows the size and its memory.
  void ShowPixels(int width, int height);
  // ... the size the fields stand for.
  void ShowFieldPixels() { ShowPixels(Width(), Height()); }

 private:
  bool withPercent_;
  TSizeUnit unit_ = suPixels;
  int refWidth_ = 1, refHeight_ = 1;
  double ppi_ = kDefaultResolution;
  bool silent_ = false;  // the dialog writes its own fields
  bool started_ = false;
};

// The anchor of a canvas: nine tool buttons TB0..TB8 in three rows (0 top-left,
// 4 centre, 8 bottom-right), the pressed one showing the image, its neighbours the way
// the canvas grows.
class TAnchorGrid : public QWidget {
 public:
  explicit TAnchorGrid(QWidget* parent = nullptr);
  TAlignment Anchor() const;
  void SetAnchor(TAlignment anchor);

 private:
  void ShowGlyphs();
  QButtonGroup* buttons_;
};

// "Motif de fond :" (CBMotif) with the pattern file (EdiMotif, a click in it chooses)
// and its browse button (SBMotif): the file edit and the button are enabled while the
// box is checked; a file is chosen in the user's patterns folder.
class TPatternRow : public QObject {
 public:
  TPatternRow(QWidget& dialog, QGridLayout& grid, int row);

  QCheckBox* CBMotif;
  QLineEdit* EdiMotif;
  QToolButton* SBMotif;

  bool Checked() const;
  std::string FileName() const;
  // A row that is not available is disabled and unchecked.
  void SetAvailable(bool available);
  // The row enabled or not, the box keeping its tick.
  void SetEnabled(bool enabled);
  // The open dialog on the patterns folder; a chosen file goes into EdiMotif.
  void Choose();
  // Checked with no file: what OK refuses as an empty field.
  bool Incomplete() const;
  // Reads the file (24-bit) and its key: its transparent colour, else clNone. False
  // (the reader's message shown) when it does not load.
  bool Load(TDialogHost& host, TBitmap& pattern, TColor& key) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Follow();
};

}  // namespace qm
