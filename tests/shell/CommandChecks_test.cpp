#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <vector>

#include "document/LayerHost.h"
#include "imagefiles/FileFormats.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/CommandChecks.h"
#include "support/QtTestApp.h"

using namespace qm;

namespace {

struct Messages {
  std::vector<std::string> Shown;
  std::string Title;
  int Answer = mrYes;
  Messages() {
    test::App();
    ResetTextTable();
    SetMessageHandler([this](const std::string& text, int type, int buttons, const std::string& title) {
      Shown.push_back(text);
      Title = title;
      EXPECT_EQ(type, buttons == (mbYes | mbNo) ? mtConfirmation : mtWarning);
      return buttons & mbOK ? int(mrOk) : Answer;
    });
  }
  ~Messages() { SetMessageHandler({}); }
  std::string Take() {
    std::string last = Shown.empty() ? "" : Shown.back();
    Shown.clear();
    return last;
  }
};

}  // namespace

TEST(CommandChecks, LayerChecksAndTheirMessages) {
  Messages msg;
  TStandaloneDocument doc;
  doc.Image.LoadFromBitmap(TBitmap(40, 30), TBitmap(), "#0");
  EXPECT_TRUE(CheckLayersMerged(&doc.Image));
  EXPECT_FALSE(CheckSeveralLayers(&doc.Image));
  EXPECT_EQ(msg.Take(), "Cette fonction nécessite plusieurs calques !");
  EXPECT_FALSE(CheckNoTextLayer(&doc.Image));
  EXPECT_EQ(msg.Take(), "");

  doc.Image.AddLayer(TBitmap(10, 10), TBitmap(), "#1", 100, TPoint{50, 50});  // beside the image
  EXPECT_FALSE(CheckLayersMerged(&doc.Image));
  EXPECT_EQ(msg.Take(), "Vous devez fusionner tous les calques avant de continuer !");
  EXPECT_TRUE(CheckSeveralLayers(&doc.Image));
  doc.Image.Layers[1].LayerType = ltText;
  EXPECT_TRUE(CheckNoTextLayer(&doc.Image));
  EXPECT_EQ(msg.Take(), "Vous devez convertir les textes en calque image avant d'appliquer\rune transformation globale !");

  // A shown selection that misses the active layer leaves nothing to work on.
  EXPECT_FALSE(CheckSelectionHasPixels(doc));
  doc.Selection.Visible = true;
  doc.Selection.SelRect = TRect{0, 0, 20, 20};
  EXPECT_TRUE(CheckSelectionHasPixels(doc));
  EXPECT_EQ(msg.Take(), "Aucun pixel à traiter !");
  doc.Selection.SelRect = TRect{55, 55, 70, 70};
  EXPECT_FALSE(CheckSelectionHasPixels(doc));
  EXPECT_TRUE(CheckLayersMerged(nullptr) && CheckSeveralLayers(nullptr) && !CheckNoTextLayer(nullptr));
  EXPECT_TRUE(msg.Shown.empty());
}

TEST(CommandChecks, ClipboardAndIrreversibleActions) {
  Messages msg;
  QGuiApplication::clipboard()->clear();
  EXPECT_FALSE(CheckClipboardHasImage());
  EXPECT_EQ(msg.Take(), "Le presse-papiers est vide ou non reconnu !");
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QGuiApplication::clipboard()->setImage(picture);
  EXPECT_TRUE(CheckClipboardHasImage());
  QGuiApplication::clipboard()->clear();

  for (int answer : {int(mrYes), int(mrNo)}) {
    msg.Answer = answer;
    EXPECT_EQ(ConfirmIrreversibleAction("Aplatir"), answer == mrYes);
    EXPECT_EQ(msg.Take(), "Cette action ne pourra pas être annulée, voulez-vous continuer ?");
    EXPECT_EQ(msg.Title, "Aplatir");
  }
}

TEST(CommandChecks, SaveFormatLimitsAskOneQuestionAtMost) {
  const std::string layers = "Ce format d'image ne gère pas les calques.\rVoulez-vous tout de même continuer ?";
  const std::string alpha = "Ce format d'image ne gère pas la couche Alpha (32 bits).\rVoulez-vous tout de même continuer ?";
  const std::string transparency = "Ce format d'image ne gère pas la transparence.\rVoulez-vous tout de même continuer ?";
  struct Case {
    bool SeveralLayers, Alpha, Transparent;
    const char* File;
    std::string Question;
  } cases[] = {
      {true, true, true, "a.jpg", layers},   {true, false, false, "a.qxi", ""},
      {false, true, true, "a.jpg", alpha},   {false, true, false, "a.png", ""},
      {false, false, true, "a.jpg", transparency}, {false, false, true, "a.GIF", ""},
      {false, false, false, "a.jpg", ""},
  };
  Messages msg;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File);
    TStandaloneDocument doc;
    doc.Image.LoadFromBitmap(TBitmap(10, 10), c.Alpha ? TBitmap(10, 10, pf24bit, clBlack) : TBitmap(), "#0");
    doc.Image.Layers[0].Image.Transparent = c.Transparent;
    if (c.SeveralLayers) doc.Image.AddLayer(TBitmap(4, 4), TBitmap(), "#1", 100, TPoint{});
    for (int answer : {int(mrYes), int(mrNo)}) {
      msg.Answer = answer;
      EXPECT_EQ(ConfirmSaveFormatLimits(&doc.Image, FindSaveFormat(c.File)), c.Question.empty() || answer == mrYes);
      EXPECT_EQ(msg.Shown.size(), c.Question.empty() ? 0u : 1u);
      EXPECT_EQ(msg.Take(), c.Question);
    }
  }
}
