#include "extensions/Plugin8bf.h"

#include <dlfcn.h>

#include <QCollator>
#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cfenv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "document/LayeredImage.h"
#include "extensions/Bridge8bfApi.h"
#include "imagefiles/FileSearch.h"
#include "pixel/ImgUtils.h"
#include "platform/core/Colors.h"
#include "platform/core/Parallel.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

// --- Around the bridge -------------------------------------------------------------------

// The bridge loaded for one pass; unloaded on every path.
class TBridge {
 public:
  explicit TBridge(const std::string& file) : handle_(file.empty() ? nullptr : dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~TBridge() {
    if (handle_) dlclose(handle_);
  }
  TBridge(const TBridge&) = delete;
  TBridge& operator=(const TBridge&) = delete;
  template <class Fn>
  Fn Entry(const char* name) const {
    return handle_ ? reinterpret_cast<Fn>(dlsym(handle_, name)) : nullptr;
  }

 private:
  void* handle_;
};

// The current directory, put back on every path.
class TCurrentFolder {
 public:
  TCurrentFolder() { saved_ = std::filesystem::current_path(ec_); }
  ~TCurrentFolder() {
    std::error_code ec;
    if (!ec_) std::filesystem::current_path(saved_, ec);
  }
  void Enter(const std::string& folder) {
    std::error_code ec;
    if (!folder.empty()) std::filesystem::current_path(folder, ec);
  }
  TCurrentFolder(const TCurrentFolder&) = delete;
  TCurrentFolder& operator=(const TCurrentFolder&) = delete;

 private:
  std::filesystem::path saved_;
  std::error_code ec_;
};

// Every floating-point exception masked and the pending ones cleared while the filter
// runs (filters written for another platform's defaults divide by zero freely); the
// environment as it was afterwards, on every path.
class TQuietFloatingPoint {
 public:
  TQuietFloatingPoint() {
    std::fegetenv(&saved_);
    std::feclearexcept(FE_ALL_EXCEPT);
#if defined(__GLIBC__)
    fedisableexcept(FE_ALL_EXCEPT);
#endif
  }
  ~TQuietFloatingPoint() {
    std::feclearexcept(FE_ALL_EXCEPT);
    std::fesetenv(&saved_);
  }
  TQuietFloatingPoint(const TQuietFloatingPoint&) = delete;
  TQuietFloatingPoint& operator=(const TQuietFloatingPoint&) = delete;

 private:
  std::fenv_t saved_;
};

std::string Trimmed(const char* text, size_t max) {
  if (!text) return {};
  std::string s(text, strnlen(text, max));
  const auto blank = [](char c) { return uint8_t(c) < 33; };
  while (!s.empty() && blank(s.back())) s.pop_back();
  s.erase(s.begin(), std::find_if_not(s.begin(), s.end(), blank));
  return s;
}

// What the bridge's callbacks, which take no context, reach: one pass at a time, on the
// GUI thread.
std::vector<T8bfEntry>* g_found = nullptr;
TShellServices* g_services = nullptr;

int32_t Found(const char* fileName, const char* category, const char* name) {
  if (!g_found) return 0;
  try {
    g_found->push_back(T8bfEntry{Trimmed(fileName, 4096), Trimmed(category, 256), Trimmed(name, 256)});
  } catch (...) {
  }
  return 0;
}

int32_t NeverAbort() { return 0; }

void Progress(int32_t done, int32_t total) {
  if (!g_services) return;
  if (done == 0) {
    g_services->BeginBusy();
    g_services->Windows().RefreshAllImageWindows();
  } else if (done == total) {
    g_services->EndBusy();
  }
}

// Our colours are 0x00BBGGRR, the bridge's 0x00RRGGBB.
uint32_t SwapRedBlue(TColor c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

uint32_t PickColor(uint32_t color) {
  if (!g_services) return color;
  TColor c = SwapRedBlue(color);
  return g_services->PickColorWithDialog(c) ? SwapRedBlue(c) : color;
}

struct TFreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};
using TBuffer = std::unique_ptr<uint8_t[], TFreeDeleter>;

// A zero-filled buffer; calloc maps fresh pages lazily, so zeroing costs nothing here.
TBuffer ZeroedBuffer(size_t bytes) {
  auto* p = static_cast<uint8_t*>(std::calloc(bytes, 1));
  if (!p) throw std::bad_alloc();
  return TBuffer(p);
}

}  // namespace

// A pixel's three bytes and a fourth, as one 32-bit word; and its three bytes stored
// from one, the byte after them written too (the next pixel's, written again after).
inline uint32_t Load3(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}
inline uint32_t Load4(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store4(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

void Copy8bfIn(const TBitmap& layer, const TBitmap* mask, const TRect& r, uint8_t* buffer) {
  const size_t w = size_t(r.Width());
  if (w == 0) return;
  // Rows are independent: any split of them gives the same bytes. Within a row the
  // pixels go a word at a time, the last one byte by byte (a word would read past the
  // row, and past the bitmap on its last row).
  ParallelRows(r.Top, r.Bottom, int64_t(r.Width()) * r.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = layer.ScanLine(y) + size_t(r.Left) * 3;
      uint8_t* d = buffer + size_t(y - r.Top) * w * 4;
      if (mask) {
        const uint8_t* m = mask->ScanLine(y) + size_t(r.Left) * 3;
        for (size_t x = 0; x + 1 < w; ++x)
          Store4(d + 4 * x, (Load4(s + 3 * x) & 0xFFFFFF) | uint32_t(std::min<uint8_t>(m[3 * x], 254)) << 24);
        Store4(d + 4 * (w - 1), Load3(s + 3 * (w - 1)) | uint32_t(std::min<uint8_t>(m[3 * (w - 1)], 254)) << 24);
      } else {
        for (size_t x = 0; x + 1 < w; ++x) Store4(d + 4 * x, Load4(s + 3 * x) & 0xFFFFFF);
        Store4(d + 4 * (w - 1), Load3(s + 3 * (w - 1)));
      }
    }
  });
}

void Copy8bfOut(const uint8_t* buffer, TBitmap& layer, TBitmap* mask, const TRect& r) {
  const size_t w = size_t(r.Width());
  if (w == 0) return;
  ParallelRows(r.Top, r.Bottom, int64_t(r.Width()) * r.Height(), [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const uint8_t* s = buffer + size_t(y - r.Top) * w * 4;
      uint8_t* d = layer.ScanLine(y) + size_t(r.Left) * 3;
      for (size_t x = 0; x + 1 < w; ++x) Store4(d + 3 * x, Load4(s + 4 * x));
      std::memcpy(d + 3 * (w - 1), s + 4 * (w - 1), 3);
      if (!mask) continue;
      // A pixel lower than the fourth byte takes it in its three bytes; the others are
      // written as they are (no branch on the pixels).
      uint8_t* m = mask->ScanLine(y) + size_t(r.Left) * 3;
      for (size_t x = 0; x < w; ++x) {
        const uint8_t a = s[4 * x + 3];
        const bool lower = m[3 * x] < a;
        m[3 * x + 1] = lower ? a : m[3 * x + 1];
        m[3 * x + 2] = lower ? a : m[3 * x + 2];
        m[3 * x] = lower ? a : m[3 * x];
      }
    }
  });
}

std::vector<T8bfEntry> Enumerate8bfFilters(const std::string& bridge, const std::string& folder) {
  std::vector<T8bfEntry> found;
  if (bridge.empty() || folder.empty()) return found;
  const std::vector<std::string> files = FindFilesToList(folder, "*.8bf", true);
  if (files.empty()) return found;
  TCurrentFolder current;
  TBridge module(bridge);
  const auto enumerate = module.Entry<Qxl8bfEnumerateFn>(QXL8BF_ENUMERATE);
  if (!enumerate) return found;
  current.Enter(folder);
  g_found = &found;
  try {
    for (const std::string& file : files) enumerate(file.c_str(), &Found);
  } catch (...) {
  }
  g_found = nullptr;
  // Sorted as the two texts joined, which puts "Blur" and "blur" side by side.
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(found.begin(), found.end(), [&](const T8bfEntry& a, const T8bfEntry& b) {
    return collator.compare(QString::fromStdString(a.Category + a.Name), QString::fromStdString(b.Category + b.Name)) <
           0;
  });
  return found;
}

bool Run8bfFilter(TShellServices& services, const std::string& bridge, const std::string& filterFile, bool rgba) {
  TLayerHost& host = services.LayerHost();
  TLayeredImage* image = host.ActiveImage();
  TLayerItem* layer = image ? image->GetActiveLayer() : nullptr;
  if (!layer || layer->Image.Empty()) return false;
  const TColor background = ColorToRGB(host.BackgroundColor()), foreground = ColorToRGB(host.ForegroundColor());
  TRect r = services.GetWorkRect();
  ClipRectToBitmap(r, layer->Image);
  if (r.IsEmpty()) return false;
  TBitmap* mask = rgba && !layer->Mask.Empty() ? &layer->Mask : nullptr;

  TCurrentFolder current;
  TBridge module(bridge);
  const auto run = module.Entry<Qxl8bfRunFn>(QXL8BF_RUN);
  if (!run) return false;
  current.Enter(std::filesystem::path(filterFile).parent_path().string());
  const size_t bytes = size_t(r.Width()) * size_t(r.Height()) * 4;
  TBuffer source = ZeroedBuffer(bytes), destination = ZeroedBuffer(bytes);

  struct TPass {
    explicit TPass(TShellServices& s) { g_services = &s; }
    ~TPass() { g_services = nullptr; }
  } pass(services);
  Progress(0, 1);
  Copy8bfIn(layer->Image, mask, r, source.get());
  Progress(1, 1);
  Qxl8bfImage in{sizeof(Qxl8bfImage), r.Width(), r.Height(), r.Width(), source.get()};
  Qxl8bfImage out{sizeof(Qxl8bfImage), r.Width(), r.Height(), r.Width(), destination.get()};
  uint64_t window = 0;
  if (QWidget* main = services.MainWindow(); main && QGuiApplication::platformName() == QLatin1String("xcb"))
    window = uint64_t(main->winId());
  int32_t result;
  {
    TQuietFloatingPoint quiet;
    result = run(&in, &out, filterFile.c_str(), &NeverAbort, &Progress, window, SwapRedBlue(background),
                 SwapRedBlue(foreground), &PickColor, 0, rgba ? 1 : 0, 0, 0, 0, 0, 0);
  }
  if (result != 0) return false;
  Progress(0, 1);
  Copy8bfOut(destination.get(), layer->Image, mask, r);
  Progress(1, 1);
  image->InvalidateLayerRect(image->LayerRectToImageRect(r));
  return true;
}

}  // namespace qm
