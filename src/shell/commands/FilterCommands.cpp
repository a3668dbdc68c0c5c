#include "shell/commands/FilterCommands.h"

#include <QPainter>
#include <algorithm>
#include <initializer_list>

#include "pixel/Blend.h"
#include "pixel/Blur.h"
#include "pixel/ColorAdjust.h"
#include "pixel/Composite.h"
#include "pixel/Convolution.h"
#include "pixel/Distortion.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/RectUtils.h"
#include "pixel/qt/TileDraw.h"
#include "platform/qt/QtBitmap.h"
#include "shell/services/ResourceTextures.h"

namespace qm {
namespace {

using R = TFilterRun;
using enum TCaptionFrom;

// --- Chains shared by several rows ------------------------------------------------------

// Grey, then each channel lightened or darkened by its percent.
void Colorize(R& r, int red, int green, int blue) {
  GrayscaleRect(r.Layer, r.Rect);
  LightenDarkenChannelsRect(r.Layer, red, green, blue, r.Rect);
}

// An old print: grey (toned sepia), more contrast, grain, a soft relief, less contrast.
void AgedPrint(R& r, bool sepia) {
  GrayscaleRect(r.Layer, r.Rect);
  if (sepia) GammaChannelsRect(r.Layer, r.Rect, 1.2, 1.0, 0.5);
  ContrastRect(r.Layer, 20, r.Rect);
  AddMonoNoiseRect(r.Layer, 15, r.Rect);
  ApplyConvolutionPresetInPlace(r.Layer, 11, r.Rect);
  ContrastRect(r.Layer, -10, r.Rect);
}

// Charcoal-like drawings finish on a fine grain.
void OnGrain(R& r) { ApplyResourceTexture(r.Layer, "TXT1", r.Rect, tmRelief, 4); }

// The unchanged layer laid back over the result at the opacity.
void BlendSourceBack(R& r, int opacity) {
  CopyBitmapRectOpacity(r.Source, GetBitmapRect(r.Source), r.Layer, 0, 0, r.Rect, opacity);
}

// One ring set of a frame: a 3-D border `width` rings wide, drawn outward from the
// working rectangle shrunk by the inset.
struct TBevel {
  int Inset, Width;
  bool Sunken;
};

// The frame effects work on the working rectangle grown, from its top-left corner, to
// the smallest size their rings fit in.
void Frame(R& r, int minimum, std::initializer_list<TBevel> bevels) {
  EnsureMinRectSize(r.Rect, minimum, minimum, true, true);
  for (const TBevel& b : bevels) {
    const TRect inner{r.Rect.Left + b.Inset, r.Rect.Top + b.Inset, r.Rect.Right - b.Inset, r.Rect.Bottom - b.Inset};
    FilterRelief3D(r.Layer, inner, b.Width, b.Sunken, 60);
  }
}

void Relief(R& r, std::string_view texture, int strength) {
  ApplyResourceTexture(r.Layer, texture, r.Rect, tmRelief, strength);
}

void Tiled(R& r, std::string_view texture, int strength) {
  ApplyResourceTexture(r.Layer, texture, r.Rect, tmTile, strength);
}

void Sandstone(R& r) {
  Relief(r, "TXT1", 10);
  ApplyConvolutionPresetInPlace(r.Layer, 6, r.Rect);
}

void Bricks(R& r) {
  Relief(r, "TXT1", 5);
  // the wall's courses start three rows higher than the picture's
  static const TBitmap wall = [] {
    TBitmap b = ResourceTexture("MUR").Clone();
    ScrollBitmapWrapVertical(b, -3);
    return b;
  }();
  ApplyTexturePattern(wall, r.Layer, r.Rect, 44);
}

const TBitmap& Pattern(TFilterPattern which) {
  static const TBitmap patterns[] = {MakeFilterPattern(TFilterPattern::AlternatePixels),
                                     MakeFilterPattern(TFilterPattern::Chessboard),
                                     MakeFilterPattern(TFilterPattern::Circle)};
  return patterns[int(which)];
}

void RadialMask(R& r) {
  const TRect& w = r.Rect;
  FillRadialGradient(r.Layer, r.Foreground, r.Background, std::min(w.Width(), w.Height()) / 2,
                     (w.Left + w.Right) / 2, (w.Top + w.Bottom) / 2, w);
}

// --- The table ---------------------------------------------------------------------------

const TDirectCommand kFilters[] = {
    // Atténuation, Netteté, Bruit, Relief
    {"MenuFiltreAdoucir", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 1, r.Rect); }, Own, true},
    {"MenuFiltreFlou", [](R& r) { BoxBlur3x3Rect(r.Layer, r.Rect); }, Own, true},
    {"MenuFiltreFlouPlus", [](R& r) {
       BoxBlur3x3Rect(r.Layer, r.Rect);
       ApplyBlurPasses(r.Layer, 3, r.Rect);
     }},
    {"MenuFiltreLisser", [](R& r) { DirectionalSmoothRect(r.Layer, 0, r.Rect); }},
    {"MenuFiltreContoursNet", [](R& r) { FilterSharpEdges(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreDurcir", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 2, r.Rect); }, Own, true},
    {"MenuFiltreDurcirPlus", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 3, r.Rect); }},
    {"MenuFiltreRenforcement", [](R& r) {
       BlurThroughMask(r.Layer, r.Source, r.Rect);
       ApplyConvolutionPresetInPlace(r.Layer, 5, r.Rect);
     }, Own, true},
    {"MenuFiltreFlouInt", [](R& r) { BlurThroughMask(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreRelief", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 6, r.Rect); }, Own, true},
    {"MenuFiltreRelief2", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 7, r.Rect); }},
    {"MenuFiltreRelief3", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 11, r.Rect); }},

    // Couleur, Coloriser, Vieillir
    {"MenuFiltreSaturer", [](R& r) { SaturationRect(r.Layer, 50, r.Rect); }},
    {"MenuFiltreDesaturer", [](R& r) { SaturationRect(r.Layer, -70, r.Rect); }},
    {"MenuFiltreGris", [](R& r) { GrayscaleRect(r.Layer, r.Rect); }, Own, true},
    {"MenuFiltreTeinteSepia", [](R& r) {
       GrayscaleRect(r.Layer, r.Rect);
       GammaChannelsRect(r.Layer, r.Rect, 1.2, 1.0, 0.5);
     }, Own, true},
    {"MenuFiltreNuit", [](R& r) {
       GammaRect(r.Layer, r.Rect, 0.5);
       GammaChannelsRect(r.Layer, r.Rect, 0.6, 0.6, 1.1);
     }},
    {"MenuFiltreSoleil", [](R& r) {
       GammaRect(r.Layer, r.Rect, 0.5);
       GammaChannelsRect(r.Layer, r.Rect, 3.0, 0.9, 0.9);
     }},
    {"MenuFiltreTeinteBleu", [](R& r) { Colorize(r, -5, -5, 30); }, ParentAndOwn},
    {"MenuFiltreTeinteVert", [](R& r) { Colorize(r, -5, 20, -5); }, ParentAndOwn},
    {"MenuFiltreTeinteRouge", [](R& r) { Colorize(r, 30, -5, -5); }, ParentAndOwn},
    {"MenuFiltreTeinteViolet", [](R& r) { Colorize(r, 20, -5, 20); }, ParentAndOwn},
    {"MenuFiltreTeinteJaune", [](R& r) { Colorize(r, 10, 10, -88); }, ParentAndOwn},
    {"MenuFiltreVieillir1", [](R& r) { AgedPrint(r, false); }, ParentAndOwn},
    {"MenuFiltreVieillir2", [](R& r) { AgedPrint(r, true); }, ParentAndOwn},
    {"MenuFiltreVieillir3", [](R& r) {
       GammaRect(r.Layer, r.Rect, 1.3);
       ContrastRect(r.Layer, 40, r.Rect);
       GrayscaleRect(r.Layer, r.Rect);
       ContrastInRangeRect(r.Layer, 20, 0, 100, 100, r.Rect);
       FilterMist(r.Layer, clWhite, 7, r.Rect);
       AddMonoNoiseRect(r.Layer, 15, r.Rect);
       ApplyConvolutionPresetInPlace(r.Layer, 11, r.Rect);
       LightenDarkenChannelsRect(r.Layer, 0, 0, -30, r.Rect);
       ContrastRect(r.Layer, -10, r.Rect);
     }, Own, true},

    // Effet d'optique, Artistique, Contours, Aplatir, Esthétique, Déformation, Divers
    {"MenuFiltreBrume2", [](R& r) { FilterMist(r.Layer, clWhite, 50, r.Rect); }, Parent},
    {"MenuFiltreBrume1", [](R& r) { FilterMist(r.Layer, clBlack, 50, r.Rect); }, Parent},
    {"MenuFiltreFlouArt", [](R& r) {
       GaussianBlurRect(r.Layer, 7, r.Rect);
       BlendSourceBack(r, 33);
     }},
    {"MenuFiltreMouvement1", [](R& r) { FilterMotionBlur(r.Layer, r.Source, 0, r.Rect); }, Parent},
    {"MenuFiltreMouvement2", [](R& r) { FilterMotionBlur(r.Layer, r.Source, 1, r.Rect); }, Parent},
    {"MenuFiltreMouvement3", [](R& r) { FilterMotionBlur(r.Layer, r.Source, 2, r.Rect); }, Parent},
    {"MenuFiltreFlouRadial", [](R& r) { FilterRadialBlur(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreFragmenter", [](R& r) { FilterFragment(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreDiffusion", [](R& r) { SpreadPixels(r.Layer, r.Source, 3, 0, r.Rect); }},
    {"MenuFiltreArographe", [](R& r) { SpreadPixels(r.Layer, r.Source, 7, 0, r.Rect); }},
    {"MenuFiltrePastel1", [](R& r) { FilterPastel(r.Layer, r.Source, true, r.Rect); }, Parent},
    {"MenuFiltrePastel2", [](R& r) { FilterPastel(r.Layer, r.Source, false, r.Rect); }, Parent},
    {"MenuFiltreAquarelle1", [](R& r) { FilterWatercolor(r.Layer, r.Rect); }, Parent},
    {"MenuFiltreAquarelle2", [](R& r) { FilterWatercolorFinish(r.Layer, r.Rect); }, Parent},
    {"MenuFiltreHuile", [](R& r) { FilterOilPaint(r.Layer, r.Rect); }},
    {"MenuFiltrePointillisme", [](R& r) { FilterPointillism(r.Source, r.Layer, 6, r.Rect, clNone, 4); }},
    {"MenuFiltreBD", [](R& r) { FilterComicStrip(r.Layer, r.Rect); }},
    {"MenuFiltreContoursEncres", [](R& r) { FilterInkOutlines(r.Layer, r.Rect); }},
    {"MenuFiltreSpatule", [](R& r) { FilterPaletteKnife(r.Layer, r.Rect); }},
    {"MenuFiltreCristalliser", [](R& r) { FilterCrystallize(r.Layer, r.Rect); }},
    {"MenuFiltreFusain", [](R& r) {
       FilterCharcoal(r.Layer, true, r.Rect);
       OnGrain(r);
     }},
    {"MenuFiltreSanguine", [](R& r) {
       FilterCharcoal(r.Layer, false, r.Rect);
       OnGrain(r);
     }},
    {"MenuFiltreCrayonNoir", [](R& r) { FilterBlackPencil(r.Layer, r.Rect); }},
    {"MenuFiltreEncre", [](R& r) { FilterInk(r.Layer, r.Rect); }},
    {"MenuFiltreEtaler", [](R& r) { FilterSmear(r.Layer, r.Rect); }},
    {"MenuFiltreCraie", [](R& r) { FilterChalk(r.Layer, r.Rect); }},
    {"MenuFiltreMine", [](R& r) {
       FilterGraphite(r.Layer, r.Rect);
       OnGrain(r);
     }},
    {"MenuFiltreContoursCouleurs", [](R& r) { FilterColorContours(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreContours", [](R& r) { FilterContours(r.Layer, r.Rect); }},
    {"MenuFiltrePapier", [](R& r) { FilterPaper(r.Layer, r.Rect); }},
    {"MenuFiltreEstampage", [](R& r) {
       FilterEmboss(r.Source, r.Layer, 7, 3, 0x999999, r.Rect);
       GrayscaleRect(r.Layer, r.Rect);
     }},
    {"MenuFiltrePhotocopie", [](R& r) { FilterPhotocopy(r.Layer, r.Rect); }},
    {"MenuFiltrePlatre", [](R& r) { ApplyConvolutionPreset(r.Layer, r.Source, 10, r.Rect); }},
    {"MenuFiltreVerre", [](R& r) { FilterGlass(r.Layer, r.Source, r.Rect); }},
    {"MenuFiltreReflet", [](R& r) { FilterReflection(r.Source, r.Layer, 6, 10, clWhite, r.Rect); }},
    {"MenuLignes1", [](R& r) { TintRectStripes(r.Layer, 1, 1, clBlack, 40, r.Rect); }, Parent},
    {"MenuLignes2", [](R& r) { TintRectStripes(r.Layer, 1, 1, clWhite, 40, r.Rect); }, Parent},
    {"MenuFiltreMasqueRadial", RadialMask},

    // Encadrement
    {"MenuContourBouton3D1", [](R& r) { Frame(r, 9, {{4, 4, false}}); }, Parent},
    {"MenuContourBouton3D2", [](R& r) { Frame(r, 17, {{4, 4, false}, {8, 2, true}}); }, Parent},
    {"MenuContourBouton3DL1", [](R& r) { Frame(r, 13, {{6, 6, false}}); }, Parent},
    {"MenuContourBouton3DL2", [](R& r) { Frame(r, 25, {{6, 6, false}, {12, 3, true}}); }, Parent},
    {"MenuContourRelief", [](R& r) { Frame(r, 13, {{2, 2, false}, {6, 2, true}}); }},
    {"MenuContourRelief2", [](R& r) {
       Frame(r, 29, {{4, 4, false}, {12, 4, true}});
       BlurRectBorder(r.Layer, r.Source, 12, r.Rect);
     }},

    // Texture
    {"MenuTextureToile", [](R& r) {
       Tiled(r, "TXT5", 17);
       Relief(r, "TXT8", 15);
       ApplyConvolutionPresetInPlace(r.Layer, 6, r.Rect);
     }},
    {"MenuTextureMaillageFin", [](R& r) { Tiled(r, "TXT5", 22); }},
    {"MenuTextureMailleLarge", [](R& r) { Tiled(r, "TXT6", 22); }},
    {"MenuTextureCraquelure", [](R& r) {
       Relief(r, "TXT3", 12);
       ApplyConvolutionPresetInPlace(r.Layer, 6, r.Rect);
     }},
    {"MenuTextureSable", [](R& r) { Relief(r, "TXT1", 12); }},
    {"MenuTextureGres", Sandstone},
    {"MenuTexturePapier", [](R& r) {
       Sandstone(r);
       BlendSourceBack(r, 77);
     }},
    {"MenuTextureZebre", [](R& r) { Relief(r, "TXT2", 12); }},
    {"MenuTextureBrique", Bricks},
    {"MenuTextureGrille", [](R& r) { Relief(r, "TXT7", 33); }},
    {"MenuTextureZigzag", [](R& r) { Relief(r, "TXT4", 33); }},
    {"MenuTextureBulle", [](R& r) { Relief(r, "TXT9", 12); }},
    {"MenuTexture12", [](R& r) {
       FillRectWithPattern(Pattern(TFilterPattern::AlternatePixels), r.Layer, 0, 0, r.Rect, 55, clWhite, 7);
     }},
    {"MenuTextureDamier", [](R& r) { ApplyTexturePattern(Pattern(TFilterPattern::Chessboard), r.Layer, r.Rect, 12); }},
    {"MenuTextureCercle", [](R& r) { ApplyTexturePattern(Pattern(TFilterPattern::Circle), r.Layer, r.Rect, 33); }},
};


}  // namespace

std::span<const TDirectCommand> DirectFilterCommands() { return kFilters; }

TBitmap MakeFilterPattern(TFilterPattern pattern) {
  switch (pattern) {
    case TFilterPattern::AlternatePixels: {
      TBitmap b(2, 2, pf24bit, clWhite);
      b.FillRect(TRect{0, 0, 1, 1}, clBlack);
      b.FillRect(TRect{1, 1, 2, 2}, clBlack);
      return b;
    }
    case TFilterPattern::Chessboard: {
      TBitmap b(60, 60, pf24bit, clWhite);
      b.FillRect(TRect{0, 0, 30, 30}, clBlack);
      b.FillRect(TRect{30, 30, 60, 60}, clBlack);
      return b;
    }
    case TFilterPattern::Circle: {
      // Outlines only, one pixel wide, not smoothed: each ring spans 15 pixels, the
      // white one a pixel up and left of the black one.
      TBitmap b(25, 25, pf24bit, 0x0000FF);
      QImage view = BitmapAsQImage(b);
      QPainter p(&view);
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(Qt::black, 0));
      p.drawEllipse(QRect(5, 5, 14, 14));
      p.setPen(QPen(Qt::white, 0));
      p.drawEllipse(QRect(4, 4, 14, 14));
      return b;
    }
  }
  return TBitmap();
}

void RegisterFilterCommands(TCommandSet& commands, TShellServices& services) {
  AttachDirectCommands(commands, services, DirectFilterCommands());
}

}  // namespace qm
