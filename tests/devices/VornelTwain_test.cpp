// The driver over our data source manager and SANE's real test device: what a scan
// delivers is compared with scanimage's output for the same device and options.
#include "devices/VornelTwain.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/qt/QtBitmap.h"
#include "platform/texts/IniFile.h"
#include "support/QtTestApp.h"
#include "support/SaneTestDevice.h"

using namespace qm;
using namespace qm::twain;

namespace {

std::string Folder(const std::string& name) {
  const char* base = std::getenv("QM_TEST_TMP");
  return std::string(base ? base : "tmp") + "/twain_" + name + "_" + std::to_string(::getpid());
}

// A driver over our manager, and what its events delivered.
struct TScan {
  TVornelTwain Twain;
  std::vector<TBitmap> Images;
  std::vector<std::pair<int, int>> Errors;
  int Cancels = 0;
  int CancelAt = 0;  // the image (counted from 1) whose handler sets Cancel

  TScan() {
    test::App();
    Twain.LibraryFolder = QM_TWAIN_DSM_FOLDER;
    Twain.OnTwainAcquire = [this](TVornelTwain&, int, TBitmap& image, bool& cancel) {
      Images.push_back(std::move(image));
      cancel = int(Images.size()) == CancelAt;
    };
    Twain.OnSourceFileTransfer = [this](TVornelTwain&, int, const std::string& file, TTwainFormat format, bool&) {
      EXPECT_EQ(format, tfBMP);
      Images.push_back(BitmapFromQImage(QImage(QString::fromStdString(file))));
    };
    Twain.OnAcquireError = [this](TVornelTwain&, int, int code, int additional) { Errors.emplace_back(code, additional); };
    Twain.OnAcquireCancel = [this](TVornelTwain&, int) { ++Cancels; };
    Twain.SetLibraryLoaded(true);
    Twain.SetSourceManagerLoaded(true);
  }

  // Opens the default source and enables it as the scanning command does, and waits
  // until the source is disabled again.
  TTwainSource* Acquire(TTwainTransferMode mode = ttmMemory) {
    TTwainSource* s = Twain.GetTwainSource(-1);
    if (!s) return nullptr;
    s->TransferMode = mode;
    s->SetTwainSourceLoaded(true);
    s->SetTwainSourceEnabled(true);
    WaitDisabled(*s);
    return s;
  }

  static void WaitDisabled(TTwainSource& s) {
    QDeadlineTimer deadline(60000);  // a guard against a hang, not a timing
    while (s.Enabled() && !deadline.hasExpired()) QTest::qWait(2);
  }
};

void AutoScan(bool on) {
  if (on)
    setenv("QM_TWAIN_AUTOSCAN", "1", 1);
  else
    unsetenv("QM_TWAIN_AUTOSCAN");
}

// The colour scanimage gives at (x, y).
TColor PnmColor(const test::TPnm& p, int x, int y) {
  const uint8_t* row = p.Data.data() + size_t(y) * p.RowBytes();
  if (p.Bits) return (row[x / 8] >> (7 - x % 8)) & 1 ? clBlack : clWhite;
  const uint8_t* s = row + size_t(x) * p.Channels * p.SampleBytes;  // 16-bit samples: high byte first
  return p.Channels == 3 ? RGB(s[0], s[p.SampleBytes], s[2 * p.SampleBytes]) : RGB(s[0], s[0], s[0]);
}

::testing::AssertionResult SameAsPnm(const TBitmap& b, const test::TPnm& p) {
  if (b.Height() != p.Height || b.Width() > p.Width)
    return ::testing::AssertionFailure() << b.Width() << "x" << b.Height() << " vs " << p.Width << "x" << p.Height;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.GetPixel(x, y) != PnmColor(p, x, y))
        return ::testing::AssertionFailure() << "(" << x << ", " << y << "): " << std::hex << b.GetPixel(x, y)
                                             << " vs " << PnmColor(p, x, y);
  return ::testing::AssertionSuccess();
}

void WriteSetting(const std::string& folder, const std::string& section, const std::string& key,
                  const std::string& value) {
  TIniFile ini(folder + "/Twain.ini");
  ini.WriteString(section, key, value);
  ASSERT_TRUE(ini.Save());
}

}  // namespace

TEST(Twain, TheManagerLoadsOnlyFromTheLibraryFolder) {
  test::App();
  const std::string folder = Folder("planted");
  std::filesystem::create_directories(folder);
  // The real manager planted in the current and the temporary folder is not taken.
  const std::string real = std::string(QM_TWAIN_DSM_FOLDER) + "/" + kTwainManagerFileName;
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  std::filesystem::copy_file(real, folder + "/" + kTwainManagerFileName);
  setenv("TMPDIR", folder.c_str(), 1);
  {
    // The test program's folder holds no manager: the default is the installation's
    // library folder, which does not exist here.
    TVornelTwain twain;
    EXPECT_EQ(twain.LibraryFolder, DefaultTwainLibraryFolder());
    EXPECT_TRUE(twain.LibraryFolder.ends_with("/lib/quillomatic")) << twain.LibraryFolder;
    twain.SetLibraryLoaded(true);
    EXPECT_FALSE(twain.LibraryLoaded());
    twain.SetSourceManagerLoaded(true);
    EXPECT_EQ(twain.SourceCount(), 0);
    EXPECT_EQ(twain.GetTwainSource(-1), nullptr);
    EXPECT_EQ(twain.SelectTwainSource(), -1);
  }
  {
    // A file of that name that is no library.
    std::filesystem::create_directories(folder + "/fake");
    std::ofstream(folder + "/fake/" + kTwainManagerFileName) << "not a library";
    TVornelTwain twain;
    twain.LibraryFolder = folder + "/fake";
    EXPECT_FALSE(twain.LoadTwainLibrary());
  }
  unsetenv("TMPDIR");
  std::filesystem::current_path(cwd);
}

TEST(Twain, TwelveSourcesEnumerateAndTheDefaultFollowsTheChooser) {
  test::TSaneTestDevice device;
  setenv("SANE_DEFAULT_DEVICE", "test:4", 1);
  {
    TScan scan;
    ASSERT_TRUE(scan.Twain.LibraryLoaded());
    ASSERT_TRUE(scan.Twain.SourceManagerLoaded());
    ASSERT_EQ(scan.Twain.SourceCount(), 12);
    for (int i = 0; i < 12; ++i) {
      TTwainSource* s = scan.Twain.GetTwainSource(i);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->Index, i);
      EXPECT_EQ(s->ProductName(), "test:" + std::to_string(i));
      EXPECT_EQ(s->Manufacturer(), "Noname");
      EXPECT_EQ(s->ProductFamily(), "frontend-tester");
    }
    EXPECT_EQ(scan.Twain.GetTwainSource(12), nullptr);
    EXPECT_EQ(scan.Twain.GetTwainSource(-1)->Index, 4);  // SANE_DEFAULT_DEVICE

    test::WhenModal([](QWidget* chooser) {
      EXPECT_EQ(chooser->windowTitle(), "Sélectionner la source");
      chooser->findChild<QListWidget*>("LstSources")->setCurrentRow(7);
      QTest::mouseClick(chooser->findChild<QPushButton*>("BtnSelect"), Qt::LeftButton);
    });
    EXPECT_EQ(scan.Twain.SelectTwainSource(), 7);
    EXPECT_EQ(scan.Twain.GetTwainSource(-1)->Index, 7);

    test::WhenModal([](QWidget* chooser) {
      EXPECT_EQ(chooser->findChild<QListWidget*>("LstSources")->currentRow(), 7);
      QTest::mouseClick(chooser->findChild<QPushButton*>("BtnCancel"), Qt::LeftButton);
    });
    EXPECT_EQ(scan.Twain.SelectTwainSource(), -1);
  }
  TScan again;  // the choice outlives the manager
  EXPECT_EQ(again.Twain.GetTwainSource(-1)->Index, 7);
  EXPECT_TRUE(again.Twain.CloseTwainSourceManager(false));
  EXPECT_FALSE(again.Twain.SourceManagerLoaded());
  EXPECT_EQ(again.Twain.SourceCount(), 0);
  unsetenv("SANE_DEFAULT_DEVICE");
}

TEST(Twain, PagesArriveAsScanimageWritesThem) {
  using Options = std::map<std::string, std::string>;
  const Options grey157 = {{"resolution", "157"}, {"br_x", "25.5"}, {"br_y", "20"}};
  const Options colour = {{"mode", "Color"}};
  const Options black = {{"depth", "1"}, {"test-picture", "\"Solid black\""}};
  const struct {
    const char* what;
    Options options;
    TTwainTransferMode mode;
    TPixelFormat format;  // of memory and native transfers
    std::vector<std::string> reference;  // scanimage's options where they differ from ours
  } cases[] = {
      {"grey rows of 157 pixels", grey157, ttmMemory, pf8bit, {}},
      {"grey rows of 157 pixels, native", grey157, ttmNative, pf8bit, {}},
      {"grey rows of 157 pixels, file", grey157, ttmFile, pf24bit, {}},
      {"colour", colour, ttmMemory, pf24bit, {}},
      {"colour, native", colour, ttmNative, pf24bit, {}},
      {"colour, file", colour, ttmFile, pf24bit, {}},
      {"1-bit solid black", black, ttmMemory, pf1bit, {}},
      {"1-bit solid black, native", black, ttmNative, pf1bit, {}},
      {"16-bit colour", {{"mode", "Color"}, {"depth", "16"}}, ttmMemory, pf24bit, {}},
      {"16-bit grey", {{"depth", "16"}}, ttmMemory, pf8bit, {}},
      {"three-pass colour", {{"mode", "Color"}, {"three-pass", "true"}, {"three-pass-order", "GBR"}}, ttmMemory,
       pf24bit, {}},
      {"pixels lost at the end of colour lines", {{"mode", "Color"}, {"ppl-loss", "7"}}, ttmMemory, pf24bit,
       {"--ppl-loss", "0"}},
      {"pixels lost at the end of grey lines", {{"ppl-loss", "3"}, {"br_x", "25.5"}, {"resolution", "157"}},
       ttmMemory, pf8bit, {"--ppl-loss", "0"}},
      {"a hand scanner's unknown height", {{"mode", "Color"}, {"hand-scanner", "true"}}, ttmMemory, pf24bit, {}},
  };
  AutoScan(true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TSaneTestDevice device(c.options);
    setenv("TMPDIR", device.Folder().c_str(), 1);
    std::vector<std::string> args = {"-d", "test:0", "--format=pnm"};
    args.insert(args.end(), c.reference.begin(), c.reference.end());
    test::TPnm expected;
    ASSERT_TRUE(test::RunScanimage(args, device.Folder() + "/reference.pnm"));
    ASSERT_TRUE(test::ReadPnm(device.Folder() + "/reference.pnm", expected));

    TScan scan;
    TTwainSource* source = scan.Acquire(c.mode);
    ASSERT_NE(source, nullptr);
    EXPECT_FALSE(source->Enabled());
    EXPECT_TRUE(scan.Errors.empty());
    ASSERT_EQ(scan.Images.size(), 1u);
    const TBitmap& image = scan.Images[0];
    if (c.mode != ttmFile) {
      EXPECT_EQ(image.PixelFormat(), c.format);
    }
    EXPECT_TRUE(SameAsPnm(image, expected));
    if (c.reference.empty()) {
      EXPECT_EQ(image.Width(), expected.Width);
    } else {
      EXPECT_LT(image.Width(), expected.Width);
    }
    if (c.mode == ttmMemory) {
      EXPECT_EQ(int(source->ImageInfo.ImageWidth), image.Width());
      EXPECT_EQ(Fix32ToFloat(source->ImageInfo.XResolution), std::stod(c.options.count("resolution") ? c.options.at("resolution") : "50"));
      EXPECT_EQ(source->XPelsPerMeter, int(std::lround(Fix32ToFloat(source->ImageInfo.XResolution) * 100 / 2.54)));
    }
    // The file of a file transfer is gone once its handler returned.
    for (const auto& entry : std::filesystem::directory_iterator(device.Folder()))
      EXPECT_NE(entry.path().extension(), ".bmp") << entry.path();
  }
  unsetenv("TMPDIR");
}

TEST(Twain, BlackAndWhiteIsVanillaAndReadsTheUnitsInInches) {
  AutoScan(true);
  test::TSaneTestDevice device(test::TSaneOptions{{"depth", "1"}, {"test-picture", "\"Solid black\""}});
  TScan scan;
  TTwainSource* source = scan.Acquire();
  ASSERT_EQ(scan.Images.size(), 1u);
  EXPECT_EQ(scan.Images[0].Palette(), (std::vector<TColor>{clWhite, clBlack}));
  EXPECT_EQ(scan.Images[0].GetPixel(0, 0), clBlack);
  uint8_t offered = 0;
  TTwainUnit unit = tuOther;
  EXPECT_EQ(source->GetUnitsCapability(cmGetCurrent, offered, unit), crSuccess);
  EXPECT_EQ(unit, tuInches);
  EXPECT_EQ(offered, 1u << TWUN_INCHES);
  TTwainEnumeration e;
  EXPECT_EQ(source->GetEnumerationCapability(ICAP_PIXELFLAVOR, cmGet, e), crSuccess);
  EXPECT_EQ(int(e.ItemType), TWTY_UINT16);
  EXPECT_EQ(e.Items, std::vector<std::string>{"1"});  // vanilla: the device scans 1-bit pages
  EXPECT_EQ(source->GetEnumerationCapability(ICAP_BITDEPTH, cmGet, e), crUnsupported);
  source->SetTwainSourceLoaded(false);
  EXPECT_EQ(source->GetEnumerationCapability(ICAP_UNITS, cmGet, e), crInvalidState);
}

TEST(Twain, FeederSeries) {
  const struct {
    const char* what;
    std::string readStatus;
    int cancelAt;
    size_t images;
    std::vector<std::pair<int, int>> errors;
    int cancels;
  } cases[] = {
      {"ten pages, then the feeder is empty", "Default", 0, 10, {}, 0},
      {"the handler cancels the first page", "Default", 1, 1, {}, 0},
      {"every page jams; the series goes on", "SANE_STATUS_JAMMED", 0, 0,
       std::vector<std::pair<int, int>>(10, {TWRC_FAILURE, TWCC_PAPERJAM}), 0},
      {"the device cancels the page", "SANE_STATUS_CANCELLED", 0, 0, {}, 1},
  };
  AutoScan(true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TSaneTestDevice device(test::TSaneOptions{{"read-status-code", c.readStatus}});
    WriteSetting(device.Folder(), "test:0", "source", "Automatic Document Feeder");
    TScan scan;
    scan.CancelAt = c.cancelAt;
    TTwainSource* source = scan.Acquire();
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(scan.Images.size(), c.images);
    EXPECT_EQ(scan.Errors, c.errors);
    EXPECT_EQ(scan.Cancels, c.cancels);
    EXPECT_FALSE(source->Enabled());
    EXPECT_TRUE(source->Loaded());  // disabled, not closed for want of it
    // The source takes a second series.
    if (c.cancelAt == 1) {
      scan.Images.clear();
      scan.CancelAt = 0;
      source->SetTwainSourceEnabled(true);
      TScan::WaitDisabled(*source);
      EXPECT_EQ(scan.Images.size(), 8u);  // the first series fed two sheets
    }
  }
}

TEST(Twain, EnablingOnTheEmptyFeederLeavesTheSourceDisabled) {
  AutoScan(true);
  test::TSaneTestDevice device;
  WriteSetting(device.Folder(), "test:0", "source", "Automatic Document Feeder");
  TScan scan;
  scan.CancelAt = 9;  // the tenth sheet is fed to learn that there is one, then dropped
  TTwainSource* source = scan.Acquire();
  ASSERT_EQ(scan.Images.size(), 9u);
  source->SetTwainSourceEnabled(true);
  EXPECT_FALSE(source->Enabled());
  EXPECT_TRUE(source->Loaded());
  EXPECT_EQ(scan.Images.size(), 9u);
}

TEST(TwainDialog, TheUserChoosesTheFeederScansAndCloses) {
  AutoScan(false);
  test::TSaneTestDevice device;
  auto findDialog = []() -> QWidget* {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "TScanOptionsDialog" && w->isVisible()) return w;
    return nullptr;
  };
  {
    TScan scan;
    TTwainSource* source = scan.Twain.GetTwainSource(-1);
    source->SetTwainSourceLoaded(true);
    source->SetTwainSourceEnabled(true);
    ASSERT_TRUE(source->Enabled());
    QWidget* dialog = findDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->windowTitle().startsWith("Options de numérisation"));
    EXPECT_EQ(dialog->findChild<QLabel*>("LblMode")->text(), "Mode :");
    EXPECT_EQ(dialog->findChild<QLabel*>("LblResolution")->text(), "Résolution :");
    EXPECT_EQ(dialog->findChild<QPushButton*>("BtnClose")->text(), "Fermer");
    auto* sourceBox = dialog->findChild<QComboBox*>("CmbSource");
    auto* modeBox = dialog->findChild<QComboBox*>("CmbMode");
    EXPECT_EQ(dialog->findChild<QComboBox*>("CmbDepth")->currentText(), "8 bits");
    EXPECT_EQ(dialog->findChild<QComboBox*>("CmbResolution")->currentText(), "50 ppp");
    EXPECT_EQ(modeBox->currentText(), "Niveaux de gris");
    sourceBox->setCurrentIndex(sourceBox->findText("Chargeur de documents"));
    modeBox->setCurrentIndex(modeBox->findText("Couleur"));
    auto* scanButton = dialog->findChild<QPushButton*>("BtnScan");
    EXPECT_EQ(scanButton->text(), "Numériser");
    QTest::mouseClick(scanButton, Qt::LeftButton);
    TScan::WaitDisabled(*source);
    EXPECT_EQ(scan.Images.size(), 10u);
    for (const TBitmap& image : scan.Images) EXPECT_EQ(image.PixelFormat(), pf24bit);
    QTest::qWait(10);
    EXPECT_EQ(findDialog(), nullptr);

    // Closing the dialog asks for the source to be closed: nothing is scanned.
    scan.Images.clear();
    source->SetTwainSourceEnabled(true);
    dialog = findDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QComboBox*>("CmbMode")->currentText(), "Couleur");
    QTest::mouseClick(dialog->findChild<QPushButton*>("BtnClose"), Qt::LeftButton);
    TScan::WaitDisabled(*source);
    EXPECT_FALSE(source->Enabled());
    EXPECT_EQ(scan.Cancels, 1);
    EXPECT_TRUE(scan.Images.empty());
  }
  // The options chosen are kept for the device.
  AutoScan(true);
  TScan scan;
  scan.Acquire();
  EXPECT_EQ(scan.Images.size(), 10u);
  AutoScan(false);
}

TEST(TwainDialog, ClosingDuringAScanStopsItAndKeepsTheDialog) {
  AutoScan(false);
  // A slow device: a fifth of a second between buffers.
  test::TSaneTestDevice device(test::TSaneOptions{{"read-delay", "true"}, {"read-delay-duration", "200000"}});
  TScan scan;
  TTwainSource* source = scan.Twain.GetTwainSource(-1);
  source->SetTwainSourceLoaded(true);
  source->SetTwainSourceEnabled(true);
  QWidget* dialog = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == "TScanOptionsDialog" && w->isVisible()) dialog = w;
  ASSERT_NE(dialog, nullptr);
  auto* scanButton = dialog->findChild<QPushButton*>("BtnScan");
  auto* closeButton = dialog->findChild<QPushButton*>("BtnClose");
  auto* status = dialog->findChild<QLabel*>("LblStatus");
  QTest::mouseClick(scanButton, Qt::LeftButton);
  EXPECT_FALSE(scanButton->isEnabled());
  EXPECT_EQ(status->text(), "Numérisation en cours…");
  QTest::qWait(50);
  QTest::mouseClick(closeButton, Qt::LeftButton);  // stops the scan
  EXPECT_TRUE(scanButton->isEnabled());
  EXPECT_TRUE(status->text().isEmpty());
  QTest::qWait(300);
  EXPECT_TRUE(source->Enabled());
  EXPECT_TRUE(scan.Images.empty());
  EXPECT_EQ(scan.Cancels, 0);
  QTest::mouseClick(closeButton, Qt::LeftButton);  // closes the dialog
  TScan::WaitDisabled(*source);
  EXPECT_FALSE(source->Enabled());
  EXPECT_EQ(scan.Cancels, 1);
}
