#include "dialogs/ParamDialog.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "document/qt/SelectionMask.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

const TCaptionText kChannels[kChannelChoiceCount] = {
    {TextId::GetTrLblChannelAlls, TextId::TrFixChannelAll},
    {TextId::GetTrLblChannelRed, TextId::TrFixChannelRed},
    {TextId::GetTrLblChannelGreen, TextId::TrFixChannelGreen},
    {TextId::GetTrLblChannelBlue, TextId::TrFixChannelBlue},
    {TextId::GetTrLblChannelCyan, TextId::TrFixChannelCyan},
    {TextId::GetTrLblChannelMagenta, TextId::TrFixChannelMagenta},
    {TextId::GetTrLblChannelYellow, TextId::TrFixChannelYellow},
};

}  // namespace

std::string TCaptionText::Text() const {
  if (Design == TextId::Count) return Entry == TextId::Count ? std::string() : Tr(Entry);
  return Entry == TextId::Count ? Tr(Design) : CaptionOr(Entry, Tr(Design));
}

std::string TParamDialog::DialogCaption(const TDialogTraits& traits) {
  return CleanMenuCaption(CaptionOr(traits.MenuText, Tr(traits.Caption)));
}

TParamDialog::TParamDialog(const TDialogTraits& traits) : traits_(traits) {
  setObjectName(QString::fromLatin1(traits.ClassName));
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(Q(DialogCaption(traits)));

  auto* outer = new QVBoxLayout(this);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  controls_ = new QGridLayout;
  controls_->setColumnMinimumWidth(1, 240);
  outer->addLayout(controls_);
  outer->addSpacing(8);
  auto* buttons = new QHBoxLayout;
  btnPreview_ = new QPushButton(Q(CaptionOr(TextId::GetTrBtnPreview, Tr(TextId::TrFixBtnPreview))), this);
  btnOk_ = new QPushButton(Q(CaptionOr(TextId::GetTrBtnOk, Tr(TextId::GetDlgOk))), this);
  btnCancel_ = new QPushButton(Q(CaptionOr(TextId::GetTrBtnCancel, Tr(TextId::GetDlgCancel))), this);
  btnPreview_->setObjectName(QStringLiteral("BApercu"));
  btnOk_->setObjectName(QStringLiteral("BOk"));
  btnCancel_->setObjectName(QStringLiteral("BAnnuler"));
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

QSlider* TParamDialog::AddSlider(const TSliderSpec& spec, const TParamRange& range, std::function<void(int)> store) {
  auto* slider = new QSlider(Qt::Horizontal, this);
  slider->setObjectName(QString::fromLatin1(spec.Name));
  slider->setRange(range.Min, range.Max);
  slider->setPageStep(spec.PageStep);
  if (spec.TickInterval > 0) {
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(spec.TickInterval);
  }
  slider->setValue(range.Default);
  slider->installEventFilter(this);
  auto* label = new QLabel(this);
  label->setObjectName(QString::fromLatin1(spec.LabelName));
  const int row = controls_->rowCount();
  if (spec.LowEnd.Empty() && spec.HighEnd.Empty()) {
    controls_->addWidget(label, row, 0, 1, 4);
    controls_->addWidget(slider, row + 1, 0, 1, 4);
  } else {
    controls_->addWidget(new QLabel(Q(spec.LowEnd.Text()), this), row, 0);
    controls_->addWidget(slider, row, 1);
    controls_->addWidget(new QLabel(Q(spec.HighEnd.Text()), this), row, 2);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-100 %")));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    controls_->addWidget(label, row, 3);
  }
  store(range.Default);
  sliders_.push_back({slider, label, spec, range, std::move(store)});
  ShowValue(sliders_.back());
  // The slider's place in the list, not the element: the list grows as sliders come.
  const size_t index = sliders_.size() - 1;
  connect(slider, &QSlider::valueChanged, this, [this, index](int v) { ValueChanged(sliders_[index], v); });
  return slider;
}

QComboBox* TParamDialog::AddChannelCombo(TChannelChoice initial, std::function<void(TChannelChoice)> store) {
  auto* combo = new QComboBox(this);
  combo->setObjectName(QStringLiteral("CBCouche"));
  for (const TCaptionText& c : kChannels) combo->addItem(Q(c.Text()));
  combo->setCurrentIndex(initial);
  auto* label = new QLabel(Q(CaptionOr(TextId::GetTrLblChannel, Tr(TextId::TrFixLblChannel))), this);
  label->setBuddy(combo);
  const int row = controls_->rowCount();
  controls_->addWidget(label, row, 0);
  controls_->addWidget(combo, row, 1, 1, 3, Qt::AlignLeft);
  connect(combo, &QComboBox::currentIndexChanged, this, [this, store = std::move(store)](int i) {
    if (i < 0 || i >= kChannelChoiceCount) return;
    store(TChannelChoice(i));
    changed_ = true;
    if (live_) FollowControls();
  });
  return combo;
}

void TParamDialog::ShowValue(const TSlider& s) {
  s.Label->setText(Q(Format(s.Spec.Format, {s.Slider->value()})));
}

void TParamDialog::ValueChanged(TSlider& s, int value) {
  s.Store(value);
  ShowValue(s);
  changed_ = true;
}

bool TParamDialog::eventFilter(QObject* watched, QEvent* e) {
  if (live_ && shown_ && qobject_cast<QSlider*>(watched)) {
    switch (e->type()) {
      // The slider has its new value by the time the button or the key goes up.
      case QEvent::MouseButtonRelease:
        FollowControls();
        break;
      case QEvent::KeyRelease:
        if (!static_cast<QKeyEvent*>(e)->isAutoRepeat()) FollowControls();
        break;
      case QEvent::Wheel:
        // The wheel moves the slider after this filter: the preview comes once the
        // notches queued so far are taken.
        if (!wheelPending_) {
          wheelPending_ = true;
          QTimer::singleShot(0, this, [this] {
            wheelPending_ = false;
            if (live_ && shown_) FollowControls();
          });
        }
        break;
      default: break;
    }
  }
  return TPipetteForm::eventFilter(watched, e);
}

void TParamDialog::FollowControls() {
  if (changed_) Preview();
}

// --- The protocol ---------------------------------------------------------------------------

bool TParamDialog::Open(TDialogHost& host, const TDialogRequest& request, const TDialogTraits& traits,
                        const std::function<TParamDialog*()>& form) {
  TNewImgForm* document = host.GetActiveImgForm();
  const TUndoList* history = host.LayerHost().ActiveHistory();
  const TUndoLayerItem* step = history ? history->GetCurrentUndoStep() : nullptr;
  if (!document || !step || !request.NewStep) return false;
  TParamDialog* dialog = form();
  dialog->ShowOver(host, request.Caption.empty() ? DialogCaption(traits) : request.Caption, *step);
  return true;
}

void TParamDialog::ShowOver(TDialogHost& host, const std::string& caption, const TUndoLayerItem& step) {
  services_ = &host;
  document_ = host.GetActiveImgForm();
  layer_ = document_->Image().GetActiveLayer();
  stepId_ = step.Id();
  caption_ = caption;
  QWidget* main = host.MainWindow();
  if (main && parentWidget() != main) setParent(main, windowFlags());
  FormShow();
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
  return options;
}

void TParamDialog::FormShow() {
  if (traits_.Variant == dvAdjustment)
    for (TSlider& s : sliders_) s.Slider->setValue(s.Range.HasNeutral() ? s.Range.Neutral : s.Range.Default);
  for (const TSlider& s : sliders_) ShowValue(s);
  // A filter's values stand as shown: OK without a preview applies them.
  changed_ = traits_.Variant == dvFilter;
  applied_ = previewed_ = false;
  restoreMask_.Clear();
  live_ = traits_.Variant == dvAdjustment && services_->LivePreviewEnabled();
  btnPreview_->setVisible(!live_);
  if (traits_.PicksColors) services_->SetActiveToolDialog(this);
  else services_->SetShellLock(this);
}

bool TParamDialog::TakeDocument() {
  if (!services_ || !document_) return false;
  const std::vector<TNewImgForm*>& open = services_->Windows().Windows();
  if (std::find(open.begin(), open.end(), document_.data()) == open.end()) return false;
  if (services_->GetActiveImgForm() != document_) services_->Windows().ActivateImageWindow(document_);
  if (services_->GetActiveImgForm() != document_) return false;
  const TUndoLayerItem* step = document_->History().GetCurrentUndoStep();
  TLayeredImage& image = document_->Image();
  const int index = image.Layers.IndexOf(layer_);
  if (!step || step->Id() != stepId_ || index < 0) return false;
  if (image.ActiveIndex() != index) {
    image.SetActiveLayerIndex(index);
    document_->Navigator().SyncLayerNavigatorCount();
  }
  return true;
}

void TParamDialog::Preview() {
  if (!shown_) return;
  if (!TakeDocument()) {
    document_ = nullptr;
    hide();
    return;
  }
  // A failed preview has put the step's pixels back and said why: nothing is on the
  // image, and the dialog stays for other values.
  previewed_ = RunLayerPreview(*services_, ChangeOptions(), previewed_ && !traits_.ReadsSource, Operation());
  changed_ = !previewed_;
}

void TParamDialog::Ok() {
  if (!shown_) return;
  TDialogHost& s = *services_;
  if (traits_.Variant == dvAdjustment && IsNeutral()) {
    hide();  // the step is dropped: a neutral adjustment leaves none
    return;
  }
  if (changed_) Preview();
  if (!shown_) return;  // the document went away
  if (!previewed_) return;  // the operation failed: the dialog stays
  applied_ = true;
  if (traits_.Variant == dvAdjustment) {
    s.RefreshLayerNavigator();
    hide();
    return;
  }
  hide();
  // The repeat runs a copy of the values on whatever document is active then, as a new
  // step under the same caption; it keeps nothing of the dialog.
  RecordLayerChangeRepeat(s, ChangeOptions(), Operation(), traits_.RepeatGuard);
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
      s.Operations().EndDialogOperation(previewed_);
      s.RepaintActiveImage();
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
