#include "extensions/PluginAbout.h"

#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>
#include <cctype>
#include <filesystem>

#include "platform/texts/DateFormat.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/CommandTable.h"

namespace qm {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kWidth = 335, kHeight = 338;
constexpr int kPictureWidth = 300, kPictureHeight = 100;
// The strip's sprocket holes: 15 along the top and 15 along the bottom.
constexpr int kHoles = 15, kHolePitch = 20, kHoleWidth = 8, kTopHoles = 9, kBottomHoles = 85, kHoleHeight = 7;

// A strip of film: three frames of a landscape between two rows of sprocket holes.
QPixmap FilmStrip() {
  QPixmap pm(kPictureWidth, kPictureHeight);
  pm.fill(QColor(24, 22, 20));
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  for (int i = 0; i < kHoles; ++i)
    for (int top : {kTopHoles, kBottomHoles})
      p.fillRect(QRect(kHolePitch * i + 6, top, kHoleWidth, kHoleHeight), QColor(236, 232, 222));
  const QColor skies[3][2] = {{QColor(40, 70, 150), QColor(245, 160, 70)},
                              {QColor(90, 150, 215), QColor(200, 225, 240)},
                              {QColor(25, 30, 70), QColor(150, 90, 140)}};
  for (int f = 0; f < 3; ++f) {
    const QRect frame(6 + f * 98, 22, 92, 56);
    QLinearGradient sky(frame.topLeft(), frame.bottomLeft());
    sky.setColorAt(0, skies[f][0]);
    sky.setColorAt(1, skies[f][1]);
    p.fillRect(frame, sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 215, 110, f == 1 ? 255 : 200));
    p.drawEllipse(QPointF(frame.left() + 28 + f * 14, frame.top() + 30), 10, 10);
    QPolygonF hills;
    hills << QPointF(frame.left(), frame.bottom() + 1) << QPointF(frame.left(), frame.top() + 40)
          << QPointF(frame.left() + 30, frame.top() + 30) << QPointF(frame.left() + 60, frame.top() + 42)
          << QPointF(frame.right() + 1, frame.top() + 34) << QPointF(frame.right() + 1, frame.bottom() + 1);
    p.setBrush(QColor(30 + f * 10, 60, 45));
    p.drawPolygon(hills);
  }
  return pm;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* design) {
  auto* l = new QLabel(QString::fromUtf8(design), parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setTextFormat(Qt::PlainText);
  return l;
}

// The translated caption of a menu row, cleaned.
std::string MenuCaption(std::string_view name) {
  const TCommandRow* row = FindCommandRow(name);
  return row ? CleanMenuCaption(CommandCaption(*row)) : std::string();
}

std::string TypePath(TPluginType type) {
  static constexpr std::string_view kPaths[5][2] = {{"MenuFiltre", "MenuPluginFiltre"},
                                                    {"MenuImage", "MenuPluginImage"},
                                                    {"MenuFichier", "MenuPluginImport"},
                                                    {"MenuFichier", "MenuPluginExport"},
                                                    {"MenuOutils", "MenuPluginOutil"}};
  const auto& path = kPaths[std::clamp(int(type), 0, 4)];
  return MenuCaption(path[0]) + "/" + MenuCaption(path[1]);
}

// The module's date as the file dates show it, without the time.
std::string FileDate(const std::string& file) {
  const QFileInfo info(Q(file));
  if (!info.exists()) return {};
  // The date part of the file dates' picture: up to its first hour or time field (a
  // date of the locale may hold blanks, "d MMM yyyy", so the first blank is no border).
  std::string picture = Tr(TextId::GetTrFmtFileDate);
  picture = Trim(picture.substr(0, picture.find_first_of("hHtT")));
  return FormatDateTime(picture.empty() ? "ddddd" : picture,
                        LocalDateTime(std::time_t(info.lastModified().toSecsSinceEpoch())));
}

}  // namespace

std::string VersionToken(const std::string& versionText) {
  const size_t digit = versionText.find_first_of("0123456789");
  if (digit == std::string::npos) return {};
  const size_t blank = versionText.find(' ', digit);
  return Trim(versionText.substr(digit, blank == std::string::npos ? std::string::npos : blank - digit));
}

std::string AuthorLine(const std::string& author) {
  std::string a = DeleteSubString("(c)", author, true);
  a = DeleteSubString("©", a, false);
  a = DeleteSubString("copyright", a, true);
  return Tr(TextId::TrFixPlgCopyright) + Trim(a);
}

TPlgDlgForm::TPlgDlgForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PlgDlgForm"));
  setWindowTitle(Q(Tr(TextId::TrFixPlgAbout)));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setFixedSize(kWidth, kHeight);

  PnlFond = new QFrame(this);
  PnlFond->setObjectName(QStringLiteral("PnlFond"));
  PnlFond->setFrameShape(QFrame::Box);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(PnlFond);

  Panel1 = new QFrame(PnlFond);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setLineWidth(1);
  Panel1->setFixedSize(kPictureWidth + 2, kPictureHeight + 2);
  Image1 = new QLabel(Panel1);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(FilmStrip());
  Image1->setGeometry(1, 1, kPictureWidth, kPictureHeight);

  LblCaption = MakeLabel(PnlFond, "LblCaption", "NomPlugin");
  QFont bold = LblCaption->font();
  bold.setBold(true);
  bold.setPixelSize(13);
  LblCaption->setFont(bold);
  LblVersion = MakeLabel(PnlFond, "LblVersion", "Version (date)");
  LblAuthor = MakeLabel(PnlFond, "LblAuthor", "Auteur");
  Bevel1 = new QFrame(PnlFond);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  LblType = MakeLabel(PnlFond, "LblType", "Type de module");
  LblFile = MakeLabel(PnlFond, "LblFile", "Nom du fichier");
  LblComment = MakeLabel(PnlFond, "LblComment", "Commentaire");
  LblComment->setWordWrap(true);
  LblComment->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Button1 = new QPushButton(QStringLiteral("Ok"), PnlFond);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setFixedSize(75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  auto* v = new QVBoxLayout(PnlFond);
  v->setContentsMargins(15, 15, 15, 15);
  v->setSpacing(4);
  v->addWidget(Panel1);
  v->addSpacing(6);
  for (QWidget* w : {static_cast<QWidget*>(LblCaption), static_cast<QWidget*>(LblVersion),
                     static_cast<QWidget*>(LblAuthor), static_cast<QWidget*>(Bevel1), static_cast<QWidget*>(LblType),
                     static_cast<QWidget*>(LblFile)})
    v->addWidget(w);
  v->addSpacing(4);
  v->addWidget(LblComment, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  v->addLayout(buttons);
}

void TPlgDlgForm::FillPluginAboutForm(const TPluginEntry& item) {
  const TPluginCaptions captions = PluginCaptions(item.NameText);
  AboutCaption = captions.About;
  CommandCaption = captions.Command;
  LblCaption->setText(Q(AboutCaption + " " + VersionToken(item.VersionText)));
  LblVersion->setText(Q(FileDate(item.File)));
  LblAuthor->setText(Q(AuthorLine(item.Author)));
  LblType->setText(Q(DecorateCaption(Tr(TextId::GetTrLblMenu), ckLabel) + " " + TypePath(item.Type) + "/" +
                     CleanMenuCaption(CommandCaption)));
  std::error_code ec;
  const auto size = std::filesystem::file_size(item.File, ec);
  LblFile->setText(Q(DecorateCaption(Tr(TextId::GetTrLblFileName), ckLabel) + " " +
                     TruncateWithEllipsis(ExtractFileName(item.File), 40) + " (" +
                     FormatFileSize(ec ? 0 : int64_t(size), false) + ")"));
  LblComment->setText(Q(item.Comment));
  LblComment->setVisible(!item.Comment.empty());
}

void TPlgDlgForm::showEvent(QShowEvent* e) {
  Button1->setText(Q(CaptionOr(TextId::GetTrBtnOk, "Ok")));
  if (QWidget* p = parentWidget()) move(p->window()->frameGeometry().center() - rect().center());
  QDialog::showEvent(e);
  Button1->setFocus();
}

void TPlgDlgForm::mousePressEvent(QMouseEvent* e) {
  // The box has no title bar: a press on it (its labels and picture pass presses on)
  // moves it.
  if (e->button() == Qt::LeftButton && windowHandle()) windowHandle()->startSystemMove();
  e->accept();
}

}  // namespace qm
