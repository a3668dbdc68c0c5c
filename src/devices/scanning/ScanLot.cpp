#include "devices/scanning/ScanLot.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "imagefiles/FileFormats.h"
#include "platform/core/Messages.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/CommandTable.h"
#include "shell/services/FormUtils.h"
#include "shell/services/ShellOps.h"

namespace qm {

namespace {

QString QText(const std::string& s) { return QString::fromStdString(s); }

template <class T>
T* Named(T* w, const char* name) {
  w->setObjectName(QLatin1String(name));
  return w;
}

// The caption the batch item of the menu shows, cleaned of its "...".
std::string BatchItemCaption() {
  const TCommandRow* row = FindCommandRow("MenuTwainLot");
  return row ? CleanMenuCaption(CommandCaption(*row)) : std::string();
}

}  // namespace

TScanLotForm::TScanLotForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TScanLotForm"));
  setWindowTitle(QText(BatchItemCaption()));
  setModal(true);
  RBAuto = Named(new QRadioButton(QText(CaptionOr(TextId::GetTrLblAutoSaveImage, Tr(TextId::TrFixAutoSaveImage)))),
                 "RBAuto");
  RBNew = Named(new QRadioButton(QText(CaptionOr(TextId::GetTrLblAutoCreateImage, Tr(TextId::TrFixAutoCreateImage)))),
                "RBNew");
  LblDir = Named(new QLabel(QText(CaptionOr(TextId::GetTrLblOutputDir, Tr(TextId::TrFixOutputDir)))), "LblDir");
  EdiDir = Named(new QLineEdit, "EdiDir");
  EdiDir->setReadOnly(true);
  SBOuvrir = Named(new QToolButton, "SBOuvrir");
  SBOuvrir->setAutoRaise(true);
  SetFolderButtonGlyph(SBOuvrir);
  if (SBOuvrir->icon().isNull()) SBOuvrir->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  LblSequence = Named(new QLabel(QText(CaptionOr(TextId::GetTrLblSequence, Tr(TextId::TrFixSequence)))), "LblSequence");
  EdiSequence = Named(new QLineEdit, "EdiSequence");
  LblFormat = Named(new QLabel(QText(CaptionOr(TextId::GetTrLblOutputFormat, Tr(TextId::TrFixOutputFormat)))), "LblFormat");
  CBFormat = Named(new QComboBox, "CBFormat");
  for (int row = 0; row < GetFormatCount(); ++row)
    CBFormat->addItem(QText(GetFormatFilterText(row, 0)), QText(GetFormatFilterText(row, 2)));
  CBFormat->setCurrentIndex(0);
  LblDir->setBuddy(EdiDir);
  LblSequence->setBuddy(EdiSequence);
  LblFormat->setBuddy(CBFormat);

  auto* buttons = new QDialogButtonBox;
  BOk = Named(buttons->addButton(QText(CaptionOr(TextId::GetTrBtnOk, Tr(TextId::GetDlgOk))), QDialogButtonBox::AcceptRole),
              "BOk");
  BAnnuler = Named(
      buttons->addButton(QText(CaptionOr(TextId::GetTrBtnCancel, Tr(TextId::GetDlgCancel))), QDialogButtonBox::RejectRole),
      "BAnnuler");
  BOk->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &TScanLotForm::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TScanLotForm::reject);

  // The fields of the automatic save stand under its button, indented, each under its
  // label; the folder's button beside its field.
  auto* fields = new QVBoxLayout;
  fields->setContentsMargins(22, 0, 0, 0);
  fields->setSpacing(3);
  auto* folder = new QHBoxLayout;
  folder->setSpacing(2);
  folder->addWidget(EdiDir, 1);
  folder->addWidget(SBOuvrir);
  fields->addWidget(LblDir);
  fields->addLayout(folder);
  fields->addSpacing(8);
  fields->addWidget(LblSequence);
  fields->addWidget(EdiSequence);
  fields->addSpacing(8);
  fields->addWidget(LblFormat);
  fields->addWidget(CBFormat);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(RBAuto);
  layout->addLayout(fields);
  layout->addSpacing(6);
  layout->addWidget(RBNew);
  layout->addStretch(1);
  layout->addWidget(buttons);
  QWidget* const order[] = {RBAuto, RBNew, CBFormat, BOk, BAnnuler, EdiDir, EdiSequence};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  setFixedSize(339, 306);

  RBAuto->setChecked(true);
  connect(RBAuto, &QRadioButton::toggled, this, [this] { FollowMode(); });
  connect(SBOuvrir, &QToolButton::clicked, this, [this] { SBOuvrirClick(); });
  FollowMode();
}

void TScanLotForm::SetDefaults(const std::string& folder, const std::string& date) {
  EdiDir->setText(QText(folder));
  EdiSequence->setText(QText(Tr(TextId::TrFixBatchScanPrefix) + date));
}

std::string TScanLotForm::GetBatchScanFolder() const {
  return RBAuto->isChecked() ? EdiDir->text().toStdString() : std::string();
}

std::string TScanLotForm::GetBatchScanSequence() const {
  return RBAuto->isChecked() ? EdiSequence->text().toStdString() : std::string();
}

std::string TScanLotForm::GetBatchScanFormat() const {
  return RBAuto->isChecked() ? CBFormat->currentData().toString().toStdString() : std::string();
}

void TScanLotForm::accept() {
  if (RBAuto->isChecked() && EdiDir->text().isEmpty()) {
    ShowMessageDialog(Tr(TextId::GetTrDldGlb1), mtWarning, mbOK);
    SBOuvrir->setFocus();
    return;
  }
  QDialog::accept();
}

void TScanLotForm::SBOuvrirClick() {
  const std::string folder = BrowseForFolder(LblDir->text().toStdString(), EdiDir->text().toStdString());
  if (!folder.empty()) EdiDir->setText(QText(folder));
}

void TScanLotForm::FollowMode() {
  for (QWidget* w : std::initializer_list<QWidget*>{LblDir, EdiDir, SBOuvrir, LblSequence, EdiSequence, LblFormat, CBFormat})
    w->setEnabled(RBAuto->isChecked());
}

}  // namespace qm
