#include "shell/palette/ToolPalette.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/Beep.h"
#include "controls/ColorPicker.h"
#include "controls/PrevNextButton.h"
#include "controls/SpinEdit.h"
#include "controls/TableTexts.h"
#include "document/LayerOps.h"
#include "document/TextData.h"
#include "pixel/Composite.h"
#include "pixel/ImgUtils.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/CommandSet.h"
#include "shell/services/CommandTable.h"
#include "shell/palette/PaletteGlyphs.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

using enum TextId;

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Caption(TextId id, const char* design) { return Q(CaptionOr(id, design)); }

// The palette's client size when it floats; its width when docked.
constexpr int kClientWidth = 93, kClientHeight = 524;
// A floating palette's opacity with the transparent-window setting (of 255).
constexpr int kFloatingAlpha = 233;
// The tool buttons and the tips' cells.
constexpr int kToolButtonWidth = 27, kToolButtonHeight = 26, kTipCell = 28;
// The colour strip under the colours, and the hue column beside them.
constexpr int kStripWidth = 81, kStripHeight = 51, kHueWidth = 19, kHueHeight = 56;
constexpr int kSwatchWidth = 40, kSwatchHeight = 38;
// Hot and pressed looks of the buttons and tips.
constexpr QRgb kButtonBorder = 0x333333, kTipPressed = 0xFF9900;

// The selection page's buttons: the shape they choose when no command is theirs.
constexpr int kSelectionNumbers[12] = {0, 1, 2, 9, 5, 10, 11, 0, 10, 0, 6, 0};
// The selection menu's rows giving the buttons their hints (the lasso has its own).
constexpr const char* kSelectionRows[12] = {"MenuSelRect",     "MenuSelEllipse",  "MenuSelRoundRect", "MenuSelLosange",
                                            "MenuSelTriangle1", "MenuSelPolygone", nullptr,            "MenuSelCharger",
                                            "MenuSelAdapter0", "MenuSelAdapter2",  "MenuSelTriangle3", "MenuSelAdapter3"};
// The keys that choose what each selection button chooses, shown in its hint: the
// polygon drawn vertex by vertex is "J", the free-hand lasso "I" (SelectionCommands).
constexpr const char* kSelectionKeys[12] = {"A", "B", "C",     "D",     "E", "J",
                                           "I", nullptr, nullptr, nullptr, "F", nullptr};
// The selection page's buttons in their grid, three a row.
constexpr int kSelectionOrder[12] = {0, 1, 2, 3, 4, 10, 5, 6, 7, 8, 11, 9};

// The layer page's buttons: the command each one runs.
constexpr const char* kLayerCommands[5] = {"MenuCalqueVierge", "MenuCalqueDupliquer", "MenuCalqueSupprimer",
                                           "MenuCalqueFusionPrev", "MenuCalqueOptions"};

std::string RowHint(const char* row) {
  const TCommandRow* r = row ? FindCommandRow(row) : nullptr;
  return r ? CleanMenuCaption(CommandCaption(*r)) : std::string();
}

QLabel* Label(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setWordWrap(true);
  return l;
}

QSlider* Slider(const char* name, int min, int max, int value, QWidget* parent) {
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setObjectName(QLatin1String(name));
  s->setRange(min, max);
  s->setValue(value);
  s->setPageStep(1);
  return s;
}

TSpinEdit2* Spin(const char* name, int min, int max, int value, QWidget* parent) {
  auto* e = new TSpinEdit2(parent);
  e->setObjectName(QLatin1String(name));
  e->SetMinValue(min);
  e->SetMaxValue(max);
  e->SetValue(value);
  return e;
}

QCheckBox* Check(const char* name, const QString& text, QWidget* parent) {
  auto* c = new QCheckBox(text, parent);
  c->setObjectName(QLatin1String(name));
  return c;
}

QRadioButton* Radio(const std::string& name, const QString& text, QWidget* parent) {
  auto* r = new QRadioButton(text, parent);
  r->setObjectName(Q(name));
  return r;
}

// The index of the checked radio of a group (0 when none is).
template <size_t N>
int CheckedIndex(const std::array<QRadioButton*, N>& radios) {
  for (size_t i = 0; i < N; ++i)
    if (radios[i] && radios[i]->isChecked()) return int(i);
  return 0;
}

QVBoxLayout* Column(QWidget* page) {
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(2, 2, 2, 2);
  v->setSpacing(2);
  return v;
}

}  // namespace

// --- The palette's own controls ----------------------------------------------------------

// A tool button of the palette: checkable, with a glyph; with the palette's own look a
// hot or pressed button is a lighter box framed in dark grey over a soft shadow.
class TPaletteToolButton : public QToolButton {
 public:
  TPaletteToolButton(QWidget* parent, QPixmap glyph, QPixmap disabled, bool ownLook)
      : QToolButton(parent), glyph_(std::move(glyph)), disabled_(std::move(disabled)), ownLook_(ownLook) {
    setFixedSize(kToolButtonWidth, kToolButtonHeight);
    setIcon(QIcon(glyph_));
    setIconSize(glyph_.size());
    setAutoRaise(true);
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (!ownLook_) return QToolButton::paintEvent(e);
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    const bool hot = isEnabled() && underMouse();
    if (hot || isChecked() || isDown()) {
      const QRect box = rect().adjusted(1, 1, -1, -1);
      QColor shadow = pal.color(QPalette::Button).darker(160);
      shadow.setAlpha(153);
      p.fillRect(box.translated(2, 2).adjusted(0, 0, -1, -1), shadow);
      p.fillRect(box, pal.color(QPalette::Light));
      p.setPen(QColor::fromRgb(kButtonBorder));
      p.drawRect(box.adjusted(0, 0, -1, -1));
      p.drawPixmap(3, 3, glyph_);
    } else {
      p.drawPixmap(4, 4, isEnabled() ? glyph_ : disabled_);
    }
  }
  void enterEvent(QEnterEvent* e) override {
    update();
    QToolButton::enterEvent(e);
  }
  void leaveEvent(QEvent* e) override {
    update();
    QToolButton::leaveEvent(e);
  }

 private:
  QPixmap glyph_, disabled_;
  bool ownLook_;
};

// A bar of brush tips: white cells framed in black, the chosen one framed in orange
// inside, the one under the pointer in black.
class TTipBar : public QWidget {
 public:
  TTipBar(QWidget* parent, int count, int columns, const TBitmap& (*glyph)(int))
      : QWidget(parent), count_(count), columns_(columns) {
    for (int i = 0; i < count; ++i) {
      QImage img = BitmapAsQImage(glyph(i)).copy();
      if (img.width() > kTipCell - 8 || img.height() > kTipCell - 8)
        img = img.scaled(kTipCell - 8, kTipCell - 8, Qt::KeepAspectRatio, Qt::SmoothTransformation);
      glyphs_.push_back(QPixmap::fromImage(img));
    }
    setMouseTracking(true);
    setFixedSize(sizeHint());
  }
  std::function<void(int)> OnClick;
  int Current() const { return current_; }
  void SetCurrent(int i) {
    current_ = std::clamp(i, 0, count_ - 1);
    update();
  }
  QSize sizeHint() const override {
    const int rows = (count_ + columns_ - 1) / columns_;
    return QSize(columns_ * kTipCell + 1, rows * kTipCell + 1);
  }
  QRect Cell(int i) const { return QRect((i % columns_) * kTipCell, (i / columns_) * kTipCell, kTipCell, kTipCell); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    for (int i = 0; i < count_; ++i) {
      const QRect c = Cell(i);
      p.fillRect(c, Qt::white);
      p.setPen(Qt::black);
      p.drawRect(c);
      const QPixmap& g = glyphs_[size_t(i)];
      p.drawPixmap(c.left() + 4 + (kTipCell - 8 - g.width()) / 2, c.top() + 4 + (kTipCell - 8 - g.height()) / 2, g);
      if (i == current_ || i == hot_) {
        p.setPen(QPen(i == current_ ? QColor::fromRgb(kTipPressed) : QColor(Qt::black), 1));
        p.drawRect(c.adjusted(2, 2, -2, -2));
      }
    }
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    const int h = At(e->position().toPoint());
    if (h != hot_) {
      hot_ = h;
      update();
    }
  }
  void leaveEvent(QEvent*) override {
    hot_ = -1;
    update();
  }
  void mousePressEvent(QMouseEvent* e) override {
    const int i = At(e->position().toPoint());
    if (i < 0 || e->button() != Qt::LeftButton) return;
    SetCurrent(i);
    if (OnClick) OnClick(i);
  }

 private:
  int At(QPoint p) const {
    for (int i = 0; i < count_; ++i)
      if (Cell(i).contains(p)) return i;
    return -1;
  }
  int count_, columns_;
  int current_ = 0, hot_ = -1;
  std::vector<QPixmap> glyphs_;
};

// A colour panel: the colour framed; a click asks for another.
class TColorSwatch : public QFrame {
 public:
  explicit TColorSwatch(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setFixedSize(kSwatchWidth, kSwatchHeight);
  }
  std::function<void()> OnClick;
  TColor Color() const { return color_; }
  void SetColor(TColor c) {
    color_ = c;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    p.fillRect(contentsRect(), QColor::fromRgb(ColorToQRgb(color_)));
    p.end();
    QFrame::paintEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && OnClick) OnClick();
  }

 private:
  TColor color_ = clBlack;
};

// A strip of colours to pick from: the left button picks the foreground colour, the
// right button the background colour, on the press and while the pointer moves over it.
class TColorStrip : public QWidget {
 public:
  // index -1: the hue column (one hue a row); else a strip of PaintColorStrip.
  TColorStrip(QWidget* parent, int w, int h, int index) : QWidget(parent), index_(index) {
    setFixedSize(w, h);
    bitmap_ = TBitmap(w, h, pf24bit, clWhite);
    SetIndex(index);
    setCursor(ToolCursor(5));
  }
  std::function<void(TColor color, bool background)> OnPick;
  void SetIndex(int index) {
    index_ = index;
    if (index < 0) FillHueSpectrum(bitmap_, true);
    else PaintColorStrip(bitmap_, index);
    update();
  }
  const TBitmap& Bitmap() const { return bitmap_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, BitmapAsQImage(bitmap_));
  }
  void mousePressEvent(QMouseEvent* e) override { Pick(e->position().toPoint(), e->button()); }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (e->buttons() & Qt::LeftButton) Pick(e->position().toPoint(), Qt::LeftButton);
    else if (e->buttons() & Qt::RightButton) Pick(e->position().toPoint(), Qt::RightButton);
  }

 private:
  void Pick(QPoint p, Qt::MouseButton button) {
    if (button != Qt::LeftButton && button != Qt::RightButton) return;
    const TColor c = index_ < 0 ? (rect().contains(p) ? bitmap_.GetPixel(p.x(), p.y()) : clNone)
                                : StripColorAt(bitmap_, index_, p.x(), p.y());
    if (c != clNone && OnPick) OnPick(c, button == Qt::RightButton);
  }
  int index_;
  TBitmap bitmap_;
};

// --- The tool the document windows drive ----------------------------------------------------

class TOutilsForm::TTool_ : public TImageTool {
 public:
  explicit TTool_(TOutilsForm& palette) : p_(palette) {}

  void Press(TNewImgForm& window, const TImagePointer& e) override {
    TOutilsForm& p = p_;
    kind_ = TPress::None;
    if (p.IsPipetteToolActive(e.Modifiers)) {
      kind_ = TPress::Pipette;
      pickBackground_ = e.Button == Qt::RightButton;
      Pick(window, e);
    } else if (p.tool_ == TTool::MagicWand) {
      if (e.Button == Qt::LeftButton) p.MagicWandAt(window, e.Client, e.Modifiers);
    } else if (p.tool_ == TTool::Fill) {
      p.BucketFillAt(window, e.Client, e.Button);
    } else if (p.tool_ == TTool::Move) {
      kind_ = TPress::Move;
      p.strokes_->BeginMove(window, e.Client, kMoveSteps[CheckedIndex(p.RBScroll)]);
    } else if (p.IsCloneSourcePicking(e.Modifiers)) {
      p.strokes_->SetCloneSource(window, e.Client);
    } else if (const std::optional<TStrokeKind> k = p.StrokeKind()) {
      if (p.strokes_->Begin(window, p.StrokeSettingsFor(*k), e)) kind_ = TPress::Stroke;
    }
  }
  void Move(TNewImgForm& window, const TImagePointer& e) override {
    switch (kind_) {
      case TPress::Pipette: Pick(window, e); break;
      case TPress::Move: p_.strokes_->ContinueMove(e.Client); break;
      case TPress::Stroke: p_.strokes_->Continue(e); break;
      case TPress::None: break;
    }
  }
  void Release(TNewImgForm&, const TImagePointer&) override {
    if (kind_ == TPress::Move) p_.strokes_->EndMove();
    if (kind_ == TPress::Stroke) p_.strokes_->End();
    kind_ = TPress::None;
  }

 private:
  enum class TPress : uint8_t { None, Pipette, Move, Stroke };
  void Pick(TNewImgForm& window, const TImagePointer& e) {
    const TColor c = window.PickColorAt(e.Client);
    if (c != clNone) p_.SetPaletteColor(c, pickBackground_);
  }
  TOutilsForm& p_;
  TPress kind_ = TPress::None;
  bool pickBackground_ = false;
};

}  // namespace qm

namespace qm {

// --- Creation ------------------------------------------------------------------------------

TOutilsForm::TOutilsForm(QMainWindow& mainWindow, TShellServices& services, TCommandSet& commands,
                         TShellSettings& settings)
    : QDockWidget(&mainWindow),
      main_(mainWindow),
      services_(services),
      commands_(commands),
      settings_(settings),
      strokes_(std::make_unique<TStrokeEngine>(services)),
      imageTool_(std::make_unique<TTool_>(*this)) {
  setObjectName(QStringLiteral("OutilsForm"));
  // named as the menu of the tools, once a translation names it
  SetTitle(this, [] { return CleanMenuCaption(CaptionOr(GetTrMnuTools, Tr(TrFixToolPalette))); });
  setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  Build();
  foreground_ = settings_.Color1;
  background_ = settings_.Color2;
  PnlCouleur->SetColor(foreground_);
  PnlFond->SetColor(background_);
  UpdatePipettePage();
  SetStripIndex(settings_.Palette);
  CBMotifRemplir->setEnabled(false);
  CBTamponMotif->setEnabled(false);
  hide();
  main_.addDockWidget(settings_.ToolsAlignment == 1 ? Qt::LeftDockWidgetArea : Qt::RightDockWidgetArea, this);
  if (settings_.ToolsAlignment == 0) setFloating(true);
  hide();
  connect(this, &QDockWidget::topLevelChanged, this, [this](bool) { RefreshDockState(); });
  connect(this, &QDockWidget::dockLocationChanged, this, [this](Qt::DockWidgetArea) { RefreshDockState(); });
  qApp->installEventFilter(this);
  toolButtons_[size_t(TTool::Selection)]->setChecked(true);
  NbkOptions->setCurrentIndex(int(TToolPage::Selection));
}

TOutilsForm::~TOutilsForm() {
  qApp->removeEventFilter(this);
  strokes_.reset();
}

void TOutilsForm::Build() {
  auto* root = new QWidget(this);
  root->setObjectName(QStringLiteral("PnlOutils"));
  auto* v = new QVBoxLayout(root);
  v->setContentsMargins(3, 3, 3, 3);
  v->setSpacing(4);
  v->addWidget(BuildToolButtons(), 0, Qt::AlignHCenter);
  auto* line = new QFrame(root);
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  v->addWidget(line);
  NbkOptions = new QStackedWidget(root);
  NbkOptions->setObjectName(QStringLiteral("NbkOptions"));
  BuildPages();
  v->addWidget(NbkOptions, 1);
  v->addWidget(BuildColorArea(), 0, Qt::AlignHCenter);
  setWidget(root);
  root->setMinimumWidth(kClientWidth);
}

QWidget* TOutilsForm::BuildToolButtons() {
  auto* box = new QWidget(this);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  toolGroup_ = new QButtonGroup(this);
  toolGroup_->setExclusive(true);
  const std::array<TToolRow, kToolCount>& rows = ToolRows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const TToolRow& row = rows[i];
    auto* b = new TPaletteToolButton(box, ToolGlyph(row.Tool, false), ToolGlyph(row.Tool, true),
                                     settings_.AdvancedDisplay);
    b->setObjectName(QLatin1String(row.Button));
    b->setCheckable(true);
    b->setToolTip(Q(ToolButtonHint(row.Tool)));
    b->setAccessibleName(Q(ToolHint(row.Tool)));
    toolGroup_->addButton(b);
    grid->addWidget(b, int(i) / 3, int(i) % 3);
    toolButtons_[size_t(row.Tool)] = b;
    const TTool tool = row.Tool;
    connect(b, &QToolButton::clicked, this, [this, tool] { ToolClicked(tool); });
  }
  return box;
}

QWidget* TOutilsForm::BuildColorArea() {
  auto* area = new QWidget(this);
  auto* v = new QVBoxLayout(area);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(3);
  // the two colours overlapping, the swap and reset buttons at their corners, the hue
  // column beside them
  auto* colors = new QWidget(area);
  colors->setFixedSize(kStripWidth + 4, kHueHeight);
  PnlFond = new TColorSwatch(colors);
  PnlFond->setObjectName(QStringLiteral("PnlFond"));
  PnlFond->move(18, 16);
  PnlCouleur = new TColorSwatch(colors);
  PnlCouleur->setObjectName(QStringLiteral("PnlCouleur"));
  PnlCouleur->move(0, 0);
  PnlCouleur->raise();
  auto swatchClick = [this](bool background) {
    TColor c = GetPaletteColor(background);
    if (services_.PickColorWithDialog(c)) SetPaletteColor(c, background);
  };
  PnlCouleur->OnClick = [swatchClick] { swatchClick(false); };
  PnlFond->OnClick = [swatchClick] { swatchClick(true); };
  auto smallButton = [colors](const char* name, const QPixmap& glyph, QPoint at) {
    auto* b = new QToolButton(colors);
    b->setObjectName(QLatin1String(name));
    b->setAutoRaise(true);
    b->setIcon(QIcon(glyph));
    b->setIconSize(glyph.size());
    b->setFixedSize(glyph.size() + QSize(2, 2));
    b->move(at);
    return b;
  };
  QToolButton* swap = smallButton("ImgSwap", SwapColorsGlyph(), QPoint(43, 0));
  swap->setToolTip(Q(Tr(TextId::GetTrHntSwapColors)));
  connect(swap, &QToolButton::clicked, this, [this] {
    const TColor f = foreground_, b = background_;
    SetPaletteColor(b, false);
    SetPaletteColor(f, true);
  });
  QToolButton* reset = smallButton("ImgNB", ResetColorsGlyph(), QPoint(0, 41));
  reset->setToolTip(Q(Tr(TextId::GetTrHntResetColors)));
  connect(reset, &QToolButton::clicked, this, [this] {
    SetPaletteColor(clBlack, false);
    SetPaletteColor(clWhite, true);
  });
  ImgGrad2 = new TColorStrip(colors, kHueWidth, kHueHeight, -1);
  ImgGrad2->setObjectName(QStringLiteral("ImgGrad2"));
  ImgGrad2->move(colors->width() - kHueWidth, 0);
  v->addWidget(colors);
  ImgGrad = new TColorStrip(area, kStripWidth, kStripHeight, 0);
  ImgGrad->setObjectName(QStringLiteral("ImgGrad"));
  v->addWidget(ImgGrad, 0, Qt::AlignHCenter);
  const auto pick = [this](TColor c, bool background) { SetPaletteColor(c, background); };
  ImgGrad->OnPick = pick;
  ImgGrad2->OnPick = pick;
  auto* arrows = new QHBoxLayout;
  arrows->setSpacing(2);
  BtnPrevGrad = new TPrevNextButton(area);
  BtnPrevGrad->setObjectName(QStringLiteral("BtnPrevGrad"));
  BtnPrevGrad->SetStyle(stLeft);
  BtnPrevGrad->setToolTip(Q(Tr(TextId::GetTrHntPrevGradient)));
  BtnPrevGrad->setFixedSize(18, 14);
  BtnPrevGrad->OnClick = [this] { SetStripIndex(StepStrip(strip_, -1)); };
  BtnNextGrad = new TPrevNextButton(area);
  BtnNextGrad->setObjectName(QStringLiteral("BtnNextGrad"));
  BtnNextGrad->SetStyle(stRight);
  BtnNextGrad->setToolTip(Q(Tr(TextId::GetTrHntNextGradient)));
  BtnNextGrad->setFixedSize(18, 14);
  BtnNextGrad->OnClick = [this] { SetStripIndex(StepStrip(strip_, 1)); };
  arrows->addStretch(1);
  arrows->addWidget(BtnPrevGrad);
  arrows->addWidget(BtnNextGrad);
  arrows->addStretch(1);
  v->addLayout(arrows);
  return area;
}

void TOutilsForm::BuildPages() {
  // in the notebook's order
  NbkOptions->addWidget(SelectionPage());
  NbkOptions->addWidget(PipettePage());
  NbkOptions->addWidget(LinePage());
  NbkOptions->addWidget(FillPage());
  NbkOptions->addWidget(BrushPage());
  NbkOptions->addWidget(AdvancedBrushPage());
  NbkOptions->addWidget(RadiusPage("RBGoutte", RBGoutte, TBGoutte, "TBGoutte"));
  NbkOptions->addWidget(MovePage());
  NbkOptions->addWidget(AirbrushPage());
  NbkOptions->addWidget(StampPage());
  NbkOptions->addWidget(MagicPage());
  NbkOptions->addWidget(RadiusPage("RBDoigt", RBDoigt, TBDoigt, "TBDoigt"));
  NbkOptions->addWidget(LayerPage());
  NbkOptions->addWidget(RetouchPage());
  static const char* const names[kToolPageCount] = {"pgSel",     "pgPipette", "pgLigne",  "pgRemplir", "pgDessin",
                                                    "pgDessin2", "pgGoutte",  "pgScroll", "pgAero",    "pgTampon",
                                                    "pgMagic",   "pgDoigt",   "pgCalque", "pgRetouche"};
  for (int i = 0; i < kToolPageCount; ++i) NbkOptions->widget(i)->setObjectName(QLatin1String(names[i]));
}

QWidget* TOutilsForm::SelectionPage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  auto* grid = new QGridLayout;
  grid->setSpacing(0);
  for (int k = 0; k < kSelectionButtonCount; ++k) {
    const int n = kSelectionOrder[k];
    auto* b = new TPaletteToolButton(page, SelectionGlyph(n, false), SelectionGlyph(n, true), settings_.AdvancedDisplay);
    b->setObjectName(Q("TB" + std::to_string(n)));
    std::string hint = n == 6 ? CaptionOr(GetTrMnuSelLasso, "Lasso") : RowHint(kSelectionRows[n]);
    if (kSelectionKeys[n]) hint = hint + " [" + kSelectionKeys[n] + "]";
    b->setToolTip(Q(hint));
    grid->addWidget(b, k / 3, k % 3);
    TB[size_t(n)] = b;
    connect(b, &QToolButton::clicked, this, [this, n] { SelectionButtonClicked(n); });
  }
  v->addLayout(grid);
  CBContour = Check("CBContour", Caption(GetTrLblContour, "Contour"), page);
  CBRemplir = Check("CBRemplir", Caption(GetTrLblFill, "Remplir"), page);
  v->addWidget(CBContour);
  v->addWidget(CBRemplir);
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::PipettePage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  LblR = new QLabel(page);
  LblR->setObjectName(QStringLiteral("LblR"));
  LblV = new QLabel(page);
  LblV->setObjectName(QStringLiteral("LblV"));
  LblB = new QLabel(page);
  LblB->setObjectName(QStringLiteral("LblB"));
  EdiHTML = new QLineEdit(page);
  EdiHTML->setObjectName(QStringLiteral("EdiHTML"));
  EdiHTML->setMaxLength(7);
  connect(EdiHTML, &QLineEdit::editingFinished, this, [this] { ApplyWebColor(); });
  for (QWidget* w : std::initializer_list<QWidget*>{LblR, LblV, LblB}) v->addWidget(w);
  v->addWidget(Label(Caption(GetTrLblWeb, "Web"), page));
  v->addWidget(EdiHTML);
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::LinePage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  EdiLineWidth = Spin("EdiLineWidth", 1, 100, 2, page);
  EdiLineAlpha = Spin("EdiLineAlpha", 10, 100, 100, page);
  CBLisserLigne = Check("CBLisserLigne", Caption(GetTrLblAntialias, "Lisser"), page);
  CBLisserLigne->setChecked(true);
  v->addWidget(Label(Caption(GetTrLblWidth, "Largeur"), page));
  v->addWidget(EdiLineWidth);
  v->addWidget(Label(Caption(GetTrLblOpacity, "Opacité"), page));
  v->addWidget(EdiLineAlpha);
  v->addWidget(CBLisserLigne);
  EdiLineWidth->OnChange = [this] { RefreshImageMode(); };
  // the two arrow boxes exclude each other; their pictures toggle them
  auto arrowRow = [&](const char* box, const char* picture, bool both) {
    auto* h = new QHBoxLayout;
    h->setSpacing(2);
    QCheckBox* c = Check(box, QString(), page);
    auto* img = new QToolButton(page);
    img->setObjectName(QLatin1String(picture));
    img->setAutoRaise(true);
    img->setIcon(QIcon(ArrowGlyph(both)));
    img->setIconSize(ArrowGlyph(both).size());
    img->setToolTip(Caption(GetTrLblArrow, "Flèche"));
    // the box shows no text: its hint says which arrows its picture draws
    c->setToolTip(Q(Tr(both ? TextId::GetTrHntArrowBoth : TextId::GetTrHntArrowEnd)));
    connect(img, &QToolButton::clicked, c, [c] { c->toggle(); });
    h->addWidget(c);
    h->addWidget(img);
    h->addStretch(1);
    v->addLayout(h);
    return c;
  };
  CBFleche2 = arrowRow("CBFleche2", "ImgFleche2", false);
  CBFleche1 = arrowRow("CBFleche1", "ImgFleche1", true);
  connect(CBFleche2, &QCheckBox::toggled, this, [this](bool on) {
    if (on) CBFleche1->setChecked(false);
  });
  connect(CBFleche1, &QCheckBox::toggled, this, [this](bool on) {
    if (on) CBFleche2->setChecked(false);
  });
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::FillPage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  EdiFillTolerance = Spin("EdiFillTolerance", 0, 100, 30, page);
  EdiFillAlpha = Spin("EdiFillAlpha", 10, 100, 100, page);
  CBMotifRemplir = Check("CBMotifRemplir", Caption(GetTrLblPattern, "Motif"), page);
  v->addWidget(Label(Caption(GetTrLblTolerance, "Tolérance"), page));
  v->addWidget(EdiFillTolerance);
  v->addWidget(Label(Caption(GetTrLblOpacity, "Opacité"), page));
  v->addWidget(EdiFillAlpha);
  v->addWidget(CBMotifRemplir);
  v->addStretch(1);
  return page;
}

QComboBox* TOutilsForm::MakeSizeBox(const char* name, QWidget* parent, const char* value) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QLatin1String(name));
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const char* item : {"3", "5", "7", "10", "15", "20", "30", "50", "70", "100"}) box->addItem(QLatin1String(item));
  box->setCurrentText(QLatin1String(value));
  connect(box->lineEdit(), &QLineEdit::editingFinished, this, [this, box] { ApplySizeBox(box); });
  connect(box, &QComboBox::activated, this, [this, box](int) { ApplySizeBox(box); });
  return box;
}

QSlider* TOutilsForm::SliderRow(QVBoxLayout* column, const char* name, int min, int max, int value,
                                const QString& caption, bool strength) {
  QWidget* page = column->parentWidget();
  QLabel* label = Label(caption, page);
  QSlider* s = Slider(name, min, max, value, page);
  if (strength) {
    auto show = [label](int v) { label->setText(Q(Format(GetTrFmtIntensity, {v * 10}))); };
    show(value);
    connect(s, &QSlider::valueChanged, label, show);
  }
  column->addWidget(label);
  column->addWidget(s);
  return s;
}

QWidget* TOutilsForm::BrushPage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  TlbDessin1 = new TTipBar(page, kBrushTipCount, 3, &BrushTipGlyph);
  TlbDessin1->setObjectName(QStringLiteral("TlbDessin1"));
  TlbDessin1->OnClick = [this](int i) { TipClicked(false, i); };
  v->addWidget(TlbDessin1, 0, Qt::AlignHCenter);
  LblTailleBrush = Label(Caption(GetTrLblSize, "Taille"), page);
  v->addWidget(LblTailleBrush);
  CBTailleBrush = MakeSizeBox("CBTailleBrush", page, "10");
  v->addWidget(CBTailleBrush);
  TBDessin = SliderRow(v, "TBDessin", 1, 10, 10, Caption(GetTrLblPressure, "Pression"), false);
  CBGrad = Check("CBGrad", Caption(GetTrLblRainbow, "Arc-en-ciel"), page);
  v->addWidget(CBGrad);
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::AdvancedBrushPage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  TlbDessin2 = new TTipBar(page, kAdvancedTipCount, 3, &AdvancedTipGlyph);
  TlbDessin2->setObjectName(QStringLiteral("TlbDessin2"));
  TlbDessin2->OnClick = [this](int i) { TipClicked(true, i); };
  v->addWidget(TlbDessin2, 0, Qt::AlignHCenter);
  QRadioButton** scales[3] = {&RBx1, &RBx2, &RBx3};
  for (int i = 0; i < 3; ++i) {
    *scales[i] = Radio("RBx" + std::to_string(i + 1), Q(Format(TrFixFmtTipScale, {i + 1})), page);
    v->addWidget(*scales[i]);
  }
  RBx1->setChecked(true);
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::RadiusPage(const char* prefix, std::array<QRadioButton*, 4>& radios, QSlider*& strength,
                                 const char* sliderName) {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  if (std::string_view(prefix) == "RBRetouche") {
    CBRetouche = new QComboBox(page);
    CBRetouche->setObjectName(QStringLiteral("CBRetouche"));
    v->addWidget(CBRetouche);
  }
  static const char* const suffixes[4] = {"Precis", "Moyen", "Large", "XLarge"};
  const QString captions[4] = {Caption(GetTrLblPrecise, "Précis"), Caption(GetTrLblMedium, "Moyen"),
                               Caption(GetTrLblLarge, "Large"), Caption(GetTrLblVeryLarge, "Très large")};
  for (int i = 0; i < 4; ++i) {
    radios[size_t(i)] = Radio(std::string(prefix) + suffixes[i], captions[i], page);
    v->addWidget(radios[size_t(i)]);
  }
  radios[1]->setChecked(true);
  strength = SliderRow(v, sliderName, 1, 10, 6, QString(), true);
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::MovePage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  RBScroll[0] = Radio("RBScrollFluide", Caption(GetTrLblPrecise, "Précis"), page);
  RBScroll[1] = Radio("RBScrollMoyen", Caption(GetTrLblMedium, "Moyen"), page);
  RBScroll[2] = Radio("RBScrollSacade", Caption(GetTrLblFast, "Saccadé"), page);
  for (QRadioButton* r : RBScroll) v->addWidget(r);
  RBScroll[1]->setChecked(true);
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::AirbrushPage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  v->addWidget(Label(Caption(GetTrLblSize, "Taille"), page));
  CBTailleBrush2 = MakeSizeBox("CBTailleBrush2", page, "30");
  v->addWidget(CBTailleBrush2);
  TBPressionAero = SliderRow(v, "TBPressionAero", 1, 10, 6, Caption(GetTrLblPressure, "Pression"), false);
  TBDispersionAero = SliderRow(v, "TBDispersionAero", 0, 10, 4, Caption(GetTrLblDispersion, "Dispersion"), false);
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::StampPage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  v->addWidget(Label(Caption(GetTrLblSize, "Taille"), page));
  CBTailleBrush3 = MakeSizeBox("CBTailleBrush3", page, "20");
  v->addWidget(CBTailleBrush3);
  TBTampon = SliderRow(v, "TBTampon", 1, 10, 10, Caption(GetTrLblPressure, "Pression"), false);
  CBTamponFixe = Check("CBTamponFixe", Caption(GetTrLblFixed, "Fixe"), page);
  CBTamponMotif = Check("CBTamponMotif", Caption(GetTrLblPattern, "Motif"), page);
  v->addWidget(CBTamponFixe);
  v->addWidget(CBTamponMotif);
  // a new mode asks for a new source
  connect(CBTamponFixe, &QCheckBox::clicked, this, [this] {
    if (TNewImgForm* w = services_.GetActiveImgForm()) {
      w->CloneSource = TPoint{-1, -1};
      w->CloneOffsetSet = false;
    }
  });
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::MagicPage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  EdiMagicTolerance = Spin("EdiMagicTolerance", 0, 100, 30, page);
  CBMagicCouleur = Check("CBMagicCouleur", Caption(GetTrLblColor, "Couleur"), page);
  v->addWidget(Label(Caption(GetTrLblTolerance, "Tolérance"), page));
  v->addWidget(EdiMagicTolerance);
  v->addWidget(CBMagicCouleur);
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::LayerPage() {
  auto* page = new QWidget;
  QVBoxLayout* v = Column(page);
  LblNomCalque = new QLabel(page);
  LblNomCalque->setObjectName(QStringLiteral("LblNomCalque"));
  QFont f = LblNomCalque->font();
  f.setUnderline(true);
  LblNomCalque->setFont(f);
  LblNomCalque->setWordWrap(true);
  v->addWidget(LblNomCalque);
  v->addWidget(Label(Caption(GetTrLblOpacity, "Opacité"), page));
  TBAlphaCalque = Slider("TBAlphaCalque", 10, 100, 100, page);
  TBAlphaCalque->setPageStep(10);
  v->addWidget(TBAlphaCalque);
  Label15 = new QLabel(page);
  Label15->setObjectName(QStringLiteral("Label15"));
  v->addWidget(Label15);
  CBVisible = Check("CBVisible", Caption(GetTrLblVisible, "Visible"), page);
  CBLocked = Check("CBLocked", Caption(GetTrLblLocked, "Verrou"), page);
  v->addWidget(CBVisible);
  v->addWidget(CBLocked);
  // the layer commands most used beside the layers, run as the menu runs them
  auto* row = new QGridLayout;
  row->setSpacing(0);
  for (int i = 0; i < 5; ++i) {
    auto* b = new QToolButton(page);
    b->setObjectName(Q(std::string("BtnCalque") + kLayerCommands[i]));
    b->setAutoRaise(true);
    b->setIcon(QIcon(LayerCommandGlyph(i)));
    b->setIconSize(QSize(kToolGlyphSize, kToolGlyphSize));
    b->setToolTip(Q(RowHint(kLayerCommands[i])));
    const char* command = kLayerCommands[i];
    connect(b, &QToolButton::clicked, this, [this, command] {
      FlushPaletteEdits();
      commands_.Trigger(command);
    });
    if (QAction* a = commands_.Action(command))
      connect(a, &QAction::changed, b, [b, a] { b->setEnabled(a->isEnabled()); });
    row->addWidget(b, i / 3, i % 3);
    layerButtons_.emplace_back(b, command);
  }
  v->addLayout(row);
  Label15->setText(Q(Format(TrFixFmtPercent, {100})));
  connect(TBAlphaCalque, &QSlider::valueChanged, this,
          [this](int value) { Label15->setText(Q(Format(TrFixFmtPercent, {value}))); });
  // the opacity goes to the layer when the track bar is let go (mouse or key)
  connect(TBAlphaCalque, &QSlider::sliderReleased, this, [this] { ApplyLayerOpacity(); });
  connect(CBVisible, &QCheckBox::clicked, this, [this](bool on) { ApplyLayerFlag(true, on); });
  connect(CBLocked, &QCheckBox::clicked, this, [this](bool on) { ApplyLayerFlag(false, on); });
  v->addStretch(1);
  return page;
}

QWidget* TOutilsForm::RetouchPage() {
  QWidget* page = RadiusPage("RBRetouche", RBRetouche, TBRetouche, "TBRetouche");
  const std::string color = CaptionOr(GetTrLblColor, "Couleur");
  // the gamma steps named as the gamma command, once a translation names it
  const std::string gamma = IsTextFilled(GetTrMnuGamma) ? CleanMenuCaption(Tr(GetTrMnuGamma)) : std::string();
  CBRetouche->addItems({Q(gamma.empty() ? Tr(TrFixRetouchGammaDown) : gamma + " (-)"),
                        Q(gamma.empty() ? Tr(TrFixRetouchGammaUp) : gamma + " (+)"), Q(color + " (-)"),
                        Q(color + " (+)"), Caption(GetTrLblRedEye, "Oeil rouge")});
  CBRetouche->setCurrentIndex(int(TRetouchMode::RedEye));
  return page;
}

// --- Choosing tools and tips ----------------------------------------------------------------

void TOutilsForm::ToolClicked(TTool tool) {
  FlushPaletteEdits();
  ChooseTool(tool);
  FocusMainWindow();
}

void TOutilsForm::ChooseTool(TTool tool) {
  if (strokes_->Active()) strokes_->End();
  tool_ = tool;
  toolButtons_[size_t(tool)]->setChecked(true);
  NbkOptions->setCurrentIndex(int(ToolRowOf(tool).Page));
  CBGrad->setVisible(tool != TTool::Eraser);
  strokes_->ForgetStrokePoint();
  if (tool == TTool::Layer) {
    services_.LayerHost().HideSelection();
    RefreshLayerPage();
  }
  if (tool == TTool::Brush || tool == TTool::Eraser) TipClicked(false, brushTip_);
  if (tool == TTool::AdvancedBrush) TipClicked(true, advancedTip_);
  RefreshImageMode();
  services_.UpdateStatusBar();
}

void TOutilsForm::SelectTool(int number) {
  const TTool tool = ToolForNumber(number);
  if (!toolButtons_[size_t(tool)]->isEnabled()) return;
  ToolClicked(tool);
}

void TOutilsForm::TipClicked(bool advanced, int index) {
  if (advanced) {
    advancedTip_ = index;
    TlbDessin2->SetCurrent(index);
  } else {
    brushTip_ = index;
    TlbDessin1->SetCurrent(index);
    const bool sized = GeneratedTipAt(index) != TGeneratedTip::None;
    CBTailleBrush->setEnabled(sized);
    LblTailleBrush->setEnabled(sized);
  }
  strokes_->ForgetStrokePoint();
}

void TOutilsForm::SelectionButtonClicked(int button) {
  FlushPaletteEdits();
  if (button == 7) {
    commands_.Trigger("MenuSelCharger");
    return;
  }
  const TSelectionControl* sel = services_.GetActiveSelection();
  if ((button == 8 || button == 11 || button == 9) && sel && sel->Visible) {
    const char* fit = button == 8 ? "MenuSelAdapter0" : button == 11 ? "MenuSelAdapter3" : "MenuSelAdapter2";
    if (commands_.Trigger(fit)) return;
  }
  const int number = kSelectionNumbers[button];
  const TMyShape kind = TMyShape(std::min(number, 10));
  const bool freehand = number >= 11;
  if (Hooks.SelectSelectionTool) {
    Hooks.SelectSelectionTool(kind, freehand);
  } else if (TNewImgForm* w = services_.GetActiveImgForm()) {
    // the lasso draws free-hand, the polygon vertex by vertex
    w->View().SetSelShape(kind);
    w->View().MultiLine = kind == ssPolygon && !freehand;
  }
  RefreshImageCursor();
}

bool TOutilsForm::IsPipetteToolActive(Qt::KeyboardModifiers mods) const {
  if (tool_ == TTool::Pipette) return true;
  if (!(mods & Qt::ControlModifier)) return false;
  switch (tool_) {
    case TTool::Brush:
    case TTool::AdvancedBrush:
    case TTool::Eraser:
    case TTool::Line:
    case TTool::Fill:
    case TTool::Airbrush: return true;
    default: return false;
  }
}

bool TOutilsForm::IsPipetteToolActive() const { return IsPipetteToolActive(QGuiApplication::keyboardModifiers()); }

bool TOutilsForm::IsBrushToolActive() const {
  return tool_ == TTool::Brush || tool_ == TTool::AdvancedBrush || tool_ == TTool::Eraser;
}

bool TOutilsForm::IsCloneStampActive() const { return tool_ == TTool::Stamp && !CBTamponMotif->isChecked(); }
bool TOutilsForm::IsPatternStampActive() const { return tool_ == TTool::Stamp && CBTamponMotif->isChecked(); }

bool TOutilsForm::IsCloneSourcePicking(Qt::KeyboardModifiers mods) const {
  return IsCloneStampActive() && (mods & Qt::ControlModifier);
}

bool TOutilsForm::IsSelectionToolActive() const { return tool_ == TTool::Selection || tool_ == TTool::MagicWand; }

bool TOutilsForm::IsShapeToolDrawing() const {
  return tool_ == TTool::Selection &&
         ((CBContour->isChecked() && CBContour->isEnabled()) || (CBRemplir->isChecked() && CBRemplir->isEnabled()));
}

std::optional<TStrokeKind> TOutilsForm::StrokeKind() const {
  switch (tool_) {
    case TTool::Brush:
    case TTool::AdvancedBrush:
    case TTool::Eraser: return TStrokeKind::Brush;
    case TTool::Blur: return TStrokeKind::Blur;
    case TTool::Smudge: return TStrokeKind::Smudge;
    case TTool::Airbrush: return TStrokeKind::Airbrush;
    case TTool::Stamp: return CBTamponMotif->isChecked() ? TStrokeKind::Pattern : TStrokeKind::Clone;
    case TTool::Retouch: return TStrokeKind::Retouch;
    default: return std::nullopt;
  }
}

TImageTool* TOutilsForm::ActiveTool() {
  if (tool_ == TTool::Selection || tool_ == TTool::Layer || tool_ == TTool::Line)
    return IsPipetteToolActive() ? imageTool_.get() : nullptr;
  return imageTool_.get();
}

// --- Colours ----------------------------------------------------------------------------------

void TOutilsForm::SetPaletteColor(TColor color, bool background) {
  if (background) {
    background_ = color;
    PnlFond->SetColor(color);
    return;
  }
  foreground_ = color;
  PnlCouleur->SetColor(color);
  UpdatePipettePage();
  SetColorEditDefaultColor(color);
}

void TOutilsForm::UpdatePipettePage() {
  const TColor c = ColorToRGB(foreground_);
  LblR->setText(Q(Format(TrFixFmtPipetteRed, {int(GetRValue(c))})));
  LblV->setText(Q(Format(TrFixFmtPipetteGreen, {int(GetGValue(c))})));
  LblB->setText(Q(Format(TrFixFmtPipetteBlue, {int(GetBValue(c))})));
  EdiHTML->setText(Q(ColorToHexStr(c, true)));
}

void TOutilsForm::SetStripIndex(int index) {
  strip_ = StripFromSettings(index);
  ImgGrad->SetIndex(strip_);
}

// --- Options ------------------------------------------------------------------------------------

int TOutilsForm::LineWidth() const { return EdiLineWidth->CheckValue(EdiLineWidth->Value()); }

void TOutilsForm::ApplySizeBox(QComboBox* box) {
  const int v = ReadSizeText(box->currentText().toStdString(), box == CBTailleBrush3 ? kStampSizeMin : kBrushSizeMin);
  if (box->currentText() != QString::number(v)) box->setEditText(QString::number(v));
}

void TOutilsForm::ApplyWebColor() {
  SetPaletteColor(HexStrToColor(EdiHTML->text().toStdString(), ColorToRGB(foreground_), true), false);
}

bool TOutilsForm::PaletteEditHasFocus() const {
  QWidget* f = QApplication::focusWidget();
  return f && isAncestorOf(f) && qobject_cast<QLineEdit*>(f);
}

bool TOutilsForm::FlushPaletteEdits() {
  if (!IsToolPaletteShown() || !services_.CanStartToolAction()) return false;
  const bool hadFocus = PaletteEditHasFocus();
  for (TSpinEdit2* e : {EdiLineWidth, EdiLineAlpha, EdiFillTolerance, EdiFillAlpha, EdiMagicTolerance})
    e->SetValue(e->Value());
  for (QComboBox* box : {CBTailleBrush, CBTailleBrush2, CBTailleBrush3}) ApplySizeBox(box);
  ApplyWebColor();
  if (!hadFocus) return false;
  FocusMainWindow();
  return true;
}

void TOutilsForm::FocusMainWindow() {
  if (isFloating() && isActiveWindow()) {
    PnlCouleur->setFocus();
    return;
  }
  if (TNewImgForm* w = services_.GetActiveImgForm()) w->View().setFocus();
  else main_.setFocus();
}

// --- Following the documents --------------------------------------------------------------------

void TOutilsForm::UpdateToolButtonStates() {
  TToolFacts f;
  if (TNewImgForm* w = services_.GetActiveImgForm(); w && w->Image().GetLayerCount() > 0) {
    const TLayeredImage& image = w->Image();
    f.Document = true;
    f.TrueColor = image.ColorCount >= 257;
    f.Blocked = IsActiveLayerBlocked(&image);
    f.UpperLayer = IsUpperLayerActive(&image);
    f.BaseTransparent = image.Layers[0].Image.Transparent;
    f.TextLayer = IsTextLayerActive(&image);
  }
  const TToolEnabling e = ToolEnabling(f);
  for (const TToolRow& row : ToolRows()) toolButtons_[size_t(row.Tool)]->setEnabled(e[row.Tool]);
  if (!e[tool_] && tool_ != TTool::Selection) ChooseTool(TTool::Selection);
  for (size_t i = 0; i < TB.size(); ++i) TB[i]->setEnabled(e.SelectionPage);
  TB[7]->setEnabled(e.SelectionPage && commands_.IsEnabled("MenuSelCharger"));
  CBContour->setEnabled(e.ShapeOptions);
  CBRemplir->setEnabled(e.ShapeOptions);
  // the pattern fill and the pattern stamp need a pattern
  const bool pattern = !services_.FillPattern().Empty();
  if (!pattern) {
    CBMotifRemplir->setChecked(false);
    CBTamponMotif->setChecked(false);
    CBTamponFixe->setEnabled(true);
  }
  CBMotifRemplir->setEnabled(pattern);
  CBTamponMotif->setEnabled(pattern);
  for (auto& [button, command] : layerButtons_) button->setEnabled(commands_.IsEnabled(command));
  if (tool_ == TTool::Layer) RefreshLayerPage();
  RefreshImageMode();
}

void TOutilsForm::RefreshLayerPage() {
  loadingLayerPage_ = true;
  TNewImgForm* w = services_.GetActiveImgForm();
  TLayerItem* layer = w ? w->Image().GetActiveLayer() : nullptr;
  if (!layer) {
    LblNomCalque->clear();
    for (QWidget* c : std::initializer_list<QWidget*>{TBAlphaCalque, Label15, CBVisible, CBLocked}) c->setEnabled(false);
    loadingLayerPage_ = false;
    return;
  }
  LblNomCalque->setText(Q(layer->GetDisplayName()));
  CBLocked->setEnabled(true);
  CBLocked->setChecked(layer->Locked);
  if (IsActiveImageEditable(&w->Image())) {
    // the background has neither an opacity nor a visibility of its own here
    TBAlphaCalque->setValue(100);
    TBAlphaCalque->setEnabled(false);
    Label15->setEnabled(false);
    CBVisible->setChecked(true);
    CBVisible->setEnabled(false);
  } else {
    TBAlphaCalque->setValue(std::clamp(int(layer->Opacity), 10, 100));
    TBAlphaCalque->setEnabled(!layer->Locked);
    Label15->setEnabled(true);
    CBVisible->setChecked(layer->Visible);
    CBVisible->setEnabled(true);
  }
  Label15->setText(Q(Format(TrFixFmtPercent, {TBAlphaCalque->value()})));
  loadingLayerPage_ = false;
}

void TOutilsForm::ApplyLayerOpacity() {
  if (loadingLayerPage_) return;
  TNewImgForm* w = services_.GetActiveImgForm();
  TLayerItem* layer = w ? w->Image().GetActiveLayer() : nullptr;
  if (!layer || IsActiveImageEditable(&w->Image()) || layer->Opacity == TBAlphaCalque->value()) return;
  layer->Opacity = uint8_t(TBAlphaCalque->value());
  if (auto* text = dynamic_cast<TTextData*>(layer->Data.get())) text->Opacity = layer->Opacity;
  services_.RefreshLayerNavigator();
  w->Image().InvalidateImage();
  w->NoteLayersChanged();
  if (services_.Hooks.UpdateCommandStates) services_.Hooks.UpdateCommandStates();
}

void TOutilsForm::ApplyLayerFlag(bool visible, bool on) {
  if (loadingLayerPage_) return;
  TNewImgForm* w = services_.GetActiveImgForm();
  TLayerItem* layer = w ? w->Image().GetActiveLayer() : nullptr;
  if (!layer) return;
  if (visible) {
    layer->Visible = on;
    w->Image().InvalidateImage();
  } else {
    layer->Locked = on;
    TBAlphaCalque->setEnabled(!on && !IsActiveImageEditable(&w->Image()));
  }
  services_.RefreshLayerNavigator();
  w->NoteLayersChanged();
  if (services_.Hooks.UpdateCommandStates) services_.Hooks.UpdateCommandStates();
}

void TOutilsForm::RefreshImageMode() {
  TNewImgForm* w = services_.GetActiveImgForm();
  if (!w) return;
  const bool locked = services_.ShellLock() != nullptr || !(tool_ == TTool::Layer || tool_ == TTool::Selection);
  TMyImageLayered& view = w->View();
  TSelMode mode = smShape;
  if (tool_ == TTool::Line) mode = smLine;
  else if (tool_ == TTool::Layer) mode = smMoveLayer;
  else if (tool_ == TTool::MagicWand || locked) mode = smNone;
  if (!view.IsTracking()) {
    view.SetSelectionMode(mode);
    view.SetLineShape(ssLineWidth);
    view.LineWidth = LineWidth();
  }
  w->Selection().SetLocked(locked);
  RefreshImageCursor();
}

bool TOutilsForm::ImagePopupAllowed() const { return tool_ == TTool::Layer || tool_ == TTool::Selection; }

void TOutilsForm::RefreshImageCursor() {
  TNewImgForm* active = services_.GetActiveImgForm();
  for (TNewImgForm* w : services_.Windows().Windows()) {
    int image = 0, fallback = -1;  // -1: as the image cursor
    if (w == active) {
      const TMyImageLayered& view = w->View();
      if (services_.GetActiveToolDialog() || IsPipetteToolActive()) image = 5;
      else if (view.SelectionMode() == smLine) image = 7;
      else if (tool_ == TTool::Layer) image = 0;
      else if (tool_ == TTool::Fill) image = 8, fallback = 0;
      else if (tool_ == TTool::MagicWand) image = 16, fallback = 0;
      else if (IsBrushToolActive()) image = -3;
      else if (tool_ == TTool::Blur) image = 9;
      else if (tool_ == TTool::Smudge) image = 17;
      else if (tool_ == TTool::Retouch) image = 18;
      else if (tool_ == TTool::Move) image = -22, fallback = 0;
      else if (tool_ == TTool::Airbrush) image = 10;
      else if (IsCloneSourcePicking(QGuiApplication::keyboardModifiers())) image = 11, fallback = 0;
      else if (tool_ == TTool::Stamp) image = -3;
      else if (view.SelShape() == ssPolygon) image = view.MultiLine ? 12 : 6;
    }
    w->View().SetImgCursor(ToolCursor(image));
    w->View().SetDefaultCursor(ToolCursor(fallback == -1 ? image : fallback));
    w->View().RefreshCursor();
  }
}

// --- Showing, hiding, docking -------------------------------------------------------------------

bool TOutilsForm::IsToolPaletteShown() const { return !QCoreApplication::closingDown() && shown_; }

void TOutilsForm::ShowPalette() {
  shown_ = true;
  if (isFloating()) PlaceFloating();
  show();
  raise();
  UpdateToolButtonStates();
  RefreshDockState();
  if (QAction* a = commands_.Action("MenuAffichageOutils")) a->setChecked(true);
}

void TOutilsForm::HidePalette() {
  if (strokes_->Active()) strokes_->End();
  if (!QCoreApplication::closingDown()) ChooseTool(TTool::Selection);
  shown_ = false;
  StoreSettings();
  hide();
  RefreshDockState();
  if (QAction* a = commands_.Action("MenuAffichageOutils")) a->setChecked(false);
}

void TOutilsForm::StoreSettings() {
  if (isFloating() && placed_) {
    settings_.PaletteX = x();
    settings_.PaletteY = y();
  }
  settings_.ToolsPalette = shown_;
  settings_.Color1 = foreground_;
  settings_.Color2 = background_;
  settings_.Palette = strip_;
}

int TOutilsForm::GetPaletteAlignment() const {
  if (isFloating()) return 0;
  return main_.dockWidgetArea(const_cast<TOutilsForm*>(this)) == Qt::LeftDockWidgetArea ? 1 : 2;
}

void TOutilsForm::SetPaletteAlignment(int alignment) {
  alignment = std::clamp(alignment, 0, 2);
  settings_.ToolsAlignment = alignment;
  if (alignment == GetPaletteAlignment()) return;
  const bool visible = !isHidden();
  hide();
  if (alignment == 0) {
    settings_.PaletteX = settings_.PaletteY = -1;
    placed_ = false;
    setFloating(true);
  } else {
    setFloating(false);
    main_.addDockWidget(alignment == 1 ? Qt::LeftDockWidgetArea : Qt::RightDockWidgetArea, this);
  }
  if (visible) {
    if (alignment == 0) PlaceFloating();
    show();
  }
  RefreshDockState();
}

void TOutilsForm::PlaceFloating() {
  if (placed_) return;
  QWidget* root = widget();
  resize(std::max(kClientWidth, root->sizeHint().width()), std::max(kClientHeight, root->sizeHint().height()));
  const QRect screen = main_.screen() ? main_.screen()->availableGeometry() : QRect(0, 0, 1920, 1080);
  if (settings_.PaletteX != -1 && settings_.PaletteY != -1) {
    const int x = std::clamp(settings_.PaletteX, screen.left(), std::max(screen.left(), screen.right() - width()));
    const int y = std::clamp(settings_.PaletteY, screen.top(), std::max(screen.top(), screen.bottom() - height()));
    move(x, y);
  } else {
    // at the right edge of the work area, just under the tool bars
    const QWidget& area = services_.Windows().Area();
    const QPoint origin = area.mapToGlobal(QPoint(0, 0));
    move(origin.x() + area.width() - width() - 2, origin.y() + 2);
  }
  placed_ = true;
}

void TOutilsForm::RefreshDockState() {
  setWindowOpacity(isFloating() && settings_.AlphaBlendForm ? kFloatingAlpha / 255.0 : 1.0);
  if (!services_.HasActiveImage()) return;
  services_.Windows().ArrangeImageWindowsAfterResize();
  services_.UpdateStatusBar();
}

void TOutilsForm::showEvent(QShowEvent* e) {
  QDockWidget::showEvent(e);
  if (isFloating()) PlaceFloating();
}

void TOutilsForm::closeEvent(QCloseEvent* e) {
  // the window's own close button hides the palette as the View menu does
  e->ignore();
  HidePalette();
}

bool TOutilsForm::eventFilter(QObject* watched, QEvent* e) {
  const QEvent::Type type = e->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return QDockWidget::eventFilter(watched, e);
  auto* key = static_cast<QKeyEvent*>(e);
  if (key->key() == Qt::Key_Control && !key->isAutoRepeat()) RefreshImageCursor();
  if (watched == TBAlphaCalque && type == QEvent::KeyRelease) ApplyLayerOpacity();
  const bool sizeBox = watched == CBTailleBrush->lineEdit() || watched == CBTailleBrush2->lineEdit() ||
                       watched == CBTailleBrush3->lineEdit();
  if (sizeBox && type == QEvent::KeyPress) {
    // digits and control keys only
    const QString t = key->text();
    if (!t.isEmpty() && t[0].isPrint() && !t[0].isDigit()) {
      ControlBeep();
      return true;
    }
    return false;
  }
  // floating, the palette passes the keys its edits do not take to the document
  auto* w = qobject_cast<QWidget*>(watched);
  if (type == QEvent::KeyPress && isFloating() && w && w->window() == this && !qobject_cast<QLineEdit*>(w)) {
    if (TNewImgForm* doc = services_.GetActiveImgForm()) QApplication::sendEvent(&doc->View(), e);
    FocusMainWindow();
    return true;
  }
  return false;
}

}  // namespace qm
