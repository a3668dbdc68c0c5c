#pragma once
// Images to and from the system clipboard (QClipboard), with one record beside it that
// keeps what a plain picture cannot carry: the mask of the copied pixels (feathered
// selection edges, layer transparency) and a transparent colour. Our own copy pasted
// back into the program keeps them; a picture another program put there pastes
// without a mask.
//
// Whether the clipboard still holds our copy is decided when it is read, not from the
// clipboard's change signal alone (X11 may signal our own copy after it was made):
// our copy carries a token of its own in a private format beside the picture, and the
// record is only used while the clipboard's data carries the record's token.
//
// GUI thread only; a QGuiApplication must exist. The metafile flavour of other
// platforms has no counterpart here: pictures are exchanged as images.
#include <QByteArray>

#include "document/LayerHost.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Types.h"

class QObject;

namespace qm {

class TClipboardData {
 public:
  TBitmap Mask;                      // 0 copied, 255 transparent; empty when none
  TColor TransparentColor = clNone;  // of the copied picture
  bool Valid = false;                // set by our copies, cleared by a reset
  QByteArray Token;                  // marks our copy on the clipboard
};

// The program's record (made on first use, kept for the process).
TClipboardData& ClipboardData();

// The private clipboard format that carries the token.
inline constexpr char kClipboardTokenFormat[] = "application/x-quillomatic-clip";

// True while the system clipboard holds the copy the record was made with.
bool IsOwnClipboard(const TClipboardData& record);

// Mask emptied, no transparent colour, not valid.
void ResetClipboardData(TClipboardData& record);
// Empties the system clipboard, then resets the record.
void ClearClipboardData(TClipboardData& record);
// Resets the record whenever the clipboard changes to something that is not our copy.
// The connection lives as long as context, which the record must outlive.
void WatchClipboard(TClipboardData& record, QObject* context);

// A transparent bitmap's key colour becomes the record's transparent colour, and the
// pixels of exactly that colour become 255 in the record's mask (a black mask of the
// bitmap's size is made first when there is none); otherwise no transparent colour.
// The record becomes valid.
void StoreMaskFrom(TClipboardData& record, const TBitmap& bitmap);

// Puts the bitmap on the clipboard (as a plain picture, with our token) and keeps the
// mask (null or empty: none) in the record. An empty bitmap empties the clipboard and
// the record instead. The moving form takes the pixels over without a copy.
void CopyBitmapWithMask(TClipboardData& record, const TBitmap* bitmap, const TBitmap* mask);
void CopyBitmapWithMask(TClipboardData& record, TBitmap&& bitmap, TBitmap&& mask);

// Edit > copy: the working rectangle of the active layer; with a shaped or inverted
// selection its mask, edges ramped over 33 pixels and the layer's own mask merged in
// (the lighter value); otherwise the layer's mask over the rectangle when it has one.
// An empty rectangle empties the clipboard. False when nothing was copied.
bool CopySelection(TLayerHost& host, TClipboardData& record);
// Edit > copy merged: the same from the composed image (no layer mask merged).
bool CopyMerged(TLayerHost& host, TClipboardData& record);

// The clipboard's picture as a 24-bit bitmap (empty when it holds none); a picture with
// alpha is laid over white. With keepMask, a transparent picture records its key.
void ReadClipboardImage(TClipboardData& record, TBitmap& bitmap, bool keepMask);
// The picture, and our mask with it while the clipboard still holds our copy (the
// picture then also gets our transparent colour back). The mask is empty otherwise.
void GetClipboardImageAndMask(TClipboardData& record, TBitmap& bitmap, TBitmap& mask);
// The picture cut in two: the left half (width div 2) and the rest.
void ReadClipboardHalves(TClipboardData& record, TBitmap& left, TBitmap& right);
// The picture, and beside it a bitmap of its size in the palette's foreground colour.
void ReadClipboardOnColour(TLayerHost& host, TClipboardData& record, TBitmap& bitmap, TBitmap& picture);
// Whether the clipboard offers a picture.
bool ClipboardHasImage();

// Edit > paste into the selection: the picture (fitted proportionally to the working
// rectangle with fit, else at its own size) centred in the working rectangle and
// copied onto the active layer through the selection mask (feathered over 33 pixels
// for a shape other than a rectangle, unless the selection smoothing is off) merged
// with the picture's own mask. False when nothing was pasted.
bool PasteIntoSelection(TLayerHost& host, TClipboardData& record, bool fit);

}  // namespace qm
