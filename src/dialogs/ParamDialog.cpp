#include "dialogs/ParamDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/TableTexts.h"
#include "dialogs/DialogKeys.h"
#include "dialogs/DialogStep.h"
#include "document/qt/SelectionMask.h"
#include "platform/core/Messages.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }


}  // namespace

std::string TParamDialog::DialogCaption(const TDialogTraits& traits) {
  return CleanMenuCaption(CaptionOr(traits.MenuText, Tr(traits.Caption)));
}

TParamDialog::TParamDialog(const TDialogTraits& traits) : traits_(traits) {
  setObjectName(QString::fromLatin1(traits.ClassName));
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  SetTitle(this, [this] { return traits_.TitleFromCommand && !caption_.empty() ? caption_ : DialogCaption(traits_); });

  auto* outer = new QVBoxLayout(this);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  auto* grid = new QGridLayout;
  grid->setColumnMinimumWidth(1, 240);
  outer->addLayout(grid);
  controls_ = new TParamControls(*this, *grid);
  controls_->Changed = [this] { changed_ = true; };
  controls_->Settled = [this] {
    if (live_ && shown_ && isVisible()) FollowControls();
  };
  if (traits.PreviewSwitch) {
    previewSwitch_ = new QCheckBox(this);
    SetTexts(previewSwitch_, {TextId::GetTrLblDirectPreview, TextId::TrFixLblDirectPreview});
    previewSwitch_->setObjectName(QStringLiteral("ChkPreview"));
    outer->addWidget(previewSwitch_);
    connect(previewSwitch_, &QCheckBox::toggled, this, [this](bool on) { PreviewSwitched(on); });
  }
  outer->addSpacing(8);
  auto* buttons = new QHBoxLayout;
  btnPreview_ = new QPushButton(this);
  btnOk_ = new QPushButton(this);
  btnCancel_ = new QPushButton(this);
  SetTexts(btnPreview_, {TextId::GetTrBtnPreview, TextId::TrFixBtnPreview});
  SetTexts(btnOk_, {TextId::GetTrBtnOk, TextId::GetDlgOk});
  SetTexts(btnCancel_, {TextId::GetTrBtnCancel, TextId::GetDlgCancel});
  btnPreview_->setObjectName(QString::fromLatin1(traits.Buttons.Preview));
  btnOk_->setObjectName(QString::fromLatin1(traits.Buttons.Ok));
  btnCancel_->setObjectName(QString::fromLatin1(traits.Buttons.Cancel));
  btnPreview_->setAutoDefault(false);
  btnCancel_->setAutoDefault(false);
  btnOk_->setDefault(true);
  buttons->addWidget(btnPreview_);
  buttons->addStretch(1);
  buttons->addWidget(btnOk_);
  buttons->addWidget(btnCancel_);
  outer->addLayout(buttons);
  connect(btnPreview_, &QPushButton::clicked, this, [this] { Preview(); });
  connect(btnOk_, &QPushButton::clicked, this, [this] { Ok(); });
  connect(btnCancel_, &QPushButton::clicked, this, [this] { Cancel(); });
}

TParamDialog::~TParamDialog() {
  // Freed with the main window or at the end of the run: the shell is going too.
  shown_ = false;
}

// --- Controls -------------------------------------------------------------------------------

void TParamDialog::TakePickedColor(TColor color) { controls_->TakePickedColor(color); }

void TParamDialog::FollowControls() {
  // A field being emptied and typed again is refused only by a preview asked for.
  if (changed_ && !controls_->HasEmptyField()) Preview();
}

bool TParamDialog::RefuseEmptyField() {
  if (!controls_->HasEmptyField()) return false;
  ShowMessageDialog(Tr(TextId::GetTrDldGlb1), mtWarning, mbOK);
  if (previewed_) PutStepBack(*services_);
  previewed_ = false;
  changed_ = true;
  return true;
}

void TParamDialog::PreviewSwitched(bool on) {
  if (!shown_) return;  // the first showing sets the box; FormShow reads it
  live_ = on;
  btnPreview_->setEnabled(!on);
  if (on && isVisible()) Preview();
}

// --- The protocol ---------------------------------------------------------------------------

bool TParamDialog::Open(TDialogHost& host, const TDialogRequest& request, const TDialogTraits& traits,
                        const std::function<TParamDialog*()>& form) {
  TNewImgForm* document = host.GetActiveImgForm();
  const TUndoList* history = host.LayerHost().ActiveHistory();
  const TUndoLayerItem* step = history ? history->GetCurrentUndoStep() : nullptr;
  if (!document || !step) return false;
  TParamDialog* dialog = form();
  if (!dialog->TakeRequest(host, request)) return false;
  dialog->ShowOver(host, request, request.Caption.empty() ? DialogCaption(traits) : request.Caption, *step);
  return true;
}

void TParamDialog::ShowOver(TDialogHost& host, const TDialogRequest& request, const std::string& caption,
                            const TUndoLayerItem& step) {
  services_ = &host;
  document_ = host.GetActiveImgForm();
  layer_ = document_->Image().GetActiveLayer();
  stepId_ = step.Id();
  caption_ = caption;
  mode_ = request.Mode;
  QWidget* main = host.MainWindow();
  if (main && parentWidget() != main) setParent(main, windowFlags());
  if (traits_.TitleFromCommand) setWindowTitle(Q(caption));
  if (previewSwitch_ && !switchSet_) {
    previewSwitch_->setChecked(host.LivePreviewEnabled());
    switchSet_ = true;
  }
  FormShow();
  Showing();
  // Every control sees its keys through the dialog first (one made by Showing too).
  if (traits_.PlusMinusAsA)
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
  adjustSize();
  if (main) move(main->mapToGlobal(main->rect().center()) - QPoint(width() / 2, height() / 2));
  shown_ = true;
  show();
  raise();
  activateWindow();
  btnOk_->setFocus();
  if (live_ && traits_.PreviewOnShow) {
    Preview();
    host.Windows().RefreshAllImageWindows();
  }
}

TLayerChangeOptions TParamDialog::ChangeOptions() {
  TLayerChangeOptions options;
  options.Kind = traits_.UndoKind;
  options.Caption = caption_;
  options.Edge = seProgressive;
  options.Cache = &restoreMask_;
  options.Restrict = !traits_.Unrestricted;
  if (traits_.BusyText != TextId::Count) options.BusyText = Tr(traits_.BusyText);
  return options;
}

void TParamDialog::FormShow() {
  controls_->Show(traits_.ResetEachShowing             ? TParamControls::rsAllToDefaults
                  : traits_.Variant == dvAdjustment ? TParamControls::rsSlidersToNeutral
                                                    : TParamControls::rsKeep);
  // A filter's values stand as shown: OK without a preview applies them.
  changed_ = traits_.Variant == dvFilter;
  applied_ = previewed_ = false;
  restoreMask_.Clear();
  if (previewSwitch_) {
    live_ = previewSwitch_->isChecked();
    btnPreview_->setEnabled(!live_);
  } else {
    live_ = (traits_.Variant == dvAdjustment || traits_.Live) && services_->LivePreviewEnabled();
    btnPreview_->setVisible(!live_);
  }
  if (traits_.PicksColors) services_->SetActiveToolDialog(this);
  else services_->SetShellLock(this);
}

bool TParamDialog::TakeDocument() {
  return services_ && ResumeDialogStep(*services_, document_, layer_, stepId_);
}

void TParamDialog::Preview() {
  if (!shown_) return;
  if (!TakeDocument()) {
    document_ = nullptr;
    hide();
    return;
  }
  controls_->FillEmptyFields();
  if (RefuseEmptyField()) return;
  BeforePreview();
  // A failed preview has put the step's pixels back and said why: nothing is on the
  // image, and the dialog stays for other values.
  previewed_ = ShowResult(previewed_ && !traits_.ReadsSource);
  changed_ = !previewed_;
}

bool TParamDialog::TakeRequest(TDialogHost&, const TDialogRequest& request) { return request.NewStep; }

bool TParamDialog::ShowResult(bool restoreFirst) {
  return RunLayerPreview(*services_, ChangeOptions(), restoreFirst, Operation());
}

void TParamDialog::TakeBack(bool previewed) {
  services_->Operations().EndDialogOperation(previewed);
  services_->RepaintActiveImage();
}

void TParamDialog::Ok() {
  if (!shown_) return;
  TDialogHost& s = *services_;
  if (traits_.Variant == dvAdjustment && IsNeutral()) {
    hide();  // the step is dropped: a neutral adjustment leaves none
    return;
  }
  if (changed_ || controls_->HasEmptyField()) Preview();
  if (!shown_) return;  // the document went away
  if (!previewed_) return;  // the operation failed: the dialog stays
  applied_ = true;
  Applied();
  if (traits_.Variant == dvAdjustment || traits_.NotRepeated) {
    s.RefreshLayerNavigator();
    hide();
    return;
  }
  hide();
  // The repeat runs a copy of the values on whatever document is active then, as a new
  // step under the same caption; it keeps nothing of the dialog.
  RecordLayerChangeRepeat(s, ChangeOptions(), RepeatOperation(), traits_.RepeatGuard);
}

void TParamDialog::Cancel() { hide(); }

void TParamDialog::setVisible(bool visible) {
  TPipetteForm::setVisible(visible);
  if (!visible && shown_) {
    shown_ = false;
    FormHide();
  }
}

void TParamDialog::FormHide() {
  TDialogHost& s = *services_;
  if (!applied_) {
    if (TakeDocument()) {
      TakeBack(previewed_ || traits_.ChangesOnShow);
    } else {
      s.Operations().AbandonDialogOperation();
    }
  }
  if (traits_.PicksColors) s.SetActiveToolDialog(nullptr);
  else s.SetShellLock(nullptr);
  document_ = nullptr;
  layer_ = nullptr;
  live_ = false;
  restoreMask_.Clear();
}

bool TParamDialog::eventFilter(QObject* watched, QEvent* e) {
  if (traits_.PlusMinusAsA && shown_ && TypePlusMinusAsA(watched, e)) return true;
  return TPipetteForm::eventFilter(watched, e);
}

void TParamDialog::ColorPicked(TColor color) {
  if (!shown_) return;
  TakePickedColor(color);
  changed_ = true;
  if (live_) FollowControls();
}

void TParamDialog::DocumentClosing(TNewImgForm& window) {
  if (!shown_ || &window != document_) return;
  document_ = nullptr;
  hide();
}

}  // namespace qm
