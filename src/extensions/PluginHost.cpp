#include "extensions/PluginHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "extensions/FilterPluginApi.h"
#include "platform/texts/TextUtils.h"
#include "shell/services/AboutBox.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

// Longest name text a description may carry; a longer one is not ours.
constexpr size_t kMaxNameText = 255;

struct TModuleCloser {
  void operator()(void* handle) const {
    if (handle) dlclose(handle);
  }
};
using TModule = std::unique_ptr<void, TModuleCloser>;

TModule OpenModule(const std::string& file) { return TModule(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)); }

template <typename Fn>
Fn Entry(const TModule& module, const char* name) {
  return module ? reinterpret_cast<Fn>(dlsym(module.get(), name)) : nullptr;
}

// The description of a module, checked; false for anything that is not a plug-in.
bool ReadDescription(const std::string& file, TPluginEntry& entry) {
  TModule module = OpenModule(file);
  const auto info = Entry<QxlPluginInfoFn>(module, "QxlPluginInfo");
  if (!info || !Entry<QxlPluginExecuteFn>(module, "QxlPluginExecute")) return false;
  const QxlPluginDescription* d = info();
  if (!d || d->Size < sizeof(QxlPluginDescription) || d->Version != QXL_PLUGIN_API_VERSION || !d->NameText)
    return false;
  const std::string name(d->NameText, strnlen(d->NameText, kMaxNameText + 1));
  if (name.empty() || name.size() > kMaxNameText || d->Type < 0 || d->Type > int(TPluginType::Tool)) return false;
  entry.File = file;
  entry.NameText = name;
  entry.Type = TPluginType(d->Type);
  entry.Flags = d->Flags;
  return true;
}

uint8_t* LayerRow(void* context, int32_t y) {
  auto* bitmap = static_cast<TBitmap*>(context);
  return y >= 0 && y < bitmap->Height() ? bitmap->ScanLine(y) : nullptr;
}

}  // namespace

int TQxlPluginHost::LoadPlugins(const std::string& folder) {
  plugins_.clear();
  std::error_code ec;
  std::vector<std::string> files;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec) && LowerCase(it->path().extension().string()) == ".qxl")
      files.push_back(it->path().string());
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) {
    TPluginEntry entry;
    if (ReadDescription(file, entry)) plugins_.push_back(std::move(entry));
  }
  return int(plugins_.size());
}

bool TQxlPluginHost::RunPlugin(const TPluginEntry& entry) {
  TModule module = OpenModule(entry.File);
  const auto execute = Entry<QxlPluginExecuteFn>(module, "QxlPluginExecute");
  if (!execute) return false;
  QxlPluginHost host{};
  host.Size = sizeof host;
  host.Version = QXL_PLUGIN_API_VERSION;
  host.Image.Size = sizeof host.Image;
  host.DocumentCount = services_.Windows().Count();
  if (TBitmap* layer = services_.GetActiveLayerBitmap()) {
    const TRect r = services_.GetWorkRect();
    host.Image.Width = layer->Width();
    host.Image.Height = layer->Height();
    host.Image.WorkRect[0] = std::clamp(r.Left, 0, layer->Width());
    host.Image.WorkRect[1] = std::clamp(r.Top, 0, layer->Height());
    host.Image.WorkRect[2] = std::clamp(r.Right, host.Image.WorkRect[0], layer->Width());
    host.Image.WorkRect[3] = std::clamp(r.Bottom, host.Image.WorkRect[1], layer->Height());
    host.Image.Context = layer;
    host.Image.Row = &LayerRow;
  }
  loaded_ = true;
  const int32_t result = execute(&host);
  loaded_ = false;
  return result == 1;
}

void TQxlPluginHost::ShowPluginAbout(const TPluginEntry& entry) {
  TModule module = OpenModule(entry.File);
  if (const auto about = Entry<QxlPluginAboutFn>(module, "QxlPluginAbout")) about();
  else ShowAboutBox(services_.Windows().Area().window());
}

bool TQxlPluginHost::Run8bfFilter(const T8bfEntry&, bool) { return false; }

std::unique_ptr<TPluginHost> MakeProgramPluginHost(TShellServices& services, const std::string& folder) {
  auto host = std::make_unique<TQxlPluginHost>(services);
  if (!folder.empty()) host->LoadPlugins(folder);
  return host;
}

}  // namespace qm
