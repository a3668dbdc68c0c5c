// The program's file types registered in XDG folders of the test's own, read back by
// the desktop's own tools (gio, desktop-file-validate), and an entry launched from a
// folder whose name needs every kind of quoting.
#include "devices/desktop/FileTypes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>
#include <QThread>
#include <filesystem>

#include "platform/texts/IniFile.h"
#include "support/MainFormFixture.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"

using namespace qm;
using namespace qm::test;

namespace {

// XDG folders of the test's own, and a program in a folder named with a blank, "%", "$"
// and a quote: it copies the file it is started on.
struct Desktop {
  TempFolder Root{"filetypes"};
  TFileTypeSetup Setup;
  TIniFile Settings;
  std::string Program, Copy;
  Desktop() {
    App();
    Setup.DataHome = Root.File("data");
    Setup.ConfigHome = Root.File("config");
    std::filesystem::create_directories(Setup.ConfigHome);
    const std::string odd = Root.File("my progs 100% $HOME 'q'");
    std::filesystem::create_directories(odd);
    Program = odd + "/quillomatic";
    Copy = Root.File("opened.txt");
    Root.Write("my progs 100% $HOME 'q'/quillomatic", "#!/bin/sh\ncat \"$1\" > \"" + Copy + ".part\" && mv \"" + Copy +
                                                      ".part\" \"" + Copy + "\"\n");
    chmod(Program.c_str(), 0755);
    Setup.Executable = Program;
  }
  // A desktop tool over these folders only.
  std::string Run(const QString& tool, const QStringList& args, int* code = nullptr, const QString& desktop = {}) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", QString::fromStdString(Setup.DataHome));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(Setup.ConfigHome));
    env.insert("XDG_DATA_DIRS", "/usr/share");
    env.insert("XDG_CURRENT_DESKTOP", desktop);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool, args);
    p.waitForFinished(30000);
    if (code) *code = p.exitCode();
    return p.readAll().toStdString();
  }
  std::string Entry() const { return Setup.DataHome + "/applications/quillomatic.desktop"; }
};

}  // namespace

TEST(FileTypes, ExecQuotesThePathByTheDesktopEntryRules) {
  const struct {
    const char* path;
    const char* exec;
  } cases[] = {
      {"/usr/bin/quillomatic", "\"/usr/bin/quillomatic\" %F"},
      {"/opt/my app/q", "\"/opt/my app/q\" %F"},
      {"/a/100%/q", "\"/a/100%%/q\" %F"},
      {"/a/$HOME/q", "\"/a/\\\\$HOME/q\" %F"},
      {"/a/\"x\"/q", "\"/a/\\\\\"x\\\\\"/q\" %F"},
      {"/a/b\\c/q", "\"/a/b\\\\\\\\c/q\" %F"},
      {"/a/`x`/q", "\"/a/\\\\`x\\\\`/q\" %F"},
  };
  for (const auto& c : cases) EXPECT_EQ(DesktopExecLine(c.path), c.exec) << c.path;
  EXPECT_TRUE(IsOwnAssociation("quillomatic.desktop;"));
  EXPECT_TRUE(IsOwnAssociation("org.example.Quillomatic.Viewer.desktop"));
  EXPECT_FALSE(IsOwnAssociation("gimp.desktop;"));
  EXPECT_FALSE(IsOwnAssociation("quillomatic-viewer.desktop"));
}

TEST(FileTypes, AFirstStartRegistersAndASecondWritesNothing) {
  Desktop d;
  const TFileTypeReport first = RegisterFileTypes(d.Setup, d.Settings);
  EXPECT_EQ(first.FilesWritten, 3 + 3 * int(std::size(kIconSizes) + 1));  // and the icons
  EXPECT_EQ(first.ToolsRun, 2);
  EXPECT_TRUE(std::filesystem::exists(d.Setup.DataHome + "/mime/packages/quillomatic.xml"));
  EXPECT_TRUE(std::filesystem::exists(d.Setup.DataHome + "/mime/globs2"));
  EXPECT_TRUE(std::filesystem::exists(d.Setup.DataHome + "/applications/mimeinfo.cache"));
  const auto stamp = std::filesystem::last_write_time(d.Entry());
  const TFileTypeReport second = RegisterFileTypes(d.Setup, d.Settings);
  EXPECT_EQ(second.FilesWritten, 0);
  EXPECT_EQ(second.ToolsRun, 0);
  EXPECT_EQ(std::filesystem::last_write_time(d.Entry()), stamp);
  // Nothing foreign was there: nothing kept.
  EXPECT_FALSE(d.Settings.SectionExists("Associations"));

  // The desktop's tools agree: the entry is valid, ours is the default of both types,
  // and a file is recognised by its name or, for the layered image, by its first bytes.
  int code = -1;
  EXPECT_EQ(d.Run("desktop-file-validate", {QString::fromStdString(d.Entry())}, &code), "");
  EXPECT_EQ(code, 0);
  for (const char* type : {kImageMimeType, kSelectionMimeType}) {
    const std::string said = d.Run("gio", {"mime", type});
    EXPECT_NE(said.find("Default application for “" + std::string(type) + "”: quillomatic.desktop"), std::string::npos)
        << said;
  }
  d.Root.Write("picture.qxs", "Quillomatic Selection\n");
  d.Root.Write("no-extension", std::string("Quillomatic Image") + std::string(40, '\0'));
  EXPECT_NE(d.Run("gio", {"info", "-a", "standard::content-type", QString::fromStdString(d.Root.File("picture.qxs"))})
                .find(kSelectionMimeType),
            std::string::npos);
  EXPECT_NE(d.Run("gio", {"info", "-a", "standard::content-type", QString::fromStdString(d.Root.File("no-extension"))})
                .find(kImageMimeType),
            std::string::npos);
}

TEST(FileTypes, BothTypesAndTheLauncherShowTheirOwnIconsWithoutAnInstallation) {
  Desktop d;
  RegisterFileTypes(d.Setup, d.Settings);
  const std::string theme = d.Setup.DataHome + "/icons/hicolor/";
  const struct {
    const char* File;
    const char* Type;
  } files[] = {{"picture.qxi", kImageMimeType}, {"picture.qxs", kSelectionMimeType}};
  d.Root.Write("picture.qxi", "Quillomatic Image, and more");
  d.Root.Write("picture.qxs", "Quillomatic Selection\n");
  for (const auto& f : files) {
    SCOPED_TRACE(f.File);
    // As the desktop's file manager asks (xdg-mime goes through GIO on GNOME).
    const std::string type =
        d.Run("xdg-mime", {"query", "filetype", QString::fromStdString(d.Root.File(f.File))}, nullptr, "GNOME");
    EXPECT_EQ(type, std::string(f.Type) + "\n");
    // The icon the mime database gives the type is the one the mime file names, and it
    // is there at every size the launcher's icon has.
    const std::string icon = MimeIconName(f.Type);
    EXPECT_NE(d.Run("gio", {"info", "-a", "standard::icon", QString::fromStdString(d.Root.File(f.File))}).find(icon),
              std::string::npos);
    const std::vector<uint8_t> mime = ReadFileBytes(d.Setup.DataHome + "/mime/packages/quillomatic.xml");
    EXPECT_NE(std::string(mime.begin(), mime.end()).find("<icon name=\"" + icon + "\"/>"), std::string::npos);
    for (int size : kIconSizes) {
      const std::string folder = theme + std::to_string(size) + "x" + std::to_string(size);
      QImage png(QString::fromStdString(folder + "/mimetypes/" + icon + ".png"));
      EXPECT_EQ(png.size(), QSize(size, size)) << size;
      EXPECT_TRUE(std::filesystem::exists(folder + "/apps/quillomatic.png")) << size;
    }
    EXPECT_TRUE(std::filesystem::exists(theme + "scalable/mimetypes/" + icon + ".svg"));
  }
  EXPECT_TRUE(std::filesystem::exists(theme + "scalable/apps/quillomatic.svg"));
  // No cache made where there was none; one there is made again when an icon changes.
  EXPECT_FALSE(std::filesystem::exists(theme + "icon-theme.cache"));
  // The selection's icons gone and a cache made without them: the next start puts them
  // back, and into the cache.
  const std::string selection = MimeIconName(kSelectionMimeType);
  std::vector<std::filesystem::path> gone;
  for (const auto& e : std::filesystem::recursive_directory_iterator(theme))
    if (e.path().stem() == selection) gone.push_back(e.path());
  for (const auto& path : gone) std::filesystem::remove(path);
  int code = -1;
  d.Run("gtk-update-icon-cache", {"--quiet", "--force", "--ignore-theme-index", QString::fromStdString(theme)}, &code);
  ASSERT_EQ(code, 0);
  const auto cached = [&] {
    const std::vector<uint8_t> cache = ReadFileBytes(theme + "icon-theme.cache");
    return std::string(cache.begin(), cache.end()).find(selection) != std::string::npos;
  };
  ASSERT_FALSE(cached());
  const TFileTypeReport again = RegisterFileTypes(d.Setup, d.Settings);
  EXPECT_EQ(again.FilesWritten, int(std::size(kIconSizes)) + 1);
  EXPECT_EQ(again.ToolsRun, 1);
  EXPECT_TRUE(cached());
}

TEST(FileTypes, AForeignDefaultIsKeptInTheSettingsAndOursNever) {
  Desktop d;
  d.Root.Write("config/mimeapps.list",
               "# the user's own\n[Added Associations]\nimage/png=gimp.desktop;\n\n[Default Applications]\n"
               "application/x-quillomatic-image=gimp.desktop;krita.desktop;\n");
  RegisterFileTypes(d.Setup, d.Settings);
  EXPECT_EQ(d.Settings.ReadString("Associations", kImageMimeType, ""), "gimp.desktop;krita.desktop;");
  EXPECT_FALSE(d.Settings.ValueExists("Associations", kSelectionMimeType));
  TIniFile apps(d.Setup.ConfigHome + "/mimeapps.list");
  EXPECT_EQ(apps.ReadString("Default Applications", kImageMimeType, ""), "quillomatic.desktop;gimp.desktop;krita.desktop;");
  EXPECT_EQ(apps.ReadString("Default Applications", kSelectionMimeType, ""), "quillomatic.desktop;");
  EXPECT_EQ(apps.ReadString("Added Associations", "image/png", ""), "gimp.desktop;");
  EXPECT_EQ(apps.ToString().rfind("# the user's own", 0), 0u);
  // Ours found the next time: the saved foreign default stays as it was.
  RegisterFileTypes(d.Setup, d.Settings);
  EXPECT_EQ(d.Settings.ReadString("Associations", kImageMimeType, ""), "gimp.desktop;krita.desktop;");
  // Taken back by another program meanwhile: that one is kept now.
  apps.WriteString("Default Applications", kImageMimeType, "org.kde.gwenview.desktop;");
  ASSERT_TRUE(apps.Save());
  EXPECT_EQ(RegisterFileTypes(d.Setup, d.Settings).FilesWritten, 1);
  EXPECT_EQ(d.Settings.ReadString("Associations", kImageMimeType, ""), "org.kde.gwenview.desktop;");
}

TEST(FileTypes, TheEntryLaunchedFromAnOddlyNamedFolderOpensTheFile) {
  Desktop d;
  RegisterFileTypes(d.Setup, d.Settings);
  const std::string picture = d.Root.Write("a picture.qxi", "Quillomatic Image, 17 bytes and more");
  d.Run("gio", {"launch", QString::fromStdString(d.Entry()), QString::fromStdString(picture)});
  QDeadlineTimer deadline(10000);
  while (!std::filesystem::exists(d.Copy) && !deadline.hasExpired()) QThread::msleep(20);
  ASSERT_TRUE(std::filesystem::exists(d.Copy));
  const std::vector<uint8_t> copied = ReadFileBytes(d.Copy);
  EXPECT_EQ(std::string(copied.begin(), copied.end()), "Quillomatic Image, 17 bytes and more");
}

TEST(FileTypes, TheEditorRegistersOnceAtTheEndOfItsStartAndKeepsWhatItFound) {
  Editor e;
  Desktop d;
  d.Root.Write("config/mimeapps.list", "[Default Applications]\napplication/x-quillomatic-selection=gedit.desktop;\n");
  int calls = 0;
  e.Options.RegisterFileTypes = [&](TIniFile& settings) {
    ++calls;
    EXPECT_TRUE(e.Form == nullptr);  // during the window's creation
    RegisterFileTypes(d.Setup, settings);
  };
  e.Start();
  EXPECT_EQ(calls, 1);
  e.Form.reset();
  TIniFile written(e.SettingsFile());
  EXPECT_EQ(written.ReadString("Associations", kSelectionMimeType, ""), "gedit.desktop;");
}
