#include "dialogs/copyright/CopyrightStamp.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <ctime>

#include "pixel/Blend.h"
#include "pixel/ColorAdjust.h"
#include "pixel/ImgUtils.h"
#include "platform/qt/QtBitmap.h"
#include "platform/texts/DateFormat.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/FileUtils.h"

namespace qm {
namespace {

constexpr std::string_view kSection = "Copyright";
constexpr std::string_view kMissing = "ERR";

// Every occurrence of key (ASCII, any case) replaced by value.
std::string ReplaceIgnoringCase(std::string text, std::string_view key, const std::string& value) {
  const std::string lowerKey = LowerCase(key);
  size_t at = 0;
  for (;;) {
    const std::string lower = LowerCase(text);
    at = lower.find(lowerKey, at);
    if (at == std::string::npos) return text;
    text.replace(at, key.size(), value);
    at += value.size();
  }
}

}  // namespace

std::string ExpandCopyrightTemplate(std::string_view text, const std::string& fileName, const std::string& date,
                                    int width, int height) {
  const std::string name = ExtractFileName(fileName);
  const size_t dot = name.rfind('.');
  std::string s(text);
  s = ReplaceIgnoringCase(std::move(s), "<#n>", dot == std::string::npos || dot == 0 ? name : name.substr(0, dot));
  s = ReplaceIgnoringCase(std::move(s), "<#ne>", name);
  s = ReplaceIgnoringCase(std::move(s), "<#d>", date);
  s = ReplaceIgnoringCase(std::move(s), "<#w>", std::to_string(width));
  s = ReplaceIgnoringCase(std::move(s), "<#h>", std::to_string(height));
  return s;
}

std::string CopyrightDate(const std::string& fileName, bool keepFileDate) {
  std::time_t t = 0;
  if (keepFileDate && !fileName.empty()) t = GetFileDateByName(fileName);
  if (t <= 0) t = std::time(nullptr);
  return FormatDateTime("ddddd", LocalDateTime(t));
}

QFont CopyrightFont(const TCopyrightSettings& s) {
  QFont font;
  if (!s.FontName.empty()) font.setFamily(QString::fromStdString(s.FontName));
  // Points at 96 dots per inch, rounded as the text layers round them.
  const int points = std::clamp(s.Size, kMinCopyrightSize, kMaxCopyrightSize);
  font.setPixelSize((points * 96 + 36) / 72);
  font.setBold(s.Bold);
  font.setItalic(s.Italic);
  font.setUnderline(s.Underline);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setStyleStrategy(QFont::StyleStrategy(QFont::NoSubpixelAntialias | QFont::PreferAntialias));
  return font;
}

int CopyrightBandHeight(const TCopyrightSettings& s) { return QFontMetrics(CopyrightFont(s)).height() + 2; }

TCopyrightStamp DrawCopyrightStamp(const TCopyrightSettings& s, TBitmap& bitmap, TBitmap* work,
                                   const std::string& fileName, const std::string& date) {
  TCopyrightStamp stamp;
  if (bitmap.Empty()) return stamp;
  if (bitmap.PixelFormat() != pf24bit) bitmap.SetPixelFormat(pf24bit);
  const QFont font = CopyrightFont(s);
  stamp.Band = CopyrightBandHeight(s);
  stamp.Outside = s.Outside && s.Background;
  if (stamp.Outside) {
    TBitmap scratch;
    TBitmap& grown = work ? *work : scratch;
    grown = TBitmap(bitmap.Width(), bitmap.Height() + stamp.Band, pf24bit, s.BackgroundColor);
    CopyBitmap24At(bitmap, grown, 0, s.Top ? stamp.Band : 0);
    grown.Transparent = bitmap.Transparent;
    grown.TransparentColor = bitmap.TransparentColor;
    bitmap = std::move(grown);
    grown = TBitmap();
  }
  stamp.TopOffset = stamp.Outside && s.Top ? stamp.Band : 0;
  const int w = bitmap.Width(), h = bitmap.Height();
  stamp.BandRect = s.Top ? TRect{0, 0, w, std::min(h, stamp.Band)} : TRect{0, std::max(0, h - stamp.Band), w, h};
  const TRect band = stamp.BandRect;

  // Over the image, the stamp shows at its opacity: the band's pixels go back over it at
  // the rest.
  const int opacity = std::clamp(s.Opacity, kMinCopyrightOpacity, kMaxCopyrightOpacity);
  TBitmap under;
  if (!stamp.Outside && opacity < 100) CopyBitmapRegion(bitmap, under, band);
  if (s.Background) TintRect(bitmap, s.BackgroundColor, 100, band);

  stamp.Text = ExpandCopyrightTemplate(s.Text, fileName, date, w, h);
  {
    QImage surface = BitmapAsQImage(bitmap);
    QPainter p(&surface);
    p.setFont(font);
    p.setPen(QColor::fromRgb(ColorToQRgb(s.Color)));
    const QRect r(band.Left + 2, band.Top, std::max(0, band.Width() - 4), band.Height());
    p.setClipRect(r);
    const Qt::Alignment align = s.Alignment == 0 ? Qt::AlignLeft : s.Alignment == 2 ? Qt::AlignRight : Qt::AlignHCenter;
    p.drawText(r, int(align | Qt::AlignVCenter | Qt::TextSingleLine), QString::fromStdString(stamp.Text));
  }
  if (!under.Empty())
    CopyBitmapRectOpacity(under, GetBitmapRect(under), bitmap, band.Left, band.Top, band, 100 - opacity);
  return stamp;
}

void GrowMaskForBand(TBitmap& mask, const TCopyrightStamp& stamp) {
  if (mask.Empty() || !stamp.Outside || stamp.Band <= 0) return;
  TBitmap grown(mask.Width(), mask.Height() + stamp.Band, pf24bit, clBlack);
  CopyBitmap24At(mask, grown, 0, stamp.TopOffset);
  mask = std::move(grown);
}

void ReadCopyrightSettings(const TIniFile& ini, TCopyrightSettings& s) {
  const auto read = [&ini](std::string_view key) { return ini.ReadString(kSection, key, kMissing); };
  s.Size = StrToIntClamped(read("Size"), 10, kMinCopyrightSize, kMaxCopyrightSize);
  s.Color = HexStrToColor(read("Color"), clWhite, true);
  if (const std::string font = read("Font"); font != kMissing) s.FontName = font;
  const std::string style = read("Style");
  const std::string letters = style == kMissing ? std::string() : LowerCase(style);
  s.Bold = letters.find('b') != std::string::npos;
  s.Italic = letters.find('i') != std::string::npos;
  s.Underline = letters.find('u') != std::string::npos;
  if (read("Background") == "0") s.Background = false;
  s.BackgroundColor = HexStrToColor(read("BkgColor"), clBlack, true);
  if (read("TxtOutside") == "0") s.Outside = false;
  const std::string align = read("TxtAlignment");
  s.Alignment = align == "0" ? 0 : align == "2" ? 2 : 1;
  if (read("Position") == "0") s.Top = true;
  int alpha = 0;
  if (TryStrToInt(read("Alpha"), alpha)) s.Opacity = std::clamp(alpha, kMinCopyrightOpacity, kMaxCopyrightOpacity);
  if (const std::string text = read("Text"); text != kMissing) s.Text = text;
}

void WriteCopyrightSettings(TIniFile& ini, const TCopyrightSettings& s) {
  ini.WriteInteger(kSection, "Size", s.Size);
  ini.WriteString(kSection, "Color", ColorToHexStr(s.Color, true));
  ini.WriteString(kSection, "Font", s.FontName);
  std::string style;
  if (s.Bold) style += 'b';
  if (s.Italic) style += 'i';
  if (s.Underline) style += 'u';
  ini.WriteString(kSection, "Style", style);
  ini.WriteBool(kSection, "Background", s.Background);
  ini.WriteString(kSection, "BkgColor", ColorToHexStr(s.BackgroundColor, true));
  ini.WriteBool(kSection, "TxtOutside", s.Outside);
  ini.WriteInteger(kSection, "TxtAlignment", std::clamp(s.Alignment, 0, 2));
  ini.WriteString(kSection, "Position", s.Top ? "0" : "1");
  ini.WriteInteger(kSection, "Alpha", s.Opacity);
  ini.WriteString(kSection, "Text", s.Text);
}

}  // namespace qm
