// .8bf filters through the tests' bridge in the real editor: their menus by category,
// a run as one undo step with the mask, the arguments the bridge receives, the folder
// and the floating-point environment given back on every path, the copy kernels
// against a plain reference.
#include <gtest/gtest.h>

#include <QMenu>
#include <cfenv>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "document/LayerOps.h"
#include "document/Undo.h"
#include "extensions/Plugin8bf.h"
#include "extensions/PluginTestSupport.h"
#include "pixel/ImgUtils.h"

using namespace qm;
using namespace qm::test;

namespace {

std::vector<std::string> Filters(PluginEditor& e) {
  std::vector<std::string> f;
  for (const T8bfEntry& x : e.Host->Filters8bf()) f.push_back(x.Category + "/" + x.Name);
  return f;
}

QAction* Filter(PluginEditor& e, const std::string& name) {
  const auto& filters = e.Host->Filters8bf();
  for (size_t i = 0; i < filters.size(); ++i)
    if (filters[i].Name == name) return e.Commands().Filter8bfItems()[i];
  ADD_FAILURE() << name;
  return nullptr;
}

// A background with a mask of three bands: shown (0), half (100), hidden (255).
TNewImgForm& MaskedDocument(PluginEditor& e) {
  TNewImgForm& doc = e.OpenPicture(Photo(50, 40));
  TBitmap& mask = doc.Image().Layers[0].Mask;
  mask = TBitmap(50, 40, pf24bit, clBlack);
  mask.FillRect(TRect{0, 15, 50, 25}, RGB(100, 100, 100));
  mask.FillRect(TRect{0, 25, 50, 40}, RGB(255, 255, 255));
  doc.Selection().SetShape(ssRect);
  doc.Selection().SetSelectionRect(TRect{10, 10, 30, 30});
  doc.Selection().Show();
  e.Form->UpdateCommandStates();
  return doc;
}

}  // namespace

TEST(Plugin8bf, FiltersStandInTheirCategoriesSortedAlike) {
  PluginEditor e;
  e.InstallBridge();
  e.Write8bf("filtres/a.8bf", "Blur|Flou doux|invert\n");
  e.Write8bf("filtres/b.8bf", "blur|Flou dur|mask\n");
  e.Write8bf("c.8bf", "|Sans catégorie|invert\n");
  e.Write8bf("filtres/sous/d.8bf", "\t Essais \t|  Rater |fail\nEssais|Sonde|probe\n");
  e.Write8bf("ignore.txt", "Blur|Pas un filtre|invert\n");
  TMainForm& form = e.Start();
  ASSERT_TRUE(e.Host->Is8bfModulePresent());
  EXPECT_EQ(Filters(e), (std::vector<std::string>{"Blur/Flou doux", "blur/Flou dur", "Essais/Rater", "Essais/Sonde",
                                                  "/Sans catégorie"}));
  // "Blur" and "blur" sort alike but are two sub-menus; no category, no sub-menu.
  QMenu* menu = form.Commands().Menu("Menu8bfFiltre");
  std::vector<std::string> entries;
  for (QAction* a : menu->actions()) entries.push_back((a->menu() ? "> " : "") + a->text().toStdString());
  EXPECT_EQ(entries, (std::vector<std::string>{"> Blur", "> blur", "> Essais", "Sans catégorie"}));
  EXPECT_EQ(menu->actions()[2]->menu()->actions().size(), 2);
  EXPECT_TRUE(form.Commands().Action("Menu8bfFiltre")->isVisible());
}

TEST(Plugin8bf, WithoutTheBridgeNoMenu) {
  PluginEditor e;
  e.Write8bf("a.8bf", "Blur|Flou|invert\n");
  TMainForm& form = e.Start();
  EXPECT_FALSE(e.Host->Is8bfModulePresent());
  EXPECT_TRUE(e.Host->Filters8bf().empty());
  EXPECT_FALSE(form.Commands().Action("Menu8bfFiltre")->isVisible());
  EXPECT_EQ(Probe().BridgeLoads, 0);
}

TEST(Plugin8bf, ARunIsOneStepWithTheMaskAndFailuresLeaveNone) {
  PluginEditor e;
  e.InstallBridge();
  e.Write8bf("a.8bf", "Essais|Inverser|invert\n");
  e.Write8bf("b.8bf", "Essais|Masquer|mask\n");
  e.Write8bf("c.8bf", "Essais|Rater|fail\n");
  e.Start();
  TNewImgForm& doc = MaskedDocument(e);
  TLayerItem& layer = doc.Image().Layers[0];
  const LayerState before(layer);
  TShellServices& services = e.Services();

  Filter(e, "Inverser")->trigger();
  EXPECT_EQ(doc.History().GetUndoStepCount(), 1);
  EXPECT_EQ(doc.History().GetCurrentUndoStep()->Name, "Inverser");
  EXPECT_EQ(services.Operations().RepeatableCaption(), "Inverser");
  EXPECT_FALSE(services.IsBusy());
  EXPECT_EQ(layer.Image.ScanLine(12)[12 * 3], uint8_t(255 - before.Image[size_t(12 * 50 + 12) * 3]));
  EXPECT_EQ(layer.Image.ScanLine(5)[5 * 3], before.Image[size_t(5 * 50 + 5) * 3]);  // outside the selection
  EXPECT_EQ(Pixels(layer.Mask), before.Mask);  // 255 went as 254 and came back lower
  services.UndoCommand(nullptr);
  EXPECT_TRUE(LayerState(layer) == before);

  // The mask takes the larger of its value and the filter's.
  Filter(e, "Masquer")->trigger();
  EXPECT_EQ(layer.Mask.ScanLine(12)[12 * 3], 200);
  EXPECT_EQ(layer.Mask.ScanLine(20)[12 * 3], 200);
  EXPECT_EQ(layer.Mask.ScanLine(27)[12 * 3], 255);
  EXPECT_EQ(layer.Mask.ScanLine(5)[5 * 3], 0);
  EXPECT_EQ(Pixels(layer.Image), before.Image);
  services.UndoCommand(nullptr);
  EXPECT_TRUE(LayerState(layer) == before);

  // A failure changes nothing and leaves no step.
  Filter(e, "Rater")->trigger();
  EXPECT_TRUE(LayerState(layer) == before);
  EXPECT_EQ(doc.History().GetCurrentUndoStep(), nullptr);
  EXPECT_FALSE(services.IsBusy());
}

TEST(Plugin8bf, TheBridgeGetsItsArgumentsAndEveryPathGivesTheFolderAndFloatingPointBack) {
  PluginEditor e;
  e.InstallBridge();
  e.Write8bf("filtres/p.8bf", "Essais|Sonde|probe\n");
  e.WriteSettings("[Tools]\nColor1=#102030\nColor2=#A0B0C0\n");
  e.Start();
  TNewImgForm& doc = MaskedDocument(e);
  TLayerItem& layer = doc.Image().Layers[0];
  const LayerState before(layer);
  const std::filesystem::path home = std::filesystem::current_path();
  const std::string folder = std::filesystem::canonical(e.Folder + "/filtres").string();

  std::feclearexcept(FE_ALL_EXCEPT);
  std::feraiseexcept(FE_INEXACT);
  bool ran = false;
  Probe().Run8bf = [&](const Qxl8bfImage* in, Qxl8bfImage* out, const char* file, Qxl8bfAbortFn abort,
                       Qxl8bfProgressFn progress, uint64_t window, uint32_t background, uint32_t foreground,
                       Qxl8bfPickColorFn pick, const intptr_t reserved[6], int32_t rgba) -> int32_t {
    ran = true;
    EXPECT_EQ(in->Width, 20);
    EXPECT_EQ(in->Height, 20);
    EXPECT_EQ(in->RowPixels, 20);
    EXPECT_EQ(out->Width, 20);
    EXPECT_TRUE(std::all_of(out->Pixels, out->Pixels + 20 * 20 * 4, [](uint8_t v) { return v == 0; }));
    const uint8_t* p = in->Pixels;  // (10, 10) of the layer, its mask 0
    EXPECT_EQ(p[0], layer.Image.ScanLine(10)[30]);
    EXPECT_EQ(p[3], 0);
    EXPECT_EQ(in->Pixels[(17 * 20) * 4 + 3], 254);  // (10, 27): 255 sent as 254
    EXPECT_EQ(in->Pixels[(7 * 20) * 4 + 3], 100);
    EXPECT_EQ(std::filesystem::canonical(file).string(), folder + "/p.8bf");
    EXPECT_EQ(std::filesystem::canonical(std::filesystem::current_path()).string(), folder);
    EXPECT_EQ(abort(), 0);
    EXPECT_EQ(window, 0u);  // no X11 window here
    EXPECT_EQ(foreground, 0x102030u);
    EXPECT_EQ(background, 0xA0B0C0u);
    EXPECT_TRUE(pick);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(reserved[i], 0) << i;
    EXPECT_EQ(rgba, 1);
    // Every exception masked and none pending.
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
#if defined(__GLIBC__)
    EXPECT_EQ(fegetexcept(), 0);
#endif
    progress(0, 1);
    EXPECT_TRUE(e.Services().IsBusy());
    progress(1, 1);
    EXPECT_FALSE(e.Services().IsBusy());
    // What a filter may leave behind.
    std::feraiseexcept(FE_DIVBYZERO);
    std::filesystem::current_path("/");
    std::copy(in->Pixels, in->Pixels + 20 * 20 * 4, out->Pixels);
    return 0;
  };
  QAction* probe = Filter(e, "Sonde");
  probe->trigger();
  ASSERT_TRUE(ran);
  EXPECT_EQ(std::filesystem::current_path(), home);
  EXPECT_EQ(std::fetestexcept(FE_DIVBYZERO), 0);
  EXPECT_NE(std::fetestexcept(FE_INEXACT), 0);
  EXPECT_TRUE(LayerState(layer) == before);  // the pixels came back as they went
  EXPECT_EQ(doc.History().GetUndoStepCount(), 1);

  // A bridge that throws: the folder and the environment come back all the same, no step.
  Probe().Run8bf = [&](const Qxl8bfImage*, Qxl8bfImage*, const char*, Qxl8bfAbortFn, Qxl8bfProgressFn, uint64_t,
                       uint32_t, uint32_t, Qxl8bfPickColorFn, const intptr_t*, int32_t) -> int32_t {
    std::feraiseexcept(FE_OVERFLOW);
    std::filesystem::current_path("/");
    throw std::runtime_error("le filtre a échoué");
  };
  probe->trigger();
  EXPECT_EQ(std::filesystem::current_path(), home);
  EXPECT_EQ(std::fetestexcept(FE_OVERFLOW), 0);
  EXPECT_EQ(doc.History().Current(), 0);
  EXPECT_FALSE(e.Messages.empty());
  EXPECT_FALSE(e.Services().IsBusy());
  std::feclearexcept(FE_ALL_EXCEPT);
}

TEST(Plugin8bf, WithoutRgbaTheMaskStaysHomeAndAWorkAreaOffTheLayerLoadsNothing) {
  PluginEditor e;
  e.InstallBridge();
  e.Write8bf("p.8bf", "Essais|Sonde|probe\n");
  e.WriteSettings("[Plugins]\n8bfMode=0\n");
  e.Start();
  TNewImgForm& doc = MaskedDocument(e);
  int32_t sent = -1;
  Probe().Run8bf = [&](const Qxl8bfImage* in, Qxl8bfImage*, const char*, Qxl8bfAbortFn, Qxl8bfProgressFn, uint64_t,
                       uint32_t, uint32_t, Qxl8bfPickColorFn, const intptr_t*, int32_t rgba) -> int32_t {
    sent = rgba;
    EXPECT_EQ(in->Pixels[(17 * 20) * 4 + 3], 0);
    return 0;
  };
  Filter(e, "Sonde")->trigger();
  EXPECT_EQ(sent, 0);
  ASSERT_EQ(doc.History().GetUndoStepCount(), 1);
  EXPECT_EQ(GetUndoStepParam(*doc.History().GetCurrentUndoStep(), upKind), ukWorkRect);

  // A small layer the selection misses: nothing to run on, the bridge not even loaded.
  TBitmap small(10, 8);
  ASSERT_GE(AddLayerFromBitmap(e.Services().LayerHost(), "#1", small, nullptr, TPoint{0, 0}), 1);
  e.Form->UpdateCommandStates();
  const int loads = Probe().BridgeLoads;
  const int steps = doc.History().GetUndoStepCount();
  sent = -1;
  Filter(e, "Sonde")->trigger();
  EXPECT_EQ(sent, -1);
  EXPECT_EQ(Probe().BridgeLoads, loads);
  EXPECT_EQ(doc.History().GetUndoStepCount(), steps);
}

TEST(Plugin8bf, TheCopiesMatchAPlainReference) {
  std::mt19937 random(45);
  for (int round = 0; round < 20; ++round) {
    const int w = 1 + int(random() % 40), h = 1 + int(random() % 30);
    TBitmap layer(w, h), mask(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w * 3; ++x) {
        layer.ScanLine(y)[x] = uint8_t(random());
        mask.ScanLine(y)[x] = uint8_t(random() % 3 == 0 ? 255 : random());
      }
    const int l = int(random() % w), t = int(random() % h);
    const TRect r{l, t, l + 1 + int(random() % (w - l)), t + 1 + int(random() % (h - t))};
    const bool withMask = round % 2 == 0;
    std::vector<uint8_t> buffer(size_t(r.Width()) * r.Height() * 4, 99);
    Copy8bfIn(layer, withMask ? &mask : nullptr, r, buffer.data());
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        const uint8_t* b = &buffer[(size_t(y - r.Top) * r.Width() + (x - r.Left)) * 4];
        for (int c = 0; c < 3; ++c) ASSERT_EQ(b[c], layer.ScanLine(y)[x * 3 + c]);
        ASSERT_EQ(b[3], withMask ? std::min<int>(mask.ScanLine(y)[x * 3], 254) : 0);
      }
    // Back: the colours as the filter left them, the mask raised to the fourth byte.
    for (uint8_t& v : buffer) v = uint8_t(random());
    TBitmap layerBack = layer.Clone(), maskBack = mask.Clone();
    Copy8bfOut(buffer.data(), layerBack, withMask ? &maskBack : nullptr, r);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool inside = PtInRect(r, TPoint{x, y});
        const uint8_t* b = inside ? &buffer[(size_t(y - r.Top) * r.Width() + (x - r.Left)) * 4] : nullptr;
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(layerBack.ScanLine(y)[x * 3 + c], inside ? b[c] : layer.ScanLine(y)[x * 3 + c]);
        const uint8_t m = mask.ScanLine(y)[x * 3];
        const uint8_t expected = inside && withMask && m < b[3] ? b[3] : m;
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(maskBack.ScanLine(y)[x * 3 + c], expected == m ? mask.ScanLine(y)[x * 3 + c] : expected);
      }
  }
}
