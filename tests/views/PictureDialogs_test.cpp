#include "views/PictureDialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QAbstractProxyModel>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <filesystem>

#include "imagefiles/FileFormats.h"
#include "imagefiles/JpegCodec.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"

namespace qm {
namespace {

// The picture: gradients, so a preview is not one flat colour.
TBitmap Gradient(int w, int h) {
  TBitmap b(w, h, pf24bit, clBlack);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < w; ++x, p += 3) {
      p[0] = uint8_t(x * 255 / w);
      p[1] = uint8_t(y * 255 / h);
      p[2] = 90;
    }
  }
  return b;
}

// Distinct colours in a widget's image: more than the background when something is drawn.
int Colours(QWidget* w) {
  const QImage img = w->grab().toImage();
  QSet<QRgb> seen;
  for (int y = 0; y < img.height(); y += 2)
    for (int x = 0; x < img.width(); x += 2) seen.insert(img.pixel(x, y));
  return int(seen.size());
}

TEST(PictureDialogs, OpenDialogPreviewsTheSelectedPictureAtAReducedSize) {
  test::App();
  test::TempFolder dir("opendlg");
  dir.Path = std::filesystem::absolute(dir.Path);
  const std::string photo = dir.File("photo.jpg");
  WriteJpegFile(photo, Gradient(4000, 3000), TJpegWriteOptions{85, false});
  std::filesystem::create_directory(dir.Path / "folder");

  TOpenPictureDialog d;
  d.setDirectory(QString::fromStdString(dir.Path.string()));
  d.setNameFilters(ToQtNameFilters(BuildImageFilter(true, false, false)));
  d.SetPreview(true);
  d.resize(900, 500);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  EXPECT_TRUE(d.PictureLabel->text().isEmpty());

  // the folder's listing is read in the background
  auto* model = d.findChild<QFileSystemModel*>();
  ASSERT_TRUE(model);
  EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(model->index(QString::fromStdString(dir.Path.string()))) == 2; }));
  auto* list = d.findChild<QListView*>("listView");
  ASSERT_TRUE(list);
  auto clickOn = [&](const std::string& path) {
    // the list shows the files through the dialog's proxy of the interface's columns
    auto* proxy = qobject_cast<QAbstractProxyModel*>(list->model());
    const QModelIndex at = proxy && proxy->sourceModel() == model
                               ? proxy->mapFromSource(model->index(QString::fromStdString(path)))
                               : QModelIndex();
    ASSERT_TRUE(at.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(at).center());
  };
  clickOn(photo);
  EXPECT_EQ(d.PictureLabel->text(), "4000x3000 pixels");
  EXPECT_EQ(d.PreviewBitmap().Width(), 500);  // decoded at one eighth
  EXPECT_EQ(d.PreviewBitmap().Height(), 375);
  EXPECT_GT(Colours(d.PaintBox), 500);

  // a folder empties the preview
  clickOn((dir.Path / "folder").string());
  EXPECT_TRUE(d.PreviewBitmap().Empty());
  EXPECT_TRUE(d.PictureLabel->text().isEmpty());

  // with "Aperçu" unchecked nothing is loaded: the box says "(Vide)"
  EXPECT_EQ(d.PreviewCheck->text(), "Aperçu");
  d.PreviewCheck->click();
  EXPECT_FALSE(d.Preview());
  clickOn(photo);
  EXPECT_TRUE(d.PreviewBitmap().Empty());
  EXPECT_TRUE(d.PictureLabel->text().isEmpty());
  const int empty = Colours(d.PaintBox);
  EXPECT_GT(empty, 1);   // the text is drawn
  EXPECT_LT(empty, 100);  // and no picture
  // checking it again while shown shows the selected picture again
  d.PreviewCheck->click();
  EXPECT_EQ(d.PictureLabel->text(), "4000x3000 pixels");
  d.reject();
}

TEST(PictureDialogs, TheKeysWalkThePreviewThroughTheListAsTheMouseDoes) {
  test::App();
  test::TempFolder dir("keywalk");
  dir.Path = std::filesystem::absolute(dir.Path);
  for (int i = 0; i < 3; ++i) WriteJpegFile(dir.File("p" + std::to_string(i) + ".jpg"), Gradient(64 + 16 * i, 40), {});
  for (const QFileDialog::ViewMode mode : {QFileDialog::List, QFileDialog::Detail}) {
    TOpenPictureDialog d;
    d.setFileMode(QFileDialog::ExistingFiles);
    d.setViewMode(mode);
    d.setDirectory(QString::fromStdString(dir.Path.string()));
    d.setNameFilters(ToQtNameFilters(BuildImageFilter(true, false, false)));
    d.SetPreview(true);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    auto* model = d.findChild<QFileSystemModel*>();
    const QModelIndex root = model->index(QString::fromStdString(dir.Path.string()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) == 3; }));
    QAbstractItemView* list = mode == QFileDialog::List ? static_cast<QAbstractItemView*>(d.findChild<QListView*>("listView"))
                                                         : d.findChild<QTreeView*>("treeView");
    ASSERT_TRUE(list && list->isVisible());
    // the rows as the list shows them, and the size each preview names
    std::vector<std::pair<QPoint, std::string>> rows;
    for (int r = 0; r < 3; ++r) {
      const QModelIndex i = list->model()->index(r, 0, list->rootIndex());
      const int w = 64 + 16 * (i.data().toString().at(1).digitValue());
      rows.push_back({list->visualRect(i).center(), std::to_string(w) + "x40 pixels"});
    }
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first.y() < b.first.y(); });
    list->setFocus();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rows[0].first);
    ASSERT_EQ(d.PictureLabel->text().toStdString(), rows[0].second);
    // Down, Down, Up: each picture under the keyboard's cursor is shown, as a click shows it
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(d.PictureLabel->text().toStdString(), rows[1].second) << mode;
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(d.PictureLabel->text().toStdString(), rows[2].second) << mode;
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(d.PictureLabel->text().toStdString(), rows[1].second) << mode;
    // Shift+Down selects two: no preview
    QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_TRUE(d.PreviewBitmap().Empty()) << mode;
    // the list keeps a width of its own beside the preview panel
    EXPECT_GE(list->width(), d.PicturePanel->width()) << mode;
    d.reject();
  }
}

// The detailed list shows each column whole, titles and contents, before the preview
// takes its fixed share; the dialog opens wide enough for them (within the screen), and
// a wider dialog widens the list, not the preview.
TEST(PictureDialogs, TheListGetsItsColumnsWidthsFirstAndThePreviewAFixedShare) {
  test::App();
  test::TempFolder dir("columns");
  dir.Path = std::filesystem::absolute(dir.Path);
  WriteJpegFile(dir.File("coucher de soleil sur la baie.jpg"), Gradient(600, 400), TJpegWriteOptions{95, false});
  TOpenPictureDialog d;
  d.setViewMode(QFileDialog::Detail);
  d.setDirectory(QString::fromStdString(dir.Path.string()));
  d.setNameFilters(ToQtNameFilters(BuildImageFilter(true, false, false)));
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  auto* model = d.findChild<QFileSystemModel*>();
  const QModelIndex root = model->index(QString::fromStdString(dir.Path.string()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) == 1; }));
  auto* tree = d.findChild<QTreeView*>("treeView");
  ASSERT_TRUE(tree && tree->isVisible());
  QApplication::processEvents();
  const QHeaderView* header = tree->header();
  const QModelIndex file = model->index(0, 0, root);
  for (int column = 0; column < 4; ++column) {
    const QString title = model->headerData(column, Qt::Horizontal).toString();
    const QString cell = model->index(file.row(), column, root).data().toString();
    EXPECT_GE(header->sectionSize(column), header->fontMetrics().horizontalAdvance(title) + 16) << title.toStdString();
    EXPECT_GE(header->sectionSize(column), tree->fontMetrics().horizontalAdvance(cell) + 8) << cell.toStdString();
  }
  const int panel = d.PicturePanel->width();
  EXPECT_GE(panel, 200);
  const int columns = header->length();
  const int screen = d.screen()->availableGeometry().width();
  if (d.width() < screen * 9 / 10) EXPECT_GE(tree->viewport()->width(), columns);
  else EXPECT_EQ(d.width(), screen * 9 / 10);
  const int list = tree->width();
  d.resize(d.width() + 300, d.height());
  QApplication::processEvents();
  EXPECT_EQ(d.PicturePanel->width(), panel);
  EXPECT_GE(tree->width(), list + 250);
  d.reject();
}

TEST(PictureDialogs, SaveDialogsExtensionFollowsTheChosenType) {
  test::App();
  test::TempFolder dir("savedlg");
  TMySaveDialog d;
  d.setDirectory(QString::fromStdString(dir.Path.string()));
  const QStringList filters = ToQtNameFilters(GetFormatFilter(false));
  ASSERT_EQ(filters.size(), 8);
  EXPECT_EQ(filters[2], "JPEG (*.jpg *.jpeg *.jpe *.jfif)");
  d.setNameFilters(filters);
  d.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
  auto* edit = d.findChild<QLineEdit*>("fileNameEdit");
  auto* types = d.findChild<QComboBox*>("fileTypeCombo");
  ASSERT_TRUE(edit && types);

  struct Step {
    const char* typed;
    int filter;
    const char* expected;
  } steps[] = {{"photo.bmp", 4, "photo.png"},  // PNG
               {"photo.png", 2, "photo.jpg"},  // JPEG: its first mask
               {"photo", 7, "photo.tif"},      // a name without extension takes one
               {"", 1, ""}};                   // an empty name stays empty
  for (const Step& s : steps) {
    edit->setText(s.typed);
    types->setCurrentIndex(s.filter);
    emit types->activated(s.filter);
    EXPECT_EQ(edit->text().toStdString(), s.expected) << s.typed;
  }
  d.reject();
}

TEST(PictureDialogs, FiltersBecomeQtNameFilters) {
  EXPECT_EQ(ToQtNameFilters("Toutes les images|*.*|BMP (*.bmp)|*.bmp|Mixed|*.a; *.B"),
            (QStringList{"Toutes les images (*)", "BMP (*.bmp)", "Mixed (*.a *.B)"}));
}

}  // namespace
}  // namespace qm
