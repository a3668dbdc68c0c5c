#pragma once
// The plug-in tests' scaffolding: the real editor with the plug-ins of the tests'
// choosing in its user's plug-in folder, found by the program's own host; and what the
// probe modules and the test bridge call back in this program (PluginProbe.cpp), so
// that a test drives the real host record from inside a real module.
#include <QAction>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "extensions/Bridge8bfApi.h"
#include "extensions/FilterPluginApi.h"
#include "extensions/PluginHost.h"
#include "support/MainFormFixture.h"

namespace qm::test {

// What the modules of the tests call: each empty unless a test sets it.
struct ProbeHooks {
  std::function<int32_t(QxlPluginHost* host, const std::string& module)> Execute;
  std::function<void(uint32_t color)> SetColor;
  std::function<void(int32_t x, int32_t y, int32_t button)> PointClick;
  std::function<void(QxlPluginHost* host)> About;
  std::function<int32_t(const Qxl8bfImage* source, Qxl8bfImage* destination, const char* filterFile,
                        Qxl8bfAbortFn abortProc, Qxl8bfProgressFn progress, uint64_t window, uint32_t background,
                        uint32_t foreground, Qxl8bfPickColorFn pickColor, const intptr_t reserved[6], int32_t rgba)>
      Run8bf;
  int BridgeLoads = 0;
};
// Cleared by every PluginEditor.
ProbeHooks& Probe();

inline std::vector<uint8_t> Pixels(const TBitmap& b) {
  std::vector<uint8_t> p;
  for (int y = 0; y < b.Height(); ++y) p.insert(p.end(), b.ScanLine(y), b.ScanLine(y) + b.Width() * 3);
  return p;
}

// A picture whose every byte differs from its neighbours'.
inline TBitmap Photo(int w, int h) {
  TBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(x * 5 + 1, y * 7 + 2, (x + y) * 3));
  return b;
}

// A layer's image and mask, byte for byte.
struct LayerState {
  std::vector<uint8_t> Image, Mask;
  explicit LayerState(const TLayerItem& l) : Image(Pixels(l.Image)), Mask(Pixels(l.Mask)) {}
  bool operator==(const LayerState&) const = default;
};

// The editor with plug-ins in its user's plug-in folder: Install copies modules of the
// tests' build there before Start; the program's host finds them.
struct PluginEditor : Editor {
  TQxlPluginHost* Host = nullptr;
  std::string Folder;

  PluginEditor();
  ~PluginEditor();
  // Copies the modules (by their build name, without ".qxl") into the folder (or a
  // sub-folder of it).
  void Install(std::initializer_list<const char*> modules, const std::string& sub = {});
  // One module under another file name.
  void InstallAs(const char* module, const std::string& fileName);
  // The bridge, and .8bf files of "category|name|operation" lines.
  void InstallBridge();
  void Write8bf(const std::string& name, const std::string& lines);

  TPluginCommands& Commands() { return *Form->PluginCommands(); }
  // The command item and the about item of the plug-in whose command caption is given.
  QAction* Item(const std::string& caption);
  // A document of its own file (not modified), active.
  TNewImgForm& OpenPicture(const TBitmap& picture, const std::string& name = "photo.bmp");
};

}  // namespace qm::test
