// A first start: the masks and patterns the build draws are listed after the user's
// own, Sheerlay starts on the first mask with its OK offered, the pattern chooser opens
// on the shipped patterns with both folders at hand, and nothing is written into them.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QToolButton>
#include <QUrl>
#include <filesystem>

#include "DialogTestSupport.h"
#include "dialogs/sheerlay/SheerlayForm.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/PictureFiles.h"
#include "support/QtTestApp.h"

using namespace qm;
using namespace qm::test;
namespace fs = std::filesystem;

namespace {

const std::string kShipped = QM_PROGRAM_DATA_FOLDER;

// The editor on a profile that has never kept a mask nor a pattern, over the data the
// build made beside the program.
struct FreshShell : DialogShell {
  FreshShell() {
    SetProgramDataFolder(kShipped);
    fs::remove(MaskFile);
    Services->SettingsFile()->DeleteKey("Sheerlay", "Mask");
  }
  ~FreshShell() { SetProgramDataFolder({}); }
};

bool Grey(const TBitmap& b) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TColor c = b.GetPixel(x, y);
      if (GetRValue(c) != GetGValue(c) || GetGValue(c) != GetBValue(c)) return false;
    }
  return true;
}

fs::file_time_type NewestIn(const std::string& folder) {
  fs::file_time_type newest{};
  for (const auto& e : fs::directory_iterator(folder)) newest = std::max(newest, e.last_write_time());
  return newest;
}

}  // namespace

// The lists: the user's folder first, then the shipped one; every shipped mask is a grey
// picture going from dark to white, every pattern a picture that loads.
TEST(ShippedStock, ListedAfterTheUsersOwn) {
  FreshShell shell;
  const std::vector<std::string> masks = ListedPictures(TUserFolder::Masks);
  const std::vector<std::string> patterns = ListedPictures(TUserFolder::Patterns);
  ASSERT_GE(masks.size(), 6u);
  ASSERT_GE(patterns.size(), 5u);
  for (const std::string& m : masks) {
    EXPECT_EQ(FolderOf(m), kShipped + "/Masks") << m;
    const TBitmap b = ReadPicture(m);
    ASSERT_FALSE(b.Empty()) << m;
    EXPECT_TRUE(Grey(b)) << m;
    int darkest = 255, lightest = 0;
    for (int y = 0; y < b.Height(); y += 4)
      for (int x = 0; x < b.Width(); x += 4) {
        darkest = std::min<int>(darkest, GetRValue(b.GetPixel(x, y)));
        lightest = std::max<int>(lightest, GetRValue(b.GetPixel(x, y)));
      }
    EXPECT_LT(darkest, 16) << m;
    EXPECT_GT(lightest, 240) << m;
  }
  for (const std::string& p : patterns) EXPECT_FALSE(ReadPicture(p).Empty()) << p;
  EXPECT_EQ(ListStartFolder(TUserFolder::Patterns), kShipped + "/Patterns");

  // a pattern of the user's comes first, and the chooser opens on the user's folder
  const std::string own = UserFolder(TUserFolder::Patterns) + "/zz.png";
  WritePicture(own, TBitmap(4, 4, pf24bit, RGB(200, 0, 0)));
  EXPECT_EQ(ListedPictures(TUserFolder::Patterns).front(), own);
  EXPECT_EQ(ListStartFolder(TUserFolder::Patterns), UserFolder(TUserFolder::Patterns));
  // the other lists read the user's folder alone
  EXPECT_EQ(ListFolders(TUserFolder::Selections), std::vector<std::string>{UserFolder(TUserFolder::Selections)});
}

// Sheerlay on a first start: the first shipped mask, OK offered, and OK keeps it in
// [Sheerlay] for the next opening and the repeat; the shipped folder is not written.
TEST(ShippedStock, SheerlayStartsOnTheFirstMask) {
  FreshShell shell;
  const std::string first = ListedPictures(TUserFolder::Masks).front();
  const auto before = NewestIn(kShipped + "/Masks");
  QWidget* d = shell.OpenForm("TSLForm");
  ASSERT_TRUE(d);
  EXPECT_TRUE(Child<QPushButton>(d, "BOk")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>(d, "BApercu")->isEnabled());
  EXPECT_EQ(FieldText(d, "EdiNomMasque"), fs::path(first).stem().string());
  const uint64_t untouched = shell.LayerState();
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  EXPECT_NE(shell.LayerState(), untouched);
  EXPECT_EQ(shell.Services->SettingsFile()->ReadString("Sheerlay", "Mask", ""), first);
  EXPECT_EQ(NewestIn(kShipped + "/Masks"), before);
}

// The pattern button of the canvas dialog on a first start: the chooser shows the shipped
// patterns, both folders in its side bar; the one chosen tiles the new canvas.
TEST(ShippedStock, PatternChooserOpensOnTheShippedPatterns) {
  FreshShell shell;
  TNewImgForm* doc = shell.Open("", 40, 30, 2);
  QWidget* d = shell.OpenForm("TRecadrerForm");
  ASSERT_TRUE(d);
  Child<QCheckBox>(d, "CBMotif")->setChecked(true);
  const std::string chosen = kShipped + "/Patterns/Damier.png";
  std::string shownFolder;
  QList<QUrl> places;
  const QList<QUrl> userPlaces = QFileDialog().sidebarUrls();
  WhenModal([&](QWidget* w) {
    auto* files = qobject_cast<QFileDialog*>(w);
    ASSERT_TRUE(files);
    shownFolder = files->directory().absolutePath().toStdString();
    places = files->sidebarUrls();
    files->selectFile(QString::fromStdString(chosen));
    QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
  });
  QTest::mouseClick(Child<QToolButton>(d, "SBMotif"), Qt::LeftButton);
  EXPECT_EQ(shownFolder, kShipped + "/Patterns");
  for (const std::string& f : ListFolders(TUserFolder::Patterns))
    EXPECT_TRUE(places.contains(QUrl::fromLocalFile(QString::fromStdString(f)))) << f;
  // They were this dialog's places only: the next file dialog's side bar is the user's own.
  EXPECT_EQ(QFileDialog().sidebarUrls(), userPlaces);
  EXPECT_EQ(FieldText(d, "EdiMotif"), chosen);
  Type(d, "EdiL", "72");
  QTest::mouseClick(Child<QToolButton>(d, "TB0"), Qt::LeftButton);
  Click(d, "BOk");
  EXPECT_FALSE(d->isVisible());
  const TBitmap tile = ReadPicture(chosen);
  const TBitmap& bg = doc->Image().Layers[0].Image;
  ASSERT_EQ(bg.Width(), 72);
  for (int x = 40; x < 72; ++x) EXPECT_EQ(bg.GetPixel(x, 5), tile.GetPixel(x % tile.Width(), 5)) << x;
}
