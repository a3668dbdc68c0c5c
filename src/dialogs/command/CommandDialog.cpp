#include "dialogs/command/CommandDialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <utility>

#include "controls/TableTexts.h"
#include "dialogs/DialogKeys.h"

#include "platform/core/Messages.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/LayerChange.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

std::string TCommandDialog::DialogCaption(const TCommandDialogTraits& traits) {
  return CleanMenuCaption(CaptionOr(traits.MenuText, Tr(traits.Caption)));
}

TCommandDialog::TCommandDialog(const TCommandDialogTraits& traits) : traits_(traits) {
  setObjectName(QString::fromLatin1(traits.ClassName));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  SetTitle(this, [this] { return caption_.empty() ? DialogCaption(traits_) : caption_; });
  auto* outer = new QVBoxLayout(this);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  body_ = new QVBoxLayout;
  outer->addLayout(body_);
  outer->addSpacing(6);
  auto* buttons = new QHBoxLayout;
  btnOk_ = new QPushButton(this);
  btnCancel_ = new QPushButton(this);
  SetTexts(btnOk_, {TextId::GetTrBtnOk, TextId::GetDlgOk});
  SetTexts(btnCancel_, {TextId::GetTrBtnCancel, TextId::GetDlgCancel});
  btnOk_->setObjectName(QStringLiteral("BOk"));
  btnCancel_->setObjectName(QStringLiteral("BAnnuler"));
  btnOk_->setDefault(true);
  btnCancel_->setAutoDefault(false);
  buttons->addStretch(1);
  buttons->addWidget(btnOk_);
  buttons->addWidget(btnCancel_);
  outer->addLayout(buttons);
  connect(btnOk_, &QPushButton::clicked, this, [this] { Ok(); });
  connect(btnCancel_, &QPushButton::clicked, this, [this] { Cancel(); });
}

TCommandDialog::~TCommandDialog() {
  // Freed with the main window or at the end of the run: the shell is going too.
  shown_ = false;
}

bool TCommandDialog::Open(TDialogHost& host, const TDialogRequest& request, TCommandDialog* form) {
  if (!form) return false;
  if (form->traits_.NeedsDocument && !host.HasActiveImage()) return false;
  if (form->isVisible()) {
    form->raise();
    form->activateWindow();
    return true;
  }
  form->host_ = &host;
  form->request_ = request;
  form->caption_ = request.Caption.empty() ? DialogCaption(form->traits_) : request.Caption;
  form->document_ = host.GetActiveImgForm();
  QWidget* main = host.MainWindow();
  if (main && form->parentWidget() != main) form->setParent(main, form->windowFlags());
  form->setWindowTitle(Q(form->caption_));
  form->setWindowModality(request.Modal ? Qt::ApplicationModal : Qt::NonModal);
  if (!form->FormShow()) return false;
  if (form->traits_.PicksColors) host.SetActiveToolDialog(form);
  else host.SetShellLock(form);
  form->adjustSize();
  if (main) form->move(main->mapToGlobal(main->rect().center()) - QPoint(form->width() / 2, form->height() / 2));
  form->shown_ = true;
  form->show();
  form->raise();
  form->activateWindow();
  form->btnOk_->setFocus();
  return true;
}

void TCommandDialog::Ok() {
  if (!shown_) return;
  bool done = false;
  // OK runs outside the command that opened the dialog: this is its barrier.
  try {
    done = Apply();
  } catch (...) {
    ShowMessageDialog(FailureMessage(std::current_exception()), mtError, mbOK);
  }
  if (done && shown_) hide();
}

void TCommandDialog::Cancel() {
  if (shown_) hide();
}

void TCommandDialog::setVisible(bool visible) {
  TPipetteForm::setVisible(visible);
  if (visible || !shown_) return;
  shown_ = false;
  FormHide();
  if (traits_.PicksColors) host_->SetActiveToolDialog(nullptr);
  else host_->SetShellLock(nullptr);
  document_ = nullptr;
  if (toolAfterHide_ >= 0) host_->SelectPaletteTool(std::exchange(toolAfterHide_, -1));
}

void TCommandDialog::ColorPicked(TColor color) {
  if (shown_) TakePickedColor(color);
}

void TCommandDialog::DocumentClosing(TNewImgForm& window) {
  if (shown_ && &window == document_) hide();
}

bool TCommandDialog::RefuseEmptyFields(std::initializer_list<const QLineEdit*> fields) {
  for (const QLineEdit* f : fields)
    if (f && f->text().trimmed().isEmpty()) {
      ShowEmptyFieldWarning();
      return true;
    }
  return false;
}

void TCommandDialog::ShowEmptyFieldWarning() { ShowMessageDialog(Tr(TextId::GetTrDldGlb1), mtWarning, mbOK); }

void TCommandDialog::showEvent(QShowEvent* e) {
  TPipetteForm::showEvent(e);
  // Every control of the form sees its keys through the form first (a control made
  // after the first showing is caught at the next one).
  for (QWidget* w : findChildren<QWidget*>())
    if (w->window() == this) w->installEventFilter(this);
}

bool TCommandDialog::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::KeyPress || !shown_) return TPipetteForm::eventFilter(watched, e);
  auto* key = static_cast<QKeyEvent*>(e);
  switch (key->key()) {
    case Qt::Key_Escape:
      Cancel();
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // a field typed in keeps its text: OK reads every field through its range
      Ok();
      return true;
    default: break;
  }
  if (traits_.PlusMinusAsA && TypePlusMinusAsA(watched, e)) return true;
  return TPipetteForm::eventFilter(watched, e);
}

}  // namespace qm
