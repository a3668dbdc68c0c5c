#include "document/TextData.h"

#include <string_view>
#include <tuple>

#include "platform/core/Stream.h"

namespace qm {

void TTextData::Assign(const TLayerData& source) {
  if (const auto* t = dynamic_cast<const TTextData*>(&source); t && t != this) *this = *t;
}

namespace {
auto Fields(const TTextData& t) {
  return std::tie(t.Kind, t.FontName, t.FontSize, t.TextColor, t.Alignment, t.FontStyle, t.Angle, t.Antialias,
                  t.Outline, t.Opacity, t.ShadowEnabled, t.ShadowColor, t.ShadowOffsetX, t.ShadowOffsetY,
                  t.ShadowOpacity, t.ShadowRadius, t.ShadowSpread, t.OutlineColor, t.Blur, t.Inverted, t.Relief,
                  t.Textured, t.TextureFile, t.Lines, t.Extra1, t.Extra2);
}
}  // namespace

bool TTextData::operator==(const TTextData& o) const { return Fields(*this) == Fields(o); }

void TTextData::SaveToStream(TStream& s) const {
  s.WriteUInt8(Kind);
  WriteStoredString(s, FontName, kMaxStoredString);
  s.WriteInt32(FontSize);
  s.WriteUInt32(TextColor);
  s.WriteInt32(Alignment);
  s.WriteUInt8(FontStyle);
  s.WriteInt32(Angle);
  s.WriteUInt8(Antialias);
  s.WriteUInt8(Outline);
  s.WriteInt32(Opacity);
  s.WriteUInt8(ShadowEnabled);
  s.WriteUInt32(ShadowColor);
  s.WriteInt32(ShadowOffsetX);
  s.WriteInt32(ShadowOffsetY);
  s.WriteInt32(ShadowOpacity);
  s.WriteInt32(ShadowRadius);
  s.WriteUInt8(ShadowSpread);
  s.WriteUInt32(OutlineColor);
  s.WriteInt32(Blur);
  s.WriteUInt8(Inverted);
  s.WriteUInt8(Relief);
  s.WriteUInt8(Textured);
  WriteStoredString(s, TextureFile, kMaxStoredString);
  s.WriteInt32(int32_t(std::min<size_t>(Lines.size(), INT32_MAX)));
  for (size_t i = 0; i < Lines.size() && i < size_t(INT32_MAX); ++i) WriteStoredString(s, Lines[i], kMaxStoredString);
  s.WriteInt32(Extra1);
  s.WriteInt32(Extra2);
}

void TTextData::LoadFromStream(TStream& s) {
  TTextData t;
  t.Kind = s.ReadUInt8();
  t.FontName = ReadStoredString(s);
  t.FontSize = s.ReadInt32();
  t.TextColor = s.ReadUInt32();
  t.Alignment = s.ReadInt32();
  t.FontStyle = s.ReadUInt8();
  t.Angle = s.ReadInt32();
  t.Antialias = s.ReadUInt8() != 0;
  t.Outline = s.ReadUInt8() != 0;
  t.Opacity = s.ReadInt32();
  t.ShadowEnabled = s.ReadUInt8() != 0;
  t.ShadowColor = s.ReadUInt32();
  t.ShadowOffsetX = s.ReadInt32();
  t.ShadowOffsetY = s.ReadInt32();
  t.ShadowOpacity = s.ReadInt32();
  t.ShadowRadius = s.ReadInt32();
  t.ShadowSpread = s.ReadUInt8() != 0;
  t.OutlineColor = s.ReadUInt32();
  t.Blur = s.ReadInt32();
  t.Inverted = s.ReadUInt8() != 0;
  t.Relief = s.ReadUInt8() != 0;
  t.Textured = s.ReadUInt8() != 0;
  t.TextureFile = ReadStoredString(s);
  const int32_t lines = s.ReadInt32();
  // each line takes at least its 4-byte length
  if (lines < 0 || lines > s.Remaining() / 4) throw EReadError("Nombre de lignes invalide");
  t.Lines.reserve(size_t(lines));
  for (int32_t i = 0; i < lines; ++i) t.Lines.push_back(ReadStoredString(s));
  t.Extra1 = s.ReadInt32();
  t.Extra2 = s.ReadInt32();
  *this = std::move(t);
}

void KeepLinesStorable(std::vector<std::string>& lines) {
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (std::string& line : lines) {
    std::string_view rest = line;
    while (rest.size() > kMaxStoredString) {
      size_t cut = Utf8Prefix(rest, kMaxStoredString).size();
      if (cut == 0) cut = kMaxStoredString;  // no character boundary: not UTF-8
      const size_t space = rest.substr(0, cut + 1).rfind(' ');
      if (space != std::string_view::npos && space > 0) {
        out.emplace_back(rest.substr(0, space));
        rest.remove_prefix(space + 1);
      } else {
        out.emplace_back(rest.substr(0, cut));
        rest.remove_prefix(cut);
      }
    }
    out.emplace_back(rest);
  }
  lines = std::move(out);
}

}  // namespace qm
