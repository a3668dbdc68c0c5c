#pragma once
// A main window of the shell's shape for the shell's tests: an MDI area, a status bar,
// the services over them, the messages recorded (answered OK, else No unless a test
// queues answers) and the beeps counted.
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QStatusBar>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "controls/Beep.h"
#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"
#include "shell/services/ShellServices.h"
#include "support/QtTestApp.h"
#include "support/TestImages.h"

namespace qm::test {

struct TShellWindow {
  struct TAppFirst {
    TAppFirst() { App(); }
  } AppFirst;
  QMainWindow Main;
  QMdiArea* Area;
  std::unique_ptr<TShellServices> Services;
  std::vector<std::string> Messages;
  std::deque<int> Answers;  // given to the questions before the default
  int Beeps = 0;

  TShellWindow() {
    ResetTextTable();
    Area = new QMdiArea;
    Main.setCentralWidget(Area);
    Main.resize(900, 700);
    Services = std::make_unique<TShellServices>(*Area, *Main.statusBar(), &Main);
    Main.show();
    SetMessageHandler([this](const std::string& text, int, int buttons, const std::string&) {
      Messages.push_back(text);
      if (!Answers.empty()) {
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
      }
      return buttons & mbOK ? int(mrOk) : int(mrNo);
    });
    SetBeepHandler([this] { ++Beeps; });
  }
  ~TShellWindow() {
    SetMessageHandler({});
    SetBeepHandler({});
    Services.reset();
  }
  // A document of random pixels; an empty name makes a new untitled one.
  TNewImgForm* Open(const std::string& name, int w = 100, int h = 80, uint32_t seed = 7) {
    const TBitmap bmp = RandomBitmap(w, h, seed);
    return Services->CreateImageWindow(&bmp, nullptr, 16777216, name.empty(), name);
  }
  std::string Panel(TStatusPanel p) const { return Services->StatusPanel(p)->text().toStdString(); }
};

}  // namespace qm::test
