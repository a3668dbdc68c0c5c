// raw.qxl: the program's RAW decoding module, on LibRaw. It reads files only through
// the host's callbacks and exports the three entries of RawModuleApi.h.
//
// What the options mean here (QxlRawOptions):
//   Params[0]  unused
//   Params[1]  brightness (LibRaw "bright"), 1.0 neutral
//   Params[2], Params[3]  unused
//   Flags[0]   four-colour interpolation
//   Flags[1]   the camera's white balance
//   Flags[2]   half-size decoding (also the RawInfo flag)
//   Flags[3]   automatic white balance
//   Flags[4]   the camera's colour matrix
//   Flags[5]   automatic brightness
//   Flags[6]   sRGB output (else the camera's raw colours)
// RawInfo texts: maker, model, shot date ("YYYY:MM:DD HH:MM:SS"); the fourth integer
// is LibRaw's orientation code; the margin is always 0. Error codes are LibRaw's
// (negative), -1 for an exception or a refused record, -2 for a size that does not
// match what RawInfo announced.
#include <libraw/libraw.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "imagefiles/RawModuleApi.h"

#define QXL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// LibRaw's input stream over the host's file callbacks.
class THostStream : public LibRaw_abstract_datastream {
 public:
  THostStream(const QxlRawCallbacks* cb, QxlRawFile* file, bool owned) : cb_(cb), file_(file), owned_(owned) {}
  ~THostStream() override {
    if (owned_ && file_) cb_->Close(file_);
  }
  int valid() override { return file_ != nullptr; }
  int read(void* ptr, size_t size, size_t count) override {
    const int64_t r = cb_->Read(ptr, size, count, file_);
    return r < 0 ? 0 : int(r);
  }
  int seek(INT64 offset, int whence) override { return cb_->Seek(file_, offset, whence); }
  INT64 tell() override { return cb_->Tell(file_); }
  INT64 size() override {
    if (size_ < 0) {
      const int64_t at = cb_->Tell(file_);
      cb_->Seek(file_, 0, 2);
      size_ = cb_->Tell(file_);
      cb_->Seek(file_, at, 0);
    }
    return size_;
  }
  int get_char() override { return cb_->ReadByte(file_); }
  // fgets: up to n - 1 bytes, the line feed kept.
  char* gets(char* s, int n) override {
    if (!s || n < 1) return nullptr;
    int k = 0;
    while (k < n - 1) {
      const int c = cb_->ReadByte(file_);
      if (c < 0) break;
      s[k++] = char(c);
      if (c == '\n') break;
    }
    s[k] = 0;
    return k > 0 ? s : nullptr;
  }
  // fscanf with one "%d" or "%f" conversion.
  int scanf_one(const char* fmt, void* val) override {
    int c;
    do c = cb_->ReadByte(file_);
    while (c == ' ' || c == '\t' || c == '\n' || c == '\r');
    if (c < 0) return -1;
    char token[64];
    int k = 0;
    while (c >= 0 && k < 63 && (std::strchr("+-.0123456789eE", c) != nullptr)) {
      token[k++] = char(c);
      c = cb_->ReadByte(file_);
    }
    token[k] = 0;
    if (c >= 0) cb_->Seek(file_, -1, 1);
    return k > 0 ? std::sscanf(token, fmt, val) : 0;
  }
  int eof() override { return cb_->EndOfFile(file_) != 0; }
  void* make_jas_stream() override { return nullptr; }

 private:
  const QxlRawCallbacks* cb_;
  QxlRawFile* file_;
  bool owned_;
  int64_t size_ = -1;
};

bool Usable(const QxlRawCallbacks* cb) {
  return cb && cb->Size >= sizeof(QxlRawCallbacks) && cb->Read && cb->Seek && cb->Tell && cb->ReadByte &&
         cb->EndOfFile && cb->Open && cb->Close && cb->Write;
}

std::unique_ptr<THostStream> OpenStream(const QxlRawCallbacks* cb, const char* fileName) {
  if (cb->HostFile) return std::make_unique<THostStream>(cb, cb->HostFile, false);
  QxlRawFile* f = fileName ? cb->Open(fileName, "rb") : nullptr;
  return std::make_unique<THostStream>(cb, f, true);
}

void CopyText(char* dst, size_t size, const char* src) {
  if (!dst || size == 0) return;
  std::snprintf(dst, size, "%s", src ? src : "");
}

void FillTexts(const LibRaw& raw, char* a, char* b, char* c) {
  CopyText(a, QXL_RAW_TEXT_A_SIZE, raw.imgdata.idata.make);
  CopyText(b, QXL_RAW_TEXT_B_SIZE, raw.imgdata.idata.model);
  char date[QXL_RAW_TEXT_C_SIZE] = {};
  const time_t t = raw.imgdata.other.timestamp;
  struct tm tmv;
  if (t > 0 && gmtime_r(&t, &tmv)) std::strftime(date, sizeof date, "%Y:%m:%d %H:%M:%S", &tmv);
  CopyText(c, QXL_RAW_TEXT_C_SIZE, date);
}

int Progress(void* data, enum LibRaw_progress stage, int iteration, int expected) {
  const auto* p = static_cast<const QxlRawProgress*>(data);
  if (!p || p->Size < sizeof(QxlRawProgress) || !p->Report) return 0;
  const int percent = expected > 0 ? iteration * 100 / expected : 0;
  return p->Report(p->UserData, int32_t(stage), percent) != 0 ? 1 : 0;
}

int StageOf(int rc) { return rc == 0 ? 0 : rc; }

}  // namespace

QXL_EXPORT int32_t RawInfo(const QxlRawCallbacks* callbacks, const QxlRawMemory* memory, const char* fileName,
                           int32_t flag, int32_t* width, int32_t* height, int32_t* margin, int32_t* extra,
                           char* textA, char* textB, char* textC) {
  try {
    (void)memory;
    if (!Usable(callbacks) || !width || !height || !margin || !extra) return -1;
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    auto stream = OpenStream(callbacks, fileName);
    if (!stream->valid()) return LIBRAW_IO_ERROR;
    raw->imgdata.params.half_size = flag ? 1 : 0;
    int rc = raw->open_datastream(stream.get());
    if (rc != LIBRAW_SUCCESS) return StageOf(rc);
    rc = raw->adjust_sizes_info_only();
    if (rc != LIBRAW_SUCCESS) return StageOf(rc);
    *width = raw->imgdata.sizes.iwidth;
    *height = raw->imgdata.sizes.iheight;
    *margin = 0;
    *extra = raw->imgdata.sizes.flip;
    FillTexts(*raw, textA, textB, textC);
    raw->recycle();
    return 0;
  } catch (...) {
    return -1;
  }
}

QXL_EXPORT int32_t FromRawToPSD(const QxlRawCallbacks* callbacks, const QxlRawMemory* memory,
                                const QxlRawProgress* progress, const char* fileName, const QxlRawOptions* options,
                                uint8_t* const* rows, int32_t width, int32_t height, int32_t margin, char* textA,
                                char* textB, char* textC) {
  try {
    if (!Usable(callbacks) || !rows || !options || options->Size < sizeof(QxlRawOptions)) return -1;
    if (margin < 0 || width - 2 * margin < 1 || height - 2 * margin < 1) return -1;
    const int outW = width - 2 * margin, outH = height - 2 * margin;
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    auto stream = OpenStream(callbacks, fileName);
    if (!stream->valid()) return LIBRAW_IO_ERROR;
    libraw_output_params_t& p = raw->imgdata.params;
    p.four_color_rgb = options->Flags[0];
    p.use_camera_wb = options->Flags[1];
    p.half_size = options->Flags[2];
    p.use_auto_wb = options->Flags[3];
    p.use_camera_matrix = options->Flags[4];
    p.no_auto_bright = options->Flags[5] ? 0 : 1;
    p.output_color = options->Flags[6] ? 1 : 0;
    p.output_bps = 8;
    if (options->Params[1] > 0.0f && options->Params[1] < 100.0f) p.bright = options->Params[1];
    if (progress && progress->Size >= sizeof(QxlRawProgress))
      raw->set_progress_handler(Progress, const_cast<QxlRawProgress*>(progress));
    int rc = raw->open_datastream(stream.get());
    if (rc == LIBRAW_SUCCESS) rc = raw->unpack();
    if (rc == LIBRAW_SUCCESS) rc = raw->dcraw_process();
    if (rc != LIBRAW_SUCCESS) return StageOf(rc);
    int w = 0, h = 0, colors = 0, bps = 0;
    raw->get_mem_image_format(&w, &h, &colors, &bps);
    if (w != width || h != height || colors != 3 || bps != 8) return -2;
    // Rows evenly spaced (one bitmap): LibRaw writes them in place, blue first.
    bool even = true;
    const ptrdiff_t stride = outH > 1 ? rows[1] - rows[0] : ptrdiff_t(outW) * 3;
    for (int y = 1; y < outH && even; ++y) even = rows[y] - rows[y - 1] == stride;
    if (even && margin == 0 && stride >= ptrdiff_t(outW) * 3 && stride <= INT32_MAX) {
      rc = raw->copy_mem_image(rows[0], int(stride), 1);
      if (rc != LIBRAW_SUCCESS) return StageOf(rc);
    } else {
      int err = 0;
      libraw_processed_image_t* img = raw->dcraw_make_mem_image(&err);
      if (!img) return err ? err : -1;
      for (int y = 0; y < outH; ++y) {
        const uint8_t* s = img->data + (size_t(y + margin) * size_t(w) + size_t(margin)) * 3;
        uint8_t* d = rows[y];
        for (int x = 0; x < outW; ++x, s += 3, d += 3) {
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
        }
      }
      LibRaw::dcraw_clear_mem(img);
    }
    (void)memory;
    FillTexts(*raw, textA, textB, textC);
    raw->recycle();
    return 0;
  } catch (...) {
    return -1;
  }
}

QXL_EXPORT int32_t ExtractThumbnail(const QxlRawCallbacks* callbacks, const char* rawName, const char* thumbName,
                                    int32_t* kind) {
  try {
    if (!Usable(callbacks) || !kind || !thumbName) return -1;
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    auto stream = OpenStream(callbacks, rawName);
    if (!stream->valid()) return LIBRAW_IO_ERROR;
    int rc = raw->open_datastream(stream.get());
    if (rc != LIBRAW_SUCCESS) return StageOf(rc);
    if (raw->unpack_thumb() != LIBRAW_SUCCESS) {
      *kind = -2;
      return 1;
    }
    int err = 0;
    libraw_processed_image_t* img = raw->dcraw_make_mem_thumb(&err);
    if (!img) {
      *kind = -3;
      return 1;
    }
    std::unique_ptr<libraw_processed_image_t, void (*)(libraw_processed_image_t*)> holder(img,
                                                                                         LibRaw::dcraw_clear_mem);
    int32_t written;
    char header[64] = {};
    if (img->type == LIBRAW_IMAGE_JPEG) {
      written = QXL_RAW_THUMB_JPEG;
    } else if (img->type == LIBRAW_IMAGE_BITMAP && img->bits == 8 && (img->colors == 3 || img->colors == 1)) {
      written = QXL_RAW_THUMB_PPM;
      std::snprintf(header, sizeof header, "P%d\n%d %d\n255\n", img->colors == 3 ? 6 : 5, img->width, img->height);
    } else {
      *kind = -3;
      return 1;
    }
    QxlRawFile* out = callbacks->Open(thumbName, "wb");
    if (!out) {
      *kind = -3;
      return 1;
    }
    const size_t headerSize = std::strlen(header);
    bool ok = headerSize == 0 || callbacks->Write(header, 1, headerSize, out) == int64_t(headerSize);
    ok = ok && callbacks->Write(img->data, 1, img->data_size, out) == int64_t(img->data_size);
    callbacks->Close(out);
    *kind = ok ? written : -3;
    return 1;
  } catch (...) {
    return -1;
  }
}
