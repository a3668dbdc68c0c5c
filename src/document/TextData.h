#pragma once
// The payload of a text layer: the text and how it is drawn. Rendering it into the
// layer's bitmaps belongs to the text-layer operations; this file holds the data, its
// copy and its stream form in the layered file.
#include <cstdint>
#include <string>
#include <vector>

#include "document/LayerItem.h"
#include "platform/core/Types.h"

namespace qm {

// FontStyle bits.
constexpr uint8_t fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;

class TTextData : public TLayerData {
 public:
  uint8_t Kind = 0;  // set by the text dialog, carried unchanged
  std::string FontName;
  int32_t FontSize = 0;  // points
  TColor TextColor = 0;
  int32_t Alignment = 0;  // 0 left, 1 centre, 2 right
  uint8_t FontStyle = 0;  // fsBold | fsItalic | fsUnderline | fsStrikeOut
  int32_t Angle = 0;      // degrees; a positive angle turns the text clockwise on screen
  bool Antialias = false;
  bool Outline = false;
  int32_t Opacity = 0;  // the layer's opacity once rendered
  bool ShadowEnabled = false;
  TColor ShadowColor = 0;
  int32_t ShadowOffsetX = 0, ShadowOffsetY = 0, ShadowOpacity = 0, ShadowRadius = 0;
  bool ShadowSpread = false;
  TColor OutlineColor = 0;
  int32_t Blur = 0;  // smoothing passes of the letter mask
  bool Inverted = false;
  bool Relief = false;
  bool Textured = false;
  std::string TextureFile;
  std::vector<std::string> Lines;
  int32_t Extra1 = 0, Extra2 = 0;  // set by the text dialog, carried unchanged

  // Every field, from another TTextData only.
  void Assign(const TLayerData& source) override;

  // The stream form (strings as int32 length and bytes, at most 255 bytes each, cut
  // on a character boundary when longer). Loading replaces every field, the lines
  // included; a stream that does not hold a whole payload raises EReadError and
  // leaves this payload as it was.
  void SaveToStream(TStream& s) const override;
  void LoadFromStream(TStream& s) override;

  // Every field equal.
  bool operator==(const TTextData& o) const;
};

// The largest string the stream form stores, in bytes.
constexpr size_t kMaxStoredString = 255;

// Breaks every line longer than the stream form stores into lines that fit: after the
// last space that fits (the space is dropped), else after the last whole character
// that fits. The text commands keep a layer's lines so, so that saving keeps the whole
// text instead of cutting it.
void KeepLinesStorable(std::vector<std::string>& lines);

}  // namespace qm
