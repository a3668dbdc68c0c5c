// The host record and its callbacks, driven from inside real modules (the probes hand
// the record to the test) in the real editor: what each callback answers and changes,
// its refusals, and that whatever a run writes is what its one undo step gives back.
#include <gtest/gtest.h>

#include <QTest>
#include <cstring>
#include <stdexcept>

#include "document/LayerOps.h"
#include "document/Undo.h"
#include "extensions/PluginTestSupport.h"
#include "views/SelectionControl.h"

using namespace qm;
using namespace qm::test;

namespace {

// A bitmap of the plug-in's own memory.
struct PluginBitmap {
  std::vector<uint8_t> Pixels;
  QxlBitmap B{};
  PluginBitmap(int w, int h, uint8_t fill = 0) : Pixels(size_t(std::max(w, 0)) * std::max(h, 0) * 3 + 1, fill) {
    B.Size = sizeof B;
    B.Width = w;
    B.Height = h;
    B.Stride = w * 3;
    B.Bits = Pixels.data();
  }
  QxlBitmap* operator&() { return &B; }
  uint8_t* At(int x, int y) { return Pixels.data() + size_t(y) * B.Stride + size_t(x) * 3; }
};

// Runs a plug-in from its menu item with the body as its Execute; false when it did
// not run.
bool Drive(PluginEditor& e, const std::string& command, std::function<int32_t(QxlPluginHost*)> body) {
  bool ran = false;
  Probe().Execute = [&](QxlPluginHost* host, const std::string&) {
    ran = true;
    return body(host);
  };
  QAction* item = e.Item(command);
  EXPECT_TRUE(item) << command;
  if (item) item->trigger();
  Probe().Execute = {};
  return ran;
}

constexpr const char* kProbe = "Sonder l'image";
constexpr const char* kTool = "Sonder sans image";

}  // namespace

TEST(PluginCallbacks, TheRecordCarriesTheDocumentTheLevelAndTheLanguage) {
  PluginEditor e;
  e.Install({"probe", "level1", "nolevel", "tool", "fulltexts"});
  TMainForm& form = e.Start();
  // Without a document: a tool runs; nothing of an image.
  ASSERT_TRUE(Drive(e, kTool, [&](QxlPluginHost* h) {
    EXPECT_EQ(h->ImageOpen, 0);
    EXPECT_EQ(h->Image.Width, 0);
    EXPECT_EQ(h->DocumentCount, 0);
    EXPECT_EQ(h->GetColorCount(h), -1);
    EXPECT_EQ(h->GetResolution(h), 0);
    EXPECT_EQ(h->GetImageKind(h), 0);
    EXPECT_EQ(h->GetTransparentColor(h), QXL_NO_COLOR);
    PluginBitmap b(4, 4);
    EXPECT_EQ(h->GetWorkArea(h, &b), QXL_REFUSED);
    EXPECT_EQ(h->SetImageFileName(h, "x.bmp"), QXL_REFUSED);
    return 0;
  }));

  TNewImgForm& doc = e.OpenPicture(Photo(200, 150));
  doc.Selection().SetShape(ssRect);
  doc.Selection().SetSelectionRect(TRect{20, 10, 120, 90});
  doc.Selection().Show();
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    EXPECT_EQ(h->Size, sizeof(QxlPluginHost));
    EXPECT_EQ(h->Version, uint32_t(QXL_PLUGIN_API_VERSION));
    EXPECT_EQ(h->Level, 4);
    EXPECT_EQ(h->ImageOpen, -1);
    EXPECT_EQ(h->SelectionActive, -1);
    EXPECT_EQ(std::vector<int32_t>(h->WorkRect, h->WorkRect + 4), (std::vector<int32_t>{20, 10, 120, 90}));
    EXPECT_EQ(std::vector<int32_t>(h->ImageRect, h->ImageRect + 4), (std::vector<int32_t>{0, 0, 200, 150}));
    EXPECT_EQ(h->MainWidget, static_cast<void*>(&form));
    EXPECT_STREQ(h->LanguageCode, "FR");
    EXPECT_STREQ(h->LanguageName, "Français");
    EXPECT_EQ(h->DocumentCount, 1);
    EXPECT_TRUE(h->ShowPluginWindow && h->GetWorkAreaMask && h->GetLayerPosition);
    return 0;
  }));
  // A plug-in of level 1, or without the entry that says, sees nothing above level 1.
  ASSERT_TRUE(Drive(e, "Test", [&](QxlPluginHost* h) {
    EXPECT_EQ(h->Level, 1);
    EXPECT_TRUE(h->ShowBusy && h->EnumImages);
    for (const void* above : {(const void*)h->ShowPluginWindow, (const void*)h->GetBitmapScanLine,
                              (const void*)h->GetWorkAreaMask, (const void*)h->GetSelectionPoints,
                              (const void*)h->GetLayerRect, (const void*)h->GetLayerPosition})
      EXPECT_EQ(above, nullptr);
    return 0;
  }));
  EXPECT_EQ(e.Host->Plugins().size(), 5u);

  // Texts that fill their fields are read within them, never half a character.
  for (const TPluginEntry& p : e.Host->Plugins())
    if (p.NameText == "Textes pleins|Test") {
      std::string x64;
      for (int i = 0; i < 8; ++i) x64 += "abcdefgh";
      EXPECT_EQ(p.VersionText, x64);
      EXPECT_EQ(p.Author.size(), 63u);
      EXPECT_EQ(p.Comment.size(), 256u);
    }
}

TEST(PluginCallbacks, TextsFitTheirBuffersAndPointsTheirArray) {
  PluginEditor e;
  e.Install({"probe"});
  e.Start();
  TNewImgForm& doc = e.OpenPicture(Photo(80, 60));
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    // At most size - 1 bytes and the terminator: the byte after the buffer stays.
    char buffer[9];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(h->SetImageFileName(h, "ab/é-long.bmp"), QXL_DONE);
    EXPECT_EQ(h->GetImageFileName(h, buffer, 8), buffer);
    EXPECT_STREQ(buffer, "ab/é-l");
    EXPECT_EQ(buffer[8], '#');
    EXPECT_EQ(h->GetImageFileName(h, buffer, 5), buffer);  // "é" would be cut in two
    EXPECT_STREQ(buffer, "ab/");
    EXPECT_EQ(h->GetImageFileName(h, buffer, 1), buffer);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(h->GetImageFileName(h, nullptr, 8), nullptr);
    EXPECT_EQ(h->SetImageFileName(h, ""), QXL_REFUSED);
    char folder[4096];
    EXPECT_EQ(std::string(h->GetPluginFolder(h, folder, sizeof folder)), e.Folder + "/");
    EXPECT_EQ(std::string(h->GetSettingsFileName(h, folder, sizeof folder)), e.SettingsFile());
    for (auto get : {h->GetProgramFolder, h->GetOpenFolder, h->GetPluginFolder})
      EXPECT_EQ(std::string(get(h, folder, sizeof folder)).back(), '/');
    return 0;
  }));
  EXPECT_EQ(doc.FileName(), "ab/é-long.bmp");

  // The points of a polygon: as many as the array holds, the count answered.
  TSelectionControl& sel = doc.Selection();
  sel.Shape.Clear();
  sel.Shape.Points = {{0, 0}, {30, 0}, {30, 20}, {15, 30}, {0, 20}};
  sel.SetShape(ssPolygon);
  sel.SetSelectionRect(TRect{10, 10, 41, 41});
  sel.Show();
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    int32_t points[10];
    std::fill(std::begin(points), std::end(points), -7);
    EXPECT_EQ(h->GetSelectionPoints(h, points, 3), 5);
    EXPECT_EQ(std::vector<int32_t>(points, points + 6), (std::vector<int32_t>{0, 0, 30, 0, 30, 20}));
    EXPECT_EQ(points[6], -7);
    EXPECT_EQ(h->GetSelectionPoints(h, nullptr, 0), 5);
    return 0;
  }));
  sel.SetShape(ssEllipse);
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    EXPECT_EQ(h->GetSelectionPoints(h, nullptr, 0), -2);
    return 0;
  }));
  sel.Hide();
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    EXPECT_EQ(h->GetSelectionPoints(h, nullptr, 0), 0);
    return 0;
  }));
}

TEST(PluginCallbacks, TheWorkAreaIsClippedToAnOffsetSmallerLayer) {
  PluginEditor e;
  e.Install({"probe"});
  e.Start();
  TNewImgForm& doc = e.OpenPicture(Photo(200, 150));
  TLayerHost& host = e.Services().LayerHost();
  TBitmap mask(60, 30, pf24bit, clBlack);
  mask.FillRect(TRect{0, 0, 10, 30}, RGB(255, 255, 255));
  ASSERT_GE(AddLayerFromBitmap(host, "#1", Photo(60, 30), &mask, TPoint{170, 130}), 1);
  // The selection reaches past the layer on every side but one.
  doc.Selection().SetShape(ssRect);
  doc.Selection().SetSelectionRect(TRect{150, 120, 200, 150});
  doc.Selection().Show();
  e.Form->UpdateCommandStates();
  TLayerItem& layer = *doc.Image().GetActiveLayer();
  const LayerState before(layer);
  const int steps = doc.History().GetUndoStepCount();
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    EXPECT_EQ(std::vector<int32_t>(h->WorkRect, h->WorkRect + 4), (std::vector<int32_t>{0, 0, 30, 20}));
    PluginBitmap unclipped(50, 30), area(30, 20), mask(30, 20);
    EXPECT_EQ(h->GetWorkArea(h, &unclipped), QXL_REFUSED);
    EXPECT_EQ(h->GetWorkArea(h, &area), QXL_DONE);
    EXPECT_EQ(*area.At(29, 19), layer.Image.ScanLine(19)[29 * 3]);
    for (uint8_t& v : area.Pixels) v = uint8_t(255 - v);
    EXPECT_EQ(h->SetWorkArea(h, &area, 1), QXL_DONE);
    EXPECT_EQ(h->GetWorkAreaLayerMask(h, &mask), QXL_DONE);
    EXPECT_EQ(*mask.At(0, 0), 0);  // 255 hides: the plug-ins see it inverted
    EXPECT_EQ(*mask.At(20, 0), 255);
    std::fill(mask.Pixels.begin(), mask.Pixels.end(), 128);
    EXPECT_EQ(h->SetWorkAreaLayerMask(h, &mask), QXL_DONE);
    int32_t r[4], p[2];
    h->GetLayerRect(h, r);
    EXPECT_EQ(std::vector<int32_t>(r, r + 4), (std::vector<int32_t>{170, 130, 230, 160}));
    EXPECT_EQ(h->GetLayerPosition(h, p), QXL_DONE);
    EXPECT_EQ(p[0], 170);
    EXPECT_EQ(h->GetImageKind(h), 3);
    return 1;
  }));
  EXPECT_EQ(layer.Image.ScanLine(19)[29 * 3], uint8_t(255 - before.Image[size_t(19 * 60 + 29) * 3]));
  EXPECT_EQ(layer.Mask.ScanLine(0)[0], 127);
  EXPECT_EQ(layer.Mask.ScanLine(25)[0], 255);  // outside the work area
  ASSERT_EQ(doc.History().GetUndoStepCount(), steps + 1);
  e.Services().UndoCommand(nullptr);
  EXPECT_TRUE(LayerState(layer) == before);
}

TEST(PluginCallbacks, WritesBeyondTheWorkAreaStayWhatUndoGivesBack) {
  PluginEditor e;
  e.Install({"probe", "compat71"});
  e.Start();
  TNewImgForm& doc = e.OpenPicture(Photo(90, 70));
  TLayerItem& background = doc.Image().Layers[0];
  background.Mask = TBitmap(90, 70, pf24bit, clBlack);
  background.Mask.FillRect(TRect{0, 0, 90, 10}, RGB(40, 40, 40));
  doc.Selection().SetShape(ssRect);
  doc.Selection().SetSelectionRect(TRect{30, 20, 50, 40});
  doc.Selection().Show();
  const LayerState before(background);
  const int steps = e.Services().GetActiveHistory()->GetUndoStepCount();
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    PluginBitmap whole(90, 70, 9), mask(90, 70, 200), other(40, 40);
    EXPECT_EQ(h->SetLayerBitmap(h, &whole), QXL_DONE);
    EXPECT_EQ(h->SetLayerMask(h, &mask), QXL_DONE);
    EXPECT_EQ(h->BlendWithBackup(h, 50), QXL_DONE);
    EXPECT_EQ(h->StrokeSelection(h, 3, RGB(255, 0, 0), 1), QXL_DONE);
    int32_t out[4];
    h->ResnapUndoArea(h, out, -10, -10, 10, 10);
    EXPECT_EQ(std::vector<int32_t>(out, out + 4), (std::vector<int32_t>{0, 0, 10, 10}));
    // Refused: a rectangle step cannot give back another size, an alpha channel's
    // neither, nor a bad percent.
    EXPECT_EQ(h->SetImage(h, &other), QXL_REFUSED);
    EXPECT_EQ(h->BlendWithBackup(h, 101), QXL_REFUSED);
    return 1;
  }));
  EXPECT_FALSE(LayerState(background) == before);
  ASSERT_EQ(e.Services().GetActiveHistory()->GetUndoStepCount(), steps + 1);
  e.Services().UndoCommand(nullptr);
  EXPECT_TRUE(LayerState(background) == before);

  // An image plug-in's step holds the whole background: it may take another size.
  background.Mask = TBitmap();
  doc.Selection().Hide();
  e.Form->UpdateCommandStates();
  const LayerState opaque(background);
  ASSERT_TRUE(Drive(e, "Test", [&](QxlPluginHost* h) {
    PluginBitmap other(40, 30, 77);
    EXPECT_EQ(h->SetImage(h, &other), QXL_DONE);
    return 1;
  }));
  EXPECT_EQ(background.Image.Width(), 40);
  EXPECT_EQ(doc.Image().ImageRect(), (TRect{0, 0, 40, 30}));
  e.Services().UndoCommand(nullptr);
  EXPECT_EQ(background.Image.Width(), 90);
  EXPECT_TRUE(LayerState(background) == opaque);
}

TEST(PluginCallbacks, ImagePropertiesAndTheirRefusals) {
  PluginEditor e;
  e.Install({"probe"});
  e.Start();
  TNewImgForm& doc = e.OpenPicture(Photo(50, 40));
  doc.Image().ResolutionX = doc.Image().ResolutionY = 96;
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    EXPECT_EQ(h->SetColorCount(h, 300), 16777216);
    EXPECT_EQ(h->SetColorCount(h, 1), 16777216);
    EXPECT_EQ(h->SetColorCount(h, 256), 256);
    EXPECT_EQ(h->GetColorCount(h), 256);
    EXPECT_EQ(h->GetImageKind(h), 1);
    // A resolution printing and the image information divide by: refused at 0 or less.
    EXPECT_EQ(h->GetResolution(h), 96000);
    EXPECT_EQ(h->SetResolution(h, 0), 0);
    EXPECT_EQ(h->SetResolution(h, -300), 0);
    EXPECT_EQ(h->GetResolution(h), 96000);
    EXPECT_EQ(h->SetResolution(h, 300500), 300500);
    EXPECT_EQ(h->GetTransparentColor(h), QXL_NO_COLOR);
    EXPECT_EQ(h->SetTransparentColor(h, RGB(1, 2, 3)), QXL_DONE);
    EXPECT_EQ(h->GetTransparentColor(h), RGB(1, 2, 3));
    EXPECT_EQ(h->SetMainWindowState(h, 7), -1);
    EXPECT_EQ(h->SetMainWindowState(h, -1), -1);
    // A native window that is not shown (modal 0, and no X11 here): the lock alone.
    h->ShowPluginWindow(h, 0x1234, 1, 1, 0);
    EXPECT_EQ(e.Services().ShellLock(), e.Form.get());
    EXPECT_TRUE(e.Form->isEnabled());
    EXPECT_EQ(h->DetachBitmapHandle(h, nullptr), 0);
    // Bitmaps the host makes.
    QxlBitmap made{};
    made.Size = sizeof made;
    made.Width = 10;
    made.Height = 5;
    EXPECT_EQ(h->CreateBitmap(h, &made), 1);
    EXPECT_GE(made.Stride, 30);
    EXPECT_EQ(made.Row, made.Bits);
    EXPECT_EQ(h->GetBitmapScanLine(h, &made, 4), made.Bits + 4 * made.Stride);
    EXPECT_EQ(made.Row, made.Bits + 4 * made.Stride);
    EXPECT_EQ(h->GetBitmapScanLine(h, &made, 5), nullptr);
    EXPECT_EQ(h->FreeBitmap(h, &made), 1);
    EXPECT_EQ(made.Host, nullptr);
    EXPECT_EQ(h->FreeBitmap(h, &made), 0);
    made.Width = 0;
    EXPECT_EQ(h->CreateBitmap(h, &made), 0);
    return 1;
  }));
  EXPECT_EQ(e.Services().ShellLock(), nullptr);
  EXPECT_EQ(doc.Image().ColorCount, 256);
  EXPECT_EQ(doc.Image().ResolutionX, 300.5);
  EXPECT_TRUE(doc.Image().Layers[0].Image.Transparent);
  e.Services().UndoCommand(nullptr);
  EXPECT_EQ(doc.Image().ColorCount, 16777216);
  EXPECT_EQ(doc.Image().ResolutionX, 96);
  EXPECT_FALSE(doc.Image().Layers[0].Image.Transparent);

  // With a second layer: neither the colour count nor the transparent colour.
  e.AddLayer(30);
  doc.Image().SetActiveLayerIndex(0);
  e.Form->UpdateCommandStates();
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    EXPECT_EQ(h->SetColorCount(h, 16), 0);
    EXPECT_EQ(h->SetTransparentColor(h, RGB(1, 2, 3)), QXL_REFUSED);
    return 0;
  }));
}

TEST(PluginCallbacks, SelectionsToAndFromMasks) {
  PluginEditor e;
  e.Install({"probe"});
  e.Start();
  TNewImgForm& doc = e.OpenPicture(Photo(80, 60));
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    PluginBitmap mask(80, 60), area(80, 60);
    EXPECT_EQ(h->GetSelectionMask(h, &mask), QXL_DONE);  // no selection: all selected
    EXPECT_EQ(*mask.At(79, 59), 255);
    EXPECT_EQ(h->GetWorkAreaMask(h, &area), QXL_DONE);
    // A block of the plug-in's mask becomes a traced selection; its bitmap stays as it is.
    PluginBitmap from(80, 60);
    for (int y = 40; y < 50; ++y) std::memset(from.At(30, y), 255, 20 * 3);
    const std::vector<uint8_t> sent = from.Pixels;
    EXPECT_EQ(h->SetSelectionFromMask(h, &from, 0), QXL_DONE);
    EXPECT_EQ(from.Pixels, sent);
    PluginBitmap empty(80, 60);
    EXPECT_EQ(h->SetSelectionFromMask(h, &empty, 0), QXL_REFUSED);
    PluginBitmap small(10, 10);
    EXPECT_EQ(h->SetSelectionFromMask(h, &small, 0), QXL_REFUSED);
    return 0;
  }));
  TSelectionControl& sel = doc.Selection();
  EXPECT_TRUE(sel.Visible);
  EXPECT_EQ(sel.ShapeKind, ssMultiPoints);
  EXPECT_EQ(sel.SelRect, (TRect{30, 40, 50, 50}));
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    PluginBitmap mask(80, 60);
    EXPECT_EQ(h->GetSelectionMask(h, &mask), QXL_DONE);
    EXPECT_EQ(*mask.At(35, 45), 255);
    EXPECT_EQ(*mask.At(5, 5), 0);
    EXPECT_EQ(h->GetSelectionPoints(h, nullptr, 0), 0);  // a traced outline has no points to give
    return 0;
  }));
}

TEST(PluginCallbacks, DisplayOnlyShowsThePluginsPictureUntilItEnds) {
  PluginEditor e;
  e.Install({"probe"});
  e.Start();
  TNewImgForm& doc = e.OpenPicture(Photo(30, 20));
  const std::vector<uint8_t> layer = Pixels(doc.Image().Layers[0].Image);
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    h->SetDisplayOnly(h, 1);
    PluginBitmap shown(30, 20, 50), composed(30, 20);
    EXPECT_EQ(h->SetImage(h, &shown), QXL_DONE);
    EXPECT_EQ(Pixels(doc.Image().ComposedBitmap()), std::vector<uint8_t>(30 * 20 * 3, 50));
    EXPECT_EQ(h->GetImage(h, &composed), QXL_DONE);  // the layers, not what is shown
    EXPECT_EQ(std::vector<uint8_t>(composed.Pixels.begin(), composed.Pixels.end() - 1), layer);
    PluginBitmap other(10, 10);
    EXPECT_EQ(h->SetImage(h, &other), QXL_REFUSED);
    return 0;  // left on: the run's end switches it off
  }));
  EXPECT_FALSE(doc.Image().SuspendComposition);
  EXPECT_EQ(Pixels(doc.Image().Layers[0].Image), layer);
  EXPECT_EQ(Pixels(doc.Image().UpdatedComposition()), layer);
}

TEST(PluginCallbacks, OtherDocumentsNewOnesAndThumbnails) {
  PluginEditor e;
  e.Install({"probe"});
  e.Start();
  e.OpenPicture(Photo(30, 20), "un.bmp");
  e.OpenPicture(Photo(40, 25), "deux.bmp");
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    std::vector<std::string> seen;
    auto collect = [](void* user, const char* file, int32_t w, int32_t hh, int32_t colours, uint32_t key) -> int32_t {
      auto* s = static_cast<std::vector<std::string>*>(user);
      s->push_back(std::string(file).substr(std::string(file).rfind('/') + 1) + " " + std::to_string(w) + "x" +
                   std::to_string(hh) + " " + std::to_string(colours) + (key == QXL_NO_COLOR ? "" : " key"));
      return s->size() < 5;
    };
    EXPECT_EQ(h->EnumImages(h, collect, &seen), QXL_DONE);
    EXPECT_EQ(seen, (std::vector<std::string>{"un.bmp 30x20 16777216", "deux.bmp 40x25 16777216"}));
    auto stop = [](void*, const char*, int32_t, int32_t, int32_t, uint32_t) -> int32_t { return 0; };
    EXPECT_EQ(h->EnumImages(h, stop, nullptr), 0);
    PluginBitmap first(30, 20), wrong(40, 25), cell(64, 48);
    const std::string un = e.Home.File("un.bmp");
    EXPECT_EQ(h->GetImageByName(h, &first, un.c_str()), QXL_DONE);
    EXPECT_EQ(*first.At(3, 2), 15);  // blue of (3, 2)
    EXPECT_EQ(h->GetImageByName(h, &wrong, un.c_str()), QXL_REFUSED);
    EXPECT_EQ(h->GetImageByName(h, &first, "absent.bmp"), QXL_REFUSED);
    int32_t drawn[4] = {};
    EXPECT_EQ(h->DrawNamedImageThumbnail(h, &cell, un.c_str(), RGB(255, 255, 255), 4, 2, RGB(0, 0, 0), drawn), QXL_DONE);
    EXPECT_GT(drawn[2] - drawn[0], 0);
    EXPECT_LE(drawn[2], 64);
    // A new document on a copy, 2 to 256 colours as asked, true colour otherwise.
    PluginBitmap made(12, 8, 90);
    EXPECT_EQ(h->NewImage(h, &made, "nouveau.bmp", 0, 16, QXL_NO_COLOR), QXL_DONE);
    EXPECT_EQ(h->DocumentCount, 2);  // the record is a snapshot taken at the start
    return 0;
  }));
  TShellServices& s = e.Services();
  ASSERT_EQ(s.Windows().Count(), 3);
  TNewImgForm& made = *s.Windows().Windows().back();
  EXPECT_EQ(made.Image().ColorCount, 16);
  EXPECT_EQ(made.Image().Layers[0].Image.Width(), 12);
}

TEST(PluginCallbacks, AFailureOrAHiddenWindowEndsWithEverythingGivenBack) {
  PluginEditor e;
  e.Install({"probe"});
  TMainForm& form = e.Start();
  TNewImgForm& doc = e.OpenPicture(Photo(40, 30));
  const std::vector<uint8_t> original = Pixels(doc.Image().Layers[0].Image);
  QWidget window;
  for (int mode : {0, 1, 2}) {
    ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) -> int32_t {
      h->ShowBusy(h, "Travail du module", 1);
      h->ShowPluginForm(h, &window, mode, 1, 0);
      EXPECT_NE(e.Services().ShellLock(), nullptr);
      EXPECT_EQ(form.isEnabled(), mode != 0);
      EXPECT_EQ(h->SetMainWindowState(h, mode == 1 ? 0 : 3), mode == 1 ? 0 : 3);
      PluginBitmap area(40, 30, 1);
      h->SetWorkArea(h, &area, 0);
      throw std::runtime_error("le module a échoué");
    }));
    EXPECT_FALSE(e.Services().IsBusy()) << mode;
    EXPECT_EQ(e.Services().ShellLock(), nullptr);
    EXPECT_TRUE(form.isEnabled());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
    EXPECT_FALSE(e.Host->IsPluginLoaded());
    EXPECT_EQ(Pixels(doc.Image().Layers[0].Image), original);
    EXPECT_EQ(doc.History().GetUndoStepCount(), 0);
  }
}

TEST(PluginCallbacks, ClosesWaitForThePluginToReturn) {
  PluginEditor e;
  e.Install({"probe"});
  TMainForm& form = e.Start();
  QPointer<TNewImgForm> doc = &e.OpenPicture(Photo(40, 30));
  ASSERT_TRUE(Drive(e, kProbe, [&](QxlPluginHost* h) {
    h->ShowBusy(h, nullptr, 0);
    h->HideBusy(h);  // whatever busy state it shows
    doc->close();
    form.close();
    QTest::qWait(10);
    EXPECT_FALSE(doc.isNull());
    EXPECT_EQ(e.Services().Windows().Count(), 1);
    EXPECT_TRUE(form.isVisible());
    return 0;
  }));
  EXPECT_EQ(e.Services().Windows().Count(), 0);
  EXPECT_FALSE(form.isVisible());
}

// A tool runs without an undo step: whatever it writes, through a callback or into the
// rows lent to it, and whatever it returns, stays and marks the document changed.
TEST(PluginCallbacks, AToolsWritesStayWithoutAStepAndMarkTheDocumentChanged) {
  PluginEditor e;
  e.Install({"tool"});
  e.Start();
  TNewImgForm& doc = e.OpenPicture(Photo(40, 30));
  ASSERT_FALSE(doc.IsImageModified());
  // Reading changes nothing.
  ASSERT_TRUE(Drive(e, kTool, [](QxlPluginHost* h) {
    PluginBitmap b(40, 30);
    EXPECT_EQ(h->GetWorkArea(h, &b), QXL_DONE);
    return QXL_DONE;
  }));
  EXPECT_FALSE(doc.IsImageModified());
  const struct {
    const char* Way;
    std::function<void(QxlPluginHost*)> Write;
  } writes[] = {
      {"rows", [](QxlPluginHost* h) { h->Image.Row(h->Image.Context, 3)[0] ^= 0xFF; }},
      {"work area", [](QxlPluginHost* h) {
         PluginBitmap b(40, 30, 7);
         EXPECT_EQ(h->SetWorkArea(h, &b, 0), QXL_DONE);
       }},
      {"resolution", [](QxlPluginHost* h) { EXPECT_EQ(h->SetResolution(h, 123000), 123000); }},
  };
  for (const auto& w : writes) {
    doc.MarkImageWindowSaved();
    const std::vector<uint8_t> before = Pixels(doc.Image().Layers[0].Image);
    ASSERT_TRUE(Drive(e, kTool, [&](QxlPluginHost* h) {
      w.Write(h);
      return 0;  // "changed nothing": a tool's writes stay all the same
    }));
    EXPECT_TRUE(doc.IsImageModified()) << w.Way;
    EXPECT_EQ(doc.History().GetUndoStepCount(), 0) << w.Way;
    if (std::string(w.Way) != "resolution") EXPECT_NE(Pixels(doc.Image().Layers[0].Image), before) << w.Way;
  }
}
