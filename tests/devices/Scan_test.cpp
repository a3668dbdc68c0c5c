// The scanner's commands as a user runs them in the real editor, over our data source
// manager and SANE's test device (its feeder holds ten pages; QM_TWAIN_AUTOSCAN makes
// the scanner's window scan at once).
#include "devices/scanning/Scan.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDate>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "devices/DeviceList.h"
#include "devices/scanning/ScanLot.h"
#include "support/NoDacOverride.h"
#include "imagefiles/FileFormats.h"
#include "imagefiles/FormatProbes.h"
#include "platform/texts/Format.h"
#include "platform/texts/IniFile.h"
#include "support/MainFormFixture.h"
#include "support/ProgramStart.h"
#include "support/SaneTestDevice.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

// The editor as the program starts it, its scanner commands over the manager the build
// makes (or the folder given), and SANE's test device scanning in colour from its feeder.
struct ScanEditor : test::Editor {
  test::TSaneTestDevice Device;

  explicit ScanEditor(const test::TSaneOptions& device = {{"mode", "Color"}}, bool feeder = true,
                      std::string managerFolder = QM_TWAIN_DSM_FOLDER)
      : Device(device) {
    setenv("QM_HOME", Home.Path.c_str(), 1);  // the device pointed it at its own folder
    setenv("QM_TWAIN_AUTOSCAN", "1", 1);
    if (feeder) TwainSetting("test:0", "source", "Automatic Document Feeder");
    Options = test::ProgramStartOptions();
    Options.Devices = [managerFolder](TDialogHost& host) {
      TDeviceCommands devices = ProgramDevices(host);
      AddScanningCommands(devices, host, managerFolder);
      return devices;
    };
  }
  // A setting of our manager ([device] option=value in its Twain.ini).
  void TwainSetting(const std::string& section, const std::string& key, const std::string& value) {
    TIniFile ini(Home.File("Twain.ini"));
    ini.WriteString(section, key, value);
    ASSERT_TRUE(ini.Save());
  }
  std::vector<TNewImgForm*> Documents() { return Services().Windows().Windows(); }
  // The batch dialog, filled by fill and confirmed, then the series.
  void Batch(const std::function<void(TScanLotForm&)>& fill) {
    test::WhenModal([fill](QWidget* w) {
      auto* form = dynamic_cast<TScanLotForm*>(w);
      ASSERT_TRUE(form);
      fill(*form);
      QTest::mouseClick(form->BOk, Qt::LeftButton);
    });
    ASSERT_TRUE(Form->Commands().Trigger("MenuTwainLot"));
  }
};

// Saving into the folder, under the sequence, in the format of that extension.
std::function<void(TScanLotForm&)> AutoSave(const std::string& folder, const std::string& sequence,
                                            const std::string& extension) {
  return [=](TScanLotForm& form) {
    form.RBAuto->click();
    form.EdiDir->setText(QString::fromStdString(folder));
    form.EdiSequence->setText(QString::fromStdString(sequence));
    const int row = form.CBFormat->findData(QString::fromStdString(extension));
    ASSERT_GE(row, 0) << extension;
    form.CBFormat->setCurrentIndex(row);
  };
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Numbered(const std::string& sequence, int from, int to, const std::string& extension) {
  std::vector<std::string> names;
  for (int i = from; i <= to; ++i) names.push_back(Format("%s_%.3d%s", {sequence, i, extension}));
  return names;
}

// Whether the page is the one scanimage writes for the device with those options.
::testing::AssertionResult SameAsScanimage(const TBitmap& page, std::vector<std::string> args) {
  args.insert(args.begin(), {"-d", "test:0", "--format=pnm"});
  const std::string file = test::TestFolder() + "/reference.pnm";
  test::TPnm pnm;
  if (!test::RunScanimage(args, file) || !test::ReadPnm(file, pnm) || pnm.Channels != 3 ||
      page.PixelFormat() != pf24bit || page.Width() != pnm.Width || page.Height() != pnm.Height)
    return ::testing::AssertionFailure() << "not the size or depth of scanimage's page";
  for (int y = 0; y < page.Height(); ++y)
    for (int x = 0; x < page.Width(); ++x) {
      const uint8_t* s = pnm.Data.data() + size_t(y) * pnm.RowBytes() + size_t(x) * 3;
      if (page.GetPixel(x, y) != RGB(s[0], s[1], s[2])) return ::testing::AssertionFailure() << x << ", " << y;
    }
  return ::testing::AssertionSuccess();
}

using test::TNoDacOverride;

}  // namespace

TEST(ScanPolicy, ModeAutoSaveAndCountDecideEachPage) {
  using enum TScanAction;
  const struct {
    TScanMode mode;
    bool autoSave;
    int accepted;
    TScanAction action;
  } cases[] = {
      {TScanMode::Single, false, 0, NewDocument},         {TScanMode::Single, false, 1, Refuse},
      {TScanMode::Single, true, 0, NewDocument},          {TScanMode::Single, true, 3, Refuse},
      {TScanMode::Batch, false, 0, NewDocument},          {TScanMode::Batch, false, 9, NewDocument},
      {TScanMode::Batch, false, 10, Refuse},              {TScanMode::Batch, false, 11, Refuse},
      {TScanMode::Batch, true, 0, NewDocumentAndSave},    {TScanMode::Batch, true, 1, ReplaceAndSave},
      {TScanMode::Batch, true, 10, ReplaceAndSave},       {TScanMode::Batch, true, 5000, ReplaceAndSave},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ScanPageAction(c.mode, c.autoSave, c.accepted), c.action)
        << (c.mode == TScanMode::Batch ? "batch" : "single") << " " << c.autoSave << " " << c.accepted;

  const struct {
    const char *folder, *sequence;
    int counter;
    const char *extension, *name;
  } names[] = {
      {"/photos/scans", "scan", 7, ".jpg", "/photos/scans/scan_007.jpg"},
      {"/photos/scans/", "doc", 1, ".png", "/photos/scans/doc_001.png"},
      {"/d", "QX_20240131", 999, ".tif", "/d/QX_20240131_999.tif"},
      {"/d", "scan", 1000, ".jpg", "/d/scan_1000.jpg"},
  };
  for (const auto& n : names) EXPECT_EQ(MakeBatchScanFileName(n.folder, n.sequence, n.counter, n.extension), n.name);

  // A scanner that gives no resolution leaves the document its own.
  const double resolutions[][3] = {{150, 72, 150}, {299.5, 72, 299.5}, {0, 72, 72}, {-300, 72, 72},
                                   {std::nan(""), 72, 72}};
  for (const auto& r : resolutions) EXPECT_EQ(ScanDocumentResolution(r[0], r[1]), r[2]) << r[0];
}

TEST(Scanning, AcquiringFromTheMenuThePopupOrTheButtonKeepsTheFirstPage) {
  for (const char* entry : {"MenuTwainNumeriser", "PopFormTwain", "BtnTwain"}) {
    SCOPED_TRACE(entry);
    ScanEditor editor;
    editor.Start();
    if (std::string_view(entry) == "BtnTwain") {
      auto* button = editor.Form->findChild<QAbstractButton*>("BtnTwain");
      ASSERT_TRUE(button && button->isEnabled());
      QTest::mouseClick(button, Qt::LeftButton);
    } else {
      ASSERT_TRUE(editor.Form->Commands().Trigger(entry));
    }
    // One new document of the first page; the second page is refused, the pages still
    // in the feeder are dropped, and the user is told once.
    ASSERT_EQ(editor.Documents().size(), 1u);
    TNewImgForm& doc = *editor.Documents()[0];
    EXPECT_TRUE(doc.IsNew);
    EXPECT_EQ(doc.windowTitle().toStdString(), "Sans titre 1");
    EXPECT_EQ(doc.Image().GetLayerCount(), 1);
    EXPECT_EQ(doc.Image().ColorCount, 16777216);
    EXPECT_EQ(doc.Image().ResolutionX, 50);
    EXPECT_TRUE(SameAsScanimage(doc.Image().Layers[0].Image, {"--source", "Automatic Document Feeder"}));
    EXPECT_EQ(editor.Messages, std::vector<std::string>{Tr(TextId::GetTrDlgTwain1)});
    EXPECT_EQ(editor.Form->Services().IsBusy(), false);
  }
}

TEST(Scanning, BatchSavesEveryPageUnderTheSequenceAndNeverOverAnEarlierSeries) {
  ScanEditor editor;
  editor.Start();
  test::TempFolder out("scans");
  editor.Batch(AutoSave(out.Path.string(), "doc", ".jpg"));
  EXPECT_EQ(FilesIn(out.Path.string()), Numbered("doc", 1, 10, ".jpg"));
  // One document, holding the last page and named after its file.
  ASSERT_EQ(editor.Documents().size(), 1u);
  TNewImgForm& doc = *editor.Documents()[0];
  EXPECT_EQ(doc.FileName(), out.File("doc_010.jpg"));
  EXPECT_EQ(doc.windowTitle().toStdString(), "doc_010.jpg");
  EXPECT_TRUE(editor.Messages.empty());
  const TBitmap& page = doc.Image().Layers[0].Image;
  EXPECT_EQ(page.PixelFormat(), pf24bit);
  for (const std::string& name : Numbered("doc", 1, 10, ".jpg")) {
    const TBitmap read = test::ReadPicture(out.File(name));
    EXPECT_EQ(read.Width(), page.Width()) << name;
    EXPECT_EQ(read.Height(), page.Height()) << name;
    EXPECT_EQ(GetFileResolution(out.File(name)), 50) << name;
  }
  const auto written = fs::last_write_time(out.File("doc_001.jpg"));

  // Confirmed again, the numbering starts again at 1 and skips the names taken.
  editor.Batch([](TScanLotForm& form) { EXPECT_EQ(form.EdiSequence->text(), "doc"); });
  EXPECT_EQ(FilesIn(out.Path.string()), Numbered("doc", 1, 20, ".jpg"));
  EXPECT_EQ(fs::last_write_time(out.File("doc_001.jpg")), written);
  ASSERT_EQ(editor.Documents().size(), 2u);
  EXPECT_EQ(editor.Services().GetActiveImgForm()->FileName(), out.File("doc_020.jpg"));
}

TEST(Scanning, EveryFormatOfferedSavesThePage) {
  ScanEditor editor({{"mode", "Color"}}, false);  // the flatbed: one page a series
  editor.Start();
  test::TempFolder out("formats");
  for (int row = 0; row < GetFormatCount(); ++row) {
    const std::string extension = GetFormatFilterText(row, 2);
    SCOPED_TRACE(extension);
    editor.Batch(AutoSave(out.Path.string(), "page", extension));
    const std::string name = out.File("page_001" + extension);
    ASSERT_TRUE(fs::exists(name));
    EXPECT_EQ(editor.Services().GetActiveImgForm()->FileName(), name);
    const TLoadResult read = LoadPicture(name, TLoadRequest{});
    if (read.Result == frDone) {
      EXPECT_EQ(read.Bitmap.Width(), editor.Services().GetActiveImgForm()->Image().Layers[0].Image.Width());
    }
  }
  EXPECT_TRUE(editor.Messages.empty());
}

TEST(Scanning, BatchWithoutSavingOpensADocumentForEachPage) {
  ScanEditor editor;
  editor.Start();
  editor.Batch([](TScanLotForm& form) {
    form.RBNew->click();
    EXPECT_EQ(form.GetBatchScanFolder(), "");
    EXPECT_EQ(form.GetBatchScanSequence(), "");
    EXPECT_EQ(form.GetBatchScanFormat(), "");
  });
  const std::vector<TNewImgForm*> docs = editor.Documents();
  ASSERT_EQ(docs.size(), 10u);
  for (size_t i = 0; i < docs.size(); ++i) {
    EXPECT_TRUE(docs[i]->IsNew);
    EXPECT_EQ(docs[i]->windowTitle().toStdString(), "Sans titre " + std::to_string(i + 1));
  }
  EXPECT_TRUE(editor.Messages.empty());  // the feeder held ten pages: none refused
}

TEST(Scanning, ASaveThatFailsEndsTheSeriesWithOneMessageAndKeepsThePage) {
  ScanEditor editor;
  editor.Start();
  test::TempFolder out("readonly");
  ASSERT_EQ(::chmod(out.Path.c_str(), 0555), 0);
  {
    TNoDacOverride noOverride;
    editor.Batch(AutoSave(out.Path.string(), "doc", ".png"));
  }
  EXPECT_TRUE(FilesIn(out.Path.string()).empty());
  ASSERT_EQ(editor.Messages.size(), 1u);
  // Which page, where, and the system's reason after it.
  const std::string said = Format(Tr(TextId::TrFixFmtBatchScanNotSaved), {1, out.File("doc_001.png")});
  EXPECT_EQ(editor.Messages[0].rfind(said + "\r", 0), 0u) << editor.Messages[0];
  EXPECT_GT(editor.Messages[0].size(), said.size() + 1);
  // The page stays in its document, untitled; the other pages were dropped.
  ASSERT_EQ(editor.Documents().size(), 1u);
  EXPECT_EQ(editor.Documents()[0]->windowTitle().toStdString(), "Sans titre 1");
  EXPECT_FALSE(editor.Documents()[0]->Image().Layers[0].Image.Empty());
  ::chmod(out.Path.c_str(), 0755);
}

TEST(Scanning, TheFolderStartsAtTheSaveFolderElseTheOpenOneAndIsNeverEmpty) {
  test::TempFolder saved("saved"), opened("opened"), chosen("chosen");
  const std::string sequence = "qmscan" + std::to_string(::getpid()), png = ".png";
  const std::string open = "[Params]\nOpen=" + opened.Path.string() + "\n";
  const struct {
    std::string settings, folder;
    bool browse;  // the folder emptied, OK refused, then one chosen with the button
  } cases[] = {{open + "Save=" + saved.Path.string() + "\n", saved.Path.string(), false},
               {open, opened.Path.string(), false},  // nothing saved yet
               {open, chosen.Path.string(), true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    ScanEditor editor;
    editor.WriteSettings(c.settings);
    editor.Start();
    editor.Batch([&](TScanLotForm& form) {
      EXPECT_EQ(form.windowTitle(), "Acquisition par lot");
      EXPECT_EQ(form.EdiSequence->text(), "QX_" + QDate::currentDate().toString("yyyyMMdd"));
      AutoSave(form.EdiDir->text().toStdString(), sequence, png)(form);
      if (!c.browse) return;
      form.EdiDir->clear();
      QTest::mouseClick(form.BOk, Qt::LeftButton);
      EXPECT_TRUE(form.isVisible());
      EXPECT_TRUE(editor.Said(TextId::GetTrDldGlb1));
      test::WhenModal([&](QWidget* w) {
        auto* chooser = qobject_cast<QFileDialog*>(w);
        ASSERT_TRUE(chooser);
        EXPECT_EQ(chooser->windowTitle(), "Dossier d'enregistrement :");
        chooser->setDirectory(QString::fromStdString(c.folder));
        chooser->selectFile(QString::fromStdString(c.folder));
        QMetaObject::invokeMethod(chooser, "accept", Qt::QueuedConnection);
      });
      QTest::mouseClick(form.SBOuvrir, Qt::LeftButton);
    });
    EXPECT_EQ(FilesIn(c.folder), Numbered(sequence, 1, 10, png));
    EXPECT_FALSE(fs::exists("/" + sequence + "_001" + png));
    for (const std::string& name : FilesIn(c.folder)) fs::remove(fs::path(c.folder) / name);
  }
}

TEST(Scanning, TheSourceChosenIsTheOneAcquiredFrom) {
  ScanEditor editor({{"mode", "Color"}}, false);
  editor.TwainSetting("test:3", "resolution", "75");
  editor.Start();
  test::WhenModal([](QWidget* chooser) {
    chooser->findChild<QListWidget*>("LstSources")->setCurrentRow(3);
    QTest::mouseClick(chooser->findChild<QPushButton*>("BtnSelect"), Qt::LeftButton);
  });
  ASSERT_TRUE(editor.Form->Commands().Trigger("MenuTwainSource"));
  EXPECT_TRUE(editor.Documents().empty());
  ASSERT_TRUE(editor.Form->Commands().Trigger("MenuTwainNumeriser"));
  ASSERT_EQ(editor.Documents().size(), 1u);
  EXPECT_EQ(editor.Documents()[0]->Image().ResolutionX, 75);
  EXPECT_TRUE(editor.Messages.empty());  // the flatbed gives one page
}

TEST(Scanning, TransferErrorsAndAMissingScannerAreToldAndNoManagerDisablesTheMenu) {
  {
    // A page that jams: the error and its condition, no document.
    ScanEditor editor({{"mode", "Color"}, {"read-status-code", "SANE_STATUS_JAMMED"}}, false);
    editor.Start();
    ASSERT_TRUE(editor.Form->Commands().Trigger("MenuTwainNumeriser"));
    EXPECT_TRUE(editor.Documents().empty());
    EXPECT_EQ(editor.Messages, std::vector<std::string>{"Erreur: 1/20"});
  }
  {
    // No device at all: each command says that no scanner was found.
    ScanEditor editor;
    std::ofstream(editor.Device.Folder() + "/dll.conf") << "";
    editor.Start();
    EXPECT_TRUE(editor.Form->Commands().IsEnabled("PopFormTwain"));
    ASSERT_TRUE(editor.Form->Commands().Trigger("MenuTwainSource"));
    ASSERT_TRUE(editor.Form->Commands().Trigger("MenuTwainNumeriser"));
    editor.Batch([](TScanLotForm&) {});
    EXPECT_TRUE(editor.Documents().empty());
    EXPECT_EQ(editor.Messages, std::vector<std::string>(3, Tr(TextId::GetTrDlgTwainNoScanner)));
  }
  {
    // No manager: the scanner's menu and pop-up item are disabled.
    test::TempFolder empty("nomanager");
    ScanEditor editor({}, false, empty.Path.string());
    editor.Start();
    EXPECT_FALSE(editor.Form->Commands().IsEnabled("MenuTwain"));
    EXPECT_FALSE(editor.Form->Commands().IsEnabled("PopFormTwain"));
    EXPECT_FALSE(editor.Form->Commands().Trigger("PopFormTwain"));
  }
}
