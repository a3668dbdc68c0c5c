// The batch automation as a user runs it in the real editor: the Tools menu's window,
// its pages, a run over a folder of real files (pictures, a JPEG with EXIF data,
// damaged files, a text file) on one and on several threads, its report, its titles,
// its abort by a key; and the chain it runs, against the engine's kernels applied one
// after the other.
#include "devices/batch/AutoForm.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "devices/batch/BatchPipeline.h"
#include "dialogs/command/CommandControls.h"
#include "document/LayeredImage.h"
#include "imagefiles/FormatProbes.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/Convolution.h"
#include "pixel/ImgUtils.h"
#include "pixel/Rotation.h"
#include "pixel/Shadow.h"
#include "platform/core/Numeric.h"
#include "platform/core/Random.h"
#include "platform/texts/Format.h"
#include "platform/texts/IniFile.h"
#include "shell/services/FileUtils.h"
#include "shell/services/MsgDlg.h"
#include "support/ExifFiles.h"
#include "support/MainFormFixture.h"
#include "support/ProgramStart.h"
#include "support/TestImages.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

// Every file of the folder, hidden ones included.
std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

int ColorCount(const TBitmap& b) {
  std::set<TColor> colors;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) colors.insert(b.GetPixel(x, y));
  return int(colors.size());
}

// The editor with its batch window open over a source and an export folder.
struct BatchEditor : test::Editor {
  test::TempFolder Source{"batchsrc"}, Export{"batchout"};
  TAutoForm* Dialog = nullptr;

  explicit BatchEditor(const std::string& settings = {}) {
    Options = test::ProgramStartOptions();
    if (!settings.empty()) WriteSettings(settings);
    Start();
  }
  TAutoForm& Open() {
    EXPECT_TRUE(Form->Commands().Trigger("MenuAutomatisation"));
    Dialog = Form->findChild<TAutoForm*>();
    EXPECT_TRUE(Dialog && Dialog->isVisible());
    Dialog->SetSourceFolder(Source.Path.string());
    Dialog->SetExportFolder(Export.Path.string());
    return *Dialog;
  }
  std::string In(const std::string& name) const { return Source.File(name); }
  std::string Out(const std::string& name) const { return Export.File(name); }
  // The Action page's Ok on that many workers.
  const TBatchReport& Run(int threads = 0) {
    Dialog->Threads = threads;
    // The Ok is enabled each time the page shows.
    if (Dialog->CurrentPage() == bpActions) Dialog->ChangePage(bpFiles);
    EXPECT_TRUE(Dialog->ChangePage(bpActions));
    QTest::mouseClick(Dialog->BtnAction, Qt::LeftButton);
    return Dialog->LastReport();
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const QString& l : Dialog->MemRapport->toPlainText().split('\n')) lines.push_back(l.toStdString());
    return lines;
  }
};

// The fixture: a PNG, a JPEG with EXIF data, a BMP, a truncated JPEG, an empty PNG and
// a text file, in the list's order (the text file is not listed).
void WriteFixture(const BatchEditor& e) {
  test::WritePicture(e.In("a_ciel.png"), test::Picture(120, 60, 10));
  test::WritePicture(e.In("b_photo.jpg"), test::Picture(96, 64, 90));
  test::WriteExifData(e.In("b_photo.jpg"), {{"Exif.Image.Model", "Testeur"}});
  test::WritePicture(e.In("c_coupe.jpg"), test::Picture(200, 100, 30));
  std::vector<uint8_t> bytes = test::ReadFileBytes(e.In("c_coupe.jpg"));
  bytes.resize(bytes.size() / 2);
  test::WriteFileBytes(e.In("c_coupe.jpg"), bytes);
  test::WritePicture(e.In("d_plan.bmp"), test::Picture(70, 90, 160));
  e.Source.Write("e_vide.png", "");
  e.Source.Write("notes.txt", "pas une image");
}

// Every step of the chain on, and BMP output (what is written is what was computed).
void EveryStep(TAutoForm& d) {
  d.CmbFormatExport->setCurrentIndex(bfBmp);
  d.ChkRedim->setChecked(true);
  d.CmbUnite->setCurrentIndex(1);
  d.SELargeurImage->SetValue(50);
  d.TrbGamma->setValue(15), d.CBCoucheGam->setCurrentIndex(1);
  d.TrbSaturation->setValue(30), d.CBCoucheSat->setCurrentIndex(2);
  d.TrbLuminosite->setValue(10);
  d.TrbContraste->setValue(20), d.CBCoucheCtr->setCurrentIndex(3);
  d.ChkFiltre->setChecked(true), d.ChkInverserFiltre->setChecked(true), d.TrbOpaciteFiltre->setValue(40);
  for (QCheckBox* b : {d.ChkAdoucir, d.ChkDurcir, d.ChkFlou, d.ChkRelief, d.ChkBruit, d.ChkScanlines, d.ChkFlouInt,
                       d.ChkContoursNet, d.ChkNegatif})
    b->setChecked(true);
  d.ChkCadre->setChecked(true), d.SELargeurCadre->SetValue(5), d.CBExterieur->setChecked(true);
  d.ColorEditCadre->SetColor(RGB(10, 200, 30));
  d.ChkZoneTravail->setChecked(true), d.ChkOmbre->setChecked(true), d.ColorEditFond->SetColor(RGB(250, 240, 0));
  d.ChkRotation->setChecked(true);
  d.ChkSymetrie->setChecked(true), d.RdbSymetrie2->setChecked(true);
}

// What EveryStep asks for, kernel after kernel, written out here.
TBitmap EveryStepByHand(const std::string& file, int index) {
  TBitmap b = LoadPicture(file, TLoadRequest{}).Bitmap;
  b.SetPixelFormat(pf24bit);
  RandSeed(BatchNoiseSeed(index));
  const TRect all = UnboundedRect;
  TBitmap r;
  EXPECT_TRUE(Resample(b, RoundHalfEven(b.Width() / 2.0), RoundHalfEven(b.Height() / 2.0), TResampleFilter::Lanczos, r));
  b = std::move(r);
  GammaChannelsRect(b, all, 1.5, 1, 1);
  SaturationChannelsRect(b, 0, 30, 0, all);
  LightenDarkenChannelsRect(b, 10, 10, 10, all);
  ContrastChannelsRect(b, 0, 0, 20, all);
  TintRect(b, RGB(128, 0, 0), -40, all);
  ApplyConvolutionPresetInPlace(b, 1, all);
  ApplyConvolutionPresetInPlace(b, 2, all);
  BoxBlur3x3Rect(b, all);
  ApplyConvolutionPresetInPlace(b, 6, all);
  AddMonoNoiseRect(b, 15, all);
  for (int y = 0; y < b.Height(); y += 2) TintRect(b, clBlack, 40, TRect{0, y, b.Width(), y + 1});
  BlurThroughMask(b, b.Clone(), all);
  FilterSharpEdges(b, b.Clone(), all);
  InvertRect(b, all);
  AddImageBorder(b, 5, RGB(10, 200, 30), true);
  TBitmap canvas(b.Width() + 7, b.Height() + 7, pf24bit, RGB(250, 240, 0));
  CopyBitmap24At(b, canvas, 0, 0);
  DrawBitmapShadow(canvas, TRect{0, 0, b.Width(), b.Height()}, 7, 70, true);
  RotateBitmap90(canvas, true);
  FlipBitmapHorizontal(canvas);
  return canvas;
}

}  // namespace

TEST(BatchRun, EachOutputIsTheKernelsInTheirOrderAndTheDamagedFilesAreListed) {
  BatchEditor e;
  WriteFixture(e);
  TAutoForm& d = e.Open();
  EXPECT_EQ(d.FileListBox->count(), 5);  // the text file is not an image
  EveryStep(d);
  const TBatchReport& report = e.Run();
  EXPECT_EQ(report.Saved, (std::vector<std::string>{"a_ciel.png", "b_photo.jpg", "d_plan.bmp"}));
  EXPECT_EQ(report.Failed, (std::vector<std::string>{"c_coupe.jpg", "e_vide.png"}));
  EXPECT_TRUE(report.Completed);
  const std::pair<const char*, int> files[] = {{"a_ciel", 1}, {"b_photo", 2}, {"d_plan", 4}};
  for (const auto& [name, index] : files) {
    const std::string source = e.In(std::string(name) + (index == 1 ? ".png" : index == 2 ? ".jpg" : ".bmp"));
    EXPECT_TRUE(test::SameBitmaps(test::ReadPicture(e.Out(std::string(name) + ".bmp")), EveryStepByHand(source, index)))
        << name;
  }
  EXPECT_EQ(FilesIn(e.Export.Path.string()), (std::set<std::string>{"a_ciel.bmp", "b_photo.bmp", "d_plan.bmp"}));
  // The report: the summary, the files saved, the failed ones, and a failure is said.
  const std::vector<std::string> lines = e.Lines();
  const std::vector<std::string> tail(lines.end() - 10, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Fichiers traités :", "  - a_ciel.png", "  - b_photo.jpg", "  - d_plan.bmp", "",
                                            "Fichiers en erreur :", "  - c_coupe.jpg", "  - e_vide.png", "",
                                            "Traitement terminé avec des erreurs !"}));
  // The window shows the last output under its name, the run's own.
  TNewImgForm* shown = d.RunDocument();
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->FileName(), e.Out("d_plan.bmp"));
  EXPECT_TRUE(test::SameBitmaps(shown->Image().Layers[0].Image, test::ReadPicture(e.Out("d_plan.bmp"))));
  EXPECT_EQ(e.Form->windowTitle().toStdString(), "Quillomatic Morvek");
  EXPECT_TRUE(d.isVisible());
}

TEST(BatchRun, OneAndEightThreadsWriteTheSameFilesAndTheSameReport) {
  BatchEditor e;
  WriteFixture(e);
  for (int i = 0; i < 9; ++i) test::WritePicture(e.In("f" + std::to_string(i) + ".png"), test::Picture(80 + i, 50, 20 * i));
  TAutoForm& d = e.Open();
  EveryStep(d);
  d.ChkSequence->setChecked(true);
  const TBatchReport one = e.Run(1);
  const std::string first = e.Export.Path.string() + "-1";
  fs::rename(e.Export.Path, first);
  fs::create_directories(e.Export.Path);
  const TBatchReport eight = e.Run(8);
  EXPECT_EQ(one.Saved, eight.Saved);
  EXPECT_EQ(one.Failed, eight.Failed);
  EXPECT_EQ(one.Saved.size(), 12u);
  const std::set<std::string> names = FilesIn(e.Export.Path.string());
  EXPECT_EQ(names, FilesIn(first));
  EXPECT_TRUE(names.count("Image001.bmp") && names.count("Image014.bmp") && !names.count("Image003.bmp"));
  for (const std::string& name : names)
    EXPECT_EQ(test::ReadFileBytes(e.Out(name)), test::ReadFileBytes(first + "/" + name)) << name;
  fs::remove_all(first);
}

TEST(BatchRun, TheSizesAfterEachGeometricStep) {
  TBatchSettings s;
  TBitmap b = test::Picture(120, 60, 40);
  const auto run = [&b](const TBatchSettings& settings) {
    EXPECT_TRUE(RunBatchChain(b, settings, TBatchPattern{}, [] { return false; }));
    return TBatchSize{b.Width(), b.Height()};
  };
  s.Resize = true, s.Percent = true, s.Width = s.Height = 50;
  EXPECT_EQ(run(s), (TBatchSize{60, 30}));
  s = {}, s.Frame = true, s.FrameWidth = 5, s.FrameOutside = true;
  EXPECT_EQ(run(s), (TBatchSize{70, 40}));
  s = {}, s.Canvas = true, s.Shadow = true, s.ShadowWidth = 7;
  EXPECT_EQ(run(s), (TBatchSize{77, 47}));
  s = {}, s.Rotate = true;
  EXPECT_EQ(run(s), (TBatchSize{47, 77}));
  // An inner frame, a canvas of the image's own size and a mirror keep it.
  s = {}, s.Frame = true, s.Canvas = true, s.Flip = true;
  EXPECT_EQ(run(s), (TBatchSize{47, 77}));

  // Percents round halves to even, pixels truncate, nothing becomes one pixel.
  const struct {
    bool Percent, Keep;
    double W, H;
    int w, h;
    TBatchSize Expected;
  } sizes[] = {{true, true, 50, 50, 5, 7, {2, 4}},      {true, false, 10, 10, 4, 4, {1, 1}},
               {true, false, 150, 30, 3, 5, {4, 2}},   {false, false, 640.9, 480.99, 10, 10, {640, 480}},
               {false, true, 100, 100, 400, 200, {100, 50}}, {false, true, 640, 480, 10, 10, {480, 480}}};
  for (const auto& c : sizes) {
    s = {}, s.Percent = c.Percent, s.KeepProportions = c.Keep, s.Width = c.W, s.Height = c.H;
    EXPECT_EQ(BatchTargetSize(s, c.w, c.h), c.Expected) << c.W << " x " << c.H;
  }
  // The B-spline only beyond twice the size.
  EXPECT_EQ(ChooseResampleFilter(100, 100, 50, 50), TResampleFilter::Lanczos);
  EXPECT_EQ(ChooseResampleFilter(100, 100, 200, 100), TResampleFilter::Lanczos);
  EXPECT_EQ(ChooseResampleFilter(100, 100, 201, 100), TResampleFilter::BSpline);
  EXPECT_EQ(ChooseResampleFilter(100, 100, 50, 201), TResampleFilter::BSpline);
  EXPECT_EQ(ChooseResampleFilter(100, 100, 150, 50), TResampleFilter::Lanczos);

  // Scan lines darken rows 0, 2, 4...
  b = TBitmap(5, 5, pf24bit, clWhite);
  s = {}, s.Scanlines = true;
  ASSERT_TRUE(RunBatchChain(b, s, TBatchPattern{}, [] { return false; }));
  for (int y = 0; y < 5; ++y) EXPECT_EQ(b.GetPixel(2, y), y % 2 ? clWhite : RGB(153, 153, 153)) << y;

  // The names: the listed name's extension replaced, or the sequence on three digits.
  s = {}, s.OutputFormat = bfTif;
  EXPECT_EQ(BatchOutputName(s, "vue.du.port.JPG", 3), "vue.du.port.tif");
  EXPECT_EQ(BatchOutputName(s, "sans_extension", 3), "sans_extension.tif");
  s.Sequence = true, s.OutputFormat = bfJpeg;
  EXPECT_EQ(BatchOutputName(s, "x.png", 7), "Image007.jpg");
  EXPECT_EQ(BatchOutputName(s, "x.png", 1000), "Image1000.jpg");
  const char* extensions[] = {".jpg", ".bmp", ".gif", ".tga", ".png", ".tif"};
  for (int i = 0; i < kBatchFormatCount; ++i) EXPECT_EQ(GetOutputExtension(i), extensions[i]);
}

TEST(BatchRun, ColourCountsFollowTheFormatAndJpegIsNeverReduced) {
  BatchEditor e;
  test::WritePicture(e.In("photo.png"), test::Picture(120, 60, 70));
  TAutoForm& d = e.Open();
  d.CmbFormatExport->setCurrentIndex(bfPng);
  d.CmbNbCouleurs->setCurrentIndex(bc16);
  e.Run();
  TLoadResult png = LoadPicture(e.Out("photo.png"), TLoadRequest{});
  EXPECT_EQ(png.SourceColors, 16);
  EXPECT_LE(ColorCount(png.Bitmap), 16);
  d.CmbFormatExport->setCurrentIndex(bfBmp);
  d.CmbNbCouleurs->setCurrentIndex(bcDithered);
  e.Run();
  const std::vector<uint8_t> bmp = test::ReadFileBytes(e.Out("photo.bmp"));
  ASSERT_GT(bmp.size(), 30u);
  EXPECT_EQ(bmp[28], 1);  // bits per pixel
  // The colour count stays hidden for JPEG, and is not applied though it says 16.
  d.ChangePage(bpFiles);
  d.CmbFormatExport->setCurrentIndex(bfJpeg);
  d.CmbNbCouleurs->setCurrentIndex(bc16);
  EXPECT_FALSE(d.CmbNbCouleurs->isVisibleTo(&d));
  EXPECT_TRUE(d.TrbCompress->isVisibleTo(&d));
  e.Run();
  EXPECT_GT(ColorCount(test::ReadPicture(e.Out("photo.jpg"))), 200);
  // The run's window shows the last output in 24 bits.
  EXPECT_EQ(d.RunDocument()->Image().Layers[0].Image.PixelFormat(), pf24bit);
}

TEST(BatchRun, TheSourcesExifDateAndAForcedResolutionAreKept) {
  BatchEditor e("[Params]\nPreserveFileDate=1\nPreserveExif=1\n");
  test::WritePicture(e.In("photo.jpg"), test::Picture(96, 64, 50));
  test::WriteExifData(e.In("photo.jpg"), {{"Exif.Image.Model", "Testeur"}});
  const std::time_t then = 981158400;
  ASSERT_TRUE(SetFileDateByName(e.In("photo.jpg"), then));
  TAutoForm& d = e.Open();
  d.ChkDpi->setChecked(true);
  d.SEDpi->SetValue(300);
  d.ChkDurcir->setChecked(true);
  e.Run();
  auto image = Exiv2::ImageFactory::open(e.Out("photo.jpg"));
  image->readMetadata();
  const auto model = image->exifData().findKey(Exiv2::ExifKey("Exif.Image.Model"));
  ASSERT_NE(model, image->exifData().end());
  EXPECT_EQ(model->toString(), "Testeur");
  EXPECT_EQ(GetFileResolution(e.Out("photo.jpg")), 300);
  EXPECT_EQ(GetFileDateByName(e.Out("photo.jpg")), then);
  EXPECT_EQ(d.RunDocument()->Image().ResolutionX, 300);
}

TEST(BatchRun, TheTenthFailureStopsTheRunAndLeavesNoFileBehind) {
  BatchEditor e;
  for (int i = 0; i < 12; ++i) e.Source.Write("casse" + std::to_string(10 + i) + ".jpg", "pas un JPEG");
  e.Open();
  const TBatchReport& report = e.Run(8);
  EXPECT_EQ(report.Failed.size(), 10u);
  EXPECT_TRUE(report.Saved.empty());
  EXPECT_FALSE(report.Completed);
  const std::vector<std::string> lines = e.Lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("  - ", 0) == 0; }), 10);
  EXPECT_EQ(lines.back(), "Traitement interrompu !");
  EXPECT_TRUE(FilesIn(e.Export.Path.string()).empty());
  EXPECT_FALSE(e.Dialog->RunDocument());
}

TEST(BatchRun, TheTitlesCountTheFilesAndAKeyStopsTheRun) {
  BatchEditor e;
  for (const char* name : {"un.png", "deux.png", "trois.png"}) test::WritePicture(e.In(name), test::Picture(60, 40, 5));
  TAutoForm& d = e.Open();
  d.ChkSequence->setChecked(true);
  // The titles the main window shows, each once.
  struct TitleWatch : QObject {
    std::vector<std::string> Titles;
    std::function<void(const std::string&)> Seen;
    bool eventFilter(QObject* o, QEvent* ev) override {
      if (ev->type() == QEvent::WindowTitleChange) {
        const std::string t = static_cast<QWidget*>(o)->windowTitle().toStdString();
        if (Titles.empty() || Titles.back() != t) Titles.push_back(t);
        if (Seen) Seen(t);
      }
      return false;
    }
  } watch;
  e.Form->installEventFilter(&watch);
  e.Run(8);
  EXPECT_EQ(watch.Titles, (std::vector<std::string>{"Quillomatic Morvek - 1/3 (33%)", "Quillomatic Morvek - 2/3 (66%)",
                                                    "Quillomatic Morvek - 3/3 (100%)", "Quillomatic Morvek"}));
  // A key while the second file is awaited: asked, confirmed, the run stops there.
  for (const auto& f : fs::directory_iterator(e.Export.Path)) fs::remove(f.path());
  watch.Seen = [&e](const std::string& title) {
    if (title.find("2/3") != std::string::npos)
      QCoreApplication::postEvent(e.Form.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " "));
  };
  e.Messages.clear();
  const TBatchReport& report = e.Run(8);
  e.Form->removeEventFilter(&watch);
  EXPECT_TRUE(e.Said(TextId::GetTrDlgBatch4));
  EXPECT_EQ(report.Saved, std::vector<std::string>{"deux.png"});
  EXPECT_FALSE(report.Completed);
  EXPECT_EQ(e.Lines().back(), "Traitement interrompu !");
  // Nothing of the files after the stop: not written, not shown, not named.
  EXPECT_EQ(FilesIn(e.Export.Path.string()), std::set<std::string>{"Image001.jpg"});
  EXPECT_EQ(d.RunDocument()->FileName(), e.Out("Image001.jpg"));
  EXPECT_FALSE(d.IsBatchRunning());
}

TEST(BatchRun, ANameWrittenOrASourceWaitingIsNeverWrittenOver) {
  BatchEditor e;
  test::WritePicture(e.In("a.jpg"), test::Picture(40, 30, 100));
  test::WritePicture(e.In("a.png"), test::Picture(50, 20, 200));
  TAutoForm& d = e.Open();
  // Into another folder: the second "a.jpg" would replace the first.
  TBatchReport report = e.Run();
  EXPECT_EQ(report.Saved, std::vector<std::string>{"a.jpg"});
  EXPECT_EQ(report.Failed, std::vector<std::string>{"a.png"});
  EXPECT_EQ(test::ReadPicture(e.Out("a.jpg")).Width(), 40);
  EXPECT_EQ(e.Lines().back(), "Traitement terminé avec des erreurs !");
  // Into the source folder as PNG: "a.png" from a.jpg would replace the source still
  // waiting; a.png then replaces itself, after the warning given once.
  d.ChangePage(bpFiles);
  d.SetExportFolder(e.Source.Path.string());
  d.CmbFormatExport->setCurrentIndex(bfPng);
  e.Messages.clear();
  report = e.Run();
  EXPECT_EQ(std::count(e.Messages.begin(), e.Messages.end(), Tr(TextId::GetTrDlgBatch5)), 1);
  EXPECT_EQ(report.Saved, std::vector<std::string>{"a.png"});
  EXPECT_EQ(report.Failed, std::vector<std::string>{"a.jpg"});
  EXPECT_EQ(test::ReadPicture(e.In("a.png")).Width(), 50);
  EXPECT_EQ(test::ReadPicture(e.In("a.jpg")).Width(), 40);
  EXPECT_EQ(FilesIn(e.Source.Path.string()), (std::set<std::string>{"a.jpg", "a.png"}));
}

TEST(BatchDialog, PagesRefuseWithoutFilesOrFolderAndTheSummaryListsTheChain) {
  BatchEditor e;
  TAutoForm& d = e.Open();
  EXPECT_FALSE(d.ChangePage(bpImage));
  EXPECT_TRUE(e.Said(TextId::GetTrDlgBatch1));
  for (int i = 0; i < 12; ++i) test::WritePicture(e.In("p" + std::to_string(10 + i) + ".png"), test::Picture(20, 10, i));
  d.SetSourceFolder(e.Source.Path.string());
  d.SetExportFolder("");
  EXPECT_FALSE(d.ChangePage(bpImage));
  EXPECT_TRUE(e.Said(TextId::GetTrDlgBatch2));
  EXPECT_EQ(d.CurrentPage(), bpFiles);
  d.SetExportFolder(e.Export.Path.string());
  d.ChkSequence->setChecked(true);
  EXPECT_EQ(d.LblExemple->text().toStdString(), "Exemple : Image001.jpg");
  d.ChkRedim->setChecked(true);
  d.TrbLuminosite->setValue(-20), d.CBCoucheLum->setCurrentIndex(1);
  d.ChkNegatif->setChecked(true);
  d.ChkRotation->setChecked(true), d.RdbRotation3->setChecked(true);
  ASSERT_TRUE(d.ChangePage(bpActions));
  const std::string summary = d.MemRapport->toPlainText().toStdString();
  for (const char* line : {"- 12 images\n", "- Format : JPEG (*.jpg)\n- Compression : 90\n\nSéquence :\n",
                           "- Image001.jpg ==> Image012.jpg\n", "Taille de l'image :\n- 640 x 480 pixels\n",
                           "- Conserver les proportions\n- Optimiser\n", "Réglage :\n- Luminosité : -20% (Rouge)\n",
                           "Filtre :\n- Négatif\n", "Transformation :\n- Rotation 180°"})
    EXPECT_NE(summary.find(line), std::string::npos) << line << "\nin\n" << summary;
  EXPECT_TRUE(d.BtnAction->isEnabled());

  // A custom filter of two masks lists only their files; an empty answer brings every
  // image format back.
  ASSERT_TRUE(d.ChangePage(bpFiles));
  e.Source.Write("z.bmp", "x");
  const auto filter = [&d](const char* answer) {
    test::WhenModal([answer](QWidget* w) {
      auto* box = dynamic_cast<TMsgDlgForm*>(w);
      ASSERT_TRUE(box);
      box->EdiInput->setText(QString::fromUtf8(answer));
      box->BtnOk->click();
    });
    QTest::mouseClick(d.SBFiltre, Qt::LeftButton);
  };
  filter("p1*.png;*.bmp");
  EXPECT_EQ(d.CmbFilter->count(), 1);
  EXPECT_EQ(d.CmbFilter->currentText().toStdString(), "Filtre personnalisé (p1*.png;*.bmp)");
  EXPECT_EQ(d.FileListBox->count(), 11);
  filter("");
  EXPECT_GT(d.CmbFilter->count(), 1);
  EXPECT_EQ(d.FileListBox->count(), 13);
  // Without "Sélection personnalisée" a click selects nothing; with it, the selection
  // is what runs.
  const QRect item = d.FileListBox->visualItemRect(d.FileListBox->item(1));
  QTest::mouseClick(d.FileListBox->viewport(), Qt::LeftButton, {}, item.center());
  EXPECT_TRUE(d.FileListBox->selectedItems().isEmpty());
  d.CBSel->setChecked(true);
  QTest::mouseClick(d.FileListBox->viewport(), Qt::LeftButton, {}, item.center());
  EXPECT_EQ(d.GetBatchFileCount(), 1);
}

TEST(BatchDialog, TheSizeFieldsFollowTheUnitAndTheResolutionStaysApart) {
  BatchEditor e;
  TAutoForm& d = e.Open();
  d.ChkRedim->setChecked(true);
  d.SELargeurImage->SetValue(1000);
  d.CmbUnite->setCurrentIndex(1);
  EXPECT_EQ(d.SELargeurImage->Value(), 100);
  EXPECT_EQ(d.SEHauteurImage->Value(), 100);
  EXPECT_EQ(d.SELargeurImage->MaxValue(), 500);
  // Typed in percent with the proportions kept: both sides the same.
  d.SELargeurImage->clear();
  QTest::keyClicks(d.SELargeurImage, "50");
  EXPECT_EQ(d.SEHauteurImage->text().toStdString(), "50");
  // A resolution typed changes no size.
  d.ChkDpi->setChecked(true);
  d.SEDpi->clear();
  QTest::keyClicks(d.SEDpi, "300");
  EXPECT_EQ(d.SELargeurImage->text().toStdString(), "50");
  EXPECT_EQ(d.SEHauteurImage->text().toStdString(), "50");
  d.CmbUnite->setCurrentIndex(0);
  EXPECT_EQ(d.SELargeurImage->Value(), 640);
  EXPECT_EQ(d.SEHauteurImage->Value(), 480);
  EXPECT_EQ(d.SELargeurImage->MaxValue(), 10000);
}

TEST(BatchDialog, TheSettingsAreSavedOnRequestAndReadAtEachShowing) {
  BatchEditor e;
  TAutoForm& d = e.Open();
  d.CmbFormatExport->setCurrentIndex(bfTif);
  d.ChkCadre->setChecked(true);
  d.TrbGamma->setValue(22);
  d.CBCopyright->setChecked(true);
  d.ChangePage(bpFiles);
  e.Answer = [](const std::string&, int) { return int(mrYes); };
  test::WritePicture(e.In("x.png"), test::Picture(10, 10, 1));
  d.SetSourceFolder(e.Source.Path.string());
  ASSERT_TRUE(d.ChangePage(bpActions));
  QTest::mouseClick(d.BtnParams, Qt::LeftButton);
  EXPECT_TRUE(e.Said(TextId::GetTrDlgBatch6));
  const TIniFile saved(e.SettingsFile());
  EXPECT_EQ(saved.ReadString("Automate", "OutputFormat", ""), "5");
  EXPECT_EQ(saved.ReadString("Automate", "Ouput", ""), e.Export.Path.string());
  EXPECT_EQ(saved.ReadString("Copyright", "Copyright", ""), "1");
  // Hidden, changed, shown again: the file's values come back, on the Files page.
  d.close();
  EXPECT_FALSE(e.Services().ShellLock());
  d.CmbFormatExport->setCurrentIndex(bfGif);
  d.TrbGamma->setValue(10);
  // Shown again from the tool bar's button.
  auto* button = e.Form->findChild<QToolButton*>(QStringLiteral("BtnAuto"));
  ASSERT_TRUE(button);
  ASSERT_TRUE(button->isEnabled());
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(d.CmbFormatExport->currentIndex(), bfTif);
  EXPECT_EQ(d.TrbGamma->value(), 22);
  EXPECT_TRUE(d.ChkCadre->isChecked() && d.ColorEditCadre->isEnabled());
  EXPECT_EQ(d.CurrentPage(), bpFiles);
  EXPECT_EQ(e.Services().ShellLock(), &d);
}

namespace {

// A run's calling thread with nothing to show.
struct QuietRunHost : TBatchRunHost {
  void Starting(int, int) override {}
  void Saved(int, const std::string&, TBatchOutput&) override {}
  bool Poll() override { return false; }
};

}  // namespace

TEST(BatchRun, NoOutputReplacesAnotherPictureOfTheRunWhateverItsTurnOrOutcome) {
  BatchEditor e;
  // A damaged a.jpg and a good a.png, into their own folder as JPEG: a.png's output
  // would take the name of a.jpg, which failed before it.
  e.Source.Write("a.jpg", "pas un JPEG");
  test::WritePicture(e.In("a.png"), test::Picture(50, 20, 200));
  TAutoForm& d = e.Open();
  d.SetExportFolder(e.Source.Path.string());
  TBatchReport report = e.Run();
  EXPECT_TRUE(report.Saved.empty());
  EXPECT_EQ(report.Failed, (std::vector<std::string>{"a.jpg", "a.png"}));
  EXPECT_EQ(report.Faults, (std::vector<TBatchFault>{TBatchFault::Failed, TBatchFault::OtherSource}));
  EXPECT_EQ(test::ReadFileBytes(e.In("a.jpg")), std::vector<uint8_t>(std::begin("pas un JPEG"), std::end("pas un JPEG") - 1));
  std::vector<std::string> lines = e.Lines();
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end() - 2),
            (std::vector<std::string>{"  - a.jpg", "  - a.png" + Format(Tr(TextId::TrFixFmtBatchOtherSource), {"a.jpg"})}));

  // A sequence over its own names: x.png's output would be Image002.png, a source
  // already done.
  fs::remove(e.In("a.jpg")), fs::remove(e.In("a.png"));
  test::WritePicture(e.In("Image002.png"), test::Picture(30, 30, 10));
  test::WritePicture(e.In("x.png"), test::Picture(40, 40, 90));
  const std::vector<uint8_t> original = test::ReadFileBytes(e.In("Image002.png"));
  d.ChangePage(bpFiles);
  d.SetSourceFolder(e.Source.Path.string());
  d.CmbFormatExport->setCurrentIndex(bfPng);
  d.ChkSequence->setChecked(true);
  report = e.Run(4);
  EXPECT_EQ(report.Saved, std::vector<std::string>{"Image002.png"});
  EXPECT_EQ(report.Failed, std::vector<std::string>{"x.png"});
  EXPECT_EQ(test::ReadFileBytes(e.In("Image002.png")), original);
  EXPECT_EQ(test::ReadPicture(e.In("Image001.png")).Width(), 30);
  EXPECT_EQ(FilesIn(e.Source.Path.string()), (std::set<std::string>{"Image001.png", "Image002.png", "x.png"}));

  // An output a dead run left behind is never listed.
  e.Source.Write(".~batch-1-2-3.png", "reste d'un lot");
  d.ChangePage(bpFiles);
  d.SetSourceFolder(e.Source.Path.string());
  EXPECT_EQ(d.FileListBox->count(), 3);
  EXPECT_TRUE(d.FileListBox->findItems(QStringLiteral(".~batch"), Qt::MatchStartsWith).isEmpty());
}

// Random folders of names that meet through their extension, their case and the
// sequence, run in place: every original that is not its own output's source keeps
// its bytes, and nothing is left beside them.
TEST(BatchRun, InPlaceRunsOverCollidingNamesKeepEveryOtherOriginal) {
  test::App();
  const char* bases[] = {"a", "A", "Image001", "Image002", "image001", "Image003", "b"};
  const char* extensions[] = {".png", ".PNG", ".jpg", ".JPG", ".bmp", ".tga"};
  const int formats[] = {bfJpeg, bfPng, bfBmp, bfTga};
  std::mt19937 random(54);
  for (int round = 0; round < 24; ++round) {
    SCOPED_TRACE(round);
    test::TempFolder folder("batchprop");
    std::set<std::string> names;
    const size_t count = 2 + random() % 6;
    while (names.size() < count)
      names.insert(std::string(bases[random() % std::size(bases)]) + extensions[random() % std::size(extensions)]);
    std::map<std::string, std::vector<uint8_t>> before;
    for (const std::string& name : names) {
      if (random() % 4 == 0) folder.Write(name, "abîmé " + name);
      else test::WritePicture(folder.File(name), test::Picture(8 + int(random() % 8), 6, int(random() % 255)));
      before[name] = test::ReadFileBytes(folder.File(name));
    }
    TBatchJob job;
    job.Settings.SourceFolder = job.Settings.ExportFolder = folder.Path.string();
    job.Settings.OutputFormat = formats[random() % std::size(formats)];
    job.Settings.Sequence = random() % 2;
    job.Settings.SequenceName = random() % 2 ? "Image" : "image";
    job.Settings.Negative = true;  // an output differs from its source
    job.Files.assign(names.begin(), names.end());
    job.Threads = 1 + int(random() % 4);
    QuietRunHost host;
    const TBatchReport report = RunBatchFiles(job, host);
    EXPECT_EQ(report.Saved.size() + report.Failed.size(), names.size());
    std::set<std::string> ownTargets;
    for (size_t i = 0; i < job.Files.size(); ++i)
      if (BatchOutputName(job.Settings, job.Files[i], int(i) + 1) == job.Files[i] &&
          std::count(report.Saved.begin(), report.Saved.end(), job.Files[i]))
        ownTargets.insert(job.Files[i]);
    for (const auto& [name, bytes] : before)
      if (!ownTargets.count(name)) EXPECT_EQ(test::ReadFileBytes(folder.File(name)), bytes) << name;
    for (const std::string& name : FilesIn(folder.Path.string())) EXPECT_FALSE(IsBatchTempName(name)) << name;
  }
}
