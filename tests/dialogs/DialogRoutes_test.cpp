// The roads to a dialog that start elsewhere than its menu item, through the real main
// window started as the program starts it: a double click on a layer, the translucent
// forms of the settings, Qt's own dialogs and buttons in the interface's language.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QLabel>

#include "DialogTestSupport.h"
#include "shell/palette/ToolPalette.h"

using namespace qm;
using namespace qm::test;

TEST(DialogRoutes, ADoubleClickOnAnUpperLayerOpensItsOptionsOnceTheirDialogIsRegistered) {
  for (bool registered : {false, true}) {
    SCOPED_TRACE(registered);
    // The layer options come with a dialog of their own: until it is registered the row
    // is disabled and a double click does nothing; registered, both clicks reach it.
    TDialogRegistry dialogs;
    std::vector<TDialogRequest> opened;
    if (registered)
      dialogs.Register("TOpCalqueForm", TDialogKind::Command, [&](TDialogHost&, const TDialogRequest& request) {
        opened.push_back(request);
        return true;
      });
    Editor e;
    e.Options = ProgramStartOptions(&dialogs);
    TMainForm& form = e.Start();
    TNewImgForm& w = e.NewDocument(Picture(200, 150, 20));
    e.AddLayer(90);  // 30 x 20 at (10, 10)
    form.Palette().SelectTool(TTool::Layer);
    auto at = [&](int x, int y) {
      const TPoint p = w.View().ImageToClientPoint(TPoint{x, y});
      return QPoint(p.X, p.Y);
    };
    QTest::mouseDClick(w.View().viewport(), Qt::LeftButton, {}, at(25, 20));  // on the layer
    QTest::mouseDClick(w.View().viewport(), Qt::LeftButton, {}, at(150, 100));  // beside it: nothing
    TLayerNavigator& strip = w.Navigator();
    QTest::mouseDClick(&strip, Qt::LeftButton, {}, strip.RowRect(0).center());
    EXPECT_EQ(form.Commands().IsEnabled("MenuCalqueOptions"), registered);
    ASSERT_EQ(opened.size(), registered ? 2u : 0u);
    for (const TDialogRequest& r : opened) {
      EXPECT_EQ(r.Caption, "Options");
      EXPECT_TRUE(r.Modal);
      EXPECT_FALSE(r.NewStep);
    }
    // a locked layer keeps its options closed
    w.Image().Layers[1].Locked = true;
    QTest::mouseDClick(w.View().viewport(), Qt::LeftButton, {}, at(25, 20));
    EXPECT_EQ(opened.size(), registered ? 2u : 0u);
  }
}

TEST(DialogRoutes, TheSettingsMakeTheFormsMadeOnceTranslucent) {
  for (bool translucent : {true, false}) {
    DialogShell shell(&ProgramDialogs(), translucent ? "[Params]\nAlphaBlendForm=1\n" : "");
    QWidget* d = shell.OpenForm("TBlurForm");
    ASSERT_TRUE(d);
    EXPECT_NEAR(d->windowOpacity(), translucent ? 233 / 255.0 : 1.0, 0.01);
    QMetaObject::invokeMethod(d, "reject");
    double prefs = 0;
    WhenModal([&](QWidget* w) {
      prefs = w->windowOpacity();
      QMetaObject::invokeMethod(w, "reject");
    });
    ASSERT_TRUE(shell.Form->Commands().Trigger("MenuParams"));
    EXPECT_NEAR(prefs, translucent ? 233 / 255.0 : 1.0, 0.01);
  }
}

TEST(DialogRoutes, QtsOwnDialogsAndButtonsSpeakFrenchWithoutAModule) {
  DialogShell shell;
  ASSERT_FALSE(TranslationLoaded());
  std::string cancel, lookIn;
  WhenModal([&](QWidget* dialog) {
    if (auto* box = dialog->findChild<QDialogButtonBox*>())
      if (QPushButton* b = box->button(QDialogButtonBox::Cancel)) cancel = b->text().toStdString();
    if (auto* label = dialog->findChild<QLabel*>("lookInLabel")) lookIn = label->text().toStdString();
    QMetaObject::invokeMethod(dialog, "reject");
  });
  ASSERT_TRUE(shell.Form->Commands().Trigger("MenuFichierOuvrir"));
  EXPECT_EQ(cancel, "Annuler");
  EXPECT_EQ(lookIn, "Voir dans :");
  // the palette's own buttons, read aloud
  std::vector<std::string> names;
  for (QAbstractButton* b : shell.Form->Palette().findChildren<QAbstractButton*>())
    if (b->objectName().startsWith("qt_dockwidget_")) names.push_back(b->accessibleName().toStdString());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Détacher", "Fermer"}));
}
