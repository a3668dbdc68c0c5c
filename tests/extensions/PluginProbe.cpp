#include <filesystem>
#include <fstream>

#include "extensions/PluginTestSupport.h"

namespace qm::test {

ProbeHooks& Probe() {
  static ProbeHooks hooks;
  return hooks;
}

PluginEditor::PluginEditor() {
  Probe() = ProbeHooks{};
  Folder = Home.File("Plugins");
  std::filesystem::create_directories(Folder);
  Options.Plugins = [this](TShellServices& services, const TPluginSetup& setup) {
    std::unique_ptr<TPluginHost> host = MakeProgramPluginHost(services, setup);
    Host = static_cast<TQxlPluginHost*>(host.get());
    return host;
  };
}

PluginEditor::~PluginEditor() {
  Form.reset();
  Probe() = ProbeHooks{};
}

void PluginEditor::Install(std::initializer_list<const char*> modules, const std::string& sub) {
  const std::string to = sub.empty() ? Folder : Folder + "/" + sub;
  std::filesystem::create_directories(to);
  for (const char* m : modules)
    std::filesystem::copy_file(std::string(QM_TEST_PLUGIN_FOLDER) + "/" + m + ".qxl", to + "/" + m + ".qxl",
                               std::filesystem::copy_options::overwrite_existing);
}

void PluginEditor::InstallAs(const char* module, const std::string& fileName) {
  std::filesystem::copy_file(std::string(QM_TEST_PLUGIN_FOLDER) + "/" + module + ".qxl", Folder + "/" + fileName,
                             std::filesystem::copy_options::overwrite_existing);
}

void PluginEditor::InstallBridge() {
  std::filesystem::copy_file(std::string(QM_TEST_PLUGIN_FOLDER) + "/bridge/8bf.qxl", Folder + "/8bf.qxl",
                             std::filesystem::copy_options::overwrite_existing);
}

void PluginEditor::Write8bf(const std::string& name, const std::string& lines) {
  const std::filesystem::path file = std::filesystem::path(Folder) / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << lines;
}

QAction* PluginEditor::Item(const std::string& caption) {
  for (QAction* a : Commands().PluginItems())
    if (a->text().toStdString() == caption) return a;
  return nullptr;
}

TNewImgForm& PluginEditor::OpenPicture(const TBitmap& picture, const std::string& name) {
  const std::string file = Home.File(name);
  TBitmap copy = picture.Clone();
  EXPECT_EQ(SavePicture(file, copy, TSaveRequest{}).Result, frDone);
  EXPECT_TRUE(Form->Files().OpenImageFile(file, true, false));
  return *Services().GetActiveImgForm();
}

}  // namespace qm::test

// --- What the modules of the tests find in this program ---------------------------------

using qm::test::Probe;

extern "C" __attribute__((visibility("default"))) int32_t QmTestPluginExecute(QxlPluginHost* host,
                                                                              const char* module) {
  return Probe().Execute ? Probe().Execute(host, module) : 0;
}

extern "C" __attribute__((visibility("default"))) void QmTestPluginSetColor(uint32_t color) {
  if (Probe().SetColor) Probe().SetColor(color);
}

extern "C" __attribute__((visibility("default"))) void QmTestPluginPointClick(int32_t x, int32_t y, int32_t button) {
  if (Probe().PointClick) Probe().PointClick(x, y, button);
}

extern "C" __attribute__((visibility("default"))) void QmTestPluginAbout(QxlPluginHost* host) {
  if (Probe().About) Probe().About(host);
}

extern "C" __attribute__((visibility("default"))) void QmTest8bfLoaded() { ++Probe().BridgeLoads; }

extern "C" __attribute__((visibility("default"))) int32_t QmTest8bfRun(
    const Qxl8bfImage* source, Qxl8bfImage* destination, const char* filterFile, Qxl8bfAbortFn abortProc,
    Qxl8bfProgressFn progress, uint64_t window, uint32_t background, uint32_t foreground, Qxl8bfPickColorFn pickColor,
    intptr_t reserved10, int32_t rgba, intptr_t reserved12, intptr_t reserved13, intptr_t reserved14,
    intptr_t reserved15, intptr_t reserved16) {
  const intptr_t reserved[6] = {reserved10, reserved12, reserved13, reserved14, reserved15, reserved16};
  return Probe().Run8bf ? Probe().Run8bf(source, destination, filterFile, abortProc, progress, window, background,
                                         foreground, pickColor, reserved, rgba)
                        : 1;
}
