#include "document/qt/TextRender.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QString>
#include <QTextLayout>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <numbers>
#include <tuple>

#include "document/LayerOps.h"
#include "document/Layers.h"
#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "pixel/Mask.h"
#include "pixel/PixelFormat.h"
#include "pixel/RectUtils.h"
#include "platform/core/Numeric.h"
#include "platform/core/Parallel.h"
#include "platform/qt/QtBitmap.h"

namespace qm {

std::function<bool(const std::string& fileName, TBitmap& picture)> LoadTexturePicture;

namespace {

// Points to pixels at 96 dpi, rounded as the platform's MulDiv rounds (halves up).
int PointsToPixels(int points) { return (points * kTextDpi + 36) / 72; }

struct TTurn {
  double s = 0, c = 1;
  bool turned = false;
};

// The turn of the drawing: the payload's angle negated, counter-clockwise on screen.
TTurn TextTurn(const TTextData& data) {
  TTurn t;
  const int a = -(data.Angle % 360);
  if (a == 0) return t;
  t.turned = true;
  t.s = std::sin(a * std::numbers::pi / 180);
  t.c = std::cos(a * std::numbers::pi / 180);
  return t;
}

QString LineText(const std::string& line) { return QString::fromUtf8(line.data(), qsizetype(line.size())); }

// The picture of a textured text through Qt's readers: pixels more than half
// transparent take the global transparent colour, which becomes the key.
bool ReadTextureWithQt(const std::string& fileName, TBitmap& picture) {
  QImage img(QString::fromUtf8(fileName.c_str()));
  if (img.isNull()) return false;
  if (!img.hasAlphaChannel()) {
    picture = BitmapFromQImage(img);
    return !picture.Empty();
  }
  img = img.convertToFormat(QImage::Format_ARGB32);
  picture = TBitmap(img.width(), img.height(), pf24bit, clGlobalTransparent);
  for (int y = 0; y < img.height(); ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    uint8_t* d = picture.ScanLine(y);
    for (int x = 0; x < img.width(); ++x, d += 3)
      if (qAlpha(src[x]) >= 128) {
        d[0] = uint8_t(qBlue(src[x]));
        d[1] = uint8_t(qGreen(src[x]));
        d[2] = uint8_t(qRed(src[x]));
      }
  }
  picture.Transparent = true;
  picture.TransparentColor = clGlobalTransparent;
  return true;
}

// The texture of a textured text, 24-bit; empty when it cannot be read.
TBitmap LoadTexture(const TTextData& data) {
  TBitmap picture;
  if (!data.Textured || data.TextureFile.empty()) return picture;
  const bool read = LoadTexturePicture ? LoadTexturePicture(data.TextureFile, picture)
                                       : ReadTextureWithQt(data.TextureFile, picture);
  if (!read || picture.Empty()) return TBitmap();
  if (picture.PixelFormat() == pf24bit) return picture;
  TBitmap bits;
  DrawGraphicOnTransparentColor(picture, bits);
  return bits;
}

// The rectangle of the layer cut from a rendering: the letters' bounds, 2 pixels wider
// on every side for the outline and the relief, which reach beyond the letters. An
// empty rendering gives one hidden pixel at the origin.
TRect LetterRect(const TBitmap& text, const TTextData& data, bool& empty) {
  TRect r;
  FindTrimRect(text, 0, clWhite, r);
  empty = r.IsEmpty();
  if (empty) return TRect{0, 0, 1, 1};
  if (data.Outline || data.Relief) r = TRect{r.Left - 2, r.Top - 2, r.Right + 2, r.Bottom + 2};
  return r;
}

}  // namespace

QFont TextFont(const TTextData& data) {
  QFont font;
  if (!data.FontName.empty()) font.setFamily(QString::fromUtf8(data.FontName.c_str()));
  font.setPixelSize(std::max(1, PointsToPixels(std::clamp(data.FontSize, 1, kMaxTextPoints))));
  font.setBold(data.FontStyle & fsBold);
  font.setItalic(data.FontStyle & fsItalic);
  font.setUnderline(data.FontStyle & fsUnderline);
  font.setStrikeOut(data.FontStyle & fsStrikeOut);
  // Fixed hinting and no subpixel colours: the desktop's font settings (which the X11
  // platform passes on and the offscreen one does not) must not change the pixels.
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setStyleStrategy(QFont::StyleStrategy(QFont::NoSubpixelAntialias |
                                             (data.Antialias ? QFont::PreferAntialias : QFont::NoAntialias)));
  return font;
}

TTextLayout LayoutText(const TTextData& data) {
  TTextLayout t;
  const QFontMetrics fm(TextFont(data));
  t.ItalicExtra = (data.FontStyle & fsItalic) ? fm.horizontalAdvance(QStringLiteral("M")) : 0;
  t.LineHeight = fm.height();
  int64_t widest = 0;
  for (const std::string& line : data.Lines) {
    t.LineWidths.push_back(std::max(0, fm.horizontalAdvance(LineText(line))));
    widest = std::max(widest, int64_t(t.LineWidths.back()) + 2 * t.ItalicExtra);
  }
  // A block beyond what a bitmap may hold is refused by RenderText; the sizes stop just
  // past that limit so that turning them stays in range.
  t.BlockWidth = int(std::min<int64_t>(widest + 6, kMaxBitmapSide + 1));
  t.BlockHeight = int(std::min<int64_t>(int64_t(data.Lines.size()) * t.LineHeight + 6, kMaxBitmapSide + 1));
  const int w = t.BlockWidth, h = t.BlockHeight;
  const TTurn turn = TextTurn(data);
  t.Width = w;
  t.Height = h;
  if (turn.turned) {
    t.Width = std::abs(RoundHalfEven(h * turn.s)) + std::abs(RoundHalfEven(w * turn.c));
    t.Height = std::abs(RoundHalfEven(w * turn.s)) + std::abs(RoundHalfEven(h * turn.c));
  }
  const int cx = w / 2, cy = h / 2, rcx = t.Width / 2, rcy = t.Height / 2;
  for (size_t i = 0; i < data.Lines.size(); ++i) {
    const int lw = t.LineWidths[i];
    const int y = 3 + int(i) * t.LineHeight;
    int x = t.ItalicExtra + 3;
    if (data.Alignment == 1) x = (w - lw) / 2;
    else if (data.Alignment == 2) x = w - 3 - lw - t.ItalicExtra;
    if (turn.turned) {
      const double dx = x - cx, dy = cy - y;
      x = RoundHalfEven(dx * turn.c - dy * turn.s) + rcx;
      t.LineOrigins.push_back(TPoint{x, rcy - RoundHalfEven(dx * turn.s + dy * turn.c)});
    } else {
      t.LineOrigins.push_back(TPoint{x, y});
    }
  }
  return t;
}

namespace {

// An upright text without rules (underline, strike-out) is drawn from stamps: every
// distinct glyph, at each fraction of a pixel it stands on, is drawn once through
// QPainter and then copied wherever it occurs, giving the pixels QPainter gives the
// whole line. Large glyphs are filled as outlines, each costing as much as everything
// else here; a page of text holds a few dozen distinct ones.
struct TGlyphStamp {
  QImage coverage;  // black on transparent
  QPoint offset;    // the image's top-left from the glyph's whole-pixel origin
};
struct TPlacedGlyph {
  int stamp;
  QPoint origin;  // whole pixels, bitmap coordinates
};
struct TStampedText {
  std::vector<TGlyphStamp> stamps;
  std::vector<std::vector<TPlacedGlyph>> lines;
};

TStampedText StampText(const TTextData& data, const TTextLayout& t, const QFont& font, qreal ascent) {
  TStampedText out;
  out.lines.resize(data.Lines.size());
  std::vector<QRawFont> fonts;
  std::map<std::tuple<size_t, quint32, int, int>, int> known;
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  for (size_t i = 0; i < data.Lines.size(); ++i) {
    QTextLayout layout(LineText(data.Lines[i]), font);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid()) continue;
    const TPoint o = t.LineOrigins[i];
    const double baseline = o.Y + ascent;
    for (const QGlyphRun& run : line.glyphRuns()) {
      const QRawFont raw = run.rawFont();
      size_t f = std::find(fonts.begin(), fonts.end(), raw) - fonts.begin();
      if (f == fonts.size()) fonts.push_back(raw);
      const QList<quint32> glyphs = run.glyphIndexes();
      const QList<QPointF> places = run.positions();
      for (qsizetype k = 0; k < glyphs.size() && k < places.size(); ++k) {
        // positions are whole 64ths of a pixel
        const int64_t gx = std::llround((o.X + places[k].x()) * 64);
        const int64_t gy = std::llround((baseline + places[k].y() - line.ascent()) * 64);
        const int64_t ix = gx >= 0 ? gx / 64 : -((-gx + 63) / 64), iy = gy >= 0 ? gy / 64 : -((-gy + 63) / 64);
        const int fx = int(gx - ix * 64), fy = int(gy - iy * 64);
        auto [it, fresh] = known.try_emplace({f, glyphs[k], fx, fy}, int(out.stamps.size()));
        if (fresh) {
          const QRectF bounds = raw.boundingRect(glyphs[k]);
          constexpr int kPad = 3;  // hinting and antialiasing reach past the outline's bounds
          const int left = int(std::floor(bounds.left())) - kPad, top = int(std::floor(bounds.top())) - kPad;
          const int w = int(std::ceil(bounds.right())) - left + kPad + 1;
          const int h = int(std::ceil(bounds.bottom())) - top + kPad + 1;
          TGlyphStamp stamp{QImage(std::max(1, w), std::max(1, h), QImage::Format_ARGB32_Premultiplied), {left, top}};
          stamp.coverage.fill(0);
          QPainter p(&stamp.coverage);
          p.setPen(QColor(0, 0, 0));
          p.setRenderHint(QPainter::TextAntialiasing, data.Antialias);
          QGlyphRun one;
          one.setRawFont(raw);
          one.setGlyphIndexes({glyphs[k]});
          one.setPositions({QPointF(-left + fx / 64.0, -top + fy / 64.0)});
          p.drawGlyphRun(QPointF(0, 0), one);
          p.end();
          out.stamps.push_back(std::move(stamp));
        }
        out.lines[i].push_back({it->second, QPoint(int(ix), int(iy))});
      }
    }
  }
  return out;
}

}  // namespace

TBitmap RenderText(const TTextData& data) {
  const TTextLayout t = LayoutText(data);
  if (t.Width < 1 || t.Height < 1 || t.Width > kMaxBitmapSide || t.Height > kMaxBitmapSide ||
      int64_t(t.Width) * t.Height > kMaxTextPixels)
    return TBitmap();
  const QFont font = TextFont(data);
  const QFontMetricsF fm(font);
  const qreal ascent = fm.ascent();
  const TTurn turn = TextTurn(data);
  // Where each line may leave ink: its cell and its letters' bounds (italic overhang,
  // accents), two pixels wider for the antialiasing, turned with the line.
  std::vector<TRect> reach(data.Lines.size());
  for (size_t i = 0; i < data.Lines.size(); ++i) {
    const QRectF ink = fm.boundingRect(LineText(data.Lines[i])).translated(0, ascent);
    const QRectF cell = QRectF(0, 0, t.LineWidths[i] + 2 * t.ItalicExtra, t.LineHeight).united(ink);
    QTransform tr;
    tr.translate(t.LineOrigins[i].X, t.LineOrigins[i].Y);
    if (turn.turned) tr.rotate(double(data.Angle));
    const QRect box = tr.mapRect(cell.adjusted(-4, -4, 4, 4)).toAlignedRect();
    reach[i] = TRect{box.left(), box.top(), box.left() + box.width(), box.top() + box.height()};
  }
  const bool stamps = !turn.turned && !font.underline() && !font.strikeOut();
  const TStampedText stamped = stamps ? StampText(data, t, font, ascent) : TStampedText();
  TBitmap out(t.Width, t.Height, pf24bit, clWhite);
  // Bands of rows are drawn side by side, each band drawing the lines that reach it.
  // The letters' coverage is taken straight from the rasteriser (black on transparent:
  // no colour, no gamma), and a row gets the same coverage whichever band draws it, so
  // the result does not depend on the thread count.
  constexpr int kBand = 256;
  const int bands = (t.Height + kBand - 1) / kBand;
  ParallelRows(0, bands, int64_t(t.Width) * t.Height, [&](int b0, int b1) {
    QImage cover;
    for (int band = b0; band < b1; ++band) {
      const int y0 = band * kBand, y1 = std::min(t.Height, y0 + kBand);
      if (cover.height() != y1 - y0) cover = QImage(t.Width, y1 - y0, QImage::Format_ARGB32_Premultiplied);
      cover.fill(0);
      {
        QPainter p(&cover);
        p.setFont(font);
        p.setPen(QColor(0, 0, 0));
        p.setRenderHint(QPainter::TextAntialiasing, data.Antialias);
        p.translate(0, -y0);
        for (size_t i = 0; i < data.Lines.size(); ++i) {
          if (reach[i].Bottom <= y0 || reach[i].Top >= y1) continue;
          if (stamps) {
            for (const TPlacedGlyph& g : stamped.lines[i]) {
              const TGlyphStamp& stamp = stamped.stamps[size_t(g.stamp)];
              const int top = g.origin.y() + stamp.offset.y();
              if (top < y1 && top + stamp.coverage.height() > y0)
                p.drawImage(g.origin + stamp.offset, stamp.coverage);
            }
            continue;
          }
          p.save();
          p.translate(t.LineOrigins[i].X, t.LineOrigins[i].Y);
          if (turn.turned) p.rotate(double(data.Angle));  // QPainter turns clockwise on screen
          p.drawText(QPointF(0, ascent), LineText(data.Lines[i]));
          p.restore();
        }
      }
      for (int y = y0; y < y1; ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(cover.constScanLine(y - y0));
        uint8_t* d = out.ScanLine(y);
        for (int x = 0; x < t.Width; ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = uint8_t(255 - qAlpha(a[x]));
      }
    }
  });
  if (data.Relief) FeatherMaskEdgesRect(out, UnboundedRect);
  if (data.Blur > 0) BlurMaskCrossPasses(out, std::min(data.Blur, kMaxTextBlurPasses - 1) + 1, UnboundedRect);
  if (data.Inverted) InvertRect(out, UnboundedRect);
  return out;
}

namespace {

// One copy of the letters blended into a layer bitmap: the rendering shifted by
// (dx, dy) from its place, in a colour.
struct TCover {
  TPoint shift;
  TColor color;
};

// dst, filled beforehand, takes the covers in order, each exactly as
// BlendColorThroughMask(text placed at `at` + shift, colour, 100 %) would blend it, and
// then white wherever the whiten mask (null: none) hides the pixel. One pass over the
// rows instead of one per cover: a pixel only ever depends on itself. The rendering is
// grey (its three bytes alike), so each byte of it weighs the byte of dst under it.
void ApplyCovers(const TBitmap& text, TPoint at, TBitmap& dst, const std::vector<TCover>& covers,
                 const TBitmap* whiten) {
  const int W = dst.Width(), tw = text.Width(), th = text.Height();
  ParallelRows(0, dst.Height(), int64_t(W) * dst.Height() * int64_t(covers.size() + 1), [&](int y0, int y1) {
    // a row of each cover's colour
    std::vector<std::vector<uint8_t>> colorRows;
    for (const TCover& c : covers) {
      const TPixel24 px = ColorToPixel24(c.color);
      std::vector<uint8_t> row(size_t(W) * 3);
      for (int x = 0; x < W; ++x) std::memcpy(&row[size_t(x) * 3], &px, 3);
      colorRows.push_back(std::move(row));
    }
    for (int y = y0; y < y1; ++y) {
      uint8_t* d = dst.ScanLine(y);
      for (size_t k = 0; k < covers.size(); ++k) {
        const int ox = at.X + covers[k].shift.X, ty = y - at.Y - covers[k].shift.Y;
        const int x0 = std::max(0, ox), x1 = std::min(W, tw + ox);
        if (ty < 0 || ty >= th || x0 >= x1) continue;
        const uint8_t* __restrict t = text.ScanLine(ty) + 3 * ptrdiff_t(x0 - ox);
        const uint8_t* __restrict c = colorRows[k].data() + 3 * ptrdiff_t(x0);
        uint8_t* __restrict p = d + 3 * ptrdiff_t(x0);
        for (int j = 0, n = 3 * (x1 - x0); j < n; ++j) {
          const int weight = (255 - t[j]) * 100 / 255;  // the blend's percent under the mask
          const int v = (int(c[j]) - p[j]) * weight;
          p[j] = uint8_t(p[j] + (v < 0 ? -(-v / 100) : v / 100));
        }
      }
      if (whiten) {
        const uint8_t* m = whiten->ScanLine(y);
        for (int x = 0; x < W; ++x)
          if (m[3 * x] == 255) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = 255;
      }
    }
  });
}

// A 24-bit w x h bitmap in the colour, over the old bitmap's buffer when that holds
// exactly the bytes needed: a text drawn again keeps its layer's pixels' memory instead
// of faulting in fresh pages.
TBitmap Refill(TBitmap&& old, int w, int h, TColor color) {
  if (old.PixelFormat() != pf24bit || !old.Reshape(w, h)) return TBitmap(w, h, pf24bit, color);
  TBitmap b = std::move(old);
  b.Transparent = false;
  b.TransparentColor = clNone;
  b.BrushColor = color;
  std::vector<uint8_t> row(size_t(w) * 3);
  const TPixel24 px = ColorToPixel24(color);
  for (int x = 0; x < w; ++x) std::memcpy(&row[size_t(x) * 3], &px, 3);
  ParallelRows(0, h, int64_t(w) * h, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) std::memcpy(b.ScanLine(y), row.data(), row.size());
  });
  return b;
}

}  // namespace

void RenderTextLayer(TLayerItem& layer) {
  const auto* data = dynamic_cast<const TTextData*>(layer.Data.get());
  if (!data) return;
  const TBitmap text = RenderText(*data);
  bool empty = true;
  const TRect r = LetterRect(text, *data, empty);
  const TRect all{0, 0, r.Width(), r.Height()};
  // The rendering lies with r's top-left at the layer's origin.
  const TPoint at{-r.Left, -r.Top};
  static constexpr TPoint kOutline[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  static constexpr TPoint kRelief[] = {{1, 1}, {2, 2}, {-1, -1}, {-2, -2}};

  TBitmap mask = Refill(std::move(layer.Mask), r.Width(), r.Height(), clWhite);
  std::vector<TCover> covers;
  if (!empty) {
    covers.push_back({{0, 0}, clBlack});
    if (data->Outline)
      for (TPoint s : kOutline) covers.push_back({s, clBlack});
    if (data->Relief)
      for (TPoint s : kRelief) covers.push_back({s, clBlack});
    ApplyCovers(text, at, mask, covers, nullptr);
  }
  const TBitmap texture = empty ? TBitmap() : LoadTexture(*data);
  const bool keyed = !texture.Empty() && texture.Transparent;
  const TColor key = keyed ? texture.EffectiveTransparentColor() : clNone;
  // The pattern starts where the letters' block starts inside the layer.
  const TPoint origin{std::max(0, at.X), std::max(0, at.Y)};
  if (keyed) MaskByTiledPattern(mask, all, texture, key, origin.X, origin.Y);

  const TColor fill = data->Outline ? data->OutlineColor : data->TextColor;
  TBitmap image = Refill(std::move(layer.Image), r.Width(), r.Height(), fill);
  layer.Color = fill;
  covers.clear();
  if (!empty) {
    if (data->Outline)
      for (TPoint s : kOutline) covers.push_back({s, data->OutlineColor});
    if (data->Relief) {
      const TColor dark = MixColors(data->TextColor, clBlack, 70), light = MixColors(data->TextColor, clWhite, 70);
      for (int i = 0; i < 4; ++i) covers.push_back({kRelief[i], i < 2 ? dark : light});
    }
    if (texture.Empty()) covers.push_back({{0, 0}, data->TextColor});
  }
  ApplyCovers(text, at, image, covers, texture.Empty() ? &mask : nullptr);
  if (!texture.Empty()) {
    if (keyed) FillPatternThroughMask(text, GetBitmapRect(text), image, at.X, at.Y, all, texture, true, key, 100);
    else FillRectWithPatternPlain(texture, image, origin.X, origin.Y, all);
    WhitenMaskedArea(image, mask);
  }
  layer.Image = std::move(image);
  layer.Mask = std::move(mask);
  layer.Opacity = uint8_t(std::clamp(data->Opacity, 0, 100));
  layer.Shadow.Enabled = data->ShadowEnabled;
  if (data->ShadowEnabled) {
    layer.Shadow.Color = data->ShadowColor;
    layer.Shadow.OffsetX = data->ShadowOffsetX;
    layer.Shadow.OffsetY = data->ShadowOffsetY;
    layer.Shadow.Opacity = data->ShadowOpacity;
    layer.Shadow.Radius = data->ShadowRadius;
    layer.Shadow.Spread = data->ShadowSpread;
  }
}

void InstallTextLayerHooks() {
  CreateLayerData = [](TLayerItem& layer) {
    if (!layer.Data) layer.Data = std::make_unique<TTextData>();
  };
  RenderLayerData = [](TLayerItem& layer) { RenderTextLayer(layer); };
}

int CreateTextLayer(TLayerHost& host, const std::string& name, const TTextData& data, bool isNew,
                    const TRect& placement) {
  TLayeredImage* image = host.ActiveImage();
  if (!image || image->GetLayerCount() == 0) return -1;
  if (isNew) {
    auto own = std::make_unique<TTextData>(data);
    KeepLinesStorable(own->Lines);
    const int i = AddTextLayer(host, name, std::move(own));
    if (i < 0) return -1;
    TLayerItem& layer = image->Layers[i];
    RenderTextLayer(layer);
    TRect r = Bounds(0, 0, layer.Image.Width(), layer.Image.Height());
    if (placement == GetBitmapRect(image->Layers[0].Image)) {
      r = PlaceLayerAtSelection(host, r);
    } else {
      r = OffsetRect(r, placement.Left, placement.Top);
      KeepRectInside(r, GetBitmapRect(image->Layers[0].Image), false);
    }
    layer.Left = r.Left;
    layer.Top = r.Top;
    image->InvalidateImage();
    host.LayerStackChanged(TLayerChange::Changed, i);
    return i;
  }
  TLayerItem* layer = image->GetActiveLayer();
  if (!layer || layer->LayerType != ltText) return -1;
  auto* own = dynamic_cast<TTextData*>(layer->Data.get());
  if (!own) {
    layer->Data = std::make_unique<TTextData>(data);
    own = static_cast<TTextData*>(layer->Data.get());
  } else if (own != &data) {
    own->Assign(data);
  }
  KeepLinesStorable(own->Lines);
  // Where the old letters were and where the new ones go both need composing again.
  image->InvalidateLayerRect(image->GetActiveLayerBounds());
  RenderTextLayer(*layer);
  image->InvalidateLayerRect(image->GetActiveLayerBounds());
  host.LayerStackChanged(TLayerChange::Changed, image->ActiveIndex());
  return image->ActiveIndex();
}

bool TextToSelection(TLayerHost& host, const TTextData& data, bool atSelection) {
  TLayeredImage* image = host.ActiveImage();
  TSelectionOverlay* sel = host.ActiveSelection();
  if (!image || !sel || image->GetLayerCount() == 0) return false;
  const TBitmap text = RenderText(data);
  if (text.Empty()) return false;
  TShapeManager shape;
  TRect traced;
  shape.ShapeFromMask(&text, 128, traced);
  if (traced.IsEmpty()) return false;
  TRect r = Bounds(0, 0, traced.Width(), traced.Height());
  if (atSelection) {
    r = sel->Visible ? PlaceLayerAtRect(host, r, true) : PlaceLayerAtSelection(host, r);
  } else if (const TLayerItem* layer = image->GetActiveLayer()) {
    // Over the letters as the layer shows them: the layer starts at the letters' rect.
    bool empty = true;
    const TRect letters = LetterRect(text, data, empty);
    const TPoint origin = image->ActiveIndex() > 0 ? TPoint{layer->Left, layer->Top} : TPoint{};
    r = OffsetRect(r, origin.X + traced.Left - letters.Left, origin.Y + traced.Top - letters.Top);
  }
  sel->Shape = std::move(shape);
  sel->SetShape(ssMultiPoints);
  sel->SetOutlineInset(false);
  sel->SetSelectionRect(r);
  host.ShowSelection();
  host.EndSelectionMode();
  return true;
}

}  // namespace qm
