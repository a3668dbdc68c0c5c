#pragma once
// What the batch automation does to one image, without files or windows: the chain of
// operations in its fixed order (size, adjustments, coloured filter, the fixed filters,
// frame, canvas, rotation, mirror, then the copyright stamp and the colour count) over
// the engine's kernels, and the names and extensions of the outputs. Any thread: a run
// processes several images at once, each on a thread of its own.
#include <functional>
#include <string>

#include "devices/batch/BatchSettings.h"
#include "dialogs/copyright/CopyrightStamp.h"
#include "document/Resample.h"
#include "platform/core/Bitmap.h"

namespace qm {

// ".jpg", ".bmp", ".gif", ".tga", ".png" or ".tif" by the format's place in the list
// (".jpg" outside it).
std::string GetOutputExtension(int format);

// The bare name of the output of the file listed as listedName at position index of
// the run (from 1): with the sequence, its name and the index on three digits or more
// ("Image007.jpg"); else the listed name with its extension replaced (or added).
std::string BatchOutputName(const TBatchSettings& s, const std::string& listedName, int index);

// The filter of a filtered resize from w x h to W x H: Lanczos when both sides shrink,
// else the cubic B-spline when a side grows more than twice, else Lanczos.
TResampleFilter ChooseResampleFilter(int w, int h, int W, int H);

struct TBatchSize {
  int Width = 0, Height = 0;
  bool operator==(const TBatchSize&) const = default;
};
// The size the size step gives a w x h image: percents rounded to nearest (halves to
// even), pixels truncated, fitted into the box when the proportions are kept. Never
// below 1 x 1.
TBatchSize BatchTargetSize(const TBatchSettings& s, int w, int h);

// The canvas step's background pattern, loaded once for a run: its pixels (24-bit)
// and the colour left out when tiling it (clNone for none).
struct TBatchPattern {
  TBitmap Bitmap;
  TColor Key = clNone;
};

// The stamp of a file: the copyright form's settings, the output's name and the date
// its placeholders take.
struct TBatchStamp {
  const TCopyrightSettings* Settings = nullptr;  // null: no stamp
  std::string FileName;
  std::string Date;
};

// Asked between the steps; true stops the chain at once (the image then stands half
// done and is dropped).
using TBatchStop = std::function<bool()>;

// The chain on a 24-bit bitmap, in place: size, gamma, saturation, brightness,
// contrast, coloured filter, soften, sharpen, blur, relief, noise, scan lines (rows 0,
// 2, 4...), inner blur, sharper contours, negative, frame, canvas (with its pattern and
// shadow), rotation, mirror. False when stop answered true. The noise draws from the
// calling thread's generator: a run seeds it for each file. Throws std::bad_alloc when
// the resampling library fails.
bool RunBatchChain(TBitmap& bmp, const TBatchSettings& s, const TBatchPattern& pattern, const TBatchStop& stop);

// The last steps before saving: the stamp (when given, with a text), then, for a
// format other than JPEG, the colour count (256 or 16 dithered colours, black and
// white by threshold, or dithered then thresholded: 1 bit).
void FinishBatchImage(TBitmap& bmp, const TBatchSettings& s, const TBatchStamp& stamp);

// The seed of the generator for the file at position index of a run: the noise and
// the shadow of a file do not depend on the files before it, nor on the threads.
uint32_t BatchNoiseSeed(int index);

}  // namespace qm
