#include "modules/twain/DsmDialogs.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"

namespace qm::twaindsm {

namespace {

QString Text(TextId id) { return QString::fromStdString(Tr(id)); }

// How a value of an option reads in the interface.
QString ValueCaption(const std::string& option, const std::string& value) {
  if (option == kOptionMode) {
    if (value == SANE_VALUE_SCAN_MODE_COLOR) return Text(TextId::GetTrLblTwainColor);
    if (value == SANE_VALUE_SCAN_MODE_GRAY) return Text(TextId::GetTrLblTwainGray);
    if (value == SANE_VALUE_SCAN_MODE_LINEART) return Text(TextId::GetTrLblTwainLineart);
  } else if (option == kOptionSource) {
    if (value == "Flatbed") return Text(TextId::GetTrLblTwainFlatbed);
    if (value == "Automatic Document Feeder" || value == "ADF") return Text(TextId::GetTrLblTwainFeeder);
    if (value == "Transparency Adapter") return Text(TextId::GetTrLblTwainTransparency);
  } else if (option == kOptionDepth || option == kOptionResolution) {
    const double v = SaneNumber(value);
    if (v == std::floor(v))
      return QString::fromStdString(Format(option == kOptionDepth ? TextId::GetTrFmtTwainDepth
                                                                  : TextId::GetTrFmtTwainResolution,
                                           {int(v)}));
  }
  return QString::fromStdString(value);
}

TextId LabelOf(const std::string& option) {
  if (option == kOptionMode) return TextId::GetTrLblTwainMode;
  if (option == kOptionDepth) return TextId::GetTrLblTwainDepth;
  if (option == kOptionResolution) return TextId::GetTrLblTwainResolution;
  return TextId::GetTrLblTwainSource;
}

QString ObjectSuffix(const std::string& option) {
  if (option == kOptionMode) return QStringLiteral("Mode");
  if (option == kOptionDepth) return QStringLiteral("Depth");
  if (option == kOptionResolution) return QStringLiteral("Resolution");
  return QStringLiteral("Source");
}

}  // namespace

TScanOptionsDialog::TScanOptionsDialog(const QString& deviceTitle) {
  setObjectName(QStringLiteral("TScanOptionsDialog"));
  setWindowTitle(Text(TextId::GetTrLblTwainOptions) + QStringLiteral(" - ") + deviceTitle);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  for (const char* option : {kOptionMode, kOptionDepth, kOptionResolution, kOptionSource}) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(QStringLiteral("Cmb") + ObjectSuffix(option));
    auto* label = new QLabel(Text(LabelOf(option)), this);
    label->setObjectName(QStringLiteral("Lbl") + ObjectSuffix(option));
    label->setBuddy(combo);
    form->addRow(label, combo);
    combos_.push_back(combo);
    const std::string name = option;
    if (name == kOptionMode || name == kOptionSource)
      connect(combo, &QComboBox::currentIndexChanged, this, [this, combo, name] {
        if (!filling_ && OnChoiceChanged && combo->currentIndex() >= 0)
          OnChoiceChanged(name, combo->currentData().toString().toStdString());
      });
  }
  layout->addLayout(form);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("LblStatus"));
  status_->setWordWrap(true);
  layout->addWidget(status_);
  auto* buttons = new QDialogButtonBox(this);
  scan_ = buttons->addButton(Text(TextId::GetTrBtnTwainScan), QDialogButtonBox::AcceptRole);
  scan_->setObjectName(QStringLiteral("BtnScan"));
  scan_->setDefault(true);
  close_ = buttons->addButton(Text(TextId::GetTrBtnTwainClose), QDialogButtonBox::RejectRole);
  close_->setObjectName(QStringLiteral("BtnClose"));
  layout->addWidget(buttons);
  connect(scan_, &QPushButton::clicked, this, [this] {
    if (!busy_ && OnScan) OnScan();
  });
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
}

void TScanOptionsDialog::SetChoices(const std::vector<TSaneChoice>& choices) {
  filling_ = true;
  choices_ = choices;
  for (size_t i = 0; i < combos_.size(); ++i) {
    QComboBox* combo = combos_[i];
    combo->clear();
    if (i >= choices.size() || !choices[i].Usable) {
      combo->setEnabled(false);
      continue;
    }
    for (const std::string& v : choices[i].Values)
      combo->addItem(ValueCaption(choices[i].Name, v), QString::fromStdString(v));
    combo->setCurrentIndex(combo->findData(QString::fromStdString(choices[i].Current)));
    combo->setEnabled(!busy_);
  }
  filling_ = false;
}

std::vector<std::string> TScanOptionsDialog::ChosenValues() const {
  std::vector<std::string> values;
  for (size_t i = 0; i < combos_.size() && i < choices_.size(); ++i)
    values.push_back(choices_[i].Usable && combos_[i]->currentIndex() >= 0
                         ? combos_[i]->currentData().toString().toStdString()
                         : std::string());
  return values;
}

void TScanOptionsDialog::SetBusy(bool busy) {
  busy_ = busy;
  for (size_t i = 0; i < combos_.size(); ++i) combos_[i]->setEnabled(!busy && i < choices_.size() && choices_[i].Usable);
  scan_->setEnabled(!busy);
  SetStatus(busy ? Text(TextId::GetTrStaTwainScanning) : QString());
}

void TScanOptionsDialog::SetStatus(const QString& text) { status_->setText(text); }

void TScanOptionsDialog::closeEvent(QCloseEvent* e) {
  e->ignore();
  reject();
}

void TScanOptionsDialog::reject() {
  // The window stays until its source is disabled: closing only asks for that, or
  // stops the scan that is running.
  if (busy_) {
    if (OnCancel) OnCancel();
  } else if (OnClose) {
    OnClose();
  }
}

int RunSourceChooser(const std::vector<TChooserEntry>& entries, int current) {
  QDialog dialog;
  dialog.setObjectName(QStringLiteral("TSourceChooser"));
  dialog.setWindowTitle(Text(TextId::GetTrLblTwainChooser));
  auto* layout = new QVBoxLayout(&dialog);
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("LstSources"));
  for (const TChooserEntry& e : entries) {
    QString caption = QString::fromStdString(e.Name);
    const std::string device = e.Vendor + (e.Vendor.empty() || e.Model.empty() ? "" : " ") + e.Model;
    if (!device.empty()) caption += QStringLiteral("  (") + QString::fromStdString(device) + QStringLiteral(")");
    list->addItem(caption);
  }
  list->setCurrentRow(current >= 0 && current < int(entries.size()) ? current : 0);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* select = buttons->addButton(Text(TextId::GetTrBtnTwainSelect), QDialogButtonBox::AcceptRole);
  select->setObjectName(QStringLiteral("BtnSelect"));
  select->setDefault(true);
  QPushButton* cancel = buttons->addButton(QString::fromStdString(Tr(TextId::GetDlgCancel)), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("BtnCancel"));
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  if (dialog.exec() != QDialog::Accepted) return -1;
  return list->currentRow();
}

}  // namespace qm::twaindsm
