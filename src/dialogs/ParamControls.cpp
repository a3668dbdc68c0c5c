#include "dialogs/ParamControls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "platform/core/Colors.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/FormUtils.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Latin(const char* s) { return QString::fromLatin1(s); }
// A group's title under a translation stands between blanks, as the designs' do.
TCaptionText GroupTitle(TCaptionText title) {
  title.Kind = ckGroup;
  return title;
}

const char* KindName(TParamKind k) {
  switch (k) {
    case TParamKind::Int: return "Int";
    case TParamKind::Double: return "Double";
    case TParamKind::Bool: return "Bool";
    case TParamKind::Color: return "Color";
    case TParamKind::Choice: return "Choice";
    case TParamKind::Point: return "Point";
  }
  return "?";
}

// One item of a radio group or a combo box for each choice of its field.
void CheckChoices(const TParamInfo& field, const char* control, size_t items) {
  if (int(items) != field.Range.ChoiceCount())
    qFatal("%s offers %d items for the %d choices of %s", control, int(items), field.Range.ChoiceCount(), field.Name);
}

int Position(double value, double scale) { return int(std::lround(value * scale)); }

const std::vector<TCaptionText>& ChannelTexts() {
  static const std::vector<TCaptionText> texts{
      {TextId::GetTrLblChannelAlls, TextId::TrFixChannelAll},
      {TextId::GetTrLblChannelRed, TextId::TrFixChannelRed},
      {TextId::GetTrLblChannelGreen, TextId::TrFixChannelGreen},
      {TextId::GetTrLblChannelBlue, TextId::TrFixChannelBlue},
      {TextId::GetTrLblChannelCyan, TextId::TrFixChannelCyan},
      {TextId::GetTrLblChannelMagenta, TextId::TrFixChannelMagenta},
      {TextId::GetTrLblChannelYellow, TextId::TrFixChannelYellow},
  };
  return texts;
}

}  // namespace


TParamControls::TParamControls(QWidget& dialog, QGridLayout& grid)
    : QObject(&dialog), dialog_(dialog), dialogGrid_(grid), pageGrid_(&grid), grid_(&grid), pickButtons_(new QButtonGroup(this)) {
  pickButtons_->setExclusive(true);
}

TParamControls::~TParamControls() = default;

size_t TParamControls::Add(TFieldAccess&& field, QWidget* widget, std::initializer_list<TParamKind> kinds,
                           const char* what) {
  bool suits = false;
  for (TParamKind k : kinds) suits |= field.Info.Range.Kind == k;
  // A dialog that binds a control to a field of another kind is a programming error
  // every dialog test meets on the dialog's construction.
  if (!suits) qFatal("%s bound to the %s field %s", what, KindName(field.Info.Range.Kind), field.Info.Name);
  TControl& c = controls_.emplace_back();
  c.Field = std::move(field);
  c.Widget = widget;
  return controls_.size() - 1;
}

void TParamControls::Store(size_t i, TParamValue v) {
  const TFieldAccess& f = controls_[i].Field;
  const TParamValue before = f.Get();
  f.Set(v);
  if (f.Get() != before) Notify(Changed);
}

void TParamControls::AddRow(const TCaptionText& label, QWidget* control, QWidget* after) {
  const int row = grid_->rowCount();
  if (!label.Empty()) {
    QLabel* text = SetTexts(new QLabel(&dialog_), label);
    text->setBuddy(control);
    grid_->addWidget(text, row, 0);
  }
  if (!after) {
    grid_->addWidget(control, row, 1, 1, 3, Qt::AlignLeft);
    return;
  }
  // The second widget (a pick button) right after the control.
  auto* pair = new QWidget(&dialog_);
  auto* line = new QHBoxLayout(pair);
  line->setContentsMargins(0, 0, 0, 0);
  line->addWidget(control);
  line->addWidget(after);
  line->addStretch(1);
  grid_->addWidget(pair, row, 1, 1, 3);
}

// --- Sliders -------------------------------------------------------------------------------

QSlider* TParamControls::AddSlider(TFieldAccess field, const TSliderSpec& spec) {
  const bool real = field.Info.Range.Kind == TParamKind::Double;
  const double scale = real ? spec.Scale : 1;
  const TParamRange range = field.Info.Range;
  auto* slider = new QSlider(Qt::Horizontal, &dialog_);
  slider->setObjectName(Latin(spec.Name));
  const size_t i = Add(std::move(field), slider, {TParamKind::Int, TParamKind::Double}, "a slider");
  slider->setRange(Position(range.Min, scale), Position(range.Max, scale));
  slider->setPageStep(spec.PageStep);
  if (spec.TickInterval > 0) {
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(spec.TickInterval);
  }
  auto* label = new QLabel(&dialog_);
  label->setObjectName(Latin(spec.LabelName));
  const int row = grid_->rowCount();
  if (spec.LowEnd.Empty() && spec.HighEnd.Empty()) {
    grid_->addWidget(label, row, 0, 1, 4);
    grid_->addWidget(slider, row + 1, 0, 1, 4);
  } else {
    grid_->addWidget(SetTexts(new QLabel(&dialog_), spec.LowEnd), row, 0);
    grid_->addWidget(slider, row, 1);
    grid_->addWidget(SetTexts(new QLabel(&dialog_), spec.HighEnd), row, 2);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-100 %")));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid_->addWidget(label, row, 3);
  }
  TControl& c = controls_[i];
  c.Scale = scale;
  c.IsSlider = true;
  c.ValueLabel = label;
  c.Format = spec.Format;
  c.Load = [this, i, slider] {
    const TControl& c = controls_[i];
    slider->setValue(Position(c.Field.Get().X, c.Scale));
    ShowSliderValue(c);
  };
  connect(slider, &QSlider::valueChanged, this, [this, i](int position) {
    Store(i, position / controls_[i].Scale);
    ShowSliderValue(controls_[i]);
  });
  slider->installEventFilter(this);
  c.Load();
  return slider;
}

void TParamControls::ShowSliderValue(const TControl& c) {
  const double v = c.Field.Get().X;
  if (c.Field.Info.Range.Kind == TParamKind::Double)
    c.ValueLabel->setText(Q(Format(c.Format, {v})));
  else
    c.ValueLabel->setText(Q(Format(c.Format, {int(v)})));
}

bool TParamControls::eventFilter(QObject* watched, QEvent* e) {
  if (qobject_cast<QSlider*>(watched)) {
    switch (e->type()) {
      // The slider has its new value by the time the button or the key goes up.
      case QEvent::MouseButtonRelease:
        Notify(Settled);
        break;
      case QEvent::KeyRelease:
        if (!static_cast<QKeyEvent*>(e)->isAutoRepeat()) Notify(Settled);
        break;
      case QEvent::Wheel:
        // The wheel moves the slider after this filter: the gesture ends once the
        // notches queued so far are taken.
        if (!wheelPending_) {
          wheelPending_ = true;
          QTimer::singleShot(0, this, [this] {
            wheelPending_ = false;
            Notify(Settled);
          });
        }
        break;
      default: break;
    }
  }
  return QObject::eventFilter(watched, e);
}

// --- Spin edits --------------------------------------------------------------------------

TSpinEdit2* TParamControls::AddSpinEdit(TFieldAccess field, const TSpinSpec& spec) {
  return AddSpin(std::move(field), spec, 0, TParamKind::Int);
}

void TParamControls::AddSpinEdits(TFieldAccess field, const TSpinSpec& x, const TSpinSpec& y) {
  AddSpin(field, x, 0, TParamKind::Point);
  AddSpin(std::move(field), y, 1, TParamKind::Point);
}

void TParamControls::AddSpinEditGrid(std::vector<std::pair<TFieldAccess, TSpinSpec>> fields, int columns,
                                     const TCaptionText& label) {
  auto* box = new QWidget(&dialog_);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  int k = 0;
  for (auto& [field, spec] : fields) {
    const int row = k / std::max(columns, 1), column = k % std::max(columns, 1);
    AddSpin(std::move(field), spec, 0, TParamKind::Int,
            [grid, row, column](QWidget* edit) { grid->addWidget(edit, row, column); });
    ++k;
  }
  AddRow(label, box);
}

TSpinEdit2* TParamControls::AddSpin(TFieldAccess field, const TSpinSpec& spec, int coordinate, TParamKind kind,
                                    const std::function<void(QWidget*)>& place) {
  auto* edit = new TSpinEdit2(&dialog_);
  edit->setObjectName(Latin(spec.Name));
  const size_t i = Add(std::move(field), edit, {kind}, "a spin edit");
  TControl& c = controls_[i];
  c.Coordinate = coordinate;
  c.EmptyReads = spec.EmptyReads;
  const TParamRange& range = c.Field.Info.Range;
  edit->SetMinValue(int(range.Min));
  edit->SetMaxValue(int(range.Max));
  if (spec.Characters > 0) edit->setMaxLength(spec.Characters);
  if (place) place(edit);
  else AddRow(spec.Label, edit);
  c.Load = [this, i, edit] {
    const TParamValue v = controls_[i].Field.Get();
    edit->SetValue(int(controls_[i].Coordinate ? v.Y : v.X));
  };
  // The text is read through the control's range at each change, so a value typed past
  // it reaches the field clamped before any Preview or OK, Enter included. Typing goes
  // on until the text is confirmed or left; the arrows end their gesture at once.
  edit->OnChange = [this, i, edit] {
    const TControl& c = controls_[i];
    TParamValue v = c.Field.Get();
    const bool empty = c.EmptyReads && edit->text().isEmpty();
    (c.Coordinate ? v.Y : v.X) = edit->CheckValue(empty ? *c.EmptyReads : edit->Value());
    Store(i, v);
    if (!edit->isModified()) Notify(Settled);
  };
  connect(edit, &QLineEdit::editingFinished, this, [this] { Notify(Settled); });
  c.Load();
  return edit;
}

// --- Choices -----------------------------------------------------------------------------

QCheckBox* TParamControls::AddCheckBox(TFieldAccess field, const TCheckSpec& spec) {
  auto* box = new QCheckBox(&dialog_);
  SetTexts(box, spec.Caption);
  box->setObjectName(Latin(spec.Name));
  const size_t i = Add(std::move(field), box, {TParamKind::Bool}, "a check box");
  grid_->addWidget(box, grid_->rowCount(), 0, 1, 4);
  controls_[i].Load = [this, i, box] { box->setChecked(controls_[i].Field.Get().X != 0); };
  connect(box, &QCheckBox::toggled, this, [this, i](bool on) {
    Store(i, on ? 1.0 : 0.0);
    Notify(Settled);
  });
  controls_[i].Load();
  return box;
}

QGroupBox* TParamControls::AddRadioGroup(TFieldAccess field, const TRadioGroupSpec& spec) {
  auto* box = SetTexts(new QGroupBox(&dialog_), GroupTitle(spec.Caption));
  box->setObjectName(Latin(spec.Name));
  const size_t i = Add(std::move(field), box, {TParamKind::Choice}, "a radio group");
  CheckChoices(controls_[i].Field.Info, spec.Name, spec.Items.size());
  auto* layout = new QVBoxLayout(box);
  auto* group = new QButtonGroup(box);
  group->setExclusive(true);
  for (size_t k = 0; k < spec.Items.size(); ++k) {
    auto* button = new QRadioButton(box);
    SetTexts(button, spec.Items[k].Caption);
    button->setObjectName(Latin(spec.Items[k].Name));
    group->addButton(button, int(k));
    layout->addWidget(button);
  }
  grid_->addWidget(box, grid_->rowCount(), 0, 1, 4);
  controls_[i].Load = [this, i, group] {
    if (QAbstractButton* b = group->button(int(controls_[i].Field.Get().X))) b->setChecked(true);
  };
  connect(group, &QButtonGroup::idToggled, this, [this, i](int id, bool checked) {
    if (!checked) return;
    Store(i, id);
    Notify(Settled);
  });
  controls_[i].Load();
  return box;
}

QComboBox* TParamControls::AddCombo(TFieldAccess field, const TComboSpec& spec) {
  auto* combo = new QComboBox(&dialog_);
  combo->setObjectName(Latin(spec.Name));
  const size_t i = Add(std::move(field), combo, {TParamKind::Choice}, "a combo box");
  CheckChoices(controls_[i].Field.Info, spec.Name, spec.Items.size());
  SetItems(combo, spec.Items);
  AddRow(spec.Label, combo);
  controls_[i].Load = [this, i, combo] { combo->setCurrentIndex(int(controls_[i].Field.Get().X)); };
  connect(combo, &QComboBox::currentIndexChanged, this, [this, i](int index) {
    if (index < 0) return;
    Store(i, index);
    Notify(Settled);
  });
  controls_[i].Load();
  return combo;
}

QComboBox* TParamControls::AddChannelCombo(TFieldAccess field) {
  return AddCombo(std::move(field),
                  {"CBCouche", {TextId::GetTrLblChannel, TextId::TrFixLblChannel}, ChannelTexts()});
}

// --- Colours -----------------------------------------------------------------------------

TColorEdit* TParamControls::AddColorEdit(TFieldAccess field, const TColorEditSpec& spec) {
  auto* edit = new TColorEdit(&dialog_);
  edit->setObjectName(Latin(spec.Name));
  const size_t i = Add(std::move(field), edit, {TParamKind::Color}, "a colour edit");
  QToolButton* pick = nullptr;
  if (spec.PickButton) {
    pick = new QToolButton(&dialog_);
    pick->setObjectName(Latin(spec.PickButton));
    pick->setCheckable(true);
    pick->setAutoRaise(true);
    SetColorButtonGlyph(pick);
    pickButtons_->addButton(pick);
  }
  controls_[i].PickButton = pick;
  AddRow(spec.Label, edit, pick);
  controls_[i].Load = [this, i, edit] { edit->SetColor(TColor(controls_[i].Field.Get().X)); };
  edit->OnChange = [this, i, edit] {
    Store(i, double(ColorToRGB(edit->Color())));
    if (!routingPick_) Notify(Settled);
  };
  controls_[i].Load();
  return edit;
}

bool TParamControls::TakePickedColor(TColor color) {
  const bool buttons = !pickButtons_->buttons().isEmpty();
  for (TControl& c : controls_) {
    auto* edit = dynamic_cast<TColorEdit*>(c.Widget);
    if (!edit || (buttons && !(c.PickButton && c.PickButton->isChecked()))) continue;
    routingPick_ = true;
    edit->SetColor(color);
    routingPick_ = false;
    return true;
  }
  return false;
}

// --- Pages and widgets of the dialog's own -------------------------------------------------

QTabWidget* TParamControls::AddPages(TFieldAccess field, const TPagesSpec& spec) {
  auto* pages = new QTabWidget(&dialog_);
  pages->setObjectName(Latin(spec.Name));
  const size_t i = Add(std::move(field), pages, {TParamKind::Choice}, "a page control");
  CheckChoices(controls_[i].Field.Info, spec.Name, spec.Pages.size());
  pageGrids_.clear();
  for (const TPageSpec& p : spec.Pages) {
    auto* page = new QWidget(pages);
    page->setObjectName(Latin(p.Name));
    auto* grid = new QGridLayout(page);
    grid->setColumnMinimumWidth(1, 200);
    pageGrids_.push_back(grid);
    const int tab = pages->addTab(page, QString());
    SetTexts(page, [pages, tab, caption = p.Caption] { pages->setTabText(tab, Q(caption.Text())); });
  }
  dialogGrid_.addWidget(pages, dialogGrid_.rowCount(), 0, 1, 4);
  controls_[i].Load = [this, i, pages] { pages->setCurrentIndex(int(controls_[i].Field.Get().X)); };
  connect(pages, &QTabWidget::currentChanged, this, [this, i](int index) {
    if (index < 0) return;
    Store(i, index);
    Notify(Settled);
  });
  controls_[i].Load();
  return pages;
}

void TParamControls::OnPage(int page) {
  pageGrid_ = page >= 0 && size_t(page) < pageGrids_.size() ? pageGrids_[size_t(page)] : &dialogGrid_;
  grid_ = pageGrid_;
}

void TParamControls::AddWidget(QWidget* widget, const TCaptionText& label) {
  if (label.Empty()) grid_->addWidget(widget, grid_->rowCount(), 0, 1, 4);
  else AddRow(label, widget);
}

void TParamControls::FillEmptyFields() {
  for (TControl& c : controls_) {
    auto* edit = dynamic_cast<TSpinEdit2*>(c.Widget);
    if (!edit || !c.EmptyReads || !edit->text().isEmpty()) continue;
    edit->SetValue(*c.EmptyReads);
    edit->selectAll();
  }
}

bool TParamControls::HasEmptyField() const {
  for (const TControl& c : controls_) {
    auto* edit = dynamic_cast<const TSpinEdit2*>(c.Widget);
    if (edit && !c.EmptyReads && edit->text().trimmed().isEmpty()) return true;
  }
  return false;
}

// --- Groups ------------------------------------------------------------------------------

QGroupBox* TParamControls::BeginGroup(const char* name, const TCaptionText& title) {
  EndGroup();
  auto* box = SetTexts(new QGroupBox(&dialog_), GroupTitle(title));
  box->setObjectName(Latin(name));
  pageGrid_->addWidget(box, pageGrid_->rowCount(), 0, 1, 4);
  grid_ = new QGridLayout(box);
  return box;
}

void TParamControls::EndGroup() { grid_ = pageGrid_; }

// --- Showing -------------------------------------------------------------------------------

void TParamControls::Show(TReset reset) {
  for (TControl& c : controls_) {
    const TParamRange& r = c.Field.Info.Range;
    if (reset == rsAllToDefaults)
      c.Field.Set(r.Default);
    else if (reset == rsSlidersToNeutral && c.IsSlider)
      c.Field.Set(r.HasNeutral() ? *r.Neutral : r.Default);
  }
  if (!pickButtons_->buttons().isEmpty()) pickButtons_->buttons().front()->setChecked(true);
  for (TControl& c : controls_) c.Load();
}

std::vector<TBoundControl> TParamControls::Bound() const {
  std::vector<TBoundControl> bound;
  for (const TControl& c : controls_) bound.push_back({c.Field.Info, c.Widget, c.Coordinate, c.Scale, c.EmptyReads});
  return bound;
}

}  // namespace qm
