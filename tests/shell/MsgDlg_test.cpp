#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "platform/core/Messages.h"
#include "platform/texts/Format.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/MsgDlg.h"
#include "support/QtTestApp.h"

using namespace qm;

namespace {

struct OptionsGuard {
  OptionsGuard() {
    test::App();
    ResetTextTable();
    MsgDlgOptions() = TMsgDlgOptions{};
  }
  ~OptionsGuard() {
    MsgDlgOptions() = TMsgDlgOptions{};
    SetMessageHandler({});
    ResetTextTable();
  }
};

// Shows a box and, once it runs, sends it a key.
int AnswerWithKey(int buttons, int key) {
  test::WhenModal([key](QWidget* w) { QTest::keyClick(w, Qt::Key(key), Qt::NoModifier); });
  return ShowQtMessageDialog("Continuer ?", mtConfirmation, buttons, "");
}

int AnswerWithClick(int buttons, const char* button) {
  test::WhenModal([button](QWidget* w) {
    auto* b = w->findChild<QPushButton*>(QString::fromLatin1(button));
    ASSERT_TRUE(b && b->isVisible());
    QTest::mouseClick(b, Qt::LeftButton);
  });
  return ShowQtMessageDialog("Continuer ?", mtConfirmation, buttons, "");
}

}  // namespace

TEST(MsgDlg, LayoutOfTheButtonsAndWidths) {
  OptionsGuard guard;
  TMsgDlgForm form;
  form.SetupMessage("Mot", mtWarning, mbYes | mbNo, "");
  EXPECT_EQ(form.width(), 300);
  EXPECT_EQ(form.LblCaption->text(), "Avertissement");
  EXPECT_EQ(form.windowTitle(), "Quillomatic Morvek");
  EXPECT_EQ(form.BtnYes->text(), "&Oui");
  EXPECT_EQ(form.BtnNo->text(), "&Non");
  EXPECT_FALSE(form.BtnOk->isVisibleTo(&form));
  EXPECT_FALSE(form.BtnCancel->isVisibleTo(&form));
  // Right-aligned, 6 pixels apart, on the content's bottom line.
  EXPECT_EQ(form.BtnNo->geometry().right() + 1, form.width() - 12 + 1);
  EXPECT_EQ(form.BtnNo->x() - (form.BtnYes->x() + form.BtnYes->width()), 6);
  EXPECT_EQ(form.BtnYes->y(), form.BtnNo->y());
  EXPECT_EQ(form.height(), 25 + form.BtnYes->y() + 12);
  EXPECT_EQ(form.PnlSep->width(), form.width() - 24);
  EXPECT_TRUE(form.EdiInput->isHidden());

  MsgDlgOptions().MinClientWidth = 377;
  TMsgDlgForm wide;
  wide.SetupMessage("Mot", mtError, mbOK, "");
  EXPECT_EQ(wide.width(), 377);
  EXPECT_EQ(wide.LblCaption->text(), "Erreur");

  // A long text widens the box beyond both minimums.
  TMsgDlgForm longer;
  longer.SetupMessage(std::string(200, 'W'), mtInformation, mbOK | mbCancel, "Titre");
  EXPECT_EQ(longer.width(), 56 + longer.LblMsg->width() + 12);
  EXPECT_GT(longer.width(), 377);
  EXPECT_EQ(longer.LblCaption->text(), "Titre");

  // Several lines make it taller; a carriage return breaks the line.
  TMsgDlgForm tall;
  tall.SetupMessage("Un\rDeux\rTrois\rQuatre\rCinq", mtWarning, mbOK, "");
  EXPECT_EQ(tall.LblMsg->text(), "Un\nDeux\nTrois\nQuatre\nCinq");
  EXPECT_EQ(tall.BtnOk->y(), 44 + tall.LblMsg->height() + 24);
  TMsgDlgForm small;
  small.SetupMessage("Un", mtWarning, mbOK, "");
  EXPECT_EQ(small.BtnOk->y(), 44 + 32 + 24);  // never above the icon's bottom

  MsgDlgOptions().ButtonAlignment = baLeft;
  TMsgDlgForm left;
  left.SetupMessage("Mot", mtWarning, mbOK | mbCancel, "");
  EXPECT_EQ(left.BtnOk->x(), 12);
  EXPECT_EQ(left.BtnCancel->x(), 12 + 81);
  MsgDlgOptions().ButtonAlignment = baCenter;
  TMsgDlgForm centred;
  centred.SetupMessage("Mot", mtWarning, mbYes | mbNo | mbOK | mbCancel, "");
  EXPECT_EQ(centred.BtnYes->x(), (centred.width() - (4 * 75 + 3 * 6)) / 2);
}

TEST(MsgDlg, TitlesComeFromTheTable) {
  OptionsGuard guard;
  FillTextByName("GetDlgConfirmation", "Confirm");
  FillTextByName("GetDlgYes", "&Yes");
  TMsgDlgForm form;
  form.SetupMessage("?", mtConfirmation, mbYes | mbNo, "");
  EXPECT_EQ(form.LblCaption->text(), "Confirm");
  EXPECT_EQ(form.BtnYes->text(), "&Yes");
  TMsgDlgForm info;
  info.SetupMessage("!", mtInformation, mbOK, "");
  EXPECT_EQ(info.LblCaption->text(), "Information");
  TMsgDlgForm app;
  app.SetupMessage("!", mtApplication, mbOK, "");
  EXPECT_FALSE(app.LblCaption->text().isEmpty());
  // A file name with an ampersand shows as written, in the text and in the title.
  TMsgDlgForm amp;
  amp.SetupMessage(Format(TextId::GetOeMsgErrorOpening, {"/photos/R&D.jpg"}), mtError, mbOK, "A&B");
  EXPECT_EQ(amp.LblMsg->text(), "Impossible d'ouvrir l'image dans le fichier \"/photos/R&D.jpg\" !");
  EXPECT_EQ(amp.LblCaption->text(), "A&B");
  TMsgDlgForm prompt;
  prompt.SetupInput("", "Renommer \"R&D.jpg\" en :", "R&D");
  EXPECT_EQ(prompt.LblMsg->text(), "Renommer \"R&D.jpg\" en :");
  EXPECT_EQ(prompt.EdiInput->text(), "R&D");
}

TEST(MsgDlg, ResultsOfEveryButton) {
  OptionsGuard guard;
  EXPECT_EQ(AnswerWithClick(mbYes | mbNo, "BtnYes"), mrYes);
  EXPECT_EQ(AnswerWithClick(mbYes | mbNo, "BtnNo"), mrNo);
  EXPECT_EQ(AnswerWithClick(mbOK, "BtnOk"), mrOk);
  EXPECT_EQ(AnswerWithClick(mbOK | mbCancel, "BtnCancel"), mrCancel);
  EXPECT_EQ(AnswerWithClick(mbYes | mbNo | mbCancel, "BtnCancel"), mrCancel);
  EXPECT_EQ(AnswerWithClick(0, "BtnOk"), mrOk);  // a box without buttons still offers OK
}

TEST(MsgDlg, KeysOfEveryMask) {
  OptionsGuard guard;
  // Enter takes the default button: OK when shown, else Yes.
  EXPECT_EQ(AnswerWithKey(mbOK, Qt::Key_Return), mrOk);
  EXPECT_EQ(AnswerWithKey(mbOK | mbCancel, Qt::Key_Return), mrOk);
  EXPECT_EQ(AnswerWithKey(mbYes | mbNo, Qt::Key_Return), mrYes);
  EXPECT_EQ(AnswerWithKey(mbYes | mbNo | mbCancel, Qt::Key_Return), mrYes);
  // Escape takes Cancel when shown, else No.
  EXPECT_EQ(AnswerWithKey(mbOK | mbCancel, Qt::Key_Escape), mrCancel);
  EXPECT_EQ(AnswerWithKey(mbYes | mbNo, Qt::Key_Escape), mrNo);
  EXPECT_EQ(AnswerWithKey(mbYes | mbNo | mbCancel, Qt::Key_Escape), mrCancel);
  // The accelerator letters of Yes and No.
  EXPECT_EQ(AnswerWithKey(mbYes | mbNo, Qt::Key_O), mrYes);
  EXPECT_EQ(AnswerWithKey(mbYes | mbNo, Qt::Key_N), mrNo);
}

TEST(MsgDlg, EveryMaskShowsItsButtonsAndAnswersItsKeys) {
  OptionsGuard guard;
  const int bits[] = {mbYes, mbNo, mbOK, mbCancel};
  const char* names[] = {"BtnYes", "BtnNo", "BtnOk", "BtnCancel"};
  const int results[] = {mrYes, mrNo, mrOk, mrCancel};
  for (int mask = 0; mask < 16; ++mask) {
    SCOPED_TRACE(mask);
    const int shown = mask ? mask : mbOK;
    // The buttons of the mask, in the order Yes, No, OK, Cancel, 81 pixels apart and
    // right-aligned.
    TMsgDlgForm form;
    form.SetupMessage("Continuer ?", mtConfirmation, mask, "");
    QPushButton* all[] = {form.BtnYes, form.BtnNo, form.BtnOk, form.BtnCancel};
    int expectedLeft = -1, last = -1;
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(!all[k]->isHidden(), (shown & bits[k]) != 0) << names[k];
      if (all[k]->isHidden()) continue;
      if (expectedLeft >= 0) EXPECT_EQ(all[k]->x(), expectedLeft) << names[k];
      expectedLeft = all[k]->x() + 81;
      last = k;
    }
    ASSERT_GE(last, 0);
    EXPECT_EQ(all[last]->geometry().right() + 1, form.width() - 12 + 1);

    // Each shown button answers its own result.
    for (int k = 0; k < 4; ++k)
      if (shown & bits[k]) EXPECT_EQ(AnswerWithClick(mask, names[k]), results[k]) << names[k];

    // A key that must not answer leaves the box open; a shown button then closes it.
    const int fallback = [&] {
      for (int k = 0; k < 4; ++k)
        if (shown & bits[k]) return k;
      return 2;
    }();
    auto answerKey = [&](int key) {
      test::WhenModal([key, fallback, &names](QWidget* w) {
        QTest::keyClick(w, Qt::Key(key), Qt::NoModifier);
        if (!w->isVisible()) return;
        QTest::mouseClick(w->findChild<QPushButton*>(QString::fromLatin1(names[fallback])), Qt::LeftButton);
      });
      return ShowQtMessageDialog("Continuer ?", mtConfirmation, mask, "");
    };
    const int open = results[fallback];
    // Escape: Cancel when shown, else No, else nothing.
    EXPECT_EQ(answerKey(Qt::Key_Escape), (shown & mbCancel) ? mrCancel : (shown & mbNo) ? mrNo : open);
    // The accelerator letters of "&Oui" and "&Non" answer only while their button shows.
    EXPECT_EQ(answerKey(Qt::Key_O), (shown & mbYes) ? mrYes : open);
    EXPECT_EQ(answerKey(Qt::Key_N), (shown & mbNo) ? mrNo : open);
    // Enter: the default button, OK when shown, else Yes.
    if (shown & (mbOK | mbYes)) EXPECT_EQ(answerKey(Qt::Key_Return), (shown & mbOK) ? mrOk : mrYes);
  }
}

TEST(MsgDlg, EscapeWithoutAnEscapeButtonDoesNothing) {
  OptionsGuard guard;
  test::WhenModal([](QWidget* w) {
    QTest::keyClick(w, Qt::Key_Escape);
    QTest::keyClick(w, Qt::Key_N);  // No is not shown either
    EXPECT_TRUE(w->isVisible());
    QTest::keyClick(w, Qt::Key_Return);
  });
  EXPECT_EQ(ShowQtMessageDialog("Fini.", mtInformation, mbOK, ""), mrOk);
  // Closing the window answers Cancel.
  test::WhenModal([](QWidget* w) { w->close(); });
  EXPECT_EQ(ShowQtMessageDialog("Fini.", mtInformation, mbYes | mbNo, ""), mrCancel);
}

TEST(MsgDlg, InputBox) {
  OptionsGuard guard;
  test::WhenModal([](QWidget* w) {
    auto* edit = w->findChild<QLineEdit*>("EdiInput");
    ASSERT_TRUE(edit && edit->isVisible());
    EXPECT_EQ(edit->text(), "photo");
    EXPECT_EQ(edit->property("inputOption").toInt(), 1);
    edit->clear();
    QTest::keyClicks(edit, "nouveau");
    QTest::keyClick(edit, Qt::Key_Return);
  });
  std::string value;
  EXPECT_TRUE(InputQueryWithDefault("", "Entrez un nouveau nom :", "photo", value));
  EXPECT_EQ(value, "nouveau");

  test::WhenModal([](QWidget* w) {
    EXPECT_EQ(w->findChild<QLabel*>("LblCaption")->text(), "Saisie");
    QTest::keyClicks(w->findChild<QLineEdit*>("EdiInput"), "perdu");
    QTest::keyClick(w->findChild<QLineEdit*>("EdiInput"), Qt::Key_Escape);
  });
  value = "garde";
  EXPECT_FALSE(InputQueryDialog("", "Nom :", value));
  EXPECT_EQ(value, "garde");

  // In the input box the letters type; they do not answer.
  test::WhenModal([](QWidget* w) {
    auto* edit = w->findChild<QLineEdit*>("EdiInput");
    QTest::keyClicks(edit, "on");
    EXPECT_TRUE(w->isVisible());
    QTest::mouseClick(w->findChild<QPushButton*>("BtnOk"), Qt::LeftButton);
  });
  value.clear();
  EXPECT_TRUE(InputQueryDialog("Titre", "Nom :", value));
  EXPECT_EQ(value, "on");
}

TEST(MsgDlg, InstalledAsTheMessageHook) {
  OptionsGuard guard;
  InstallMessageDialog();
  test::WhenModal([](QWidget* w) {
    EXPECT_EQ(w->findChild<QLabel*>("LblMsg")->text(), "Aucun pixel à traiter !");
    QTest::keyClick(w, Qt::Key_Return);
  });
  EXPECT_EQ(ShowMessageDialog(Tr(TextId::GetTrDlgImage12), mtWarning, mbOK), mrOk);
}
