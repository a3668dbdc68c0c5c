#include "document/DocumentFacts.h"

#include <cstring>
#include <type_traits>

#include "platform/core/Stream.h"

namespace qm {
namespace {

template <class T>
void Put(std::string& out, const T& v) {
  static_assert(std::is_trivially_copyable_v<T>);
  char bytes[sizeof(T)];
  std::memcpy(bytes, &v, sizeof(T));
  out.append(bytes, sizeof(T));
}

void PutText(std::string& out, const std::string& s) {
  Put(out, s.size());
  out += s;
}

void PutSize(std::string& out, const TBitmap& b) {
  Put(out, b.Width());
  Put(out, b.Height());
}

}  // namespace

TDocumentFacts DocumentFactsOf(const TLayeredImage& image) {
  TDocumentFacts f;
  Put(f.Recorded, image.ColorCount);
  Put(f.Recorded, image.ResolutionX);
  Put(f.Recorded, image.ResolutionY);
  PutText(f.Unrecorded, image.Comment);
  Put(f.Unrecorded, image.GetLayerCount());
  for (int i = 0; i < image.GetLayerCount(); ++i) {
    const TLayerItem& l = image.Layers[i];
    Put(f.Recorded, l.Left);
    Put(f.Recorded, l.Top);
    Put(f.Recorded, l.LayerType);
    PutSize(f.Recorded, l.Image);
    PutSize(f.Recorded, l.Mask);
    Put(f.Recorded, l.Image.Transparent);
    Put(f.Recorded, l.Image.TransparentColor);
    Put(f.Unrecorded, l.Id());
    PutText(f.Unrecorded, l.Name);
    Put(f.Unrecorded, l.Visible);
    Put(f.Unrecorded, l.Locked);
    Put(f.Unrecorded, l.Opacity);
    Put(f.Unrecorded, l.Color);
    Put(f.Unrecorded, l.ColorNegate);
    Put(f.Unrecorded, l.Adjustment);
    Put(f.Unrecorded, l.Shadow);
    PutSize(f.Unrecorded, l.Mask2);
    if (l.Data) {
      TMemoryStream text;
      l.Data->SaveToStream(text);
      Put(f.Unrecorded, text.Data().size());
      f.Unrecorded.append(reinterpret_cast<const char*>(text.Data().data()), text.Data().size());
    }
  }
  return f;
}

}  // namespace qm
