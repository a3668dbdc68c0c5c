#pragma once
// The protocol every parameter dialog follows, written once. The shell's command opens
// a dialog over a fresh undo step of the active document; the dialog previews on the
// document itself, a preview replacing the one before it by starting again from the
// step's snapshot; OK keeps the result as that one step; any other close (Cancel, Esc,
// the close box) puts the image back byte for byte and drops the step.
//
// A dialog is a small subclass of TParamDialogOf<P>, P its operation's parameter
// struct (pixel/Params.h): its traits (class name, captions, variant, deviations), its
// controls bound to fields of P, whose ranges come from P's table, and the routine
// that applies P to a rectangle of the layer. It writes none of the protocol, and
// registers with RegisterParamDialog.
//
// The two variants:
// - filter: the controls keep their values from one showing to the next; OK without a
//   preview applies the values shown; OK records the command for the repeat command,
//   which runs it again on the active document with a copy of the values, as a new
//   step named by the command's caption.
// - adjustment: each showing puts the sliders back to their neutral values (to their
//   defaults where they have none); under the shell's live preview the Preview button
//   is hidden and the image follows each slider as the gesture ends (mouse, key or
//   wheel) and each choice at once; OK at neutral values leaves no step; nothing is
//   recorded for the repeat command.
//
// Every spin edit bound to a field must hold a number when a preview runs (OK's too):
// an empty one refuses the preview with "Renseignez tous les champs avant de
// continuer !", the dialog staying open and a preview on the image taken off, unless
// its spec says what an empty text reads as (TSpinSpec::EmptyReads).
//
// While shown, the dialog holds the shell lock (a colour-picking dialog as the active
// tool dialog, so that a click on the image picks a colour for it). It works on the
// document, the layer and the undo step it opened over: if that document goes away all
// the same, the dialog closes and touches no history.
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dialogs/ParamControls.h"
#include "document/qt/SelectionMask.h"
#include "pixel/Params.h"
#include "platform/core/Colors.h"
#include "platform/texts/UiTexts.h"
#include "dialogs/DialogRegistry.h"
#include "shell/services/DialogHost.h"
#include "shell/services/DialogLauncher.h"
#include "shell/services/FormUtils.h"
#include "shell/services/LayerChange.h"

class QCheckBox;
class QPushButton;

namespace qm {

enum TDialogVariant : uint8_t { dvFilter, dvAdjustment };

// The object names of the dialog's three buttons.
struct TButtonNames {
  const char* Preview = "BApercu";
  const char* Ok = "BOk";
  const char* Cancel = "BAnnuler";
};

struct TDialogTraits {
  const char* ClassName;   // the registry's name and the dialog's object name ("TBlurForm")
  TextId Caption;          // the design caption, a fixed text
  TextId MenuText;         // the command's menu entry: the caption once a translation fills it
  TDialogVariant Variant = dvFilter;
  TUndoKind UndoKind = ukWorkRect;
  bool PicksColors = false;    // colours picked on the image reach TakePickedColor
  bool PreviewOnShow = false;  // under live preview, the result shows as soon as the dialog does
  TRepeatGuard RepeatGuard = rgAlways;
  // The operation builds its result from the copy of the layer taken before the change
  // alone (it never reads the layer): a preview needs no restore of the step first. The
  // tests over every dialog check the claim: two previews give what one gives.
  bool ReadsSource = false;
  bool NotRepeated = false;       // a filter whose OK records nothing for the repeat command
  bool ResetEachShowing = false;  // every control back at its default at each showing
  // A filter that follows its controls under the shell's live preview, as the
  // adjustments do, while keeping its values.
  bool Live = false;
  // The dialog's own "Aperçu direct" box (ChkPreview) says whether it follows its
  // controls: ticked at the first showing when the shell's live preview is on, then as
  // the user leaves it; the Preview button is enabled only while it is not ticked, and
  // ticking it previews at once.
  bool PreviewSwitch = false;
  // A dialog several commands open (each with its mode), or one whose title follows its
  // command: its title is the caption of the command that opened it (translated or
  // not), at each showing.
  bool TitleFromCommand = false;
  // The dialog changes the document as it shows (Showing): a close without OK puts the
  // step's snapshot back even when nothing was previewed.
  bool ChangesOnShow = false;
  // The operation covers the whole layer: its change is not confined to the selection.
  bool Unrestricted = false;
  bool PlusMinusAsA = false;  // "+" and "-" typed into a control become "A" (DialogKeys.h)
  TextId BusyText = TextId::Count;  // the status text while the operation runs; Count: the default
  TButtonNames Buttons{};
};

class TParamDialog : public TPipetteForm, public TShellLockHolder {
 public:
  ~TParamDialog() override;
  TParamDialog(const TParamDialog&) = delete;
  TParamDialog& operator=(const TParamDialog&) = delete;

  const TDialogTraits& Traits() const { return traits_; }
  // The mode the opening command gave (TDialogRequest::Mode), -1 for none.
  int Mode() const { return mode_; }
  // The form's caption: the menu entry's once a translation fills it, cleaned of its
  // "&" and trailing "...", else the design caption.
  static std::string DialogCaption(const TDialogTraits& traits);

  // Shows the dialog (made on first use by form) over the undo step the command opened
  // for it, the active document's current step; false without a document or a step.
  static bool Open(TDialogHost& host, const TDialogRequest& request, const TDialogTraits& traits,
                   const std::function<TParamDialog*()>& form);

  // The buttons.
  void Preview();
  void Ok();
  void Cancel();

  void setVisible(bool visible) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void ColorPicked(TColor color) final;
  void DocumentClosing(TNewImgForm& window) final;

  // The table of the dialog's parameters without their struct (names, kinds, ranges,
  // defaults, neutral values), and the controls bound to them: what the tests over
  // every dialog read.
  virtual std::vector<TParamInfo> ParamTable() const { return {}; }
  std::vector<TBoundControl> BoundControls() const { return controls_->Bound(); }
  // A field each showing takes from the document (a colour of the image): its control
  // shows that value rather than the field's default.
  virtual bool FromDocument(std::string_view /*field*/) const { return false; }

 protected:
  explicit TParamDialog(const TDialogTraits& traits);

  // The controls, declared in the order they show (TParamDialogOf binds them to fields).
  TParamControls& Controls() { return *controls_; }

  // The editor, while the dialog is shown.
  TDialogHost& Host() const { return *services_; }

  virtual TLayerOperation Operation() const = 0;
  // What OK records for the repeat command: by default a copy of Operation().
  virtual TLayerOperation RepeatOperation() const { return Operation(); }
  // Hooks, each empty by default. Showing: the controls are shown for this showing and
  // the dialog is about to appear. BeforePreview: a preview (or OK's) is about to run;
  // the dialog settles what its controls cannot hold (an empty field, a value the
  // operation takes otherwise) and shows it. Applied: OK kept the result on the image;
  // what the dialog writes besides, before it closes.
  virtual void Showing() {}
  virtual void BeforePreview() {}
  virtual void Applied() {}
  // Whether OK of an adjustment leaves the image as it is (and so no step).
  virtual bool IsNeutral() const { return false; }

  // The steps of the protocol a dialog that works on the history itself (the fade)
  // takes over; the others leave them as they are.
  //
  // The command's request, before the showing: false refuses it (the command then ends
  // the step it opened). By default the dialog opens only over a step opened for it.
  virtual bool TakeRequest(TDialogHost& host, const TDialogRequest& request);
  // The values onto the image: true when the result is on it. By default the operation
  // over the step's pixels, put back first with restoreFirst, confined to the selection.
  virtual bool ShowResult(bool restoreFirst);
  // A close without OK, on the dialog's document: by default the step's pixels go back
  // (when a preview is on the image, or the dialog changed the document as it showed)
  // and the step is dropped.
  virtual void TakeBack(bool previewed);
  // A colour picked on the image, for a dialog that picks colours: it stores it in its
  // colour control (by default the colour edit its pick buttons choose); the protocol
  // then counts it as a change.
  virtual void TakePickedColor(TColor color);

 private:
  void ShowOver(TDialogHost& host, const TDialogRequest& request, const std::string& caption,
                const TUndoLayerItem& step);
  TLayerChangeOptions ChangeOptions();
  void FormShow();
  void FormHide();
  // The document and the layer the dialog opened over, made active again when they
  // are not; false when the document, its step or the layer is gone.
  bool TakeDocument();
  // A gesture on a slider ended, or a choice changed: the live preview.
  void FollowControls();
  // A bound field left empty: the warning, and a preview on the image taken off. True
  // when one is.
  bool RefuseEmptyField();
  void PreviewSwitched(bool on);

  const TDialogTraits& traits_;
  TParamControls* controls_;
  QPushButton* btnPreview_;
  QPushButton* btnOk_;
  QPushButton* btnCancel_;
  QCheckBox* previewSwitch_ = nullptr;
  bool switchSet_ = false;  // the box took the shell's live preview at the first showing

  TDialogHost* services_ = nullptr;
  QPointer<TNewImgForm> document_;
  TLayerItem* layer_ = nullptr;  // the active layer when the dialog opened
  int32_t stepId_ = 0;
  std::string caption_;
  int mode_ = -1;
  // The protocol's flags: a control changed since the last preview; OK was taken; a
  // preview is on the image.
  bool changed_ = false, applied_ = false, previewed_ = false;
  bool shown_ = false;  // between the showing and the hide the protocol runs for
  bool live_ = false;   // this showing follows the controls
  // The selection's restore mask, made by the first preview of a showing: the selection
  // and the pre-change copy stay as they are while the dialog holds the shell.
  TRestoreMaskCache restoreMask_;
};

// A dialog over the parameter struct P, applied by a routine of the pixel engine. Its
// values start at the table's defaults; each control is bound to a member of P and
// reads and writes it through that member's field.
template <class P>
class TParamDialogOf : public TParamDialog {
 public:
  std::vector<TParamInfo> ParamTable() const override {
    return std::vector<TParamInfo>(TParamTable<P>::Fields.begin(), TParamTable<P>::Fields.end());
  }

 protected:
  using TApply = void (*)(TBitmap& layer, const P& params, TRect rect);
  // An operation that reads the layer as it was before the change (the source) and
  // writes the layer: its dialog's traits say ReadsSource, so previews never restore.
  using TApplyFrom = void (*)(TBitmap& layer, const TBitmap& source, const P& params, TRect rect);
  TParamDialogOf(const TDialogTraits& traits, TApply apply) : TParamDialog(traits), apply_(apply) {}
  TParamDialogOf(const TDialogTraits& traits, TApplyFrom apply) : TParamDialog(traits), applyFrom_(apply) {}
  // A dialog that overrides Operation() (to use the mode, the whole TLayerRun...), or
  // that shows its result by itself (ShowResult) and records no repeat.
  explicit TParamDialogOf(const TDialogTraits& traits) : TParamDialog(traits) {}

  // The values the controls hold.
  P& Params() { return params_; }
  const P& Params() const { return params_; }

  QSlider* AddSlider(int P::*field, const TSliderSpec& spec) { return Controls().AddSlider(Access(field), spec); }
  QSlider* AddSlider(double P::*field, const TSliderSpec& spec) { return Controls().AddSlider(Access(field), spec); }
  TSpinEdit2* AddSpinEdit(int P::*field, const TSpinSpec& spec) { return Controls().AddSpinEdit(Access(field), spec); }
  void AddSpinEdits(TPoint P::*field, const TSpinSpec& x, const TSpinSpec& y) {
    Controls().AddSpinEdits(Access(field), x, y);
  }
  void AddSpinEditGrid(std::initializer_list<std::pair<int P::*, TSpinSpec>> edits, int columns,
                       const TCaptionText& label) {
    std::vector<std::pair<TFieldAccess, TSpinSpec>> fields;
    for (const auto& [field, spec] : edits) fields.emplace_back(Access(field), spec);
    Controls().AddSpinEditGrid(std::move(fields), columns, label);
  }
  QCheckBox* AddCheckBox(bool P::*field, const TCheckSpec& spec) { return Controls().AddCheckBox(Access(field), spec); }
  QGroupBox* AddRadioGroup(int P::*field, const TRadioGroupSpec& spec) {
    return Controls().AddRadioGroup(Access(field), spec);
  }
  QComboBox* AddCombo(int P::*field, const TComboSpec& spec) { return Controls().AddCombo(Access(field), spec); }
  QComboBox* AddChannelCombo(int P::*field) { return Controls().AddChannelCombo(Access(field)); }
  TColorEdit* AddColorEdit(TColor P::*field, const TColorEditSpec& spec) {
    return Controls().AddColorEdit(Access(field), spec);
  }
  QTabWidget* AddPages(int P::*field, const TPagesSpec& spec) { return Controls().AddPages(Access(field), spec); }
  void OnPage(int page) { Controls().OnPage(page); }
  void AddWidget(QWidget* widget, const TCaptionText& label = {}) { Controls().AddWidget(widget, label); }

  TLayerOperation Operation() const override {
    if (applyFrom_)
      return [apply = applyFrom_, params = params_](TLayerRun& c) { apply(c.Layer, c.Source, params, c.Rect); };
    if (apply_) return [apply = apply_, params = params_](TLayerRun& c) { apply(c.Layer, params, c.Rect); };
    return [](TLayerRun&) {};
  }
  bool IsNeutral() const override { return qm::IsNeutral(params_); }

 private:
  template <class T>
  TFieldAccess Access(T P::*member) {
    // Never null: DefaultParams<P> above compiles only over a table listing every member.
    const TParamField<P>* f = FieldOf<P>(member);
    if (!f) qFatal("%s binds a control to a member its parameter table does not list", Traits().ClassName);
    return {*f, [this, f] { return GetParam(params_, *f); }, [this, f](TParamValue v) { SetParam(params_, *f, v); }};
  }

  TApply apply_ = nullptr;
  TApplyFrom applyFrom_ = nullptr;
  P params_ = DefaultParams<P>();
};

// Registers the dialog class TForm (a TParamDialog with a static kTraits and a
// constructor without arguments) under its class name: the form is made once, on its
// first opening, and lives as long as the main window it belongs to.
template <class TForm>
void RegisterParamDialog(TDialogRegistry& registry) {
  auto form = std::make_shared<QPointer<TForm>>();
  registry.Register(
      TForm::kTraits.ClassName, TDialogKind::Previewed,
      [form](TDialogHost& host, const TDialogRequest& request) {
        return TParamDialog::Open(host, request, TForm::kTraits, [form] { return CreateFormOnce(*form); });
      },
      [form] {
        if (*form && !(*form)->isVisible()) delete form->data();
      });
}

}  // namespace qm
