#pragma once
// A main window of the shell's shape for the GUI tests: an MDI area and a status bar
// with the shell's services over them, shown offscreen; messages recorded (answered
// OK where offered, else No) and beeps counted.
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QStatusBar>
#include <memory>
#include <string>
#include <vector>

#include "controls/Beep.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/ShellServices.h"
#include "support/QtTestApp.h"
#include "support/TestImages.h"

namespace qm::test {

struct Shell {
  struct TAppFirst {
    TAppFirst() { App(); }
  } AppFirst;
  QMainWindow Main;
  QMdiArea* Area;
  std::unique_ptr<TShellServices> Services;
  std::vector<std::string> Messages;
  int Beeps = 0;

  Shell() {
    ResetTextTable();
    Area = new QMdiArea;
    Main.setCentralWidget(Area);
    Main.resize(900, 700);
    Services = std::make_unique<TShellServices>(*Area, *Main.statusBar(), &Main);
    Main.show();
    SetMessageHandler([this](const std::string& text, int, int buttons, const std::string&) {
      Messages.push_back(text);
      return buttons & mbOK ? int(mrOk) : int(mrNo);
    });
    SetBeepHandler([this] { ++Beeps; });
  }
  ~Shell() {
    SetMessageHandler({});
    SetBeepHandler({});
    Services.reset();
  }
  // A document of random pixels; a new one without a file name.
  TNewImgForm* Open(const std::string& name, int w = 100, int h = 80, uint32_t seed = 7) {
    const TBitmap bmp = RandomBitmap(w, h, seed);
    return Services->CreateImageWindow(&bmp, nullptr, 16777216, name.empty(), name);
  }
  std::string Panel(TStatusPanel p) const { return Services->StatusPanel(p)->text().toStdString(); }
};

}  // namespace qm::test
