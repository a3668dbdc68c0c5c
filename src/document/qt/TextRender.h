#pragma once
// Text layers: the text of a TTextData drawn into our bitmaps through QPainter, the
// layer's image and mask made from that drawing, the text layer created or rendered
// again for the text dialog, and a text turned into a selection outline.
//
// Text is drawn at a fixed 96 dots per inch (a point is 4/3 pixel) with fixed hinting
// and grey antialiasing, so a text layer comes out the same on every screen, under the
// offscreen platform and when a layered file is opened elsewhere on the same fonts.
// A QGuiApplication must exist (Qt's font database needs one).
#include <functional>
#include <string>
#include <vector>

#include <QFont>

#include "document/LayerHost.h"
#include "document/LayerItem.h"
#include "document/TextData.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

namespace qm {

constexpr int kTextDpi = 96;
// The largest font size a text is drawn at, in points (the text dialog's limit), and
// the most smoothing passes its letters get (the dialog asks for 2 or 3).
constexpr int kMaxTextPoints = 1000;
constexpr int kMaxTextBlurPasses = 10;

// The font of a text: its face, size (points at 96 dpi, within 1..kMaxTextPoints),
// style and smoothing.
QFont TextFont(const TTextData& data);

// Where the text goes: the sizes every rendering of the text follows.
struct TTextLayout {
  int LineHeight = 0;    // the font's height (ascent and descent)
  int ItalicExtra = 0;   // the width of "M" for italic text, else 0
  std::vector<int> LineWidths;
  int BlockWidth = 0;    // widest line with twice the italic extra, + 6
  int BlockHeight = 0;   // lines x line height, + 6
  int Width = 0;         // the bitmap: the block turned by the angle
  int Height = 0;
  // Top-left corner of each line's cell in the bitmap (before the line is turned
  // about it).
  std::vector<TPoint> LineOrigins;
};
TTextLayout LayoutText(const TTextData& data);

// The text in black on white, 24-bit, turned by the angle (a positive angle turns it
// clockwise on screen), with the relief, blur and inversion of the payload applied to
// the letters. Empty when the text would make a bitmap beyond kMaxTextPixels.
constexpr int64_t kMaxTextPixels = int64_t(1) << 28;
TBitmap RenderText(const TTextData& data);

// Renders the layer's text payload into its Image and Mask (cut to the letters, with
// their outline, relief, texture and inversion), and sets its Opacity and Shadow from
// the payload. Nothing for a layer without a text payload.
void RenderTextLayer(TLayerItem& layer);

// Reads the picture a textured text is filled with. The shell installs the reader of
// the image files (every registered format); unassigned, Qt's own readers are used, a
// picture's transparent pixels taking the global transparent colour as its key.
extern std::function<bool(const std::string& fileName, TBitmap& picture)> LoadTexturePicture;

// Installs the layer model's hooks for text layers: an empty TTextData for a layer
// loaded or copied with a payload, and RenderTextLayer for composition.
void InstallTextLayerHooks();

// The text dialog's OK. isNew: a text layer named name, holding a copy of data, is
// added above the active layer, rendered, and placed: centred in the visible part of
// the image when placement is the whole image, else at placement's top-left, kept
// inside the image. Otherwise the active text layer takes data (unless data is its own
// payload) and is rendered again where it is. Either way the layer's lines are kept
// within what the layered file stores (KeepLinesStorable). Returns the layer's index,
// -1 when nothing was done (no document, or no active text layer to render again).
int CreateTextLayer(TLayerHost& host, const std::string& name, const TTextData& data, bool isNew,
                    const TRect& placement);

// The selection becomes the outline of the rendered text (traced at 128): with
// atSelection at the shown selection's top-left (centred in the visible part of the
// image when none is shown), kept inside the image; otherwise over the letters of the
// active layer as it is placed. The selection is shown and the selection tool leaves
// its mode. False, with the selection unchanged, when the text has no letters.
bool TextToSelection(TLayerHost& host, const TTextData& data, bool atSelection);

}  // namespace qm
