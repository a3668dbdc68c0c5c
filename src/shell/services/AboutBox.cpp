#include "shell/services/AboutBox.h"

#include <QGridLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/ShellOps.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The box's picture: a small sunset, the program's start-up scene in miniature.
QPixmap Logo() {
  QPixmap pm(72, 72);
  QPainter p(&pm);
  QLinearGradient sky(0, 0, 0, 72);
  sky.setColorAt(0, QColor(40, 60, 140));
  sky.setColorAt(1, QColor(250, 150, 60));
  p.fillRect(pm.rect(), sky);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 220, 90));
  p.drawEllipse(QPointF(36, 46), 16, 16);
  p.fillRect(0, 54, 72, 18, QColor(30, 40, 70));
  return pm;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setTextFormat(Qt::PlainText);
  return l;
}

}  // namespace

TAProposForm::TAProposForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AProposForm"));
  setWindowTitle(Q(CleanMenuCaption(CaptionOr(TextId::GetTrMnuAboutQuillomatic, Tr(TextId::TrFixAbout)))));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setAttribute(Qt::WA_DeleteOnClose, false);

  LblTitle = MakeLabel(this, "LblTitle", Q(Format(TextId::TrFixFmtAboutTitle, {Tr(TextId::GetTrVersion)})));
  QFont big = LblTitle->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.5);
  LblTitle->setFont(big);
  LblAuthor = MakeLabel(this, "LblAuthor", Q(Tr(TextId::TrFixAboutAuthor)));
  LblDate = MakeLabel(this, "LblDate", Q(Format(TextId::TrFixFmtAboutDate, {Tr(TextId::GetTrDate)})));
  LblWeb = new QLabel(this);
  LblWeb->setObjectName(QStringLiteral("LblWeb"));
  const QString web = Q(Tr(TextId::TrFixAboutWeb));
  LblWeb->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(web.toHtmlEscaped()));
  LblWeb->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  connect(LblWeb, &QLabel::linkActivated, this, [](const QString& url) { OpenWithAssociatedProgram(url.toStdString()); });
  LblTranslationCaption = MakeLabel(this, "LblTranslationCaption", Q(Tr(TextId::TrFixTranslation)));
  LblTranslation = MakeLabel(this, "LblTranslation", {});
  ImgLogo = new QLabel(this);
  ImgLogo->setObjectName(QStringLiteral("ImgLogo"));
  ImgLogo->setPixmap(Logo());
  BtnOk = new QPushButton(Q(CaptionOr(TextId::GetTrBtnOk, Tr(TextId::GetDlgOk))), this);
  BtnOk->setObjectName(QStringLiteral("BtnOk"));
  BtnOk->setDefault(true);
  connect(BtnOk, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  for (QWidget* w : {static_cast<QWidget*>(LblTitle), static_cast<QWidget*>(LblAuthor),
                     static_cast<QWidget*>(LblDate), static_cast<QWidget*>(LblWeb),
                     static_cast<QWidget*>(LblTranslationCaption), static_cast<QWidget*>(LblTranslation)})
    texts->addWidget(w);
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(16, 16, 16, 16);
  grid->setHorizontalSpacing(16);
  grid->addWidget(ImgLogo, 0, 0, Qt::AlignTop);
  grid->addLayout(texts, 0, 1);
  grid->addWidget(BtnOk, 1, 1, Qt::AlignRight);
  setStyleSheet(QStringLiteral("QDialog#AProposForm { border: 1px solid palette(dark); }"));
}

void TAProposForm::showEvent(QShowEvent* e) {
  // The credit shows only when a translation names its translator.
  const std::string credit = Tr(TextId::GetTrTranslation);
  const bool translated = TranslationLoaded() && IsTextFilled(TextId::GetTrTranslation) && !credit.empty();
  LblTranslation->setText(Q(Tr(TextId::TrFixTranslationCredit) + credit));
  LblTranslationCaption->setVisible(translated);
  LblTranslation->setVisible(translated);
  BtnOk->setText(Q(CaptionOr(TextId::GetTrBtnOk, Tr(TextId::GetDlgOk))));
  adjustSize();
  if (QWidget* p = parentWidget()) move(p->window()->geometry().center() - rect().center());
  QDialog::showEvent(e);
  BtnOk->setFocus();
}

void TAProposForm::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && windowHandle()) windowHandle()->startSystemMove();
  e->accept();
}

void ShowAboutBox(QWidget* parent) {
  TAProposForm box(parent);
  box.exec();
}

}  // namespace qm
