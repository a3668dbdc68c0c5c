#include "shell/services/FolderChoosers.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/core/Messages.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/FormUtils.h"
#include "shell/services/ShellOps.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr char kParams[] = "Params";
constexpr char kCopyTo[] = "CopyTo";

}  // namespace

TDirForm::TDirForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("DirForm"));
  setWindowTitle(Q(Tr(TextId::TrFixFolder)));

  ResIcon = new QLabel(this);
  ResIcon->setObjectName(QStringLiteral("ResIcon"));
  ResIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  LblMsg = new QLabel(this);
  LblMsg->setObjectName(QStringLiteral("LblMsg"));
  LblMsg->setTextFormat(Qt::PlainText);
  EdiDir = new QLineEdit(this);
  EdiDir->setObjectName(QStringLiteral("EdiDir"));
  EdiDir->setMinimumWidth(320);
  SBDir = new QToolButton(this);
  SBDir->setObjectName(QStringLiteral("SBDir"));
  SetFolderButtonGlyph(SBDir);
  if (SBDir->icon().isNull()) SBDir->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  BtnOk = new QPushButton(Q(CaptionOr(TextId::GetTrBtnOk, Tr(TextId::GetDlgOk))), this);
  BtnOk->setObjectName(QStringLiteral("BtnOk"));
  BtnOk->setDefault(true);
  BtnCancel = new QPushButton(Q(CaptionOr(TextId::GetTrBtnCancel, Tr(TextId::GetDlgCancel))), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));

  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(EdiDir, 1);
  folderRow->addWidget(SBDir);
  auto* text = new QVBoxLayout;
  text->addWidget(LblMsg);
  text->addLayout(folderRow);
  auto* top = new QHBoxLayout;
  top->addWidget(ResIcon, 0, Qt::AlignTop);
  top->addLayout(text, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(BtnOk);
  buttons->addWidget(BtnCancel);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addLayout(buttons);

  connect(SBDir, &QToolButton::clicked, this, &TDirForm::BrowseClick);
  connect(BtnOk, &QPushButton::clicked, this, [this] { done(mrOk); });
  connect(BtnCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TDirForm::BrowseClick() {
  const std::string chosen = BrowseForFolder(LblMsg->text().toStdString(), EdiDir->text().toStdString());
  if (!chosen.empty()) EdiDir->setText(Q(chosen));
}

bool ShowCopyToFolderDialog(const std::string& caption, const std::string& message, std::string& folder,
                            TIniFile* settings, const std::string& lastUsedFolder) {
  TDirForm form(QApplication::activeWindow());
  form.setWindowTitle(Q(caption));
  form.LblMsg->setText(Q(message));
  const std::string remembered = settings ? settings->ReadString(kParams, kCopyTo, "") : std::string();
  const bool usable = !remembered.empty() && QFileInfo(Q(remembered)).isDir();
  form.EdiDir->setText(Q(usable ? remembered : lastUsedFolder));
  if (form.exec() != mrOk) return false;
  folder = form.EdiDir->text().toStdString();
  if (settings) settings->WriteString(kParams, kCopyTo, folder);
  return true;
}

}  // namespace qm
