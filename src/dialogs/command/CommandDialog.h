#pragma once
// The dialogs that are commands rather than previewed filters (image size, canvas, fit,
// new image, copyright, frames and shadows outside the image ...): a form with its own
// OK that does the whole work when pressed, opening its undo step then if it makes one;
// Cancel, Esc or the close box change nothing.
//
// A command dialog is a subclass that declares its controls in Body(), fills them at
// each showing (FormShow) and does its work in Apply. The base writes the rest once:
//   - the showing: made once, parented to the main window, modal or not as the
//     command's request says, holding the shell lock while shown (as the active tool
//     dialog when it picks colours, so that a click on the image gives it a colour);
//   - the keys: Esc closes, Enter is OK; in a dialog whose traits ask for it, "+" and
//     "-" typed into a control become "A" (DialogKeys.h);
//   - OK's barrier: what Apply throws is shown as a message and the dialog stays;
//   - the refusal of an empty field with "Renseignez tous les champs avant de
//     continuer !".
// A modeless dialog working on a document closes when that document closes.
#include <QPointer>
#include <initializer_list>
#include <memory>
#include <string>

#include "dialogs/DialogRegistry.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/DialogHost.h"
#include "shell/services/DialogLauncher.h"
#include "shell/services/FormUtils.h"

class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace qm {

struct TCommandDialogTraits {
  const char* ClassName;  // the registry's name and the form's object name ("TRedimForm")
  TextId Caption;         // the design caption, a fixed text
  TextId MenuText;        // the command's menu entry: the caption once a translation fills it
  bool PicksColors = false;    // colours picked on the image reach TakePickedColor
  bool PlusMinusAsA = false;   // "+" and "-" typed into a control become "A"
  bool NeedsDocument = true;   // refuses to open without an active document
};

class TCommandDialog : public TPipetteForm, public TShellLockHolder {
 public:
  ~TCommandDialog() override;
  TCommandDialog(const TCommandDialog&) = delete;
  TCommandDialog& operator=(const TCommandDialog&) = delete;

  const TCommandDialogTraits& Traits() const { return traits_; }
  // The menu entry once a translation fills it, cleaned; else the design caption.
  static std::string DialogCaption(const TCommandDialogTraits& traits);

  // Shows form over the active document as request says; false when it refused (no
  // document where one is needed, or FormShow said no). A modeless form already shown
  // comes to the front.
  static bool Open(TDialogHost& host, const TDialogRequest& request, TCommandDialog* form);

  void Ok();
  void Cancel();
  QPushButton* OkButton() const { return btnOk_; }
  QPushButton* CancelButton() const { return btnCancel_; }

  void setVisible(bool visible) override;
  void reject() override { Cancel(); }
  void ColorPicked(TColor color) final;
  void DocumentClosing(TNewImgForm& window) final;

 protected:
  explicit TCommandDialog(const TCommandDialogTraits& traits);

  // Where the subclass lays out its controls, above the buttons.
  QVBoxLayout& Body() { return *body_; }

  // While shown: the host, the command's request and its caption (the undo step's
  // name).
  TDialogHost& Host() const { return *host_; }
  const TDialogRequest& Request() const { return request_; }
  const std::string& Caption() const { return caption_; }

  // Fills the controls from the document at each showing; false refuses the showing.
  virtual bool FormShow() { return true; }
  // OK's work: true closes the dialog, false keeps it open (a refusal, told to the user).
  virtual bool Apply() = 0;
  virtual void FormHide() {}
  virtual void TakePickedColor(TColor) {}
  // The tool palette takes the tool once the dialog has closed and let go of the shell
  // (a palette under the shell lock refuses it).
  void SelectToolOnceHidden(int tool) { toolAfterHide_ = tool; }

  // True, with the warning shown, when one of the fields is empty.
  static bool RefuseEmptyFields(std::initializer_list<const QLineEdit*> fields);
  // The same warning for a field the dialog checks itself.
  static void ShowEmptyFieldWarning();

  bool eventFilter(QObject* watched, QEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  const TCommandDialogTraits& traits_;
  QVBoxLayout* body_;
  QPushButton* btnOk_;
  QPushButton* btnCancel_;
  TDialogHost* host_ = nullptr;
  TDialogRequest request_;
  std::string caption_;
  QPointer<TNewImgForm> document_;
  bool shown_ = false;
  int toolAfterHide_ = -1;
};

// Registers the command dialog TForm (a TCommandDialog with a static kTraits and a
// constructor without arguments) under its class name: made on its first opening, kept
// as long as the main window it belongs to, freed between showings when asked (its
// units changed).
template <class TForm>
void RegisterCommandDialog(TDialogRegistry& registry) {
  auto form = std::make_shared<QPointer<TForm>>();
  registry.Register(
      TForm::kTraits.ClassName, TDialogKind::Command,
      [form](TDialogHost& host, const TDialogRequest& request) {
        return TCommandDialog::Open(host, request, CreateFormOnce(*form));
      },
      [form] {
        if (*form && !(*form)->isVisible()) delete form->data();
      });
}

}  // namespace qm
