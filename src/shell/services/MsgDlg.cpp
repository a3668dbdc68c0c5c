#include "shell/services/MsgDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVariant>

#include "platform/core/Messages.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

// The fixed design: every position below is in pixels at 96 dpi.
constexpr int kIconLeft = 12, kIconTop = 44, kIconSize = 32;
constexpr int kMsgLeft = 56, kMsgTop = 44;
constexpr int kCaptionLeft = 12, kCaptionTop = 12;
constexpr int kSepTop = 28, kSepHeight = 2;
constexpr int kButtonWidth = 75, kButtonHeight = 25, kButtonGap = 6;
constexpr int kInputTop = 62, kInputHeight = 21;
constexpr int kMinWidth = 300;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Messages break lines with a carriage return. The text shows as written: it carries
// file names, and an "&" in a name must not vanish as an accelerator mark would.
QString MessageText(const std::string& s) {
  QString t = Q(s);
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return t;
}

// The letter after the accelerator mark of a caption, upper-cased; empty when none.
QString AcceleratorOf(const QString& caption) {
  for (int i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != QLatin1Char('&')) continue;
    if (caption[i + 1] == QLatin1Char('&')) {
      ++i;
      continue;
    }
    return caption.mid(i + 1, 1).toUpper();
  }
  return {};
}

}  // namespace

TMsgDlgOptions& MsgDlgOptions() {
  static TMsgDlgOptions options;
  return options;
}

TMsgDlgForm::TMsgDlgForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("MsgDlgForm"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  QFont f = font();
  f.setPointSize(8);
  setFont(f);

  ResIcon = new QLabel(this);
  ResIcon->setObjectName(QStringLiteral("ResIcon"));
  ResIcon->setGeometry(kIconLeft, kIconTop, kIconSize, kIconSize);

  LblMsg = new QLabel(this);
  LblMsg->setObjectName(QStringLiteral("LblMsg"));
  LblMsg->setTextFormat(Qt::PlainText);
  LblMsg->move(kMsgLeft, kMsgTop);

  LblCaption = new QLabel(this);
  LblCaption->setObjectName(QStringLiteral("LblCaption"));
  LblCaption->setTextFormat(Qt::PlainText);
  QFont bold = f;
  bold.setBold(true);
  LblCaption->setFont(bold);
  LblCaption->move(kCaptionLeft, kCaptionTop);

  PnlSep = new QFrame(this);
  PnlSep->setObjectName(QStringLiteral("PnlSep"));
  PnlSep->setAutoFillBackground(true);
  QPalette pal = PnlSep->palette();
  pal.setColor(QPalette::Window, Qt::black);
  PnlSep->setPalette(pal);
  PnlSep->setGeometry(kCaptionLeft, kSepTop, 100, kSepHeight);

  auto button = [this](const char* name, TextId caption, int result) {
    auto* b = new QPushButton(Q(Tr(caption)), this);
    b->setObjectName(QString::fromLatin1(name));
    b->resize(kButtonWidth, kButtonHeight);
    b->setAutoDefault(true);
    connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
    return b;
  };
  BtnYes = button("BtnYes", TextId::GetDlgYes, mrYes);
  BtnNo = button("BtnNo", TextId::GetDlgNo, mrNo);
  BtnOk = button("BtnOk", TextId::GetDlgOk, mrOk);
  BtnCancel = button("BtnCancel", TextId::GetDlgCancel, mrCancel);

  EdiInput = new QLineEdit(this);
  EdiInput->setObjectName(QStringLiteral("EdiInput"));
  EdiInput->setGeometry(kMsgLeft, kInputTop, 200, kInputHeight);
  EdiInput->hide();

  setWindowTitle(Q(MsgDlgOptions().AppTitle));
}

std::string TMsgDlgForm::InputText() const { return EdiInput->text().toStdString(); }

void TMsgDlgForm::SetIcon(TMsgType type) {
  QStyle::StandardPixmap which;
  switch (type) {
    case mtWarning: which = QStyle::SP_MessageBoxWarning; break;
    case mtError: which = QStyle::SP_MessageBoxCritical; break;
    case mtInformation: which = QStyle::SP_MessageBoxInformation; break;
    case mtConfirmation: which = QStyle::SP_MessageBoxQuestion; break;
    case mtApplication: {
      const QIcon app = QApplication::windowIcon();
      ResIcon->setPixmap((app.isNull() ? style()->standardIcon(QStyle::SP_DesktopIcon) : app).pixmap(kIconSize));
      return;
    }
    default: return;
  }
  ResIcon->setPixmap(style()->standardIcon(which).pixmap(kIconSize));
}

void TMsgDlgForm::LayOut(const std::string& text, int buttons) {
  const TMsgDlgOptions& opt = MsgDlgOptions();
  LblMsg->setText(MessageText(text));
  const QSize textSize = LblMsg->fontMetrics().size(Qt::TextExpandTabs, LblMsg->text());
  LblMsg->resize(textSize);

  int width = kMsgLeft + textSize.width() + kIconLeft;
  if (width < kMinWidth) width = kMinWidth;
  if (opt.MinClientWidth > 0 && width < opt.MinClientWidth) width = opt.MinClientWidth;
  PnlSep->resize(width - 2 * kCaptionLeft, kSepHeight);
  LblCaption->adjustSize();

  const int msgBottom = kMsgTop + textSize.height();
  int content = msgBottom + 2 * kCaptionTop;
  if (inputMode_) {
    EdiInput->setGeometry(kMsgLeft, msgBottom + 6, width - kMsgLeft - kIconLeft, kInputHeight);
    content += kInputHeight + 6;
  }
  content = std::max(content, kIconTop + kIconSize + 2 * kCaptionTop);

  // Buttons of the mask, in the order Yes, No, OK, Cancel.
  QPushButton* all[] = {BtnYes, BtnNo, BtnOk, BtnCancel};
  const int bits[] = {mbYes, mbNo, mbOK, mbCancel};
  int visible = 0;
  for (int k = 0; k < 4; ++k) visible += (buttons & bits[k]) ? 1 : 0;
  const int total = visible * kButtonWidth + (visible - 1) * kButtonGap;
  int left;
  switch (opt.ButtonAlignment) {
    case baLeft: left = kIconLeft; break;
    case baCenter: left = (width - total) / 2; break;
    default: left = width - total - kIconLeft + 1; break;
  }
  for (int k = 0; k < 4; ++k) {
    const bool show = buttons & bits[k];
    all[k]->setVisible(show);
    if (!show) continue;
    all[k]->setGeometry(left, content, kButtonWidth, kButtonHeight);
    left += kButtonWidth + kButtonGap;
  }
  QPushButton* def = (buttons & mbOK) ? BtnOk : BtnYes;
  for (QPushButton* b : all) b->setDefault(b == def);
  setFixedSize(width, kButtonHeight + content + kCaptionTop);
  (inputMode_ ? static_cast<QWidget*>(EdiInput) : def)->setFocus();
}

void TMsgDlgForm::SetupMessage(const std::string& text, TMsgType type, int buttons, const std::string& title) {
  inputMode_ = false;
  EdiInput->clear();
  EdiInput->hide();
  if ((buttons & (mbYes | mbNo | mbOK | mbCancel)) == 0) buttons = mbOK;  // a box must close somehow
  std::string caption = title;
  if (caption.empty()) {
    switch (type) {
      case mtWarning: caption = Tr(TextId::GetDlgWarning); break;
      case mtError: caption = Tr(TextId::GetDlgError); break;
      case mtInformation: caption = Tr(TextId::GetDlgInformation); break;
      case mtConfirmation: caption = Tr(TextId::GetDlgConfirmation); break;
      case mtApplication: caption = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString(); break;
      default: caption = LblCaption->text().toStdString(); break;
    }
  }
  LblCaption->setText(Q(caption));
  SetIcon(type);
  LayOut(text, buttons);
}

void TMsgDlgForm::SetupInput(const std::string& title, const std::string& prompt, const std::string& value) {
  inputMode_ = true;
  EdiInput->setText(Q(value));
  EdiInput->setProperty("inputOption", MsgDlgOptions().InputOption);
  EdiInput->show();
  LblCaption->setText(Q(title.empty() ? Tr(TextId::GetDlgInput) : title));
  SetIcon(mtConfirmation);
  LayOut(prompt, mbOK | mbCancel);
  EdiInput->selectAll();
}

namespace {

// The window a box belongs to: the active one, or, while the program is not the
// desktop's active application (a start, a signal, a logout), its main window.
QWidget* MessageOwner() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QMainWindow*>(w) && w->isVisible() && !w->isMinimized()) return w;
  return nullptr;
}

}  // namespace

void TMsgDlgForm::Centre() {
  QWidget* on = MsgDlgOptions().CenterOn;
  if (!on) on = parentWidget() ? parentWidget()->window() : MessageOwner();
  if (on && on != this) {
    const QPoint c = on->mapToGlobal(on->rect().center());
    move(c.x() - width() / 2, c.y() - height() / 2);
  } else if (const QScreen* s = QGuiApplication::primaryScreen()) {
    const QRect r = s->availableGeometry();
    move(r.center().x() - width() / 2, r.center().y() - height() / 2);
  }
}

int TMsgDlgForm::Execute() {
  Centre();
  return exec();
}

QPushButton* TMsgDlgForm::EscapeButton() const {
  if (!BtnCancel->isHidden()) return BtnCancel;
  if (!BtnNo->isHidden()) return BtnNo;
  return nullptr;
}

void TMsgDlgForm::keyPressEvent(QKeyEvent* e) {
  const bool plain = !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
  if (inputMode_) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
      e->accept();
      done(mrOk);
      return;
    }
    if (e->key() == Qt::Key_Escape) {
      e->accept();
      done(mrCancel);
      return;
    }
  } else {
    if (e->key() == Qt::Key_Escape) {
      // Without Cancel or No the key does nothing, as the box has no escape button.
      if (QPushButton* b = EscapeButton()) done(b == BtnCancel ? mrCancel : mrNo);
      e->accept();
      return;
    }
    const QString letter = e->text().toUpper();
    if (plain && !letter.isEmpty()) {
      if (!BtnYes->isHidden() && letter == AcceleratorOf(BtnYes->text())) {
        done(mrYes);
        return;
      }
      if (!BtnNo->isHidden() && letter == AcceleratorOf(BtnNo->text())) {
        done(mrNo);
        return;
      }
    }
  }
  QDialog::keyPressEvent(e);
}

void TMsgDlgForm::closeEvent(QCloseEvent* e) {
  // Closing the window answers Cancel, whatever the buttons.
  e->accept();
  done(mrCancel);
}

int ShowQtMessageDialog(const std::string& text, TMsgType type, int buttons, const std::string& title) {
  TMsgDlgForm form(MessageOwner());
  form.SetupMessage(text, type, buttons, title);
  return form.Execute();
}

bool InputQueryDialog(const std::string& title, const std::string& prompt, std::string& value) {
  TMsgDlgForm form(MessageOwner());
  form.SetupInput(title, prompt, value);
  if (form.Execute() != mrOk) return false;
  value = form.InputText();
  return true;
}

bool InputQueryWithDefault(const std::string& title, const std::string& prompt, const std::string& def,
                           std::string& value) {
  value = def;
  return InputQueryDialog(title, prompt, value);
}

void InstallMessageDialog() { SetMessageHandler(ShowQtMessageDialog); }

}  // namespace qm
