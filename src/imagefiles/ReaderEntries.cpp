// The reader entries of the formats the program reads: the codecs, the layered file,
// the rarer formats through GraphicsMagick, and the RAW classes (unlisted until the
// RAW client lists them).
#include <memory>

#include "imagefiles/FileFormats.h"
#include "imagefiles/FormatRegistry.h"
#include "imagefiles/GifCodec.h"
#include "imagefiles/GmCodec.h"
#include "imagefiles/IconReader.h"
#include "imagefiles/JpegCodec.h"
#include "imagefiles/LayeredFile.h"
#include "imagefiles/PngCodec.h"
#include "imagefiles/RawClient.h"
#include "imagefiles/TiffCodec.h"
#include "pixel/PixelFormat.h"

namespace qm {

namespace {

int ColorsOfPalette(size_t n) { return n <= 2 ? 2 : n <= 16 ? 16 : 256; }

// An indexed picture becomes 24-bit, keeping its transparent colour.
void To24(TBitmap& bmp) {
  if (bmp.PixelFormat() == pf24bit || bmp.PixelFormat() == pf32bit) return;
  const bool t = bmp.Transparent;
  const TColor key = bmp.TransparentColor;
  bmp.SetPixelFormat(pf24bit);
  bmp.Transparent = t;
  bmp.TransparentColor = key;
}

// Icons and metafiles are shown over the global transparent colour: a pixel is the
// key where it is mostly transparent, its own colour elsewhere.
void OverTransparentColor(TBitmap& bmp) {
  if (bmp.PixelFormat() == pf32bit) {
    TBitmap out(bmp.Width(), bmp.Height(), pf24bit, clBlack);
    uint8_t key[3];
    ColorToPixel24(clGlobalTransparent, key);
    for (int y = 0; y < bmp.Height(); ++y) {
      const uint8_t* s = bmp.ScanLine(y);
      uint8_t* d = out.ScanLine(y);
      for (int x = 0; x < bmp.Width(); ++x, s += 4, d += 3) {
        const uint8_t* p = s[3] >= 128 ? s : key;
        d[0] = p[0];
        d[1] = p[1];
        d[2] = p[2];
      }
    }
    bmp = std::move(out);
  }
  bmp.Transparent = true;
  bmp.TransparentColor = clGlobalTransparent;
}

void ReadPng(const std::string& f, const TReadRequest& r, TLoadedPicture& out) {
  TPngImage png;
  ReadPngFile(f, png, out.Options(r));
  PngToBitmapTransparent(png, out.Bitmap);
  if (png.ColorType == pcIndexed) out.SourceColors = ColorsOfPalette(png.Palette.size());
  To24(out.Bitmap);
}

// Frame 0 as the picture, every frame kept for the progress stage; the colour count is
// the size of frame 0's colour map.
void ReadGif(const std::string& f, const TReadRequest& r, TLoadedPicture& out) {
  auto gif = std::make_shared<TGifImage>();
  ReadGifFile(f, *gif, out.Options(r));
  GifFrameToBitmap(*gif, out.Bitmap, 0, true);
  out.StoredWidth = gif->Width;
  out.StoredHeight = gif->Height;
  out.FrameCount = int(gif->Frames.size());
  out.SourceColors = gif->Frames.empty() ? 0 : int(gif->FrameColorMap(0).size());
  out.Frames = std::move(gif);
  To24(out.Bitmap);
}

void ReadTiff(const std::string& f, const TReadRequest& r, TLoadedPicture& out) {
  ReadTiffFile(f, out.Bitmap, out.Options(r));
}

// The largest picture of an icon, by our own reader: GraphicsMagick's trusts the
// sizes other tools often write wrong.
void ReadIcon(const std::string& f, const TReadRequest& r, TLoadedPicture& out) {
  ReadIconFile(f, out.Bitmap, &out.SourceColors, out.Options(r));
  out.IsIcon = true;
  OverTransparentColor(out.Bitmap);
}

// The layered file: its composed image, or for previews its stored thumbnail.
void ReadLayered(const std::string& f, const TReadRequest& r, TLoadedPicture& out) {
  TMyImageLayeredReg reg;
  reg.ThumbnailOnly = r.Preview;
  reg.LoadFromFile(f);
  out.Bitmap = std::move(reg.Bitmap);
  out.StoredWidth = reg.ImageWidth;
  out.StoredHeight = reg.ImageHeight;
}

TPictureReader GmReader(const char* coder, unsigned kinds) {
  return [coder, kinds](const std::string& f, const TReadRequest& r, TLoadedPicture& out) {
    ReadWithGraphicsMagick(f, coder, out.Bitmap, &out.SourceColors, out.Options(r));
    out.IsMetafile = (kinds & fkVector) != 0;
    if (out.IsMetafile) OverTransparentColor(out.Bitmap);
  };
}

std::shared_ptr<const TGraphicClass> Class(const char* name, TPictureReader read, TFileObject object,
                                           unsigned reports) {
  return std::make_shared<const TGraphicClass>(TGraphicClass{name, std::move(read), object, reports});
}

}  // namespace

const std::vector<TGmFormat>& GraphicsMagickFormats() {
  // Only what GraphicsMagick really reads here. Left out because it has no reader for
  // them: emf, eps (needs Ghostscript), psd, pdd, cel, pic, psp, tub.
  static const std::vector<TGmFormat> formats = {
      {"bmp;dib;rle", "BMP", "Bitmap Windows", fkRaster},
      {"wmf", "WMF", "Métafichier Windows", fkVector},
      {"tga;win;vst;vda;icb", "TGA", "Targa", fkRaster},
      {"fax", "FAX", "Fax groupe 3", fkRaster},
      {"pcx;pcc;scr", "PCX", "PCX", fkRaster},
      {"rla;rpf", "RLA", "Alias/Wavefront", fkRaster},
      {"sgi;rgba;rgb;bw", "SGI", "SGI", fkRaster},
      {"ppm;pgm;pbm", "PNM", "Portable pixmap", fkRaster},
      {"pcd", "PCD", "Kodak Photo CD", fkRaster},
      {"cut", "CUT", "Dr. Halo", fkRaster},
  };
  return formats;
}

void RegisterStandardReaders(TFileFormatList& list) {
  constexpr unsigned generic = rrColorCount | rrFrameCount;
  auto jpeg = Class("JPEG", ReadReduciblePicture<TJpegImage2>, TFileObject::Jpeg,
                    rrStoredSize | rrColorCount | rrFrameCount | rrReducedPreview);
  for (const char* e : {"jfif", "jpg", "jpe", "jpeg"}) list.Register(e, "JPEG", "JPEG", fkRaster, jpeg);
  auto tiff = Class("TIFF", ReadTiff, TFileObject::Picture, generic);
  for (const char* e : {"tiff", "tif"}) list.Register(e, "TIFF", "TIFF", fkRaster | fkMultiImage, tiff);
  list.Register("png", "PNG", "PNG", fkRaster, Class("PNG", ReadPng, TFileObject::Picture, generic));
  list.Register("gif", "GIF", "GIF", fkAnimation | fkMultiImage | fkRaster,
                Class("GIF", ReadGif, TFileObject::Gif, rrStoredSize | rrColorCount | rrFrameCount | rrAllFrames));
  // The layered file knows no colour count of a pixel format: its stage 1 reports none.
  list.Register("qxi", "Quillomatic", "Quillomatic", fkLayered | fkRaster,
                Class("QXI", ReadLayered, TFileObject::Layered, rrStoredSize | rrFrameCount | rrReducedPreview));
  list.Register("ico", "Icône Windows", "Icône Windows", fkRaster | fkMultiImage,
                Class("ICO", ReadIcon, TFileObject::Picture, generic));
  for (const TGmFormat& g : GraphicsMagickFormats()) {
    auto c = Class(g.Coder, GmReader(g.Coder, g.Kinds), TFileObject::Picture, generic);
    for (const std::string& e : SplitExtensionList(g.Extensions)) list.Register(e, g.Description, g.Description, g.Kinds, c);
  }
  // RAW files go to their maker's class whether or not the module is there; the RAW
  // client lists them when it is.
  const auto& raw = RawGraphicClasses();
  for (size_t i = 0; i < raw.size(); ++i)
    for (const std::string& e : SplitExtensionList(RawFormatTable()[i].Extensions)) list.AddUnlistedReader(e, raw[i]);
}

}  // namespace qm
