#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <vector>

#include "document/LayeredImage.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/AboutBox.h"
#include "shell/browser/FullScreen.h"
#include "support/QtTestApp.h"

using namespace qm;

namespace {

struct Host : TFullScreenHost {
  TLayeredImage Image;
  std::string FileName = "/photos/Vacances & plage.png";
  bool CanNavigate = true;
  std::vector<TSiblingFile> Walked;
  TLayeredImage* FullScreenImage() override { return &Image; }
  std::string FullScreenFileName() override { return FileName; }
  bool CanNavigateFolder() override { return CanNavigate; }
  void NavigateFolder(TSiblingFile which) override { Walked.push_back(which); }
  bool SmoothDisplay() override { return true; }
};

}  // namespace

TEST(FullScreen, ShowsTheImageUnenlargedAndWalksTheFolder) {
  test::App();
  ResetTextTable();
  Host host;
  host.Image.LoadFromBitmap(TBitmap(100, 100, pf24bit, 0x336699), TBitmap(), "#0");
  TPeForm form(host);
  form.ShowFullScreen();
  EXPECT_TRUE(IsFullScreenShown());
  EXPECT_EQ(form.PnlInfos->text().toStdString(), "Vacances & plage.png (100x100, 100%)");
  EXPECT_EQ(form.Zoom().Zoom(), 1.0);

  // The keys and the wheel walk through the folder, unless the window forbids it.
  QTest::keyClick(&form, Qt::Key_PageDown);
  QTest::keyClick(&form, Qt::Key_PageUp);
  QTest::keyClick(&form, Qt::Key_Home);
  QTest::keyClick(&form, Qt::Key_End);
  QWheelEvent down(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
  QApplication::sendEvent(&form, &down);
  EXPECT_EQ(host.Walked, (std::vector<TSiblingFile>{sfNext, sfPrevious, sfFirst, sfLast, sfNext}));
  host.CanNavigate = false;
  QTest::keyClick(&form, Qt::Key_PageDown);
  EXPECT_EQ(host.Walked.size(), 5u);

  // A large image is reduced to the screen above the panel.
  host.Image.LoadFromBitmap(TBitmap(4000, 2000, pf24bit, 0x336699), TBitmap(), "#0");
  form.Display();
  const double fit = std::min(form.width() / 4000.0, (form.height() - form.PnlInfos->sizeHint().height()) / 2000.0);
  ASSERT_LT(fit, 1.0);
  EXPECT_DOUBLE_EQ(form.Zoom().Zoom(), fit);
  EXPECT_TRUE(form.Zoom().Halftone);
  EXPECT_EQ(form.PnlInfos->text().toStdString(),
            "Vacances & plage.png (4000x2000, " + std::to_string(std::lround(fit * 100)) + "%)");

  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_FALSE(IsFullScreenShown());
  form.ShowFullScreen();
  QTest::mouseClick(&form, Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
}

TEST(AboutBox, CreditsTheTranslatorOnlyWhenOneIsLoaded) {
  test::App();
  ResetTextTable();
  for (bool translated : {false, true}) {
    if (translated) {
      FillTextByName("GetTrTranslation", "Jane Doe");
      FillTextByName("GetTrBtnOk", "Fine");
      SetTranslationLoaded(true);
    }
    TAProposForm box;
    bool focused = false;
    test::WhenModal([&](QWidget* w) {
      auto* b = static_cast<TAProposForm*>(w);
      focused = b->focusWidget() == b->BtnOk;
      EXPECT_EQ(b->LblTranslation->isVisible(), translated);
      EXPECT_EQ(b->LblTranslationCaption->isVisible(), translated);
      if (translated) {
        EXPECT_EQ(b->LblTranslation->text().toStdString(), "Translation Jane Doe");
      }
      EXPECT_EQ(b->BtnOk->text().toStdString(), translated ? "Fine" : "Ok");
      QTest::mouseClick(b->BtnOk, Qt::LeftButton);
    });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_TRUE(focused);
  }
  ResetTextTable();
}
