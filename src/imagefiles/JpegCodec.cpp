#include "imagefiles/JpegCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include <jpeglib.h>
// the message codes, after jpeglib.h
#include <jerror.h>

#include "platform/core/Exceptions.h"
#include "imagefiles/FormatProbes.h"
#include "platform/core/PageFaulter.h"
#include "platform/core/Parallel.h"

namespace qm {

namespace {

// libjpeg reports errors through error_exit, which must not return. We jump back to
// the phase that called the library: every phase below is a function holding only
// plain C locals (longjmp must not skip a destructor), and the C++ objects it fills
// belong to its caller.
struct TJpegError {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  const TDecodeOptions* options;  // decoding: the limit and where warnings go
  int warnings;                   // warnings handed on so far
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// A warning that means pixels are missing or wrong: the data ends inside a scan,
// or is corrupt. A premature end that only lacks the end marker after a lone
// Huffman-coded scan gives every pixel (when a pixel's bits are missing, the decoder
// hits the marker it invented and says so); the arithmetic decoder says nothing then,
// and with several scans any later one may be the part that is missing.
constexpr int kLossWarnings[] = {JWRN_HIT_MARKER, JWRN_MUST_RESYNC, JWRN_HUFF_BAD_CODE, JWRN_ARITH_BAD_CODE,
                                  JWRN_BOGUS_PROGRESSION};

bool LosesPixels(j_common_ptr cinfo, int code) {
  if (code == JWRN_JPEG_EOF) {
    if (cinfo->is_decompressor == 0) return true;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    return d->arith_code || d->progressive_mode || d->comps_in_scan < d->num_components;
  }
  return std::find(std::begin(kLossWarnings), std::end(kLossWarnings), code) != std::end(kLossWarnings);
}

constexpr int kMaxWarnings = 8;

// A picture only partly in the file fails: the decoding stops at the first warning
// that says so, before the decoder invents the rows it lacks. Other warnings are
// handed on with the picture. Trace messages (level 0 and up) are dropped.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  const int code = cinfo->err->msg_code;
  if (LosesPixels(cinfo, code)) ErrorExit(cinfo);
  if (!err->options || err->warnings > kMaxWarnings) return;
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  try {
    err->options->Warn(++err->warnings > kMaxWarnings ? std::string("JPEG: further warnings left out")
                                                      : std::string("JPEG: ") + text);
  } catch (...) {
  }
}

void InitError(TJpegError& err, const TDecodeOptions* options = nullptr) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.message[0] = 0;
  err.options = options;
  err.warnings = 0;
}

struct TFileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using TFilePtr = std::unique_ptr<FILE, TFileCloser>;

// --- Decoding ---------------------------------------------------------------------

struct TDecodeSource {
  FILE* file = nullptr;
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// Phase 1: header. Fills the frame size and the source colour space.
bool DecodeHeader(jpeg_decompress_struct* cinfo, TJpegError* err, const TDecodeSource* src) {
  if (setjmp(err->jump)) return false;
  if (src->file)
    jpeg_stdio_src(cinfo, src->file);
  else
    jpeg_mem_src(cinfo, src->data, static_cast<unsigned long>(src->size));
  jpeg_read_header(cinfo, TRUE);
  return true;
}

// Phase 2: start at the scale and output colour space set by the caller.
bool DecodeStart(jpeg_decompress_struct* cinfo, TJpegError* err) {
  if (setjmp(err->jump)) return false;
  jpeg_start_decompress(cinfo);
  return true;
}

// Phase 3: the rows. BGR output goes straight into the bitmap rows; CMYK output goes
// through one row buffer and is converted. Each row's padding is zeroed once written.
bool DecodeRows(jpeg_decompress_struct* cinfo, TJpegError* err, uint8_t* const* rows, size_t padding,
                uint8_t* cmykRow) {
  if (setjmp(err->jump)) return false;
  const bool cmyk = cinfo->out_color_space == JCS_CMYK;
  // Adobe writers store CMYK inverted (0 = full ink); others store it plainly.
  const bool inverted = cinfo->saw_Adobe_marker;
  const JDIMENSION w = cinfo->output_width;
  while (cinfo->output_scanline < cinfo->output_height) {
    const JDIMENSION first = cinfo->output_scanline;
    if (!cmyk) {
      JSAMPROW batch[16];
      const JDIMENSION left = cinfo->output_height - cinfo->output_scanline;
      const JDIMENSION n = std::min<JDIMENSION>(left, 16);
      for (JDIMENSION i = 0; i < n; ++i) batch[i] = rows[cinfo->output_scanline + i];
      jpeg_read_scanlines(cinfo, batch, n);
    } else {
      uint8_t* d = rows[cinfo->output_scanline];
      JSAMPROW one = cmykRow;
      if (jpeg_read_scanlines(cinfo, &one, 1) != 1) return false;
      for (JDIMENSION x = 0; x < w; ++x) {
        int c = cmykRow[4 * x], m = cmykRow[4 * x + 1], y = cmykRow[4 * x + 2], k = cmykRow[4 * x + 3];
        if (!inverted) {
          c = 255 - c;
          m = 255 - m;
          y = 255 - y;
          k = 255 - k;
        }
        d[3 * x] = uint8_t((y * k + 127) / 255);
        d[3 * x + 1] = uint8_t((m * k + 127) / 255);
        d[3 * x + 2] = uint8_t((c * k + 127) / 255);
      }
    }
    if (padding)
      for (JDIMENSION y = first; y < cinfo->output_scanline; ++y) std::memset(rows[y] + 3 * size_t(w), 0, padding);
  }
  return true;
}

bool DecodeFinish(jpeg_decompress_struct* cinfo, TJpegError* err) {
  if (setjmp(err->jump)) return false;
  jpeg_finish_decompress(cinfo);
  return true;
}

struct TDecompressor {
  jpeg_decompress_struct cinfo{};
  TJpegError err{};
  explicit TDecompressor(const TDecodeOptions& options) {
    InitError(err, &options);
    cinfo.err = &err.pub;
    jpeg_create_decompress(&cinfo);
  }
  ~TDecompressor() { jpeg_destroy_decompress(&cinfo); }
  [[noreturn]] void Fail(const char* what) const {
    throw EInvalidGraphic(std::string(what) + (err.message[0] ? std::string(": ") + err.message : std::string()));
  }
};

// Bytes of the coefficients a decoder keeps for the whole frame: with several scans
// (progressive files, or one scan per component) every block stays in memory until
// the last scan, at full size whatever the output scale.
uint64_t WholeFrameCoefficients(const jpeg_decompress_struct& cinfo) {
  if (!cinfo.progressive_mode && cinfo.comps_in_scan >= cinfo.num_components) return 0;
  uint64_t bytes = 0;
  for (int c = 0; c < cinfo.num_components; ++c)
    bytes += uint64_t(cinfo.comp_info[c].width_in_blocks) * cinfo.comp_info[c].height_in_blocks * DCTSIZE2 *
             sizeof(JCOEF);
  return bytes;
}

void Decode(const TDecodeSource& src, TBitmap& out, const TJpegScaleChooser& chooser, int* storedWidth,
            int* storedHeight, const TDecodeOptions& options) {
  TDecompressor d(options);
  if (!DecodeHeader(&d.cinfo, &d.err, &src)) d.Fail("JPEG header");
  const int fw = int(d.cinfo.image_width), fh = int(d.cinfo.image_height);
  if (fw < 1 || fh < 1) d.Fail("JPEG frame size");
  int scale = chooser ? std::clamp(chooser(fw, fh), 0, 3) : 0;
  d.cinfo.scale_num = 1;
  d.cinfo.scale_denom = 1u << scale;
  const J_COLOR_SPACE cs = d.cinfo.jpeg_color_space;
  d.cinfo.out_color_space = (cs == JCS_CMYK || cs == JCS_YCCK) ? JCS_CMYK : JCS_EXT_BGR;
  // Both sizes are known before the decoder allocates anything for the pixels.
  jpeg_calc_output_dimensions(&d.cinfo);
  options.Limit.Check(d.cinfo.output_width, d.cinfo.output_height);
  if (const uint64_t coefficients = WholeFrameCoefficients(d.cinfo))
    options.Limit.CheckWorkingMemory(fw, fh, coefficients);
  if (!DecodeStart(&d.cinfo, &d.err)) d.Fail("JPEG decoding");
  const int w = int(d.cinfo.output_width), h = int(d.cinfo.output_height);
  TBitmap bmp = TBitmap::Uninitialized(w, h, pf24bit);
  std::vector<uint8_t*> rows(static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) rows[size_t(y)] = bmp.ScanLine(y);
  std::vector<uint8_t> cmykRow(d.cinfo.out_color_space == JCS_CMYK ? size_t(w) * 4 : 0);
  const size_t padding = size_t(bmp.Stride()) - size_t(w) * 3;
  {
    // The pages of a large picture are faulted in beside the decoding, not by it.
    TPageFaulter faulter(bmp);
    if (!DecodeRows(&d.cinfo, &d.err, rows.data(), padding, cmykRow.data())) d.Fail("JPEG decoding");
  }
  // Every row is read: what is left is the end marker. A stream damaged there has
  // already lost nothing.
  DecodeFinish(&d.cinfo, &d.err);
  if (storedWidth) *storedWidth = fw;
  if (storedHeight) *storedHeight = fh;
  out = std::move(bmp);
}

// --- Encoding ---------------------------------------------------------------------

// The encoder's destination: a file, or a buffer libjpeg grows (and the caller frees).
struct TEncodeDest {
  FILE* file = nullptr;
  unsigned char** buffer = nullptr;
  unsigned long* size = nullptr;
};

bool EncodeStart(jpeg_compress_struct* cinfo, TJpegError* err, const TEncodeDest* dest, int width, int height,
                 bool bgrx, int quality, bool progressive) {
  if (setjmp(err->jump)) return false;
  if (dest->file)
    jpeg_stdio_dest(cinfo, dest->file);
  else
    jpeg_mem_dest(cinfo, dest->buffer, dest->size);
  cinfo->image_width = JDIMENSION(width);
  cinfo->image_height = JDIMENSION(height);
  cinfo->input_components = bgrx ? 4 : 3;
  cinfo->in_color_space = bgrx ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(cinfo);
  jpeg_start_compress(cinfo, TRUE);
  return true;
}

bool EncodeRows(jpeg_compress_struct* cinfo, TJpegError* err, uint8_t* const* rows) {
  if (setjmp(err->jump)) return false;
  while (cinfo->next_scanline < cinfo->image_height) {
    const JDIMENSION n = std::min<JDIMENSION>(cinfo->image_height - cinfo->next_scanline, 16);
    jpeg_write_scanlines(cinfo, const_cast<JSAMPARRAY>(rows + cinfo->next_scanline), n);
  }
  jpeg_finish_compress(cinfo);
  return true;
}

struct TCompressor {
  jpeg_compress_struct cinfo{};
  TJpegError err{};
  TCompressor() {
    InitError(err);
    cinfo.err = &err.pub;
    jpeg_create_compress(&cinfo);
  }
  ~TCompressor() { jpeg_destroy_compress(&cinfo); }
  [[noreturn]] void Fail(const char* what) const {
    throw EInvalidGraphic(std::string(what) + (err.message[0] ? std::string(": ") + err.message : std::string()));
  }
};

}  // namespace

void ReadJpegFile(const std::string& fileName, TBitmap& out, const TJpegScaleChooser& chooser, int* storedWidth,
                  int* storedHeight, const TDecodeOptions& options) {
  TFilePtr f(std::fopen(fileName.c_str(), "rb"));
  if (!f) throw EInvalidGraphic("cannot open " + fileName);
  TDecodeSource src;
  src.file = f.get();
  Decode(src, out, chooser, storedWidth, storedHeight, options);
}

void ReadJpegMemory(const uint8_t* data, size_t size, TBitmap& out, const TJpegScaleChooser& chooser,
                    int* storedWidth, int* storedHeight, const TDecodeOptions& options) {
  if (!data || size == 0) throw EInvalidGraphic("empty JPEG data");
  TDecodeSource src;
  src.data = data;
  src.size = size;
  Decode(src, out, chooser, storedWidth, storedHeight, options);
}

namespace {

// Phase 1 of a stream whose tables are kept apart from it: the tables, then the
// stream's own header, as libtiff reads a JPEG strip.
bool DecodeTablesAndHeader(jpeg_decompress_struct* cinfo, TJpegError* err, const TDecodeSource* tables,
                           const TDecodeSource* src) {
  if (setjmp(err->jump)) return false;
  if (tables->size > 0) {
    jpeg_mem_src(cinfo, tables->data, static_cast<unsigned long>(tables->size));
    jpeg_read_header(cinfo, FALSE);
  }
  jpeg_mem_src(cinfo, src->data, static_cast<unsigned long>(src->size));
  jpeg_read_header(cinfo, TRUE);
  return true;
}

// Phase 3 without a bitmap: every row into one scratch row, then the end marker.
bool DecodeAllRows(jpeg_decompress_struct* cinfo, TJpegError* err, uint8_t* row) {
  if (setjmp(err->jump)) return false;
  JSAMPROW one = row;
  while (cinfo->output_scanline < cinfo->output_height)
    if (jpeg_read_scanlines(cinfo, &one, 1) != 1) return false;
  jpeg_finish_decompress(cinfo);
  return true;
}

}  // namespace

std::string JpegStreamDamage(const uint8_t* tables, size_t tablesSize, const uint8_t* data, size_t size,
                             const TPictureLimit& limit) {
  if (!data || size == 0) return "empty JPEG data";
  const TDecodeOptions options{limit, nullptr};
  TDecompressor d(options);
  const TDecodeSource tableSource{nullptr, tables, tables ? tablesSize : 0};
  const TDecodeSource src{nullptr, data, size};
  if (!DecodeTablesAndHeader(&d.cinfo, &d.err, &tableSource, &src)) return d.err.message;
  const int fw = int(d.cinfo.image_width), fh = int(d.cinfo.image_height);
  if (fw < 1 || fh < 1) return "JPEG frame size";
  // Only the entropy-coded data can lose pixels: the smallest scale and no colour
  // conversion decode the same bits for a fraction of the work.
  d.cinfo.scale_num = 1;
  d.cinfo.scale_denom = 8;
  d.cinfo.out_color_space = d.cinfo.jpeg_color_space;
  jpeg_calc_output_dimensions(&d.cinfo);
  limit.Check(d.cinfo.output_width, d.cinfo.output_height);
  if (const uint64_t coefficients = WholeFrameCoefficients(d.cinfo)) limit.CheckWorkingMemory(fw, fh, coefficients);
  if (!DecodeStart(&d.cinfo, &d.err)) return d.err.message;
  std::vector<uint8_t> row(size_t(d.cinfo.output_width) * size_t(std::max(1, d.cinfo.output_components)));
  if (!DecodeAllRows(&d.cinfo, &d.err, row.data())) return d.err.message[0] ? d.err.message : "JPEG decoding";
  return {};
}
namespace {

// The bitmap's rows as the encoder takes them: 24- and 32-bit rows as they are, indexed
// ones widened into holder first.
const TBitmap& EncodableRows(const TBitmap& bmp, TBitmap& holder, std::vector<uint8_t*>& rows) {
  if (bmp.Empty()) throw EInvalidGraphic("empty bitmap");
  const TBitmap* src = &bmp;
  if (bmp.PixelFormat() != pf24bit && bmp.PixelFormat() != pf32bit) {
    holder.Assign(bmp);
    holder.SetPixelFormat(pf24bit);
    src = &holder;
  }
  rows.resize(static_cast<size_t>(src->Height()));
  for (int y = 0; y < src->Height(); ++y) rows[size_t(y)] = const_cast<uint8_t*>(src->ScanLine(y));
  return *src;
}

void Encode(const TBitmap& bmp, const TJpegWriteOptions& options, const TEncodeDest& dest) {
  TBitmap holder;
  std::vector<uint8_t*> rows;
  const TBitmap& src = EncodableRows(bmp, holder, rows);
  TCompressor c;
  if (!EncodeStart(&c.cinfo, &c.err, &dest, src.Width(), src.Height(), src.PixelFormat() == pf32bit,
                   std::clamp(options.Quality, 1, 100), options.Progressive))
    c.Fail("JPEG encoding");
  if (!EncodeRows(&c.cinfo, &c.err, rows.data())) c.Fail("JPEG encoding");
}

}  // namespace

void WriteJpegFile(const std::string& fileName, const TBitmap& bmp, const TJpegWriteOptions& options) {
  if (bmp.Empty()) throw EInvalidGraphic("empty bitmap");
  TFilePtr f(std::fopen(fileName.c_str(), "wb"));
  if (!f) throw EInvalidGraphic("cannot create " + fileName);
  TEncodeDest dest;
  dest.file = f.get();
  Encode(bmp, options, dest);
  if (std::fflush(f.get()) != 0 || std::ferror(f.get())) throw EInvalidGraphic("cannot write " + fileName);
  FILE* raw = f.release();
  if (std::fclose(raw) != 0) throw EInvalidGraphic("cannot write " + fileName);
}

namespace {

// A memory destination for the encoder; libjpeg's buffer is freed with it.
struct TMemoryDest {
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  TEncodeDest dest;
  TMemoryDest() {
    dest.buffer = &buffer;
    dest.size = &size;
  }
  ~TMemoryDest() { std::free(buffer); }
  TMemoryDest(const TMemoryDest&) = delete;
  TMemoryDest& operator=(const TMemoryDest&) = delete;
  std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(buffer, buffer + size); }
};

}  // namespace

std::vector<uint8_t> WriteJpegMemory(const TBitmap& bmp, const TJpegWriteOptions& options) {
  TMemoryDest out;
  Encode(bmp, options, out.dest);
  if (!out.buffer) throw EInvalidGraphic("JPEG encoding");
  return out.Bytes();
}

namespace {

// Rows [first, last) of the source encoded alone, as baseline, into memory.
std::vector<uint8_t> EncodeBand(uint8_t* const* rows, int width, int first, int last, bool bgrx, int quality) {
  TMemoryDest out;
  TCompressor c;
  if (!EncodeStart(&c.cinfo, &c.err, &out.dest, width, last - first, bgrx, quality, false)) c.Fail("JPEG encoding");
  if (!EncodeRows(&c.cinfo, &c.err, rows + first)) c.Fail("JPEG encoding");
  return out.Bytes();
}

// Decodes a band into the given row pointers (one per row of the band).
void DecodeBand(const std::vector<uint8_t>& bytes, uint8_t* const* rows) {
  const TDecodeOptions options;  // our own bands: no limit to check, no warning kept
  TDecompressor d(options);
  TDecodeSource src;
  src.data = bytes.data();
  src.size = bytes.size();
  if (!DecodeHeader(&d.cinfo, &d.err, &src)) d.Fail("JPEG header");
  d.cinfo.out_color_space = JCS_EXT_BGR;
  if (!DecodeStart(&d.cinfo, &d.err)) d.Fail("JPEG decoding");
  if (!DecodeRows(&d.cinfo, &d.err, rows, 0, nullptr)) d.Fail("JPEG decoding");
  DecodeFinish(&d.cinfo, &d.err);
}

}  // namespace

std::vector<uint8_t> JpegPreview(const TBitmap& bmp, const TJpegWriteOptions& options, TBitmap& out) {
  TBitmap holder;
  std::vector<uint8_t*> rows;
  const TBitmap& src = EncodableRows(bmp, holder, rows);
  const int w = src.Width(), h = src.Height();
  const bool bgrx = src.PixelFormat() == pf32bit;
  const int quality = std::clamp(options.Quality, 1, 100);
  if (out.Width() != w || out.Height() != h || out.PixelFormat() != pf24bit) out = TBitmap(w, h, pf24bit, clBlack);
  // The picture is cut into bands of whole MCU rows (16 rows with the encoder's 2 x 2
  // chroma subsampling). A block's coefficients depend on its own pixels only, so a
  // band encoded alone holds the very blocks of the whole picture; decoding it with an
  // MCU row of the neighbours on each side gives the chroma upsampling the rows it
  // reads across the cut. The kept rows are thus those a decoder of the file shows.
  // A progressive file holds the same coefficients, so baseline bands serve it too.
  constexpr int kMcuRows = 16, kBandRows = 16 * kMcuRows;
  const int bands = (h + kBandRows - 1) / kBandRows;
  std::vector<uint8_t> file;
  std::vector<std::exception_ptr> errors(size_t(bands) + 1);
  const int threads = std::max(1, std::min(EngineThreads(), bands + 1));
  // Job 0, the whole file for its size, goes first: it is the longest.
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads)
  for (int job = 0; job <= bands; ++job) {
    try {
      if (job == 0) {
        file = WriteJpegMemory(src, options);
        continue;
      }
      const int a = (job - 1) * kBandRows, b = std::min(h, a + kBandRows);
      const int ea = std::max(0, a - kMcuRows), eb = std::min(h, b + kMcuRows);
      const std::vector<uint8_t> bytes = EncodeBand(rows.data(), w, ea, eb, bgrx, quality);
      std::vector<uint8_t> scratch(size_t(w) * 3);
      std::vector<uint8_t*> dst(size_t(eb - ea));
      for (int y = ea; y < eb; ++y) dst[size_t(y - ea)] = y >= a && y < b ? out.ScanLine(y) : scratch.data();
      DecodeBand(bytes, dst.data());
    } catch (...) {
      errors[size_t(job)] = std::current_exception();
    }
  }
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
  return file;
}

void TJpegImage2::LoadFromFile(const std::string& fileName) {
  StoredWidth = StoredHeight = 0;
  TJpegScaleChooser chooser;
  // Previews are shown in boxes of 150 pixels.
  if (Preview) chooser = [](int w, int h) { return JpegScaleForSize(w, h, 150); };
  ReadJpegFile(fileName, Picture, chooser, &StoredWidth, &StoredHeight, Options);
}

}  // namespace qm
