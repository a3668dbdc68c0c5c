#include "imagefiles/FileDispatch.h"

#include "document/LayeredImage.h"
#include "imagefiles/BmpCodec.h"
#include "imagefiles/FileFormats.h"
#include "imagefiles/GifCodec.h"
#include "imagefiles/GmCodec.h"
#include "imagefiles/ImageFileUtils.h"
#include "imagefiles/LayeredFile.h"
#include "imagefiles/Metadata.h"
#include "imagefiles/PictureLimit.h"
#include "imagefiles/ReadAhead.h"
#include "imagefiles/RleWriter.h"
#include "imagefiles/TiffWriter.h"
#include "platform/core/Exceptions.h"

namespace qm {

namespace {

// What a stage or a failure reaches: the caller's hooks, silenced for previews.
struct THooks {
  const TFileProgressEvent& OnProgress;
  const TFileErrorEvent& OnError;
  bool Quiet;
};

// Raises a stage; true to go on. The flag starts true.
bool Raise(const THooks& hooks, const TFileSender& sender, const std::string& fileName, int stage) {
  bool flag = true;
  if (hooks.OnProgress && !hooks.Quiet) hooks.OnProgress(sender, fileName, stage, flag);
  return flag;
}

// Runs a dispatcher and turns whatever it throws into the failure: the message's
// text-table id, the file and the library's own words. The error hook comes first,
// then stage 4; what either throws is dropped, as the dispatchers never throw.
template <class Body>
TFileResult Guarded(const THooks& hooks, const std::string& fileName, TextId message, TFileError& error,
                    Body&& body) {
  try {
    return body();
  } catch (const EPictureTooLarge& e) {
    constexpr uint64_t MB = uint64_t(1) << 20;
    error = TFileError{TextId::GetOeMsgPictureTooLarge, fileName, e.what(),
                       {e.Width, e.Height, int64_t(e.Limit / MB)}};
  } catch (const std::exception& e) {
    error = TFileError{message, fileName, *e.what() ? e.what() : "invalid data", {}};
  } catch (...) {
    error = TFileError{message, fileName, "unknown error", {}};
  }
  if (hooks.Quiet) return frFailed;
  try {
    if (hooks.OnError) hooks.OnError(error);
  } catch (...) {
  }
  try {
    Raise(hooks, TFileSender{}, fileName, fpFailed);
  } catch (...) {
  }
  return frFailed;
}

// --- Load ------------------------------------------------------------------------

TFileResult LoadDispatch(const THooks& hooks, const std::string& fileName, const TLoadRequest& request,
                         TLoadResult& result) {
  // The class is held for the whole load: the GUI thread may re-register meanwhile.
  const std::shared_ptr<const TGraphicClass> reader = FileFormatList().ReaderFor(LowerExt(fileName));
  const TFileObject object = reader ? reader->Object : TFileObject::Picture;
  result.Object = reader ? object : TFileObject::None;
  TFileSender sender;
  // A generic reader is nobody in particular until it has read the file.
  sender.Kind = object == TFileObject::Picture ? TFileObject::None : object;
  if (!Raise(hooks, sender, fileName, fpBeforeLoad)) return frVetoed;
  if (!reader || !reader->Read) throw EInvalidGraphic("unknown picture file extension");

  TLoadedPicture picture;
  const TReadRequest read{request.Preview, request.Limit};
  if (!request.ReadAhead || !request.ReadAhead->Take(fileName, reader.get(), read, picture))
    reader->Read(fileName, read, picture);
  result.Warnings = std::move(picture.Warnings);
  const unsigned reports = reader->Reports;
  const bool stored = (reports & rrStoredSize) && picture.StoredWidth > 0 && picture.StoredHeight > 0;
  result.StoredWidth = stored ? picture.StoredWidth : picture.Bitmap.Width();
  result.StoredHeight = stored ? picture.StoredHeight : picture.Bitmap.Height();
  result.SourceColors = (reports & rrColorCount) ? picture.SourceColors : 0;
  result.FrameCount = (reports & rrFrameCount) ? picture.FrameCount : 1;
  if (reports & rrAllFrames) result.Frames = std::move(picture.Frames);
  result.IsIcon = picture.IsIcon;
  result.IsMetafile = picture.IsMetafile;

  sender.Kind = object;
  sender.Bitmap = &picture.Bitmap;
  sender.Gif = result.Frames.get();
  sender.SourceColors = result.SourceColors;
  sender.FrameCount = result.FrameCount;
  sender.IsIcon = result.IsIcon;
  sender.IsMetafile = result.IsMetafile;
  if (!Raise(hooks, sender, fileName, fpAfterLoad)) return frVetoed;
  if (picture.Bitmap.Empty()) throw EInvalidGraphic("the file holds no picture");
  result.Bitmap = std::move(picture.Bitmap);
  return frDone;
}

// --- Save ------------------------------------------------------------------------

// Runs a writer between stages 2 and 3: veto, then the file written atomically (a
// writer that replaces its file atomically itself is given the target).
TFileResult Write(const THooks& hooks, TFileSender& sender, const std::string& fileName,
                  const std::function<void(const std::string&)>& write, bool writerIsAtomic = false) {
  if (!Raise(hooks, sender, fileName, fpBeforeSave)) return frVetoed;
  if (!sender.Bitmap || sender.Bitmap->Empty()) throw EInvalidGraphic("nothing to write");
  if (writerIsAtomic)
    write(fileName);
  else
    ReplaceFileAtomically(fileName, write);
  Raise(hooks, sender, fileName, fpAfterSave);
  return frDone;
}

// The GIF of a bitmap as the save dispatch writes it.
void BuildGif(const TBitmap& bmp, const TGifWriteOptions& options, TGifImage& gif) {
  if (bmp.PixelFormat() == pf32bit || (bmp.PixelFormat() == pf24bit && bmp.Transparent)) {
    // Transparency needs its own entry: at most 254 colours, whatever the picture has.
    ConvertToGifWithTransparency(bmp, gif, false, gpOptimized);
  } else {
    gif.ColorReduction = rmQuantize;
    gif.ReductionBits = 8;
    gif.DitherFloydSteinberg = true;
    if (bmp.PixelFormat() <= pf8bit) gif.ColorReduction = rmNone;  // an indexed bitmap keeps its palette
    gif.Assign(bmp);
  }
  if (gif.Frames.empty()) throw EInvalidGraphic("GIF: no frame");
  gif.Frames[0].Interlaced = options.Interlaced;
  if (options.OptimizePalette) OptimizeGifFrameColorMap(gif, 0);
  if (bmp.Transparent && bmp.PixelFormat() != pf32bit && gif.Frames[0].TransparentIndex < 0) {
    // An indexed bitmap's key colour becomes the transparent entry when its map has it.
    const TColor key = ColorToRGB(bmp.EffectiveTransparentColor()) & 0xFFFFFF;
    const TPalette& map = gif.FrameColorMap(0);
    for (size_t i = 0; i < map.size(); ++i)
      if ((map[i] & 0xFFFFFF) == key) {
        gif.Frames[0].TransparentIndex = int(i);
        break;
      }
  }
}

[[noreturn]] void ThrowNoWriter(const std::string& fileName) {
  throw EInvalidGraphic("no writer for the extension \"" + LowerExt(fileName) + "\"");
}

TFileResult SaveDispatch(const THooks& hooks, const std::string& fileName, const TFormatRow* format, TBitmap& bitmap,
                         const TSaveRequest& request, TSaveResult& result) {
  if (!format) ThrowNoWriter(fileName);
  TFileSender sender;
  sender.Bitmap = &bitmap;
  sender.Format = format;
  switch (format->Id) {
    case TFormatId::Bmp:
      sender.Kind = TFileObject::Bitmap;
      return Write(hooks, sender, fileName, [&](const std::string& temp) { WriteBmpFile(temp, bitmap); });
    case TFormatId::Rle:
      sender.Kind = TFileObject::Bitmap;
      return Write(hooks, sender, fileName, [&](const std::string& f) { SaveRleFile(f, bitmap); }, true);
    case TFormatId::Jpeg: {
      TJpegWriteOptions options = request.Jpeg;
      bool keepExif = request.KeepExif;
      sender.Kind = TFileObject::Jpeg;
      sender.Jpeg = &options;
      sender.KeepExif = &keepExif;
      if (!Raise(hooks, sender, fileName, fpBeforeSave)) return frVetoed;
      if (bitmap.Empty()) throw EInvalidGraphic("nothing to write");
      if (keepExif) {
        std::string source = fileName;
        if (request.OnExifSource) request.OnExifSource(source);
        SaveJpegKeepingExif(bitmap, options, fileName, source);
      } else {
        ReplaceFileAtomically(fileName, [&](const std::string& temp) { WriteJpegFile(temp, bitmap, options); });
      }
      result.ExifKept = keepExif;
      Raise(hooks, sender, fileName, fpAfterSave);
      return frDone;
    }
    case TFormatId::Gif: {
      TGifWriteOptions options = request.Gif;
      sender.Kind = TFileObject::Gif;
      sender.GifOptions = &options;
      return Write(hooks, sender, fileName, [&](const std::string& temp) {
        TGifImage gif;
        BuildGif(bitmap, options, gif);
        WriteGifFile(temp, gif);
      });
    }
    case TFormatId::Targa:
      sender.Kind = TFileObject::Targa;
      return Write(hooks, sender, fileName, [&](const std::string& temp) { WriteTargaFile(temp, bitmap); });
    case TFormatId::Png: {
      TPngWriteOptions options = request.Png;
      sender.Kind = TFileObject::Png;
      sender.Png = &options;
      return Write(hooks, sender, fileName, [&](const std::string& temp) {
        TPngImage png;
        BitmapToPng(bitmap, png);
        WritePngFile(temp, png, options);
      });
    }
    case TFormatId::Tiff:
      sender.Kind = TFileObject::Bitmap;
      return Write(hooks, sender, fileName, [&](const std::string& f) { SaveTiffFile(f, bitmap); }, true);
    case TFormatId::Quillomatic:
      break;  // a layered image: SaveDocument writes it
  }
  ThrowNoWriter(fileName);
}

// A save of the format found for fileName.
TSaveResult SaveWithFormat(const std::string& fileName, const TFormatRow* format, TBitmap& bitmap,
                   const TSaveRequest& request) {
  TSaveResult result;
  const THooks hooks{request.OnProgress, request.OnError, false};
  result.Result = Guarded(hooks, fileName, TextId::GetOeMsgErrorSaving, result.Error,
                          [&] { return SaveDispatch(hooks, fileName, format, bitmap, request, result); });
  return result;
}

}  // namespace

TLoadResult LoadPicture(const std::string& fileName, const TLoadRequest& request) {
  TLoadResult result;
  const THooks hooks{request.OnProgress, request.OnError, request.Preview};
  result.Result = Guarded(hooks, fileName, TextId::GetOeMsgErrorOpening, result.Error,
                          [&] { return LoadDispatch(hooks, fileName, request, result); });
  if (result.Result != frDone) result.Bitmap = TBitmap();
  return result;
}

TSaveResult SavePicture(const std::string& fileName, TBitmap& bitmap, const TSaveRequest& request) {
  return SaveWithFormat(fileName, FindSaveFormat(fileName), bitmap, request);
}

TSaveResult SaveDocument(const std::string& fileName, TBitmap& bitmap, TLayeredImage& layered,
                         const TSaveRequest& request) {
  const TFormatRow* format = FindSaveFormat(fileName);
  if (!format || format->Id != TFormatId::Quillomatic) return SaveWithFormat(fileName, format, bitmap, request);
  TSaveResult result;
  const THooks hooks{request.OnProgress, request.OnError, false};
  result.Result = Guarded(hooks, fileName, TextId::GetOeMsgErrorSaving, result.Error, [&] {
    TFileSender sender;
    sender.Kind = TFileObject::Layered;
    sender.Layered = &layered;
    sender.Format = format;
    if (!Raise(hooks, sender, fileName, fpBeforeSave)) return frVetoed;
    SaveLayeredImageToFile(layered, fileName);  // replaces the file atomically
    Raise(hooks, sender, fileName, fpAfterSave);
    return frDone;
  });
  return result;
}

}  // namespace qm
