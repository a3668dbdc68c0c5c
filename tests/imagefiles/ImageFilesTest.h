#pragma once
// Helpers of the image files tests: a folder per test, pictures to write, the gm tool,
// picture comparison.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imagefiles/PictureFiles.h"
#include "platform/core/Bitmap.h"
#include "platform/core/Messages.h"
#include "support/TempFiles.h"

namespace qm::test {

// A picture with smooth gradients, edges and some noise: what photographs look like to
// codecs. Deterministic.
inline TBitmap TestPicture(int w, int h, uint32_t seed = 1, bool smooth = false) {
  TBitmap b(w, h, pf24bit, clBlack);
  uint32_t s = seed * 2654435761u + 1;
  for (int y = 0; y < h; ++y) {
    uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < w; ++x, p += 3) {
      s = s * 1103515245u + 12345u;
      const int noise = smooth ? 0 : int((s >> 16) % 9) - 4;
      const int edge = (x > w / 3 && x < 2 * w / 3 && y > h / 4) ? 60 : 0;
      p[0] = uint8_t(std::clamp(x * 255 / std::max(1, w - 1) / 2 + edge + noise, 0, 255));
      p[1] = uint8_t(std::clamp(y * 255 / std::max(1, h - 1) + noise, 0, 255));
      p[2] = uint8_t(std::clamp(128 + int(100 * std::sin(x * 0.05 + y * 0.03)) - edge + noise, 0, 255));
    }
  }
  return b;
}

// Peak signal-to-noise ratio of two 24-bit pictures of one size, in dB.
inline double Psnr(const TBitmap& a, const TBitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width() * 3; ++x) {
      const double d = double(a.ScanLine(y)[x]) - double(b.ScanLine(y)[x]);
      sum += d * d;
    }
  const double mse = sum / (double(a.Width()) * a.Height() * 3);
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Runs the gm tool; true when it succeeds.
inline bool Gm(const std::string& args) {
  const std::string cmd = "gm " + args + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

// Counts the messages shown and keeps the last one; the default handler comes back at
// the end of the scope.
struct MessageCatcher {
  int count = 0;
  std::string last;
  MessageCatcher() {
    SetMessageHandler([this](const std::string& text, int, int, const std::string&) {
      ++count;
      last = text;
      return int(mrOk);
    });
  }
  ~MessageCatcher() { SetMessageHandler({}); }
};

// Records the progress stages the settings' calls raise, and vetoes one stage when
// asked; the settings' event is dropped at the end of the scope.
struct StageRecorder {
  TPictureFileSettings& settings;
  std::vector<int> stages;
  std::vector<TFileObject> kinds;
  int veto = -1;
  explicit StageRecorder(TPictureFileSettings& files, int vetoStage = -1) : settings(files), veto(vetoStage) {
    settings.OnFileProgress = [this](const TFileSender& sender, const std::string&, int stage, bool& flag) {
      stages.push_back(stage);
      kinds.push_back(sender.Kind);
      if (stage == veto) flag = false;
    };
  }
  ~StageRecorder() { settings.OnFileProgress = nullptr; }
};

}  // namespace qm::test
