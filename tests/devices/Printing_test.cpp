// Printing: the page's layout as a table of cases, the page drawn on an image and
// printed through QPrinter into a real PDF read back with poppler, a cancelled job,
// and the print command through the real editor.
#include "devices/printing/Printing.h"

#include <gtest/gtest.h>
#include <poppler/qt6/poppler-qt6.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

#include "controls/SpinEdit.h"
#include "platform/texts/Format.h"
#include "support/MainFormFixture.h"
#include "support/NoDacOverride.h"
#include "support/ProgramStart.h"

using namespace qm;
using namespace qm::test;

namespace {

// A page of w x h printer pixels at dpi, its sizes in centimetres.
TPrintPage Page(int w, int h, double dpi) { return TPrintPage{w, h, w * 2.54 / dpi, h * 2.54 / dpi}; }
// An A4 page's printable area at 600 dpi (10 points of margin), as Qt's PDF printer has it.
TPrintPage A4(bool landscape) {
  const TPrintPage p{4795, 6850, 20.30, 29.00};
  return landscape ? TPrintPage{p.HeightPx, p.WidthPx, p.Height, p.Width} : p;
}

struct LayoutOf {
  TBitmap Image;
  TPrintLayout Layout;
  LayoutOf(int w, int h, const TPrintPage& page, double dpi = 72) : Image(w, h) {
    Layout.SetImage(&Image, dpi);
    Layout.SetPage(page);
  }
};

// The 4-connected groups of dark pixels.
int DarkSegments(const QImage& img) {
  const int w = img.width(), h = img.height();
  std::vector<uint8_t> seen(size_t(w) * h);
  auto dark = [&](int x, int y) { return qGray(img.pixel(x, y)) < 128; };
  int groups = 0;
  std::vector<std::pair<int, int>> todo;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (seen[size_t(y) * w + x] || !dark(x, y)) continue;
      ++groups;
      todo.push_back({x, y});
      seen[size_t(y) * w + x] = 1;
      while (!todo.empty()) {
        auto [cx, cy] = todo.back();
        todo.pop_back();
        for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          const int nx = cx + dx, ny = cy + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h || seen[size_t(ny) * w + nx] || !dark(nx, ny)) continue;
          seen[size_t(ny) * w + nx] = 1;
          todo.push_back({nx, ny});
        }
      }
    }
  return groups;
}

// Four quadrants of plain colours.
TBitmap Quadrants(int w, int h) {
  TBitmap b(w, h);
  const TColor colors[4] = {RGB(220, 30, 30), RGB(30, 200, 40), RGB(30, 40, 210), RGB(240, 220, 30)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, colors[(y >= h / 2) * 2 + (x >= w / 2)]);
  return b;
}

std::unique_ptr<QPrinter> PdfPrinter(const std::string& file) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setResolution(600);
  printer->setPageSize(QPageSize(QPageSize::A4));
  printer->setOutputFileName(QString::fromStdString(file));
  return printer;
}

}  // namespace

TEST(PrintLayout, OpensAtEightyPercentOfTheFittingScaleWithTheBarInSteps) {
  struct Case {
    int w, h;
    TPrintPage page;
    int percent, barMax;
    bool landscape;
  } cases[] = {
      {100, 100, Page(400, 250, 72), 200, 25, true},   // fits at 250 %
      {100, 100, Page(1500, 1000, 72), 500, 100, true},  // fits at 1000 %: at most 500 %
      {100, 200, Page(250, 800, 72), 200, 25, false},
      {4000, 100, Page(100, 1000, 72), 10, 1, true},   // too large for any step: fills the page
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
    LayoutOf l(c.w, c.h, c.page);
    EXPECT_EQ(l.Layout.Landscape(), c.landscape);
    EXPECT_EQ(l.Layout.BarMax(), c.barMax);
    if (c.barMax > 1) {
      EXPECT_EQ(l.Layout.ScalePercent(), c.percent);
    }
    EXPECT_TRUE(l.Layout.Centred());
    // Centred: as much room left as right.
    const TRect r = l.Layout.PrinterRect();
    EXPECT_LE(std::abs(r.Left - (c.page.WidthPx - r.Right)), 1);
    EXPECT_NEAR(l.Layout.Fields().Width, l.Layout.PixelsToUnits(r.Width()), 1e-9);
  }
}

TEST(PrintLayout, ScaleStepsSizesAndPositionFollowEachOther) {
  LayoutOf l(300, 200, A4(true), 300);
  l.Layout.ScrollTo(5);
  EXPECT_EQ(l.Layout.ScalePercent(), 50);
  EXPECT_EQ(l.Layout.PrinterRect().Width(), 150);
  // A typed width drives the height by the image's proportions, and applies.
  l.Layout.EditWidth(12);
  EXPECT_DOUBLE_EQ(l.Layout.Fields().Height, 8);
  ASSERT_EQ(l.Layout.ApplySize().Field, 0);
  EXPECT_EQ(l.Layout.PrinterRect().Width(), l.Layout.UnitsToPixels(12));
  // A free position, in centimetres from the page's corner.
  l.Layout.SetCentred(false);
  l.Layout.EditPosition(2, 3);
  ASSERT_EQ(l.Layout.ApplyPosition().Field, 0);
  EXPECT_EQ(l.Layout.PrinterRect().Left, l.Layout.UnitsToPixels(2));
  EXPECT_EQ(l.Layout.PrinterRect().Top, l.Layout.UnitsToPixels(3));
  EXPECT_EQ(l.Layout.Preview().ImageLeft(), int(std::lround(l.Layout.UnitsToPixels(2) * l.Layout.PreviewRatio())) + 16);
  // Filling the page centres again and locks the scale.
  l.Layout.SetFitPage(true);
  EXPECT_TRUE(l.Layout.Centred());
  EXPECT_FALSE(l.Layout.ScaleEnabled());
  EXPECT_EQ(std::max(l.Layout.PrinterRect().Width() - A4(true).WidthPx, l.Layout.PrinterRect().Height() - A4(true).HeightPx) <= 0, true);
}

TEST(PrintLayout, RefusalsNameTheirBoundsWithTwoDecimalsAndTheLocaleSeparator) {
  const std::string separator = FormatSettings().DecimalSeparator;
  FormatSettings().DecimalSeparator = ",";
  LayoutOf l(300, 100, TPrintPage{2000, 1000, 50.0, 25.0});
  struct Case {
    double width, left, top;
    int field;
    const char* text;
  } cases[] = {
      {0.5, 0, 0, 1, "La largeur doit être comprise entre 1,00 et 50,00 !"},
      {60, 0, 0, 1, "La largeur doit être comprise entre 1,00 et 50,00 !"},
      {30, 25, 0, 3, "La marge de gauche doit être inférieure ou égale à 20,00 !"},
      {30, 0, 16, 4, "La marge du haut doit être inférieure ou égale à 15,00 !"},
      {50, 0, 0, 0, ""},
      {49.999, 0, 0, 0, ""},
      {50.001, 0, 0, 1, "La largeur doit être comprise entre 1,00 et 50,00 !"},
      // No room left: the bound shown is 0, never below.
      {50, 0.5, 0, 3, "La marge de gauche doit être inférieure ou égale à 0,00 !"},
  };
  for (const Case& c : cases) {
    l.Layout.EditWidth(c.width);
    l.Layout.EditPosition(c.left, c.top);
    const TPrintFault fault = l.Layout.Check();
    EXPECT_EQ(fault.Field, c.field) << c.width;
    EXPECT_EQ(fault.Message, c.text);
  }
  // The height follows the width by the image's proportions, and is checked too.
  l.Layout.EditHeight(26);
  EXPECT_EQ(l.Layout.Check().Field, 1);
  l.Layout.EditHeight(0.5);
  EXPECT_EQ(l.Layout.Check().Field, 2);
  FormatSettings().DecimalSeparator = separator;
}

TEST(PrintLayout, RealSizeFitsOrIsRefusedForTheShowing) {
  // 3000 x 2000 at 72 dpi is 105.8 x 70.6 cm: no A4 page takes it.
  LayoutOf big(3000, 2000, A4(true), 72);
  EXPECT_TRUE(big.Layout.RealSizeEnabled());
  EXPECT_FALSE(big.Layout.SetRealSize(true));
  EXPECT_FALSE(big.Layout.RealSize());
  EXPECT_FALSE(big.Layout.RealSizeEnabled());
  // 1200 x 600 at 300 dpi is 10.16 x 5.08 cm, shown at the document's resolution.
  LayoutOf small(1200, 600, A4(true), 300);
  ASSERT_TRUE(small.Layout.SetRealSize(true));
  EXPECT_NEAR(small.Layout.Fields().Width, 10.16, 1e-9);
  EXPECT_NEAR(small.Layout.Fields().Height, 5.08, 1e-9);
  EXPECT_EQ(small.Layout.PrinterRect().Width(), 2400);  // 600 dpi printer pixels
  double dpi = 0;
  ASSERT_TRUE(small.Layout.RelativeResolution(dpi));
  EXPECT_DOUBLE_EQ(dpi, 300);
  EXPECT_FALSE(small.Layout.ScaleEnabled());
  EXPECT_FALSE(small.Layout.FitPageEnabled());
  // A document without a resolution (a scan or a plug-in's) has no real size, and a
  // printed side of 0 no relative resolution: nothing divides by zero.
  LayoutOf none(1200, 600, A4(true), 0);
  EXPECT_FALSE(none.Layout.RealSizeEnabled());
  EXPECT_FALSE(none.Layout.SetRealSize(true));
  none.Layout.EditWidth(0);
  none.Layout.SetFitPage(false);
  LayoutOf thin(1, 1000, Page(1000, 1000, 72));
  thin.Layout.EditHeight(0);
  EXPECT_FALSE(thin.Layout.RelativeResolution(dpi));
}

TEST(PrintLayout, CutLinesAreTenSegmentsRoundAnElongatedImageAndEightRoundASquare) {
  App();
  struct Case {
    int w, h, segments;
  } cases[] = {{400, 200, 10}, {300, 300, 8}, {200, 400, 10}, {300, 250, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h);
    const TPrintPage page = Page(1240, 1754, 150);  // A4 at 150 dpi
    LayoutOf l(c.w, c.h, page);
    ASSERT_EQ(int(l.Layout.CutLines().size()), c.segments);
    QImage sheet(page.WidthPx, page.HeightPx, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    TBitmap white(c.w, c.h, pf24bit, clWhite);
    QPainter painter(&sheet);
    DrawPrintPage(painter, white, l.Layout, TPrintOptions{false, true, false});
    painter.end();
    EXPECT_EQ(DarkSegments(sheet), c.segments);
    // Each line runs from 0.8 cm off the image's corner to 0.1 cm off it, its end point
    // not drawn (47 and 6 pixels here).
    const TRect r = l.Layout.PrinterRect();
    int first = -1, last = -1;
    for (int x = 0; x < r.Left; ++x)
      for (int y = r.Top - 1; y <= r.Top; ++y)
        if (qGray(sheet.pixel(x, y)) < 128) {
          if (first < 0) first = x;
          last = x;
        }
    EXPECT_EQ(r.Left - first, 47);
    EXPECT_EQ(r.Left - last, 7);
  }
}

TEST(PrintJob, AWideImagePrintsOnOneLandscapeA4PageWithItsPixelsInPlace) {
  App();
  TempFolder folder("print");
  const std::string file = folder.File("page.pdf");
  std::unique_ptr<QPrinter> printer = PdfPrinter(file);
  const TBitmap image = Quadrants(600, 300);
  TPrintLayout layout;
  layout.SetImage(&image, 150);
  printer->setPageOrientation(layout.Landscape() ? QPageLayout::Landscape : QPageLayout::Portrait);
  layout.SetPage(ReadPrintPage(*printer, TPrintUnit::Centimetres));
  ASSERT_EQ(PrintImage(*printer, image, layout, TPrintOptions{}, {}), TPrintResult::Printed);
  EXPECT_FALSE(std::filesystem::exists(file + ".part"));

  std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(QString::fromStdString(file));
  ASSERT_TRUE(pdf);
  ASSERT_EQ(pdf->numPages(), 1);
  std::unique_ptr<Poppler::Page> page = pdf->page(0);
  const QSizeF points = page->pageSizeF();
  EXPECT_NEAR(points.width(), 841.9, 1);  // A4 landscape
  EXPECT_NEAR(points.height(), 595.3, 1);
  const double dpi = 72;
  const QImage shown = page->renderToImage(dpi, dpi);
  // The printer's pixels start at the printable area's corner.
  const QRectF paint = printer->pageLayout().paintRect(QPageLayout::Point);
  const TRect r = layout.PrinterRect();
  auto at = [&](double fx, double fy) {
    const double x = paint.left() + (r.Left + fx * r.Width()) * 72.0 / 600;
    const double y = paint.top() + (r.Top + fy * r.Height()) * 72.0 / 600;
    return shown.pixelColor(int(x), int(y));
  };
  const TColor expected[4] = {RGB(220, 30, 30), RGB(30, 200, 40), RGB(30, 40, 210), RGB(240, 220, 30)};
  const double spots[4][2] = {{0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75}};
  for (int i = 0; i < 4; ++i) {
    const QColor c = at(spots[i][0], spots[i][1]);
    EXPECT_NEAR(c.red(), GetRValue(expected[i]), 12) << i;
    EXPECT_NEAR(c.green(), GetGValue(expected[i]), 12) << i;
    EXPECT_NEAR(c.blue(), GetBValue(expected[i]), 12) << i;
  }
  // Outside the image the paper stays white.
  EXPECT_EQ(at(-0.1, 0.5), QColor(Qt::white));
  EXPECT_EQ(at(1.1, 0.5), QColor(Qt::white));
}

TEST(PrintJob, ACancelBeforeTheEndLeavesNoFileAndKeepsTheOneThere) {
  App();
  TempFolder folder("print");
  const TBitmap image = Quadrants(200, 100);
  for (bool existing : {false, true}) {
    const std::string file = folder.File(existing ? "kept.pdf" : "new.pdf");
    if (existing) folder.Write("kept.pdf", "an earlier print");
    std::unique_ptr<QPrinter> printer = PdfPrinter(file);
    TPrintLayout layout;
    layout.SetImage(&image, 72);
    layout.SetPage(ReadPrintPage(*printer, TPrintUnit::Centimetres));
    int asked = 0;
    EXPECT_EQ(PrintImage(*printer, image, layout, TPrintOptions{}, [&] { return ++asked > 0; }),
              TPrintResult::Cancelled);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(std::filesystem::exists(file + ".part"));
    EXPECT_EQ(std::filesystem::exists(file), existing);
    if (existing) {
      EXPECT_EQ(ReadFileBytes(file).size(), std::string("an earlier print").size());
    }
    EXPECT_EQ(printer->outputFileName().toStdString(), file);
  }
}

TEST(PrintJob, AFileThatCannotBeWrittenOrPutInPlaceFailsWithItsReason) {
  App();
  TempFolder folder("printfail");
  const TBitmap image = Quadrants(40, 20);
  const auto print = [&](const std::string& file, std::string& reason) {
    std::unique_ptr<QPrinter> printer = PdfPrinter(file);
    TPrintLayout layout;
    layout.SetImage(&image, 72);
    layout.SetPage(ReadPrintPage(*printer, TPrintUnit::Centimetres));
    return PrintImage(*printer, image, layout, TPrintOptions{}, {}, &reason);
  };
  // A read-only folder: the page cannot be opened.
  const std::string locked = folder.File("locked");
  std::filesystem::create_directories(locked);
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
  std::string reason;
  {
    TNoDacOverride noOverride;
    EXPECT_EQ(print(locked + "/page.pdf", reason), TPrintResult::Failed);
  }
  EXPECT_EQ(reason.rfind(Format(Tr(TextId::TrFixFmtPrintNoFile), {locked + "/page.pdf"}) + "\r", 0), 0u) << reason;
  EXPECT_TRUE(std::filesystem::is_empty(locked));
  ::chmod(locked.c_str(), 0755);
  // A folder in the target's place: the page is made, but cannot take its name.
  const std::string taken = folder.File("taken.pdf");
  std::filesystem::create_directories(taken);
  folder.Write("taken.pdf/inside", "x");
  reason.clear();
  EXPECT_EQ(print(taken, reason), TPrintResult::Failed);
  EXPECT_EQ(reason.rfind(Format(Tr(TextId::TrFixFmtPrintNotRenamed), {taken}), 0), 0u) << reason;
  EXPECT_FALSE(std::filesystem::exists(taken + ".part"));
  EXPECT_TRUE(std::filesystem::is_directory(taken));
}

// The print command as a user runs it in the editor: the dialog over the document,
// then "Imprimer" into the PDF file printer's file, or "Annuler" in the cancel window.
struct PrintEditor : Editor {
  TempFolder Out{"printout"};
  TNewImgForm* Doc = nullptr;
  PrintEditor() {
    Options = ProgramStartOptions();
    Start();
    Doc = &NewDocument(Quadrants(300, 150));
    Doc->SetFileName("/photos/quadrants.png");
    Form->UpdateCommandStates();
  }
  // Opens the dialog from the menu and runs act on it while it shows.
  void Print(std::function<void(QWidget* dialog)> act) {
    WhenModal([act](QWidget* w) { act(w); });
    ASSERT_TRUE(Form->Commands().Trigger("MenuFichierImprimer"));
  }
};

TEST(PrintCommand, TheDialogOpensOnTheLayoutAndPrintsIntoTheFileAsked) {
  PrintEditor e;
  const std::string file = e.Out.File("quadrants.pdf");
  std::string title, zoom, prop;
  bool landscape = false;
  e.Print([&](QWidget* d) {
    title = d->windowTitle().toStdString();
    zoom = d->findChild<QLabel*>("LabelZoom")->text().toStdString();
    prop = d->findChild<QLabel*>("LblProp")->text().toStdString();
    auto* form = static_cast<TImprForm*>(d);
    landscape = form->Layout().Landscape();
    form->AskOutputFile = [&](QString& name) {
      EXPECT_EQ(name.toStdString(), "quadrants.pdf");
      name = QString::fromStdString(file);
      return true;
    };
    // The scale bar one step down, as the keyboard moves it.
    auto* bar = d->findChild<QScrollBar*>("ScrollBarZoom");
    const int before = bar->value();
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(d->findChild<QLabel*>("LabelZoom")->text().toStdString(),
              Format(TextId::GetTrFmtScale, {(before - 1) * 10}));
    QTest::mouseClick(d->findChild<QPushButton*>("BImprimer"), Qt::LeftButton);
  });
  EXPECT_EQ(title, "Imprimer - quadrants.png");
  EXPECT_EQ(zoom.rfind("Echelle : ", 0), 0u);
  EXPECT_EQ(prop, "300 x 150 pixels (72.00 dpi)");
  EXPECT_TRUE(landscape);
  std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(QString::fromStdString(file));
  ASSERT_TRUE(pdf);
  EXPECT_EQ(pdf->numPages(), 1);
  EXPECT_EQ(pdf->title().toStdString(), "quadrants.png");
  EXPECT_FALSE(e.Form->isEnabled() == false);
}

TEST(PrintCommand, RefusedValuesKeepTheDialogOpenAndAnnulerInTheCancelWindowPrintsNothing) {
  PrintEditor e;
  const std::string file = e.Out.File("cancelled.pdf");
  bool cancelWindowShown = false;
  e.Print([&](QWidget* d) {
    auto* form = static_cast<TImprForm*>(d);
    auto* width = d->findChild<TFloatSpinEdit*>("SEL");
    // the keys go to the dialog once its window is active: the window system says so a
    // moment after the dialog's loop starts, which may be after this timer fires
    if (!QTest::qWaitFor([d] { return d->isActiveWindow(); })) {
      ADD_FAILURE() << "the print dialog never became the active window";
      return form->reject();
    }
    width->setText(QStringLiteral("0.5"));
    QTest::mouseClick(d->findChild<QPushButton*>("BImprimer"), Qt::LeftButton);
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(width->hasFocus());
    // An empty field first.
    d->findChild<TSpinEdit2*>("SECopies")->setText(QString());
    width->setText(QStringLiteral("10"));
    QTest::mouseClick(d->findChild<QPushButton*>("BImprimer"), Qt::LeftButton);
    EXPECT_TRUE(d->isVisible());
    d->findChild<TSpinEdit2*>("SECopies")->setText(QStringLiteral("1"));
    // Real size at 72 dpi does fit here; unchecked again, nothing is refused.
    form->AskOutputFile = [&](QString& name) {
      name = QString::fromStdString(file);
      return true;
    };
    // "Annuler" as soon as the cancel window shows.
    QTimer::singleShot(0, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("TAnnulerForm") && w->isVisible()) {
          cancelWindowShown = true;
          EXPECT_FALSE(e.Form->isEnabled());
          QTest::mouseClick(w->findChild<QPushButton*>("BAnnuler"), Qt::LeftButton);
        }
    });
    QTest::mouseClick(d->findChild<QPushButton*>("BImprimer"), Qt::LeftButton);
  });
  ASSERT_EQ(e.Messages.size(), 2u);
  EXPECT_EQ(e.Messages[0].rfind("La largeur doit être comprise entre 1", 0), 0u);
  EXPECT_EQ(e.Messages[1], Tr(TextId::GetTrDldGlb1));
  EXPECT_TRUE(cancelWindowShown);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(std::filesystem::exists(file + ".part"));
  EXPECT_TRUE(e.Form->isEnabled());
}

TEST(PrintCommand, RealSizeTooLargeIsToldAndDisabledForTheShowing) {
  PrintEditor e;
  TNewImgForm& big = e.NewDocument(Quadrants(3000, 2000));
  (void)big;
  e.Form->UpdateCommandStates();
  bool disabled = false;
  e.Print([&](QWidget* d) {
    auto* real = d->findChild<QCheckBox*>("CBTailleReelle");
    EXPECT_EQ(d->findChild<QLabel*>("LblProp")->text().toStdString(), "3000 x 2000 pixels (72.00 dpi)");
    EXPECT_TRUE(real->isEnabled());
    real->click();
    disabled = !real->isEnabled() && !real->isChecked();
    QTest::mouseClick(d->findChild<QPushButton*>("BAnnuler"), Qt::LeftButton);
  });
  ASSERT_EQ(e.Messages.size(), 1u);
  EXPECT_EQ(e.Messages[0], Tr(TextId::GetTrDlgPrint5));
  EXPECT_TRUE(disabled);
}

TEST(PrintCommand, APdfThatCannotBeWrittenIsToldWithItsReason) {
  PrintEditor e;
  ASSERT_EQ(::chmod(e.Out.Path.c_str(), 0555), 0);
  const std::string file = e.Out.File("refused.pdf");
  {
    TNoDacOverride noOverride;
    e.Print([&](QWidget* d) {
      static_cast<TImprForm*>(d)->AskOutputFile = [&](QString& name) {
        name = QString::fromStdString(file);
        return true;
      };
      QTest::mouseClick(d->findChild<QPushButton*>("BImprimer"), Qt::LeftButton);
    });
  }
  ::chmod(e.Out.Path.c_str(), 0755);
  ASSERT_EQ(e.Messages.size(), 1u);
  EXPECT_EQ(e.Messages[0].rfind(Format(Tr(TextId::TrFixFmtPrintFailed),
                                       {Format(Tr(TextId::TrFixFmtPrintNoFile), {file})}),
                                0),
            0u)
      << e.Messages[0];
  EXPECT_GT(e.Messages[0].size(), Format(Tr(TextId::TrFixFmtPrintFailed), {Format(Tr(TextId::TrFixFmtPrintNoFile), {file})}).size());
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(e.Form->isEnabled());
}
