// The direct filters and adjustments, run from their rows of the command table on real
// document windows, against their kernels called directly on a copy of the layer.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>
#include <new>
#include <set>

#include "document/LayerOps.h"
#include "pixel/Blend.h"
#include "pixel/Blur.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/Convolution.h"
#include "pixel/Distortion.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/Rank.h"
#include "pixel/qt/TileDraw.h"
#include "platform/core/Random.h"
#include "shell/commands/AdjustCommands.h"
#include "shell/services/CommandSet.h"
#include "shell/commands/FilterCommands.h"
#include "shell/services/ResourceTextures.h"
#include "support/ShellWindow.h"

using namespace qm;
using namespace qm::test;

namespace {

// The shell's window with the commands of the two menus attached, and one document.
struct TEditor : TShellWindow {
  TCommandSet Commands{&Main};
  TNewImgForm* Doc;

  explicit TEditor(int w = 64, int h = 48) {
    RegisterFilterCommands(Commands, *Services);
    RegisterAdjustCommands(Commands, *Services);
    Services->Hooks.ForegroundColor = [] { return TColor(0x2040E0); };
    Services->Hooks.BackgroundColor = [] { return TColor(0x10C060); };
    Services->LayerHost().SetFillPattern(RandomBitmap(5, 3, 11));
    Doc = Open("/photos/a.png", w, h);
  }
  TBitmap& Layer() { return Doc->Image().Layers[0].Image; }
  const TUndoLayerItem* Step() { return Doc->History().GetCurrentUndoStep(); }
};

using R = TFilterRun;

// Each row with the caption the Part gives its undo step and repeat, and its kernels as
// the Part lists them, called here on a copy.
struct TRow {
  const char* Name;
  const char* Caption;
  void (*Reference)(R& r);
};

// The frame effects: the minimum size of their working rectangle, their bevels (inset,
// width, sunken) and whether the border is softened after.
struct TFrameRow {
  const char* Name;
  int Minimum;
  std::vector<std::array<int, 3>> Bevels;
  bool Soften;
};
const TFrameRow kFrames[] = {
    {"MenuContourBouton3D1", 9, {{4, 4, 0}}, false},
    {"MenuContourBouton3D2", 17, {{4, 4, 0}, {8, 2, 1}}, false},
    {"MenuContourBouton3DL1", 13, {{6, 6, 0}}, false},
    {"MenuContourBouton3DL2", 25, {{6, 6, 0}, {12, 3, 1}}, false},
    {"MenuContourRelief", 13, {{2, 2, 0}, {6, 2, 1}}, false},
    {"MenuContourRelief2", 29, {{4, 4, 0}, {12, 4, 1}}, true},
};

void Frame(R& r, const TFrameRow& f, int minimum) {
  TRect w = r.Rect;
  if (w.Width() < minimum) w.Right = w.Left + minimum;
  if (w.Height() < minimum) w.Bottom = w.Top + minimum;
  for (auto [inset, width, sunken] : f.Bevels)
    FilterRelief3D(r.Layer, TRect{w.Left + inset, w.Top + inset, w.Right - inset, w.Bottom - inset}, width, sunken, 60);
  if (f.Soften) BlurRectBorder(r.Layer, r.Source, 12, w);
}

void Texture(R& r, const char* name, int mode, int strength) {
  ApplyResourceTexture(r.Layer, name, r.Rect, TTextureMode(mode), strength);
}

// What the two "Vieillir" variants do after their toning.
void AgedFinish(R& r) {
  ContrastRect(r.Layer, 20, r.Rect);
  AddMonoNoiseRect(r.Layer, 15, r.Rect);
  ApplyConvolutionPresetInPlace(r.Layer, 11, r.Rect);
  ContrastRect(r.Layer, -10, r.Rect);
}

void Tone(R& r, int red, int green, int blue) {
  GrayscaleRect(r.Layer, r.Rect);
  LightenDarkenChannelsRect(r.Layer, red, green, blue, r.Rect);
}

const TRow kRows[] = {
    {"MenuFiltreAdoucir", "Adoucir", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 1, r.Rect); }},
    {"MenuFiltreFlou", "Flou", [](R& r) { BoxBlur3x3Rect(r.Layer, r.Rect); }},
    {"MenuFiltreFlouPlus", "Encore plus flou", [](R& r) { for (int i = 0; i < 4; ++i) BoxBlur3x3Rect(r.Layer, r.Rect); }},
    {"MenuFiltreLisser", "Lisser", [](R& r) { DirectionalSmoothRect(r.Layer, 0, r.Rect); }},
    {"MenuFiltreContoursNet", "Contours plus nets", [](R& r) { FilterSharpEdges(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreDurcir", "Plus net", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 2, r.Rect); }},
    {"MenuFiltreDurcirPlus", "Encore plus net", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 3, r.Rect); }},
    {"MenuFiltreRenforcement", "Renforcement", [](R& r) {
       BlurThroughMask(r.Layer, r.Source, r.Rect);
       ApplyConvolutionPresetInPlace(r.Layer, 5, r.Rect);
     }},
    {"MenuFiltreFlouInt", "Flou intérieur", [](R& r) { BlurThroughMask(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreRelief", "Relief", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 6, r.Rect); }},
    {"MenuFiltreRelief2", "Encore plus de relief", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 7, r.Rect); }},
    {"MenuFiltreRelief3", "Relief adouci", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 11, r.Rect); }},
    {"MenuFiltreSaturer", "Raviver les couleurs", [](R& r) { SaturationRect(r.Layer, 50, r.Rect); }},
    {"MenuFiltreDesaturer", "Ternir les couleurs", [](R& r) { SaturationRect(r.Layer, -70, r.Rect); }},
    {"MenuFiltreGris", "Niveau de gris", [](R& r) { GrayscaleRect(r.Layer, r.Rect); }},
    {"MenuFiltreTeinteSepia", "Sépia", [](R& r) {
       GrayscaleRect(r.Layer, r.Rect);
       GammaChannelsRect(r.Layer, r.Rect, 1.2, 1.0, 0.5);
     }},
    {"MenuFiltreNuit", "Effet nuit", [](R& r) {
       GammaRect(r.Layer, r.Rect, 0.5);
       GammaChannelsRect(r.Layer, r.Rect, 0.6, 0.6, 1.1);
     }},
    {"MenuFiltreSoleil", "Effet coucher de soleil", [](R& r) {
       GammaRect(r.Layer, r.Rect, 0.5);
       GammaChannelsRect(r.Layer, r.Rect, 3.0, 0.9, 0.9);
     }},
    {"MenuFiltreTeinteBleu", "Coloriser Bleu", [](R& r) { Tone(r, -5, -5, 30); }},
    {"MenuFiltreTeinteVert", "Coloriser Vert", [](R& r) { Tone(r, -5, 20, -5); }},
    {"MenuFiltreTeinteRouge", "Coloriser Rouge", [](R& r) { Tone(r, 30, -5, -5); }},
    {"MenuFiltreTeinteViolet", "Coloriser Violet", [](R& r) { Tone(r, 20, -5, 20); }},
    {"MenuFiltreTeinteJaune", "Coloriser Jaune", [](R& r) { Tone(r, 10, 10, -88); }},
    {"MenuFiltreVieillir1", "Vieillir Noir et blanc", [](R& r) {
       GrayscaleRect(r.Layer, r.Rect);
       AgedFinish(r);
     }},
    {"MenuFiltreVieillir2", "Vieillir Sépia", [](R& r) {
       GrayscaleRect(r.Layer, r.Rect);
       GammaChannelsRect(r.Layer, r.Rect, 1.2, 1.0, 0.5);
       AgedFinish(r);
     }},
    {"MenuFiltreVieillir3", "Photo ancienne", [](R& r) {
       GammaRect(r.Layer, r.Rect, 1.3);
       ContrastRect(r.Layer, 40, r.Rect);
       GrayscaleRect(r.Layer, r.Rect);
       ContrastInRangeRect(r.Layer, 20, 0, 100, 100, r.Rect);
       FilterMist(r.Layer, 0xFFFFFF, 7, r.Rect);
       AddMonoNoiseRect(r.Layer, 15, r.Rect);
       ApplyConvolutionPresetInPlace(r.Layer, 11, r.Rect);
       LightenDarkenChannelsRect(r.Layer, 0, 0, -30, r.Rect);
       ContrastRect(r.Layer, -10, r.Rect);
     }},
    {"MenuFiltreBrume2", "Brume", [](R& r) { FilterMist(r.Layer, 0xFFFFFF, 50, r.Rect); }},
    {"MenuFiltreBrume1", "Brume", [](R& r) { FilterMist(r.Layer, 0, 50, r.Rect); }},
    {"MenuFiltreFlouArt", "Flou artistique", [](R& r) {
       GaussianBlurRect(r.Layer, 7, r.Rect);
       CopyBitmapRectOpacity(r.Source, UnboundedRect, r.Layer, 0, 0, r.Rect, 33);
     }},
    {"MenuFiltreMouvement1", "Flou de mouvement", [](R& r) { FilterMotionBlur(r.Layer, r.Source, 0, r.Rect); }},
    {"MenuFiltreMouvement2", "Flou de mouvement", [](R& r) { FilterMotionBlur(r.Layer, r.Source, 1, r.Rect); }},
    {"MenuFiltreMouvement3", "Flou de mouvement", [](R& r) { FilterMotionBlur(r.Layer, r.Source, 2, r.Rect); }},
    {"MenuFiltreFlouRadial", "Flou radial", [](R& r) { FilterRadialBlur(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreFragmenter", "Fragmentation", [](R& r) { FilterFragment(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreDiffusion", "Diffusion", [](R& r) { SpreadPixels(r.Layer, r.Source, 3, 0, r.Rect); }},
    {"MenuFiltreArographe", "Aérographe", [](R& r) { SpreadPixels(r.Layer, r.Source, 7, 0, r.Rect); }},
    {"MenuFiltrePastel1", "Pastel", [](R& r) { FilterPastel(r.Layer, r.Source, true, r.Rect); }},
    {"MenuFiltrePastel2", "Pastel", [](R& r) { FilterPastel(r.Layer, r.Source, false, r.Rect); }},
    {"MenuFiltreAquarelle1", "Aquarelle", [](R& r) { FilterWatercolor(r.Layer, r.Rect); }},
    {"MenuFiltreAquarelle2", "Aquarelle", [](R& r) { FilterWatercolorFinish(r.Layer, r.Rect); }},
    {"MenuFiltreHuile", "Peinture à l'huile", [](R& r) { FilterOilPaint(r.Layer, r.Rect); }},
    {"MenuFiltrePointillisme", "Pointillisme", [](R& r) { FilterPointillism(r.Source, r.Layer, 6, r.Rect, 0x1FFFFFFF, 4); }},
    {"MenuFiltreBD", "Bande dessinée", [](R& r) { FilterComicStrip(r.Layer, r.Rect); }},
    {"MenuFiltreContoursEncres", "Contours encrés", [](R& r) { FilterInkOutlines(r.Layer, r.Rect); }},
    {"MenuFiltreSpatule", "Couteau à palette", [](R& r) { FilterPaletteKnife(r.Layer, r.Rect); }},
    {"MenuFiltreCristalliser", "Cristallisation", [](R& r) { FilterCrystallize(r.Layer, r.Rect); }},
    {"MenuFiltreFusain", "Fusain", [](R& r) {
       FilterCharcoal(r.Layer, true, r.Rect);
       Texture(r, "TXT1", 0, 4);
     }},
    {"MenuFiltreSanguine", "Sanguine", [](R& r) {
       FilterCharcoal(r.Layer, false, r.Rect);
       Texture(r, "TXT1", 0, 4);
     }},
    {"MenuFiltreCrayonNoir", "Crayon noir", [](R& r) { FilterBlackPencil(r.Layer, r.Rect); }},
    {"MenuFiltreEncre", "Encre de Chine", [](R& r) { FilterInk(r.Layer, r.Rect); }},
    {"MenuFiltreEtaler", "Etalement", [](R& r) { FilterSmear(r.Layer, r.Rect); }},
    {"MenuFiltreCraie", "Craie blanche", [](R& r) { FilterChalk(r.Layer, r.Rect); }},
    {"MenuFiltreMine", "Mine de plomb", [](R& r) {
       FilterGraphite(r.Layer, r.Rect);
       Texture(r, "TXT1", 0, 4);
     }},
    {"MenuFiltreContoursCouleurs", "Contours en couleur", [](R& r) { FilterColorContours(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreContours", "Contours noirs", [](R& r) { FilterContours(r.Layer, r.Rect); }},
    {"MenuFiltrePapier", "Papier gaufré", [](R& r) { FilterPaper(r.Layer, r.Rect); }},
    {"MenuFiltreEstampage", "Estampage", [](R& r) {
       FilterEmboss(r.Source, r.Layer, 7, 3, 0x999999, r.Rect);
       GrayscaleRect(r.Layer, r.Rect);
     }},
    {"MenuFiltrePhotocopie", "Photocopie", [](R& r) { FilterPhotocopy(r.Layer, r.Rect); }},
    {"MenuFiltrePlatre", "Plâtre", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 10, r.Rect); }},
    {"MenuFiltreVerre", "Verre", [](R& r) { FilterGlass(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreReflet", "Reflet dans l'eau", [](R& r) { FilterReflection(r.Source, r.Layer, 6, 10, 0xFFFFFF, r.Rect); }},
    {"MenuLignes1", "Lignes", [](R& r) { TintRectStripes(r.Layer, 1, 1, 0, 40, r.Rect); }},
    {"MenuLignes2", "Lignes", [](R& r) { TintRectStripes(r.Layer, 1, 1, 0xFFFFFF, 40, r.Rect); }},
    {"MenuFiltreMasqueRadial", "Masque radial", [](R& r) {
       const TRect& w = r.Rect;
       const int radius = (w.Width() < w.Height() ? w.Width() : w.Height()) / 2;
       FillRadialGradient(r.Layer, 0x2040E0, 0x10C060, radius, (w.Left + w.Right) / 2, (w.Top + w.Bottom) / 2, w);
     }},
    {"MenuContourBouton3D1", "Bouton 3D", [](R& r) { Frame(r, kFrames[0], kFrames[0].Minimum); }},
    {"MenuContourBouton3D2", "Bouton 3D", [](R& r) { Frame(r, kFrames[1], kFrames[1].Minimum); }},
    {"MenuContourBouton3DL1", "Bouton 3D large", [](R& r) { Frame(r, kFrames[2], kFrames[2].Minimum); }},
    {"MenuContourBouton3DL2", "Bouton 3D large", [](R& r) { Frame(r, kFrames[3], kFrames[3].Minimum); }},
    {"MenuContourRelief", "Bords en relief", [](R& r) { Frame(r, kFrames[4], kFrames[4].Minimum); }},
    {"MenuContourRelief2", "Bords en relief lissé", [](R& r) { Frame(r, kFrames[5], kFrames[5].Minimum); }},
    {"MenuTextureToile", "Vieille toile", [](R& r) {
       Texture(r, "TXT5", 1, 17);
       Texture(r, "TXT8", 0, 15);
       ApplyConvolutionPresetInPlace(r.Layer, 6, r.Rect);
     }},
    {"MenuTextureMaillageFin", "Maillage fin", [](R& r) { Texture(r, "TXT5", 1, 22); }},
    {"MenuTextureMailleLarge", "Maillage large", [](R& r) { Texture(r, "TXT6", 1, 22); }},
    {"MenuTextureCraquelure", "Craquelure", [](R& r) {
       Texture(r, "TXT3", 0, 12);
       ApplyConvolutionPresetInPlace(r.Layer, 6, r.Rect);
     }},
    {"MenuTextureSable", "Sable", [](R& r) { Texture(r, "TXT1", 0, 12); }},
    {"MenuTextureGres", "Grès", [](R& r) {
       Texture(r, "TXT1", 0, 10);
       ApplyConvolutionPresetInPlace(r.Layer, 6, r.Rect);
     }},
    {"MenuTexturePapier", "Papier à grain", [](R& r) {
       Texture(r, "TXT1", 0, 10);
       ApplyConvolutionPresetInPlace(r.Layer, 6, r.Rect);
       CopyBitmapRectOpacity(r.Source, UnboundedRect, r.Layer, 0, 0, r.Rect, 77);
     }},
    {"MenuTextureZebre", "Peau de zèbre", [](R& r) { Texture(r, "TXT2", 0, 12); }},
    {"MenuTextureBrique", "Brique", [](R& r) {
       Texture(r, "TXT1", 0, 5);
       TBitmap wall = ResourceTexture("MUR").Clone();
       ScrollBitmapWrapVertical(wall, -3);
       ApplyTexturePattern(wall, r.Layer, r.Rect, 44);
     }},
    {"MenuTextureGrille", "Grille", [](R& r) { Texture(r, "TXT7", 0, 33); }},
    {"MenuTextureZigzag", "Zigzag", [](R& r) { Texture(r, "TXT4", 0, 33); }},
    {"MenuTextureBulle", "Bulle", [](R& r) { Texture(r, "TXT9", 0, 12); }},
    {"MenuTexture12", "1 pixel sur 2", [](R& r) {
       TBitmap p(2, 2, pf24bit, 0xFFFFFF);
       p.FillRect(TRect{0, 0, 1, 1}, 0);
       p.FillRect(TRect{1, 1, 2, 2}, 0);
       FillRectWithPattern(p, r.Layer, 0, 0, r.Rect, 55, 0xFFFFFF, 7);
     }},
    {"MenuTextureDamier", "Damier", [](R& r) {
       TBitmap p(60, 60, pf24bit, 0xFFFFFF);
       p.FillRect(TRect{0, 0, 30, 30}, 0);
       p.FillRect(TRect{30, 30, 60, 60}, 0);
       ApplyTexturePattern(p, r.Layer, r.Rect, 12);
     }},
    {"MenuTextureCercle", "Cercle", [](R& r) {
       ApplyTexturePattern(MakeFilterPattern(TFilterPattern::Circle), r.Layer, r.Rect, 33);
     }},
    // The adjustments
    {"MenuReglageNegatif", "Négatif", [](R& r) { InvertRect(r.Layer, r.Rect); }},
    {"MenuReglageTramage", "Tramage", [](R& r) { DitherBlackWhiteRect(r.Layer, r.Rect); }},
    {"MenuReglageTonsSombres", "Renforcer les tons sombres", [](R& r) { ContrastInRangeRect(r.Layer, 33, 0, 100, 100, r.Rect); }},
    {"MenuReglageTonsClairs", "Renforcer les tons clairs", [](R& r) { ContrastInRangeRect(r.Layer, 33, 150, 255, 150, r.Rect); }},
    {"MenuReglageNivAuto", "Niveaux automatiques", [](R& r) {
       uint8_t red = 0, green = 0, blue = 0;
       AverageChannelsInRange(r.Layer, AutoSampleRegion(r.Rect), 77, 177, red, green, blue);
       GammaChannelsRect(r.Layer, r.Rect, 133.0 / red, 133.0 / green, 133.0 / blue);
     }},
    {"MenuReglageCtrAuto", "Contraste automatique", [](R& r) {
       int64_t d = 0, m = 0, l = 0;
       CountLuminanceClasses(r.Layer, AutoSampleRegion(r.Rect), 77, 177, d, m, l);
       const double t = double(d + m + l);
       const int a = int(std::nearbyint(100 * d / t)), b = int(std::nearbyint(100 * m / t)),
                 c = int(std::nearbyint(100 * l / t));
       ContrastInRangeRect(r.Layer, (b - a) / 2, 0, 127, 127, r.Rect);
       ContrastInRangeRect(r.Layer, (b - c) / 2, 128, 255, 128, r.Rect);
     }},
    {"BtnAntipoussiere", "Antipoussière", [](R& r) { ApplyRankFilter(r.Layer, r.Source, rkMedian, r.Rect, 0, 1); }},
    {"MenuEditionRemplirMotif", "Remplir avec le motif", [](R& r) {
       FillRectWithPattern(r.Pattern, r.Layer, r.Rect.Left, r.Rect.Top, r.Rect, 100, 0x1FFFFFFF, 0);
     }},
};

// The rows that are not recorded for the repeat command.
const std::set<std::string_view> kNotRepeated = {"MenuReglageNegatif",     "MenuReglageTramage",
                                                 "MenuReglageTonsSombres", "MenuReglageTonsClairs",
                                                 "MenuReglageNivAuto",     "MenuReglageCtrAuto",
                                                 "MenuEditionRemplirMotif"};

// The layer the reference gives over the whole layer, the random generator seeded as
// before the command.
TBitmap Reference(const TRow& row, const TBitmap& before, const TBitmap& pattern) {
  TBitmap out = before.Clone(), src = before.Clone();
  R run{out, src, TRect{0, 0, before.Width(), before.Height()}, 0x2040E0, 0x10C060, pattern};
  RandSeed(77);
  row.Reference(run);
  return out;
}

// Pixels whose centre lies farther than margin outside the ellipse inscribed in r.
bool OutsideEllipse(const TRect& r, int x, int y, double margin) {
  const double a = r.Width() / 2.0 + margin, b = r.Height() / 2.0 + margin;
  const double dx = (x + 0.5 - (r.Left + r.Right) / 2.0) / a, dy = (y + 0.5 - (r.Top + r.Bottom) / 2.0) / b;
  return dx * dx + dy * dy > 1;
}

}  // namespace

TEST(DirectCommands, EveryRowRunsItsKernelsUndoesAndRepeats) {
  // Every direct row of the two menus (and the Edit menu's fill) has its reference.
  std::set<std::string_view> tabled;
  for (const TDirectCommand& c : DirectFilterCommands()) tabled.insert(c.Name);
  for (const TDirectCommand& c : DirectAdjustCommands()) tabled.insert(c.Name);
  std::set<std::string_view> referenced;
  for (const TRow& row : kRows) referenced.insert(row.Name);
  EXPECT_EQ(tabled, referenced);

  TEditor editor;
  TShellServices& s = *editor.Services;
  const TBitmap original = editor.Layer().Clone();
  for (const TRow& row : kRows) {
    SCOPED_TRACE(row.Name);
    RandSeed(77);
    ASSERT_TRUE(editor.Commands.Trigger(row.Name));
    const TBitmap expected = Reference(row, original, s.FillPattern());
    EXPECT_TRUE(SameBitmaps(editor.Layer(), expected));
    EXPECT_FALSE(SameBitmaps(editor.Layer(), original));
    ASSERT_NE(editor.Step(), nullptr);
    EXPECT_EQ(editor.Step()->Name, row.Caption);
    EXPECT_EQ(GetUndoStepParam(*editor.Step(), upKind), ukWorkRect);
    if (kNotRepeated.count(row.Name)) {
      EXPECT_FALSE(s.Operations().HasRepeatableCommand());
    } else {
      EXPECT_EQ(s.Operations().RepeatCaption(), std::string("Répéter ") + row.Caption);
    }
    EXPECT_FALSE(s.IsBusy());
    EXPECT_EQ(editor.Panel(spStatus), "Prêt");

    s.UndoCommand(nullptr);
    EXPECT_TRUE(SameBitmaps(editor.Layer(), original));
    s.RedoCommand(nullptr);
    EXPECT_TRUE(SameBitmaps(editor.Layer(), expected));
    s.UndoCommand(nullptr);
    s.Operations().ClearRepeatableCommand();
  }
}

TEST(DirectCommands, AnEllipticalSelectionKeepsTheOutside) {
  TEditor editor;
  TSelectionControl& sel = editor.Doc->Selection();
  const TRect r{14, 8, 50, 42};
  sel.SetShape(ssEllipse);
  sel.SetSelectionRect(r);
  sel.Show();
  const TBitmap original = editor.Layer().Clone();
  for (const TRow& row : kRows) {
    SCOPED_TRACE(row.Name);
    ASSERT_TRUE(editor.Commands.Trigger(row.Name));
    int outside = 0, changed = 0;
    for (int y = 0; y < original.Height(); ++y)
      for (int x = 0; x < original.Width(); ++x) {
        const bool same = std::equal(Px(original, x, y), Px(original, x, y) + 3, Px(editor.Layer(), x, y));
        if (OutsideEllipse(r, x, y, 3)) {
          ++outside;
          EXPECT_TRUE(same) << x << "," << y;
          if (!same) break;
        } else if (!same) {
          ++changed;
        }
      }
    EXPECT_GT(changed, 0);
    EXPECT_GT(outside, 1000);
    editor.Services->UndoCommand(nullptr);
    ASSERT_TRUE(SameBitmaps(editor.Layer(), original));
  }
}

TEST(DirectCommands, RepeatRunsTheSameVariantAgain) {
  TEditor editor;
  TShellServices& s = *editor.Services;
  TBitmap expected = editor.Layer().Clone();
  for (int i = 0; i < 2; ++i) {
    const TBitmap src = expected.Clone();
    FilterMotionBlur(expected, src, 2, UnboundedRect);
  }
  ASSERT_TRUE(editor.Commands.Trigger("MenuFiltreMouvement3"));
  s.Operations().RepeatLastCommand();
  EXPECT_TRUE(SameBitmaps(editor.Layer(), expected));
  EXPECT_EQ(editor.Doc->History().GetUndoStepCount(), 2);
  EXPECT_EQ(editor.Step()->Name, "Flou de mouvement");
  // A tool button runs its menu item's command, captioned with the item.
  ASSERT_TRUE(editor.Commands.Trigger("BtnRelief"));
  EXPECT_EQ(editor.Step()->Name, "Relief");
}

TEST(DirectCommands, AChainThatThrowsLeavesNothingBehind) {
  TEditor editor;
  TShellServices& s = *editor.Services;
  const TBitmap original = editor.Layer().Clone();
  s.Operations().RecordRepeatableCommand("Flou", [] {});
  const TDirectCommand failing{"MenuFiltreFlou", [](R& r) {
                                 InvertRect(r.Layer, r.Rect);
                                 throw std::bad_alloc();
                               }};
  const TCommandSender sender{FindCommandRow("MenuFiltreFlou"), "MenuAttenuation", editor.Commands.Action("MenuFiltreFlou")};
  RunDirectCommand(s, failing, sender);
  EXPECT_TRUE(SameBitmaps(editor.Layer(), original));
  EXPECT_EQ(editor.Doc->History().GetUndoStepCount(), 0);
  EXPECT_FALSE(s.IsBusy());
  EXPECT_EQ(editor.Panel(spStatus), "Prêt");
  ASSERT_EQ(editor.Messages.size(), 1u);
  EXPECT_EQ(editor.Messages[0], Tr(TextId::TrFixOutOfMemory));
  EXPECT_EQ(s.Operations().RepeatableCaption(), "Flou");
}

TEST(DirectCommands, FramesGrowToTheirMinimumSize) {
  for (const TFrameRow& f : kFrames) {
    SCOPED_TRACE(f.Name);
    // A layer a pixel short of the minimum: the frame is drawn for the minimum size from
    // the top-left corner and cut to the layer.
    const int n = f.Minimum - 1;
    TEditor editor(n, n);
    const TBitmap original = editor.Layer().Clone();
    ASSERT_TRUE(editor.Commands.Trigger(f.Name));
    auto framed = [&](int minimum) {
      TBitmap out = original.Clone(), src = original.Clone();
      R run{out, src, TRect{0, 0, n, n}, 0, 0, src};
      Frame(run, f, minimum);
      return out;
    };
    EXPECT_TRUE(SameBitmaps(editor.Layer(), framed(f.Minimum)));
    EXPECT_FALSE(SameBitmaps(editor.Layer(), framed(0)));
  }
}

TEST(DirectCommands, AutomaticLevelsAndContrastByTheirFormulas) {
  // Levels: the sample's mid-tone means 100, 120, 150 (red, green, blue) give the
  // gammas 1.33, 1.108..., 0.886...; a pixel (40, 200, 90) becomes
  // trunc(255 (v / 255)^(1 / gamma)).
  {
    TEditor editor(8, 8);
    editor.Layer().FillRect(TRect{0, 0, 8, 8}, RGB(100, 120, 150));
    editor.Layer().FillRect(TRect{0, 0, 1, 1}, RGB(40, 200, 90));
    ASSERT_TRUE(editor.Commands.Trigger("MenuReglageNivAuto"));
    auto level = [](int v, double mean) { return int(255 * std::pow(v / 255.0, mean / 133.0)); };
    EXPECT_EQ(editor.Layer().GetPixel(0, 0), RGB(level(40, 100), level(200, 120), level(90, 150)));
    EXPECT_EQ(editor.Layer().GetPixel(5, 5), RGB(level(100, 100), level(120, 120), level(150, 150)));
  }
  // Without a mid-tone in one channel nothing changes, but the step is kept.
  {
    TEditor editor(8, 8);
    editor.Layer().FillRect(TRect{0, 0, 8, 8}, RGB(100, 250, 150));
    const TBitmap original = editor.Layer().Clone();
    ASSERT_TRUE(editor.Commands.Trigger("MenuReglageNivAuto"));
    EXPECT_TRUE(SameBitmaps(editor.Layer(), original));
    EXPECT_EQ(editor.Doc->History().GetUndoStepCount(), 1);
  }
  // Contrast: of the sample's 16 pixels (2..6 of an 8 x 8 image) 4 are dark, 8 middle
  // and 4 light: shares 25, 50, 25, so each half of the levels gets (50 - 25) / 2 = 12.
  {
    TEditor editor(8, 8);
    TBitmap& b = editor.Layer();
    b.FillRect(TRect{0, 0, 8, 8}, RGB(128, 128, 128));
    b.FillRect(TRect{2, 2, 6, 3}, RGB(30, 30, 30));
    b.FillRect(TRect{2, 5, 6, 6}, RGB(220, 220, 220));
    b.FillRect(TRect{0, 0, 1, 1}, RGB(100, 20, 200));
    ASSERT_TRUE(editor.Commands.Trigger("MenuReglageCtrAuto"));
    auto low = [](int v) { return v + (v - 127) * 12 / 100; };
    auto high = [](int v) { return v + (v - 128) * 12 / 100; };
    EXPECT_EQ(b.GetPixel(0, 0), RGB(low(100), low(20), high(200)));
    EXPECT_EQ(b.GetPixel(2, 2), RGB(low(30), low(30), low(30)));
    EXPECT_EQ(b.GetPixel(2, 5), RGB(high(220), high(220), high(220)));
  }
  // An empty sample (a working rectangle two pixels wide) changes nothing.
  EXPECT_TRUE(AutoSampleRegion(TRect{4, 0, 6, 9}).IsEmpty());
  EXPECT_EQ(AutoSampleRegion(TRect{0, 0, 100, 60}), (TRect{25, 15, 75, 45}));
  {
    TEditor editor(2, 9);
    const TBitmap original = editor.Layer().Clone();
    ASSERT_TRUE(editor.Commands.Trigger("MenuReglageCtrAuto"));
    EXPECT_TRUE(SameBitmaps(editor.Layer(), original));
    EXPECT_TRUE(editor.Messages.empty());
  }
}

TEST(DirectCommands, StepButtonsTakeBackTheOtherOfTheirPair) {
  TEditor editor;
  TShellServices& s = *editor.Services;
  const TBitmap original = editor.Layer().Clone();
  for (const TStepButtons& pair : StepButtonPairs()) {
    SCOPED_TRACE(pair.Plus);
    // Plus, then minus: the image exactly as before, no step left.
    ASSERT_TRUE(editor.Commands.Trigger(pair.Plus));
    EXPECT_FALSE(SameBitmaps(editor.Layer(), original));
    ASSERT_TRUE(editor.Commands.Trigger(pair.Minus));
    EXPECT_TRUE(SameBitmaps(editor.Layer(), original));
    EXPECT_EQ(editor.Doc->History().GetUndoStepCount(), 0);
    // Plus, plus, minus: one plus applied, one step.
    ASSERT_TRUE(editor.Commands.Trigger(pair.Plus));
    const TBitmap once = editor.Layer().Clone();
    ASSERT_TRUE(editor.Commands.Trigger(pair.Plus));
    EXPECT_EQ(editor.Doc->History().GetUndoStepCount(), 2);
    ASSERT_TRUE(editor.Commands.Trigger(pair.Minus));
    EXPECT_TRUE(SameBitmaps(editor.Layer(), once));
    EXPECT_EQ(editor.Doc->History().GetUndoStepCount(), 1);
    s.UndoCommand(nullptr);
    editor.Doc->History().ClearUndoList();
  }
  // After a plus on another layer, minus is a step of its own.
  AddLayerFromBitmap(s.LayerHost(), "#1", RandomBitmap(20, 20, 3), TBitmap(), TPoint{4, 4});
  ASSERT_TRUE(editor.Commands.Trigger("BtnLumPlus"));
  editor.Doc->Image().SetActiveLayerIndex(0);
  ASSERT_TRUE(editor.Commands.Trigger("BtnLumMoins"));
  EXPECT_EQ(editor.Doc->History().GetUndoStepCount(), 2);
  EXPECT_EQ(editor.Step()->Name, "Luminosité (-)");
  TBitmap darker = original.Clone();
  LightenDarkenRect(darker, -8, UnboundedRect);
  EXPECT_TRUE(SameBitmaps(editor.Layer(), darker));
}

