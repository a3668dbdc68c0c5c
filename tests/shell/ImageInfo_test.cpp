#include <gtest/gtest.h>

#include "document/LayeredImage.h"
#include "document/Undo.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/FileUtils.h"
#include "shell/services/ImageInfo.h"
#include "support/TempFiles.h"

using namespace qm;

namespace {

// A white 100 x 50 background under a red 20 x 10 layer with its mask, and one
// 10 x 10 step of that layer in the history.
struct Document {
  TLayeredImage Image;
  TUndoList History;
  Document() {
    Image.LoadFromBitmap(TBitmap(100, 50, pf24bit, clWhite), TBitmap(), "#0");
    Image.AddLayer(TBitmap(20, 10, pf24bit, 0x0000FF), TBitmap(20, 10, pf24bit, clBlack), "#1", 100, TPoint{5, 5});
    Image.SetHistory(&History);
    History.AddUndoRectStep(Image.Layers[1], TRect{0, 0, 10, 10}, "Flou", uwImage);
  }
  ~Document() { Image.SetHistory(nullptr); }
};

}  // namespace

TEST(ImageInfo, NewAndSavedDocuments) {
  ResetTextTable();
  SetText(TextId::GetTrFmtFileDate, "yyyy");
  Document doc;
  // 15000 + 600 + 600 bytes of layers, 300 more in the history.
  EXPECT_EQ(LayersMemory(doc.Image), 16200);
  EXPECT_EQ(HistoryMemory(doc.History), 300);
  TImageInfoRequest request;
  request.IsNew = true;
  request.Now = 1118836800;  // mid-June 2005 in every time zone
  EXPECT_EQ(BuildImageInfo(doc.Image, &doc.History, request),
            "Nom de l'image : <non enregistré>\rDossier : <non enregistré>\r"
            "Dimensions : 100 x 50 pixels ==> 3.53 x 1.76 cm  (72.00 dpi)\rNombre de couleurs : 2\r\r"
            "Taille du fichier : \rDate : 2005\r\rTaille en mémoire : 15.82 Ko\r"
            "Taille totale en mémoire avec l'historique : 16.11 Ko");

  // A saved file: its name, folder, size and date; inches at 300 dpi.
  test::TempFolder tmp("info");
  const std::string file = tmp.Write("photo.qxi", std::string(2048, 'x'));
  ASSERT_TRUE(SetFileDateByName(file, 1118836800));
  doc.Image.ResolutionX = doc.Image.ResolutionY = 300;
  request = TImageInfoRequest{file, false, 1, 0};
  EXPECT_EQ(BuildImageInfo(doc.Image, nullptr, request),
            "Nom de l'image : photo.qxi\rDossier : " + tmp.Path.string() +
                "\rDimensions : 100 x 50 pixels ==> 0.33 x 0.17 pouces  (300.00 dpi)\rNombre de couleurs : 2\r\r"
                "Taille du fichier : 2.00 Ko\rDate : 2005\r\rTaille en mémoire : 15.82 Ko\r"
                "Taille totale en mémoire avec l'historique : 15.82 Ko");
  ResetTextTable();
}
