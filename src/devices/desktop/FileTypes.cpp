#include "devices/desktop/FileTypes.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/core/Stream.h"
#include "platform/texts/IniFile.h"
#include "platform/texts/TextUtils.h"

static void InitDesktopResources() { Q_INIT_RESOURCE(Desktop); }

namespace qm {
namespace {

constexpr char kDefaults[] = "Default Applications";
constexpr char kBackups[] = "Associations";

std::string Resource(const char* name) {
  InitDesktopResources();
  QFile file(QStringLiteral(":/desktop/") + QLatin1String(name));
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Writes the file unless it holds that text already; true when it was written.
bool WriteIfChanged(const std::string& path, const std::string& text) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && ReadText(path) == text) return false;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  try {
    TAtomicFileStream out(path);
    out.Write(text.data(), text.size());
    out.Commit();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// A desktop database tool on its folder; a missing tool or one that fails changes
// nothing for the program.
bool RunTool(const char* tool, const QStringList& arguments) {
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.start(QLatin1String(tool), arguments);
  if (!process.waitForStarted(5000)) return false;
  process.waitForFinished(30000);
  return true;
}
bool RunTool(const char* tool, const std::string& folder) { return RunTool(tool, {QString::fromStdString(folder)}); }

// The launcher's icon and the types' icons, by their place under an icon theme's
// folder: each size the launcher's icon has, and the drawing they are rendered from.
std::vector<std::string> IconFiles() {
  std::vector<std::string> files;
  const auto add = [&files](const std::string& folder) {
    const std::string ext = folder == "scalable" ? ".svg" : ".png";
    files.push_back(folder + "/apps/quillomatic" + ext);
    for (const char* type : {kImageMimeType, kSelectionMimeType}) files.push_back(folder + "/mimetypes/" + MimeIconName(type) + ext);
  };
  for (int size : kIconSizes) add(std::to_string(size) + "x" + std::to_string(size));
  add("scalable");
  return files;
}

// The icons in the user's hicolor theme; when one changed, the theme's folder is
// touched (so the desktop looks again) and a cache found there is made again. A cache
// is never made where there was none: one left stale would hide other programs' icons.
int WriteIcons(const std::string& dataHome, TFileTypeReport& report) {
  const std::string theme = dataHome + "/icons/hicolor";
  int written = 0;
  for (const std::string& file : IconFiles())
    if (WriteIfChanged(theme + "/" + file, Resource(("icons/" + file).c_str()))) ++written;
  if (written == 0) return 0;
  std::error_code ec;
  std::filesystem::last_write_time(theme, std::filesystem::file_time_type::clock::now(), ec);
  if (std::filesystem::exists(theme + "/icon-theme.cache", ec))
    report.ToolsRun += RunTool("gtk-update-icon-cache", {"--quiet", "--force", "--ignore-theme-index", QString::fromStdString(theme)});
  return written;
}

// GLib loads no desktop entry whose program's path holds a "%": it looks the program up
// before turning "%%" back into "%". Such a program is started through a link of ours
// in the user's data folder.
std::string LaunchPath(const std::string& executable, const std::string& dataHome) {
  if (executable.find('%') == std::string::npos) return executable;
  const std::filesystem::path link = dataHome + "/Quillomatic/quillomatic";
  std::error_code ec;
  if (std::filesystem::read_symlink(link, ec) != executable) {
    std::filesystem::create_directories(link.parent_path(), ec);
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(executable, link, ec);
  }
  return link.string();
}

// The installed launcher's entry, starting the running program.
std::string DesktopEntry(const std::string& executable) {
  std::istringstream in(Resource("quillomatic.desktop"));
  std::string line, entry;
  while (std::getline(in, line)) {
    if (line.rfind("Exec=", 0) == 0) line = "Exec=" + DesktopExecLine(executable);
    entry += line + "\n";
  }
  return entry;
}

// Our entry as the default application of the type, before any other it listed; a
// foreign default found is kept in the settings (ours never).
void MakeDefault(TIniFile& mimeApps, TIniFile& settings, const char* type) {
  const std::string previous = Trim(mimeApps.ReadString(kDefaults, type, ""));
  if (!previous.empty() && !IsOwnAssociation(previous)) settings.WriteString(kBackups, type, previous);
  std::string value = std::string(kDesktopEntryId) + ";";
  std::istringstream items(previous);
  std::string item;
  while (std::getline(items, item, ';')) {
    item = Trim(item);
    if (!item.empty() && item != kDesktopEntryId) value += item + ";";
  }
  mimeApps.WriteString(kDefaults, type, value);
}

}  // namespace

std::string MimeIconName(std::string_view mimeType) {
  std::string name(mimeType);
  std::replace(name.begin(), name.end(), '/', '-');
  return name;
}

bool IsOwnAssociation(std::string_view value) { return FindText(value, "quillomatic.", true) != std::string::npos; }

std::string DesktopExecLine(const std::string& executable) {
  // Inside a quoted argument, ", `, $ and \ take a backslash; "%" is doubled (a field
  // code otherwise). Then the value's own escapes: each backslash doubled, the line
  // breaks a path may hold written as escapes.
  std::string quoted = "\"";
  for (char c : executable) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (char c : quoted) {
    switch (c) {
      case '\\': value += "\\\\"; break;
      case '\n': value += "\\n"; break;
      case '\t': value += "\\t"; break;
      case '\r': value += "\\r"; break;
      default: value += c;
    }
  }
  return value + " %F";
}

TFileTypeReport RegisterFileTypes(const TFileTypeSetup& setup, TIniFile& settings) {
  TFileTypeReport report;
  if (setup.DataHome.empty() || setup.ConfigHome.empty() || setup.Executable.empty()) return report;
  const std::string mime = setup.DataHome + "/mime";
  if (WriteIfChanged(mime + "/packages/quillomatic.xml", Resource("quillomatic-mime.xml"))) {
    ++report.FilesWritten;
    report.ToolsRun += RunTool("update-mime-database", mime);
  }
  report.FilesWritten += WriteIcons(setup.DataHome, report);
  const std::string applications = setup.DataHome + "/applications";
  const std::string program = LaunchPath(setup.Executable, setup.DataHome);
  if (WriteIfChanged(applications + "/" + kDesktopEntryId, DesktopEntry(program))) {
    ++report.FilesWritten;
    report.ToolsRun += RunTool("update-desktop-database", applications);
  }
  TIniFile mimeApps;
  mimeApps.Load(setup.ConfigHome + "/mimeapps.list");
  const std::string before = mimeApps.ToString();
  MakeDefault(mimeApps, settings, kImageMimeType);
  MakeDefault(mimeApps, settings, kSelectionMimeType);
  if (mimeApps.ToString() != before && mimeApps.Save()) ++report.FilesWritten;
  return report;
}

void RegisterProgramFileTypes(TIniFile& settings) {
  TFileTypeSetup setup;
  setup.Executable = QCoreApplication::applicationFilePath().toStdString();
  setup.DataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString();
  setup.ConfigHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString();
  RegisterFileTypes(setup, settings);
}

}  // namespace qm
