// The animated GIF editor as a user drives it over a document window: delays typed for
// all layers or one, a preview written into the editor's own folder and opened, an
// export, and the preview's files gone once the editor is hidden.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <filesystem>

#include "DocumentWorkspace.h"
#include "controls/SpinEdit.h"
#include "imagefiles/GifCodec.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "support/TempFiles.h"
#include "support/TestImages.h"
#include "views/DocumentWindow.h"
#include "views/DocumentWindowHost.h"
#include "views/GifAnimForm.h"
#include "views/ImageWindows.h"

using namespace qm;
using namespace qm::test;
namespace fs = std::filesystem;

namespace {

struct Workspace : DocumentWorkspace {
  std::vector<std::string> messages;
  Workspace() {
    SetMessageHandler([this](const std::string& text, TMsgType, int, const std::string&) {
      messages.push_back(text);
      return int(mrOk);
    });
  }
  ~Workspace() { SetMessageHandler({}); }
  TNewImgForm* Open(int layers) {
    TNewImgForm* w = DocumentWorkspace::Open(TBitmap(40, 30, pf24bit, RGB(250, 250, 250)));
    for (int i = 1; i <= layers; ++i)
      w->Image().AddLayer(TBitmap(10, 10, pf24bit, RGB(255, 0, 51 * i)), TBitmap(), "#" + std::to_string(i), 100,
                          TPoint{i * 8, 5});
    return w;
  }
};

}  // namespace

TEST(GifAnimForm, ADocumentWithoutUpperLayersIsRefused) {
  Workspace ws;
  TNewImgForm* w = ws.Open(0);
  TGifAnimForm form;
  EXPECT_FALSE(form.Open(*w, {}));
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(IsGifAnimEditorOpen());
  ASSERT_EQ(ws.messages.size(), 1u);
  EXPECT_EQ(ws.messages[0], Tr(TextId::GetTrDlgLayer3));
}

TEST(GifAnimForm, PreviewFilesLiveWhileShownAndTheExportHasTheDelaysTyped) {
  Workspace ws;
  TNewImgForm* w = ws.Open(3);
  TempFolder out;
  TGifAnimForm form;
  std::vector<QUrl> opened;
  form.OpenPage = [&](const QUrl& page) { opened.push_back(page); };
  int closed = 0;
  form.OnClosed = [&] { ++closed; };
  form.ChooseFile = [&](const TSavePictureRequest& r, std::string& f) {
    EXPECT_EQ(r.DefaultExt, ".gif");
    f = out.File("anim.gif");
    return true;
  };
  ASSERT_TRUE(form.Open(*w, out.Path.string()));
  EXPECT_TRUE(IsGifAnimEditorOpen());
  ASSERT_EQ(form.CBImages->count(), 4);  // "Toutes les images", then each layer
  EXPECT_EQ(form.CBImages->itemText(0).toStdString(), Tr(TextId::GetOeAll));

  // 40 for all, then 0 for the second layer: it gives no frame.
  form.SEDelai->setText(QStringLiteral("40"));
  form.CBImages->setCurrentIndex(2);
  EXPECT_EQ(w->Image().ActiveIndex(), 2);
  EXPECT_FALSE(form.LblDelai->isHidden());
  EXPECT_EQ(form.SEDelai->Value(), 40);
  form.SEDelai->setText(QStringLiteral("0"));
  form.CBTransp->setChecked(true);
  EXPECT_FALSE(form.CBrestoreBkg->isEnabled());

  ASSERT_TRUE(form.Preview());
  const fs::path folder = form.PreviewFolder();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(fs::path(opened[0].toLocalFile().toStdString()), folder / "HtmlTest-Quillomatic.htm");
  for (const char* f : {"GIFTest-Quillomatic.gif", "BrushTest-Quillomatic.gif", "HtmlTest-Quillomatic.htm"})
    EXPECT_TRUE(fs::exists(folder / f)) << f;
  TGifImage preview;
  ReadGifFile((folder / "GIFTest-Quillomatic.gif").string(), preview);
  ASSERT_EQ(preview.Frames.size(), 2u);
  EXPECT_EQ(preview.Frames[0].Disposal, 2);

  // An empty delay is refused with the warning.
  form.SEDelai->setText(QString());
  EXPECT_FALSE(form.Preview());
  EXPECT_EQ(ws.messages.back(), Tr(TextId::GetTrDldGlb1));
  form.SEDelai->setText(QStringLiteral("0"));

  form.CBTransp->setChecked(false);
  ASSERT_TRUE(form.Export());
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(IsGifAnimEditorOpen());
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(fs::exists(folder));  // the preview's files went with the editor
  TGifImage gif;
  ReadGifFile(out.File("anim.gif"), gif);
  ASSERT_EQ(gif.Frames.size(), 2u);
  EXPECT_EQ(gif.Frames[0].Delay, 40);
  EXPECT_EQ(gif.Frames[1].Delay, 40);
  EXPECT_EQ(gif.LoopCount, 0);
  EXPECT_EQ(form.KeptDelays(), (std::vector<int>{40, 0, 40}));

  // Shown again, the kept delays come back.
  ASSERT_TRUE(form.Open(*w, out.Path.string()));
  form.CBImages->setCurrentIndex(2);
  EXPECT_EQ(form.SEDelai->Value(), 0);
  // The editor goes with its document's window.
  ASSERT_TRUE(w->CloseImageWindow(true));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(IsGifAnimEditorOpen());
}
