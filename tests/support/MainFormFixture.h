#pragma once
// The editor as a user starts it, for the tests that drive the real main window: its
// settings and user folders of the test's own (QM_HOME), the messages recorded and
// answered, the real picture dialogs, and pictures written and read through the real
// codecs.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/LayerOps.h"
#include "imagefiles/FileDispatch.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/main/MainForm.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"
#include "views/PictureDialogs.h"

namespace qm::test {

// A smooth picture (it survives JPEG nearly unchanged) of its own hue.
inline TBitmap Picture(int w, int h, int hue) {
  TBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB((hue + x * 2) & 255, (y * 3) & 255, (hue * 7 + x + y) & 255));
  return b;
}

inline void WritePicture(const std::string& name, const TBitmap& b) {
  TBitmap copy = b.Clone();
  TSaveRequest request;
  request.Jpeg.Quality = 95;
  ASSERT_EQ(SavePicture(name, copy, request).Result, frDone) << name;
}

inline TBitmap ReadPicture(const std::string& name) { return LoadPicture(name, TLoadRequest{}).Bitmap; }

// Settings and user folders of the test's own (QM_HOME), the messages recorded and
// answered by Answer, the real picture dialogs.
struct Editor {
  struct TAppFirst {
    TAppFirst() {
      App();
      InstallPictureDialogs();
    }
  } AppFirst;
  TempFolder Home{"mainform"};
  std::vector<std::string> Messages;
  std::function<int(const std::string& text, int buttons)> Answer = [](const std::string&, int buttons) {
    return buttons & mbOK ? int(mrOk) : int(mrYes);
  };
  std::unique_ptr<TMainForm> Form;
  // What the program's start hands the window (the dialogs, the devices, the plug-ins);
  // Start adds the files.
  TMainForm::TStartOptions Options;

  Editor() {
    setenv("QM_HOME", Home.Path.c_str(), 1);
    ResetTextTable();
    SetMessageHandler([this](const std::string& text, int, int buttons, const std::string&) {
      Messages.push_back(text);
      return Answer(text, buttons);
    });
  }
  ~Editor() {
    Form.reset();
    SetMessageHandler({});
    unsetenv("QM_HOME");
  }
  std::string SettingsFile() const { return Home.File("Quillomatic.ini"); }
  void WriteSettings(const std::string& text) const { Home.Write("Quillomatic.ini", text); }

  // Starts the editor on the command line's files and waits for its first paint.
  TMainForm& Start(std::vector<std::string> files = {}) {
    TMainForm::TStartOptions options = Options;
    options.Files = std::move(files);
    Form = std::make_unique<TMainForm>(std::move(options));
    Form->resize(1000, 700);
    Form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    EXPECT_TRUE(QTest::qWaitFor([this] { return Form->FirstPaintDone(); }, 20000));
    return *Form;
  }
  TShellServices& Services() { return Form->Services(); }
  std::vector<std::string> Titles() {
    std::vector<std::string> t;
    for (TNewImgForm* w : Services().Windows().Windows()) t.push_back(w->windowTitle().toStdString());
    return t;
  }
  // A new document on the picture, true colour unless told.
  TNewImgForm& NewDocument(const TBitmap& picture, int colorCount = 16777216) {
    return *Services().CreateImageWindow(&picture, nullptr, colorCount, true, {});
  }
  // A layer added as a command adds one: its undo step first.
  void AddLayer(int hue) {
    Services().Operations().BeginUndoableOperation(ukWholeLayer, "Coller");
    AddLayerFromBitmap(Services().LayerHost(), "#1", Picture(30, 20, hue), TBitmap(), TPoint{10, 10});
    Form->UpdateCommandStates();
  }
  bool Said(TextId id) const { return std::find(Messages.begin(), Messages.end(), Tr(id)) != Messages.end(); }
};

// Acts on the save dialog once it shows: hands the name it proposes to check, then
// accepts it as it is (or cancels when check returns false).
inline void WhenSaveDialog(std::function<bool(const std::string& proposed)> check) {
  WhenModal([check](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    ASSERT_TRUE(d);
    const std::string proposed = d->selectedFiles().value(0).toStdString();
    if (check(proposed)) QMetaObject::invokeMethod(d, "accept");
    else QMetaObject::invokeMethod(d, "reject");
  });
}

// Types name into the save dialog once it shows, and accepts it.
inline void WhenSaveDialogSaveAs(const std::string& name) {
  WhenModal([name](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    ASSERT_TRUE(d);
    d->selectFile(QString::fromStdString(name));
    QMetaObject::invokeMethod(d, "accept");
  });
}

// Accepts, once it shows, the writer's options dialog a save asks through (PNG, GIF).
inline void WhenWriterOptionsAccepted() {
  WhenShown(
      []() -> QWidget* {
        QWidget* w = QApplication::activeModalWidget();
        return w && w->objectName().endsWith(QLatin1String("CompressForm")) ? w : nullptr;
      },
      [](QWidget* w) { QMetaObject::invokeMethod(w, "accept"); });
}

}  // namespace qm::test
