#pragma once
// The controls of the parameter dialogs, each bound to one field of the dialog's
// parameter struct (pixel/Params.h) and reading and writing it through the field's
// range: a control offers the field's control range, and what a user sets or types
// reaches the struct at once, clamped, so Preview and OK never read a value the
// operation refuses, even from a spin edit whose text is still being typed.
//
// TParamControls lays the controls out in the dialog's grid in the order they are added
// and tells the dialog of each change of a value (Changed) and of the end of each gesture
// (Settled: a slider let go by mouse, key or wheel; a choice, a tick or a colour at once;
// a spin edit's arrows, or its text confirmed or left). The dialog decides what these
// lead to.
#include <QObject>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controls/TableTexts.h"
#include "pixel/Params.h"
#include "platform/texts/UiTexts.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QSlider;
class QTabWidget;
class QToolButton;
class QWidget;

namespace qm {

class TColorEdit;
class TSpinEdit2;

// A text a translation may replace, shown as its design text until then.
using TCaptionText = TTableText;

struct TSliderSpec {
  const char* Name;       // "TBN"
  const char* LabelName;  // "LblN": the field's value, through Format
  TextId Format;          // "Rayon : %d pixels"; a real field's "Niveau : %.2f"
  int PageStep = 2;
  int TickInterval = 0;   // 0: no ticks
  // Texts at the slider's two ends (the value label then stands at the right).
  TCaptionText LowEnd{}, HighEnd{};
  // Positions per unit of a real field: 10 moves a gamma of 0.1..3.0 on positions
  // 1..30. A whole-number field takes 1.
  double Scale = 1;
};

// An integer spin edit (TSpinEdit2), or one of the two of a point.
struct TSpinSpec {
  const char* Name;        // "SELargeur"
  TCaptionText Label{};    // before it
  int Characters = 0;      // the longest text it takes; 0: any
  // What an empty text stands for (the edit's minimum without it); each preview then
  // writes it into the edit, selected (FillEmptyFields).
  std::optional<int> EmptyReads{};
};

struct TCheckSpec {
  const char* Name;  // "CBInverser"
  TCaptionText Caption;
};

struct TRadioSpec {
  const char* Name;  // "RBHoraire"
  TCaptionText Caption;
};
struct TRadioGroupSpec {
  const char* Name;             // the group box: "RGStyle"
  TCaptionText Caption{};       // its title; none: a frame without one
  std::vector<TRadioSpec> Items;  // one per choice, in the choices' order
};

struct TComboSpec {
  const char* Name;  // "CmbPoint"
  TCaptionText Label{};
  std::vector<TCaptionText> Items;  // one per choice, in the choices' order
};

// A page control whose pages are the choices of a field ("PageControl"): the page
// shown is the choice.
struct TPageSpec {
  const char* Name;  // "TshMan"
  TCaptionText Caption;
};
struct TPagesSpec {
  const char* Name;  // "PageControl"
  std::vector<TPageSpec> Pages;  // one per choice, in the choices' order
};

struct TColorEditSpec {
  const char* Name;  // "ColorEdit1"
  TCaptionText Label{};
  // The speed button beside the edit ("SB1"): while it is down, colours picked on the
  // image go to this edit. Null: none.
  const char* PickButton = nullptr;
};

// One field as a control sees it: its name and range, and the dialog's current value.
struct TFieldAccess {
  TParamInfo Info;
  std::function<TParamValue()> Get;
  std::function<void(TParamValue)> Set;  // clamps into the hard range
};

// A control bound to a field, as the dialog's readers (the tests) see it.
struct TBoundControl {
  TParamInfo Field;
  QWidget* Widget;     // the slider, spin edit, check box, group box, combo or colour edit
  int Coordinate = 0;  // a point's spin edit: 0 its X, 1 its Y
  double Scale = 1;    // a slider's positions per unit of its field
  std::optional<int> EmptyReads{};  // a spin edit's: what its empty text stands for
};

class TParamControls : public QObject {
 public:
  TParamControls(QWidget& dialog, QGridLayout& grid);
  ~TParamControls() override;

  std::function<void()> Changed;  // a field took a new value
  std::function<void()> Settled;  // a gesture ended

  // Controls, in the order they show. Each refuses (qFatal) a field of another kind.
  QSlider* AddSlider(TFieldAccess field, const TSliderSpec& spec);  // Int, or Double with its scale
  TSpinEdit2* AddSpinEdit(TFieldAccess field, const TSpinSpec& spec);  // Int
  // The X and the Y of a point, one row each.
  void AddSpinEdits(TFieldAccess field, const TSpinSpec& x, const TSpinSpec& y);
  // Int fields in a grid of spin edits, row by row, `columns` to a row, after one label:
  // a matrix. Each spec's own label is not shown.
  void AddSpinEditGrid(std::vector<std::pair<TFieldAccess, TSpinSpec>> fields, int columns,
                       const TCaptionText& label);
  QCheckBox* AddCheckBox(TFieldAccess field, const TCheckSpec& spec);  // Bool
  QGroupBox* AddRadioGroup(TFieldAccess field, const TRadioGroupSpec& spec);  // Choice
  QComboBox* AddCombo(TFieldAccess field, const TComboSpec& spec);  // Choice
  // "Couche :" and the seven channel choices (a TChannelChoice).
  QComboBox* AddChannelCombo(TFieldAccess field);
  TColorEdit* AddColorEdit(TFieldAccess field, const TColorEditSpec& spec);  // Color
  // A page control (Choice: the page shown). The controls added next go on the page
  // OnPage names, until OnPage(-1) brings them back under the page control.
  QTabWidget* AddPages(TFieldAccess field, const TPagesSpec& spec);
  void OnPage(int page);
  // A widget of the dialog's own (a picture, a swatch) as the next row, after its label
  // when it has one; it is bound to no field.
  void AddWidget(QWidget* widget, const TCaptionText& label = {});

  // The controls added from here on go into a frame with this title (on the page they
  // would go on), until the next group, EndGroup or OnPage.
  QGroupBox* BeginGroup(const char* name, const TCaptionText& title);
  void EndGroup();

  enum TReset : uint8_t {
    rsKeep,              // every control as the last showing left it
    rsSlidersToNeutral,  // the sliders at their neutral values (their defaults where none)
    rsAllToDefaults,     // every control at its default
  };
  // At each showing: the reset, the first pick button pressed, every control showing its
  // field's value (in the current texts).
  void Show(TReset reset);

  // A colour picked on the image, to the colour edit whose pick button is down, or to
  // the first colour edit of a dialog without pick buttons. Changed, not Settled: the
  // dialog follows a pick itself. False when no edit takes it.
  bool TakePickedColor(TColor color);
  // Each spin edit whose text is empty and that says what an empty text reads as shows
  // that value, selected.
  void FillEmptyFields();
  // A spin edit's text is empty (blank) and it says nothing of what that reads as.
  bool HasEmptyField() const;

  std::vector<TBoundControl> Bound() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  struct TControl {
    TFieldAccess Field;
    QWidget* Widget = nullptr;
    int Coordinate = 0;
    double Scale = 1;
    bool IsSlider = false;
    QLabel* ValueLabel = nullptr;  // a slider's
    TextId Format = TextId::Count;
    QToolButton* PickButton = nullptr;
    std::optional<int> EmptyReads;  // a spin edit's
    std::function<void()> Load;  // the field's value into the control
  };

  // place lays the edit out (a row of its own when empty).
  TSpinEdit2* AddSpin(TFieldAccess field, const TSpinSpec& spec, int coordinate, TParamKind kind,
                      const std::function<void(QWidget*)>& place = {});
  size_t Add(TFieldAccess&& field, QWidget* widget, std::initializer_list<TParamKind> kinds, const char* what);
  // Stores a value read from control i; Changed when the field's value changed.
  void Store(size_t i, TParamValue v);
  void ShowSliderValue(const TControl& c);
  // A row of the grid: the label (when there is one) before the control.
  void AddRow(const TCaptionText& label, QWidget* control, QWidget* after = nullptr);
  void Notify(const std::function<void()>& f) const {
    if (f) f();
  }

  QWidget& dialog_;
  QGridLayout& dialogGrid_;  // the dialog's grid
  QGridLayout* pageGrid_;    // the grid OnPage named: the dialog's, or a page's
  QGridLayout* grid_;        // where the next control goes: that grid, or a group's in it
  std::vector<QGridLayout*> pageGrids_;
  std::vector<TControl> controls_;
  QButtonGroup* pickButtons_;
  bool routingPick_ = false;
  bool wheelPending_ = false;
};

}  // namespace qm
