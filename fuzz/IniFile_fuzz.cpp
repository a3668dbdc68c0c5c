// The settings file as any bytes: reading every shell key never fails and stays in
// range, and a value written back cannot inject lines into the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/texts/IniFile.h"
#include "shell/services/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  qm::TIniFile ini;
  ini.LoadFromString(text);
  qm::TSettingsEnvironment env;
  env.FormatCount = 10;
  env.PluginsAvailable = true;
  const qm::TShellSettings s = qm::ReadShellSettings(ini, env);
  if (s.History < 1 || s.History > 24) __builtin_trap();
  qm::WriteShellSettings(ini, s);
  ini.WriteString("Params", "Fuzz", text.substr(0, 64));
  qm::TIniFile back;
  back.LoadFromString(ini.ToString());
  // The written value is one line: what follows it stays out of [Params].
  if (back.ReadString("Params", "History", "") != std::to_string(s.History) && ini.ReadString("Params", "History", "") == std::to_string(s.History))
    __builtin_trap();
  for (const std::string& section : back.ReadSections()) back.ReadSection(section);
  return 0;
}
