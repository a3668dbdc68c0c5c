#include "extensions/PluginHost.h"

#include <QCollator>
#include <algorithm>
#include <filesystem>
#include <set>

#include "extensions/Plugin8bf.h"
#include "extensions/PluginAbout.h"
#include "extensions/PluginCall.h"
#include "imagefiles/FileSearch.h"
#include "shell/services/ShellServices.h"

namespace qm {
namespace {

constexpr const char* kBridgeName = "8bf.qxl";

// A version 1 plug-in's about entry takes no argument.
void CallAbout(const TPluginModule& module, QxlPluginHost* record) {
  if (module.Version() < 2) reinterpret_cast<void (*)(void)>(module.About)();
  else module.About(record);
}

}  // namespace

TQxlPluginHost::TQxlPluginHost(TShellServices& services, TPluginSetup setup)
    : services_(services), setup_(std::move(setup)) {
  for (const std::string& folder : setup_.Folders) {
    const std::string file = folder + "/" + kBridgeName;
    std::error_code ec;
    if (std::filesystem::is_regular_file(file, ec)) {
      bridge_ = file;
      break;
    }
  }
}

TQxlPluginHost::~TQxlPluginHost() { delete about_.data(); }

TPlgDlgForm* TQxlPluginHost::AboutForm() const { return about_.data(); }

int TQxlPluginHost::LoadPlugins() {
  plugins_.clear();
  std::set<std::string> seen;
  for (const std::string& folder : setup_.Folders)
    for (const std::string& file : FindFilesToList(folder, "*.qxl", true)) {
      std::error_code ec;
      const std::filesystem::path real = std::filesystem::weakly_canonical(file, ec);
      if (!seen.insert(ec ? file : real.string()).second) continue;
      TPluginModule module;
      if (!module.Load(file)) continue;
      // Unknown types (negative ones too) are not ours to show.
      if (uint32_t(module.Type()) <= uint32_t(TPluginType::Tool)) plugins_.push_back(module.Entry());
    }
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(plugins_.begin(), plugins_.end(), [&](const TPluginEntry& a, const TPluginEntry& b) {
    return collator.compare(QString::fromStdString(a.NameText), QString::fromStdString(b.NameText)) < 0;
  });
  return int(plugins_.size());
}

int TQxlPluginHost::Load8bfFilters() {
  filters8bf_.clear();
  if (!setup_.Folders.empty() && !bridge_.empty())
    filters8bf_ = Enumerate8bfFilters(bridge_, setup_.Folder8bf.empty() ? setup_.PluginFolder : setup_.Folder8bf);
  return int(filters8bf_.size());
}

bool TQxlPluginHost::RunPlugin(const TPluginEntry& entry, TLayerRun* change) {
  if (module_.Loaded() || running8bf_) return false;
  TCloseHold held(services_);
  if (!module_.Load(entry.File)) return false;
  bool done = false;
  {
    TPluginCall call(services_, setup_, module_.Level(), change);
    try {
      done = module_.Execute(call.Record()) != 0;
    } catch (...) {
      done = false;  // what a plug-in lets escape fails its run
    }
  }
  module_.Unload();
  return done;
}

void TQxlPluginHost::ShowPluginAbout(const TPluginEntry& entry) {
  if (module_.Loaded() || running8bf_) return;
  TCloseHold held(services_);
  if (!module_.Load(entry.File)) return;
  if (module_.About) {
    TPluginCall call(services_, setup_, module_.Level(), nullptr);
    try {
      CallAbout(module_, call.Record());
    } catch (...) {
    }
  } else {
    if (!about_) about_ = new TPlgDlgForm(services_.MainWindow());
    about_->FillPluginAboutForm(module_.Entry());
    about_->exec();
  }
  module_.Unload();
}

bool TQxlPluginHost::Run8bfFilter(const T8bfEntry& entry, bool rgba) {
  if (module_.Loaded() || running8bf_ || bridge_.empty()) return false;
  TCloseHold held(services_);
  running8bf_ = true;
  struct TEnd {
    bool& Flag;
    ~TEnd() { Flag = false; }
  } end{running8bf_};
  return qm::Run8bfFilter(services_, bridge_, entry.File, rgba);
}

void TQxlPluginHost::SendPluginColorPick(TColor color) {
  if (!module_.Loaded() || !module_.SetColor) return;
  try {
    module_.SetColor(color);
  } catch (...) {
  }
}

void TQxlPluginHost::SendPluginPointClick(TPoint imagePoint, int button) {
  if (!module_.Loaded() || !module_.PointClick) return;
  try {
    module_.PointClick(imagePoint.X, imagePoint.Y, button);
  } catch (...) {
  }
}

std::unique_ptr<TPluginHost> MakeProgramPluginHost(TShellServices& services, const TPluginSetup& setup) {
  auto host = std::make_unique<TQxlPluginHost>(services, setup);
  host->LoadPlugins();
  host->Load8bfFilters();
  return host;
}

}  // namespace qm
