// The plug-in host: the discovery of 30 plug-ins (each loaded, its description read and
// checked, unloaded) against loading and unloading the same files alone; the work area
// of a 24 MP layer to a plug-in and back through the host record; the .8bf transfer of
// a 24 MP rectangle with its mask, in and out.
#include <dlfcn.h>

#include <filesystem>
#include <vector>

#include "EditorBench.h"
#include "Harness.h"
#include "extensions/Plugin8bf.h"
#include "extensions/PluginCall.h"
#include "extensions/PluginHost.h"
#include "shell/services/ShellServices.h"

namespace qm::bench {
namespace {

constexpr int kModules = 30;

// 30 copies of a plug-in module, each its own file.
struct TPluginFolder {
  TempFolder folder{"qm-bench-plugins"};
  std::vector<std::string> files;
  TPluginFolder() {
    for (int i = 0; i < kModules; ++i) {
      const std::string file = (folder.path / ("module" + std::to_string(i) + ".qxl")).string();
      std::filesystem::copy_file(QM_BENCH_PLUGIN, file);
      files.push_back(file);
    }
  }
};

TPluginFolder& Modules() {
  static TPluginFolder f;
  return f;
}

// The editor with the photo as its document.
struct TPhotoEditor : TBenchEditor {
  TPhotoEditor() { form->Services().CreateImageWindow(&Photo(), nullptr, 16777216, true, {}); }
};

TPhotoEditor& Editor() {
  static TPhotoEditor editor;
  return editor;
}

QM_BENCH("Plug-in discovery of 30 modules", kOurs, 0, [](benchmark::State& st) {
  TPluginFolder& modules = Modules();
  TPluginSetup setup;
  setup.Folders = {modules.folder.path.string()};
  TQxlPluginHost host(Editor().form->Services(), setup);
  for (auto _ : st)
    if (host.LoadPlugins() != kModules) return st.SkipWithError("the modules were not all listed");
});

QM_BENCH("dlopen + dlclose of the same 30 modules", kOurs, 0, [](benchmark::State& st) {
  TPluginFolder& modules = Modules();
  for (auto _ : st)
    for (const std::string& file : modules.files) {
      void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!handle) return st.SkipWithError("dlopen failed");
      dlclose(handle);
    }
});

// The whole layer is the work area: to the plug-in's bitmap and back.
QM_BENCH("Plug-in GetWorkArea + SetWorkArea, 24 MP", kOurs, 2 * kPhotoBytes, [](benchmark::State& st) {
  TShellServices& services = Editor().form->Services();
  TPluginSetup setup;
  TPluginCall call(services, setup, QXL_LEVEL_MAX, nullptr);
  QxlPluginHost* h = call.Record();
  std::vector<uint8_t> pixels(static_cast<size_t>(kPhotoBytes));
  QxlBitmap area{sizeof(QxlBitmap), kPhotoWidth, kPhotoHeight, kPhotoWidth * 3, pixels.data(), pixels.data(), nullptr};
  for (auto _ : st) {
    if (h->GetWorkArea(h, &area) != QXL_DONE || h->SetWorkArea(h, &area, 0) != QXL_DONE)
      return st.SkipWithError("the work area was refused");
    benchmark::ClobberMemory();
  }
});

// In and out of the bridge's 4-byte buffer: the bytes of that buffer, each way.
QM_BENCH(".8bf transfer in and out with the mask, 24 MP", kOurs, 2 * (kPhotoBytes / 3) * 4, [](benchmark::State& st) {
  static TBitmap layer = Photo().Clone(), mask = PhotoMask().Clone();
  const TRect all{0, 0, kPhotoWidth, kPhotoHeight};
  std::vector<uint8_t> buffer(size_t(kPhotoBytes / 3) * 4);
  for (auto _ : st) {
    Copy8bfIn(layer, &mask, all, buffer.data());
    Copy8bfOut(buffer.data(), layer, &mask, all);
    benchmark::ClobberMemory();
  }
});

}  // namespace
}  // namespace qm::bench
