#pragma once
// A plug-in module ("*.qxl", FilterPluginApi.h) loaded for one operation: its entries
// looked up, its description checked and copied. Nothing the module owns is kept once
// it is unloaded.
#include <string>

#include "extensions/FilterPluginApi.h"
#include "shell/commands/PluginCommands.h"

namespace qm {

class TPluginModule {
 public:
  TPluginModule() = default;
  ~TPluginModule() { Unload(); }
  TPluginModule(const TPluginModule&) = delete;
  TPluginModule& operator=(const TPluginModule&) = delete;

  // Loads the file and checks it: false, nothing loaded, when it does not load, lacks
  // QxlPluginInfo or QxlPluginExecute, or its description is refused (a record smaller
  // than its version's, a version of 0, a compatibility text that starts with anything
  // but "7").
  bool Load(const std::string& file);
  // Delivers the deferred deletions of Qt first: objects of the module's classes go
  // while their code is still there. Nothing when none is loaded.
  void Unload();
  bool Loaded() const { return handle_ != nullptr; }

  // The description as read at the load (the glyph copied); the type as the module
  // gave it.
  const TPluginEntry& Entry() const { return entry_; }
  int32_t Type() const { return type_; }
  uint32_t Version() const { return version_; }
  // The level of callbacks asked for, within QXL_LEVEL_MIN..QXL_LEVEL_MAX.
  int Level() const;

  // The entries; the optional ones may be null. An exception out of one is the
  // caller's to catch.
  QxlPluginExecuteFn Execute = nullptr;
  QxlPluginAboutFn About = nullptr;
  QxlPluginCompatibilityFn Compatibility = nullptr;
  QxlPluginSetColorFn SetColor = nullptr;
  QxlPluginPointClickFn PointClick = nullptr;

 private:
  bool ReadDescription(const QxlPluginDescription* d);

  void* handle_ = nullptr;
  TPluginEntry entry_;
  int32_t type_ = -1;
  uint32_t version_ = 0;
};

}  // namespace qm
