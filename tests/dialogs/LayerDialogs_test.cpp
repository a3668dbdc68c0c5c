// The layer dialogs: the text dialog (new text, edit, to selection, [Text]), the layer
// options (live, Cancel, new layers) and the layer export read back by the real
// decoders.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QToolButton>
#include <QWheelEvent>
#include <filesystem>
#include <sys/stat.h>

#include "DialogTestSupport.h"
#include "dialogs/layers/LayerForms.h"
#include "document/LayerOps.h"
#include "document/qt/TextRender.h"
#include "imagefiles/GifCodec.h"
#include "imagefiles/LayeredFile.h"
#include "imagefiles/PngCodec.h"
#include "pixel/ImgUtils.h"
#include "platform/texts/Format.h"
#include "platform/texts/IniFile.h"
#include "support/NoDacOverride.h"

using namespace qm;
using namespace qm::test;

namespace {

TTextData SampleText(std::vector<std::string> lines = {"Abc", "de"}) {
  TTextData d;
  InitializeTextData(d, nullptr, clBlack);
  d.FontSize = 20;
  d.Lines = std::move(lines);
  return d;
}

// A text layer added over the shell's document, active.
TLayerItem& AddText(DialogShell& shell, const TTextData& data) {
  TLayeredImage& image = shell.Doc->Image();
  const int i = CreateTextLayer(shell.Services->LayerHost(), "#1", data, true, GetBitmapRect(image.Layers[0].Image));
  EXPECT_GE(i, 0);
  shell.Form->UpdateCommandStates();
  return image.Layers[i];
}

// A bitmap layer with a mask (its left half hidden), active, no undo step.
TLayerItem& AddMaskedLayer(DialogShell& shell) {
  TBitmap mask(30, 20, pf24bit, clBlack);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 15; ++x) mask.SetPixel(x, y, clWhite);
  const int i = AddLayerFromBitmap(shell.Services->LayerHost(), "calque/un.jpg", RandomBitmap(30, 20, 5),
                                   std::move(mask), TPoint{10, 10});
  shell.Form->UpdateCommandStates();
  return shell.Doc->Image().Layers[i];
}

TTextForm* TextForm(QWidget* d) { return dynamic_cast<TTextForm*>(d); }
// A click on a check box's mark, as a user ticks it.
void Tick(QWidget* d, const char* box) {
  auto* b = Child<QCheckBox>(d, box);
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}
void SetText(QWidget* d, const QString& text) { Child<QPlainTextEdit>(d, "Memo")->setPlainText(text); }
bool LayerToolActive(DialogShell& shell) { return shell.Services->Hooks.IsLayerToolActive(); }

}  // namespace

// --- The text dialog -------------------------------------------------------------------

TEST(TextSettings, StylesShadowsAndBlankLines) {
  const struct {
    const char* Letters;
    uint8_t Style;
  } styles[] = {{"BU", fsBold | fsUnderline}, {"bius", 15}, {"", 0}, {"xyz", 0}, {"S", fsStrikeOut}};
  for (const auto& s : styles) {
    EXPECT_EQ(TextStyleFromLetters(s.Letters), s.Style) << s.Letters;
    EXPECT_EQ(TextStyleFromLetters(TextStyleLetters(s.Style)), s.Style);
  }
  const struct {
    int Style, Blur;
    bool Diffuse;
  } shadows[] = {{0, 0, false}, {1, 2, false}, {2, 2, true}};
  for (const auto& s : shadows) {
    int32_t blur = -1;
    bool diffuse = !s.Diffuse;
    SetShadowStyle(s.Style, blur, diffuse);
    EXPECT_EQ(blur, s.Blur);
    EXPECT_EQ(diffuse, s.Diffuse);
    EXPECT_EQ(ShadowStyleOf(blur, diffuse), s.Style);
  }
  using L = std::vector<std::string>;
  EXPECT_EQ(TrimTrailingBlankLines({"a", " ", "", "\t"}), L{"a"});
  EXPECT_EQ(TrimTrailingBlankLines({"", "a", "", "b"}), (L{"", "a", "", "b"}));
  EXPECT_TRUE(TrimTrailingBlankLines({" ", ""}).empty());
}

TEST(TextSettings, AFreshRecordTakesTheSectionThenTheDefaults) {
  const struct {
    const char* Section;
    const char* Font;
    int Size;
    uint8_t Style;
    TColor Color;
  } cases[] = {
      {"", "Arial", 12, 0, 0x123456},
      {"[Text]\nFont=Courier\nSize=2\nStyle=BU\nColor=#112233\n", "Courier", 6, fsBold | fsUnderline, 0x332211},
      {"[Text]\nSize=5000\nColor=nonsense\n", "Arial", 1000, 0, 0x123456},
      {"[Text]\nSize=abc\n", "Arial", 12, 0, 0x123456},
  };
  for (const auto& c : cases) {
    TIniFile ini;
    ini.LoadFromString(c.Section);
    TTextData d;
    InitializeTextData(d, &ini, 0x123456);
    EXPECT_EQ(d.FontName, c.Font) << c.Section;
    EXPECT_EQ(d.FontSize, c.Size) << c.Section;
    EXPECT_EQ(d.FontStyle, c.Style) << c.Section;
    EXPECT_EQ(d.TextColor, c.Color) << c.Section;
    EXPECT_EQ(d.Kind, 1);
    EXPECT_EQ(std::tuple(d.ShadowOffsetX, d.ShadowOffsetY, d.Opacity, d.ShadowOpacity, d.ShadowRadius),
              std::tuple(5, 5, 100, 70, 2));
    EXPECT_FALSE(d.ShadowSpread);
    EXPECT_EQ(d.OutlineColor, TColor(0xFFFFFF));
    EXPECT_TRUE(d.Antialias);
    // an initialised record is left alone
    TTextData again = d;
    again.FontSize = 77;
    InitializeTextData(again, &ini, 0);
    EXPECT_EQ(again.FontSize, 77);
  }
}

TEST(TextDialog, NewTextAtTheShownSelectionAndTheSettingsWritten) {
  DialogShell shell(&ProgramDialogs(), "[Text]\nStyle=BU\nFont=NoSuchFontAtAll\nSize=30\n");
  TLayeredImage& image = shell.Doc->Image();
  shell.Doc->Selection().SetShape(ssRect);
  shell.Doc->Selection().SetSelectionRect(TRect{20, 15, 80, 60});
  shell.Doc->Selection().Show();
  shell.Form->UpdateCommandStates();
  QWidget* d = shell.OpenForm("TTextForm");
  ASSERT_TRUE(d);
  EXPECT_FALSE(d->isModal());
  EXPECT_FALSE(shell.Doc->Selection().Visible);  // hidden once its place was taken
  EXPECT_TRUE(Child<QCheckBox>(d, "CBGras")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>(d, "CBItalique")->isChecked());
  EXPECT_TRUE(Child<QCheckBox>(d, "CBSouligne")->isChecked());
  EXPECT_EQ(Child<QComboBox>(d, "CBPolices")->currentIndex(), 0);
  EXPECT_EQ(Child<QComboBox>(d, "CBStyle")->currentIndex(), 1);

  // the size is put in range when the field is done with (Enter); letters never reach it
  auto* size = Child<QComboBox>(d, "CBTaille");
  for (const auto& [typed, shown] : {std::pair{"2", "6"}, std::pair{"5000", "1000"}, std::pair{"4x8", "48"}}) {
    size->setFocus();
    size->lineEdit()->selectAll();
    QTest::keyClicks(size->lineEdit(), QString::fromLatin1(typed));
    QTest::keyClick(size->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(d->isVisible());  // Enter there is not OK
    EXPECT_EQ(size->currentText().toStdString(), shown) << typed;
  }
  EXPECT_GT(shell.Beeps, 0);

  // blank lines only: the dialog closes, nothing is made, no tool is chosen
  int tools = 0;
  shell.Services->Hooks.SelectPaletteTool = [&](int) { ++tools; };
  SetText(d, "  \n\n\t");
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(image.GetLayerCount(), 1);
  EXPECT_EQ(tools, 0);

  // a text: a layer at the selection's top-left, the layer tool chosen
  shell.Doc->Selection().Show();
  d = shell.OpenForm("TTextForm");
  ASSERT_TRUE(d);
  Child<QComboBox>(d, "CBTaille")->setEditText("8");
  SetText(d, "Ab\ncd\n \n");
  int tool = -1;
  shell.Services->Hooks.SelectPaletteTool = [&](int t) { tool = t; };
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  ASSERT_EQ(image.GetLayerCount(), 2);
  const TLayerItem& layer = *image.GetActiveLayer();
  EXPECT_EQ(layer.LayerType, ltText);
  EXPECT_EQ(std::pair(layer.Left, layer.Top), std::pair(20, 15));
  const auto* data = dynamic_cast<const TTextData*>(layer.Data.get());
  ASSERT_TRUE(data);
  EXPECT_EQ(data->Lines, (std::vector<std::string>{"Ab", "cd"}));
  EXPECT_EQ(data->FontSize, 8);
  EXPECT_EQ(tool, 13);
  EXPECT_TRUE(shell.Doc->IsImageModified());
  EXPECT_EQ(TextForm(d)->LastText(), data->Lines);
  TIniFile written;
  ASSERT_TRUE(written.Load(shell.SettingsFile()));
  EXPECT_EQ(written.ReadString("Text", "Size", ""), "8");
  EXPECT_EQ(written.ReadString("Text", "Style", ""), "bu");
  EXPECT_EQ(written.ReadString("Text", "Font", ""), data->FontName);
  EXPECT_EQ(written.ReadString("Text", "Color", ""), "#000000");
  // the next new text starts with the last one
  d = shell.OpenForm("TTextForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Child<QPlainTextEdit>(d, "Memo")->toPlainText().toStdString(), "Ab\ncd");
  Cancel(d);
}

// "+" and "-" typed as a user types them reach the text, the angle and the shadow's
// offsets; in the layer options the shadow's offsets take them too, and an emptied
// offset is refused at OK.
TEST(TextDialog, HyphensAndMinusSignsAsTyped) {
  DialogShell shell;
  QWidget* d = shell.OpenForm("TTextForm");
  ASSERT_TRUE(d);
  auto* memo = Child<QPlainTextEdit>(d, "Memo");
  memo->setFocus();
  memo->clear();
  QTest::keyClicks(memo, "Jean-Pierre +1");
  Type(d, "EdiAngle", "-45");
  Child<QTabWidget>(d, "PageControl")->setCurrentIndex(1);
  Tick(d, "CBOmbre");
  Type(d, "EdiDX", "-7");
  Click(d, "BOk");
  ASSERT_FALSE(d->isVisible());
  const auto* data = dynamic_cast<const TTextData*>(shell.Doc->Image().GetActiveLayer()->Data.get());
  ASSERT_TRUE(data);
  EXPECT_EQ(data->Lines, (std::vector<std::string>{"Jean-Pierre +1"}));
  EXPECT_EQ(data->Angle, -45);
  EXPECT_EQ(data->ShadowOffsetX, -7);

  TLayerItem& layer = AddMaskedLayer(shell);
  d = shell.OpenForm("TOpCalqueForm");
  ASSERT_TRUE(d);
  Tick(d, "CBOmbre");
  Type(d, "EdiDY", "-12");
  EXPECT_EQ(layer.Shadow.OffsetY, -12);
  Type(d, "EdiDX", "");
  EXPECT_EQ(layer.Shadow.OffsetX, 5);  // an empty field keeps the offset
  Click(d, "BOk");
  EXPECT_TRUE(shell.Said(TextId::GetTrDldGlb1));
  ASSERT_TRUE(d->isVisible());
  Type(d, "EdiDX", "-3");
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(std::pair(layer.Shadow.OffsetX, layer.Shadow.OffsetY), std::pair(-3, -12));
}

TEST(TextDialog, NegativeModeTakesTheShadowOutlineAndBevelAway) {
  DialogShell shell;
  QWidget* d = shell.OpenForm("TTextForm");
  ASSERT_TRUE(d);
  for (const char* box : {"CBOmbre", "CBContour"}) Child<QCheckBox>(d, box)->setChecked(true);
  EXPECT_TRUE(Child<TSpinEdit2>(d, "EdiDX")->isEnabled());
  EXPECT_TRUE(Child<QToolButton>(d, "SB2")->isChecked());
  Child<QCheckBox>(d, "CB3D")->setChecked(true);
  EXPECT_FALSE(Child<QCheckBox>(d, "CBContour")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>(d, "CBContour")->isEnabled());
  Child<QCheckBox>(d, "CBInverser")->setChecked(true);
  for (const char* box : {"CBOmbre", "CBContour", "CB3D"}) {
    EXPECT_FALSE(Child<QCheckBox>(d, box)->isChecked()) << box;
    EXPECT_FALSE(Child<QCheckBox>(d, box)->isEnabled()) << box;
  }
  EXPECT_FALSE(Child<TSpinEdit2>(d, "EdiDX")->isEnabled());
  // a pattern without its file is refused
  Child<QCheckBox>(d, "CBMotif")->setChecked(true);
  SetText(d, "x");
  Click(d, "BOk");
  EXPECT_TRUE(shell.Said(TextId::GetTrDldGlb1));
  EXPECT_TRUE(d->isVisible());
  Cancel(d);
  EXPECT_EQ(shell.Doc->Image().GetLayerCount(), 1);
}

// Edit mode works on a copy: Cancel and "Transformer en sélection" leave the layer's
// record as it is, and OK renders the layer the dialog opened on, whichever layer the
// strip made active meanwhile.
TEST(TextDialog, EditLeavesTheRecordUntilOkRendersTheLayerOpenedOn) {
  DialogShell shell;
  TLayeredImage& image = shell.Doc->Image();
  TLayerItem& layer = AddText(shell, SampleText());
  const TTextData before = *dynamic_cast<const TTextData*>(layer.Data.get());
  const TBitmap background = image.Layers[0].Image.Clone();

  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuCalqueOptions"));
  QWidget* d = shell.Form->findChild<QWidget*>("TTextForm");
  ASSERT_TRUE(d && d->isVisible());
  EXPECT_EQ(Child<QPlainTextEdit>(d, "Memo")->toPlainText().toStdString(), "Abc\nde");
  Child<QComboBox>(d, "CBTaille")->setEditText("40");
  Cancel(d);
  EXPECT_TRUE(*dynamic_cast<const TTextData*>(layer.Data.get()) == before);

  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuCalqueOptions"));
  ASSERT_TRUE(d->isVisible());
  Child<QComboBox>(d, "CBTaille")->setEditText("40");
  Click(d, "BSel");
  EXPECT_FALSE(d->isVisible());
  EXPECT_TRUE(shell.Doc->Selection().Visible);
  EXPECT_TRUE(*dynamic_cast<const TTextData*>(layer.Data.get()) == before);

  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuCalqueOptions"));
  ASSERT_TRUE(d->isVisible());
  Child<QComboBox>(d, "CBTaille")->setEditText("40");
  const int width = layer.Image.Width();
  SelectLayer(shell.Services->LayerHost(), image.Layers[0]);  // a click on the strip
  Click(d, "BOk");
  EXPECT_EQ(dynamic_cast<const TTextData*>(layer.Data.get())->FontSize, 40);
  EXPECT_GT(layer.Image.Width(), width);
  EXPECT_TRUE(SameBitmaps(image.Layers[0].Image, background));
  EXPECT_EQ(image.Layers[0].Data, nullptr);
}

TEST(TextDialog, ATextLayerSavedAndReopenedRendersAsBefore) {
  DialogShell shell;
  TTextData data = SampleText({"Quillomatic", "Morvek"});
  data.ShadowEnabled = true;
  data.Outline = true;
  data.Angle = 15;
  TLayerItem& layer = AddText(shell, data);
  const std::string file = shell.Home.File("texte.qxi");
  SaveLayeredImageToFile(shell.Doc->Image(), file);
  TLayeredImage reopened;
  LoadLayeredImageFromFile(reopened, file);
  ASSERT_EQ(reopened.GetLayerCount(), 2);
  TLayerItem& again = reopened.Layers[1];
  ASSERT_EQ(again.LayerType, ltText);
  RenderTextLayer(again);
  EXPECT_TRUE(SameBitmaps(again.Image, layer.Image));
  EXPECT_TRUE(SameBitmaps(again.Mask, layer.Mask));
  EXPECT_EQ(std::pair(again.Left, again.Top), std::pair(layer.Left, layer.Top));
}

// --- The layer options -------------------------------------------------------------------

TEST(LayerOptions, LiveChangesAndCancelGivesTheLayerBack) {
  DialogShell shell;
  TLayerItem& layer = AddMaskedLayer(shell);
  layer.Opacity = 80;
  const TLayerShadow shadow = layer.Shadow;
  QWidget* d = shell.OpenForm("TOpCalqueForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->isModal());
  EXPECT_TRUE(Child<QWidget>(d, "TshStd")->isVisible());
  EXPECT_FALSE(Child<QWidget>(d, "TshAdjust")->isVisible());
  EXPECT_FALSE(Child<TSpinEdit2>(d, "EdiDX")->isEnabled());
  QSlider* alpha = Slider(d, "TBAlpha");
  EXPECT_EQ(alpha->value(), 80);
  // a drag shows its value and applies it when let go
  alpha->setSliderDown(true);
  alpha->setValue(40);
  EXPECT_EQ(LabelText(d, "LblOpacite"), "Opacité : 40%");
  EXPECT_EQ(layer.Opacity, 80);
  alpha->setSliderDown(false);
  emit alpha->sliderReleased();
  EXPECT_EQ(layer.Opacity, 40);
  // the wheel applies at once
  QWheelEvent wheel(QPointF(5, 5), alpha->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120), Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(alpha, &wheel);
  EXPECT_NE(alpha->value(), 40);
  EXPECT_EQ(layer.Opacity, alpha->value());
  Tick(d, "CBOmbre");
  EXPECT_TRUE(layer.Shadow.Enabled);
  ClickRadio(Child<QRadioButton>(d, "RGStyle2"));
  EXPECT_EQ(std::pair(layer.Shadow.Radius, int(layer.Shadow.Spread)), std::pair(2, 1));
  ClickRadio(Child<QRadioButton>(d, "RGStyle0"));
  EXPECT_EQ(std::pair(layer.Shadow.Radius, int(layer.Shadow.Spread)), std::pair(0, 0));
  Cancel(d);
  EXPECT_EQ(layer.Opacity, 80);
  EXPECT_TRUE(layer.Shadow == shadow);
  EXPECT_FALSE(shell.Doc->IsImageModified());

  // OK keeps the values, marks the document and chooses the layer tool
  d = shell.OpenForm("TOpCalqueForm");
  ASSERT_TRUE(d);
  Tick(d, "CBOmbre");
  ClickRadio(Child<QRadioButton>(d, "RGStyle2"));
  Click(d, "BOk");
  EXPECT_EQ(std::tuple(int(layer.Shadow.Enabled), layer.Shadow.Radius, int(layer.Shadow.Spread)),
            std::tuple(1, 2, 1));
  EXPECT_TRUE(shell.Doc->IsImageModified());
  EXPECT_TRUE(LayerToolActive(shell));
  EXPECT_EQ(shell.History().GetUndoStepCount(), 0);
}

TEST(LayerOptions, NewAdjustmentAndColourLayers) {
  DialogShell shell;
  TLayeredImage& image = shell.Doc->Image();
  // Cancel right after the new layer removes it
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuCalqueReglage"));
  auto* d = shell.Form->findChild<QWidget*>("TOpCalqueForm");
  ASSERT_TRUE(d && d->isVisible());
  EXPECT_EQ(image.GetLayerCount(), 2);
  EXPECT_TRUE(Child<QWidget>(d, "TshAdjust")->isVisible());
  EXPECT_EQ(Slider(d, "TBGamma")->value(), 10);
  Cancel(d);
  EXPECT_EQ(image.GetLayerCount(), 1);

  // gamma is a tenth of the track bar's position
  for (const auto& [position, gamma, label] :
       {std::tuple{1, 0.1, "Correction gamma : 0.10"}, std::tuple{30, 3.0, "Correction gamma : 3.00"}}) {
    ASSERT_TRUE(shell.Form->Commands().Trigger("MenuCalqueReglage"));
    ASSERT_TRUE(d->isVisible());
    Slider(d, "TBGamma")->setValue(position);
    EXPECT_EQ(LabelText(d, "LblGamma"), label);
    Slider(d, "TBLuminosite")->setValue(-30);
    Click(d, "BOk");
    EXPECT_DOUBLE_EQ(image.GetActiveLayer()->Adjustment.Gamma, gamma);
    EXPECT_EQ(image.GetActiveLayer()->Adjustment.Lighten, -30);
  }
  // reopened, the track bar shows the layer's gamma
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuCalqueOptions"));
  ASSERT_TRUE(d->isVisible());
  EXPECT_EQ(Slider(d, "TBGamma")->value(), 30);
  Cancel(d);
  EXPECT_EQ(image.GetLayerCount(), 3);

  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuCalqueCouleur"));
  ASSERT_TRUE(d->isVisible());
  EXPECT_TRUE(Child<QWidget>(d, "TshColor")->isVisible());
  Tick(d, "CBInverser");
  EXPECT_EQ(image.GetActiveLayer()->ColorNegate, 1);
  Click(d, "BOk");
  EXPECT_EQ(image.GetLayerCount(), 4);
  EXPECT_EQ(image.GetActiveLayer()->LayerType, ltColor);
}

// --- The layer export --------------------------------------------------------------------

TEST(LayerExport, EachFormatReadBackByItsDecoder) {
  DialogShell shell;
  TLayerItem& layer = AddMaskedLayer(shell);
  TLayerItem bare;
  bare.Image = RandomBitmap(12, 8, 3);
  TempFolder out("export");
  for (const TLayerItem* l : {&layer, &bare}) {
    const bool masked = !l->Mask.Empty();
    const auto hidden = [&](int x, int y) { return masked && l->Mask.GetPixel(x, y) == clWhite; };
    ExportLayer(*l, TLayerExportFormat::Png, out.File("a.png"));
    TPngImage png;
    ReadPngFile(out.File("a.png"), png);
    ASSERT_EQ(png.ColorType, pcRGBA);
    ASSERT_EQ(std::pair(png.Width, png.Height), std::pair(l->Image.Width(), l->Image.Height()));
    ExportLayer(*l, TLayerExportFormat::Bmp, out.File("a.bmp"));
    const TBitmap bmp = ReadPicture(out.File("a.bmp"));
    ASSERT_EQ(bmp.PixelFormat(), pf32bit);
    ExportLayer(*l, TLayerExportFormat::Gif, out.File("a.gif"));
    TGifImage gif;
    ReadGifFile(out.File("a.gif"), gif);
    ASSERT_EQ(gif.Frames.size(), 1u);
    const TGifFrame& frame = gif.Frames[0];
    for (int y = 0; y < l->Image.Height(); ++y)
      for (int x = 0; x < l->Image.Width(); ++x) {
        const uint8_t* p = png.Pixels.data() + (size_t(y) * png.Width + x) * 4;
        const TColor c = l->Image.GetPixel(x, y);
        const TColor shown = hidden(x, y) ? clWhite : c;
        ASSERT_EQ(p[3], hidden(x, y) ? 0 : 255) << x << "," << y;
        ASSERT_EQ(RGB(p[0], p[1], p[2]), shown) << x << "," << y;
        const uint8_t* b = bmp.ScanLine(y) + x * 4;
        ASSERT_EQ(b[3], hidden(x, y) ? 0 : 255);
        ASSERT_EQ(RGB(b[2], b[1], b[0]), shown);
        ASSERT_EQ(frame.Pixels[size_t(y) * frame.Width + x] == frame.TransparentIndex, hidden(x, y));
      }
  }
}

TEST(LayerExport, FromTheMenuAndAFolderThatRefuses) {
  DialogShell shell;
  AddMaskedLayer(shell);
  TempFolder out("export");
  shell.Services->Hooks.SaveFolder = [&] { return out.Path.string(); };
  QWidget* d = shell.OpenForm("TExportLayerForm");
  ASSERT_TRUE(d);
  EXPECT_EQ(Child<QPushButton>(d, "BOk")->text().toStdString(), "Exporter");
  ClickRadio(Child<QRadioButton>(d, "RGFormat2"));
  std::string proposed;
  WhenSaveDialog([&](const std::string& name) {
    proposed = name;
    return true;
  });
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  // the name stays in the folder: its "/" became "_", its extension the format's
  EXPECT_EQ(proposed, out.File("calque_un.gif"));
  TGifImage gif;
  ReadGifFile(out.File("calque_un.gif"), gif);
  EXPECT_EQ(gif.Frames.size(), 1u);

  ASSERT_EQ(::chmod(out.Path.c_str(), 0555), 0);
  {
    TNoDacOverride noOverride;
    d = shell.OpenForm("TExportLayerForm");
    ASSERT_TRUE(d);
    ClickRadio(Child<QRadioButton>(d, "RGFormat0"));
    WhenSaveDialog([](const std::string&) { return true; });
    Click(d, "BOk");
  }
  ::chmod(out.Path.c_str(), 0755);
  EXPECT_FALSE(d->isVisible());
  ASSERT_FALSE(shell.Messages.empty());
  EXPECT_EQ(shell.Messages.back(), Format(TextId::GetOeMsgErrorSaving, {out.File("calque_un.png")}));
  // no file left behind, not even a temporary one
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.Path), {}), 1);
}
