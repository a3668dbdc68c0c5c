#pragma once
// The dialogs' tests: the real editor with every dialog the program registers, a
// document, each dialog opened from its command's row as a user opens it, and the few
// ways a user reaches a dialog's controls.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <string>

#include "controls/Beep.h"
#include "shell/commands/DialogCommands.h"
#include "support/MainFormFixture.h"
#include "support/ProgramStart.h"
#include "support/TestImages.h"

namespace qm::test {

// The first command row that opens the dialog; null when none does.
inline const TDialogCommandRow* RowOf(std::string_view dialog) {
  for (const TDialogCommandRow& row : DialogCommandRows())
    if (row.Dialog == dialog) return &row;
  return nullptr;
}

struct DialogShell : Editor {
  TNewImgForm* Doc = nullptr;
  TShellServices* Services = nullptr;
  int Beeps = 0;
  explicit DialogShell(TDialogLauncher* dialogs = &ProgramDialogs()) {
    SetBeepHandler([this] { ++Beeps; });
    Options = ProgramStartOptions(dialogs);
    Start();
    Services = &Form->Services();
    Doc = Open("/photos/plage.png", 120, 90, 3);
  }
  ~DialogShell() { SetBeepHandler({}); }
  // A document of random pixels; an empty name makes a new untitled one.
  TNewImgForm* Open(const std::string& name, int w = 100, int h = 80, uint32_t seed = 7) {
    const TBitmap bmp = RandomBitmap(w, h, seed);
    TNewImgForm* doc = Services->CreateImageWindow(&bmp, nullptr, 16777216, name.empty(), name);
    Form->UpdateCommandStates();
    return doc;
  }
  TBitmap& Layer() { return Doc->Image().Layers[Doc->Image().ActiveIndex()].Image; }
  TUndoList& History() { return Doc->History(); }
  // The dialog opened from the first row that names it, as a click on that row; null
  // when it did not show.
  QWidget* OpenForm(const char* name) {
    const TDialogCommandRow* row = RowOf(name);
    EXPECT_TRUE(row) << name;
    if (!row || !Form->Commands().Trigger(row->Name)) return nullptr;
    QWidget* d = Form->findChild<QWidget*>(QString::fromLatin1(name));
    return d && d->isVisible() ? d : nullptr;
  }
};

template <class T>
T* Child(QWidget* dialog, const char* name) {
  T* w = dialog ? dialog->findChild<T*>(QString::fromLatin1(name)) : nullptr;
  EXPECT_TRUE(w) << name;
  return w;
}
inline QSlider* Slider(QWidget* d, const char* name) { return Child<QSlider>(d, name); }
inline std::string LabelText(QWidget* d, const char* name) { return Child<QLabel>(d, name)->text().toStdString(); }
inline void Click(QWidget* d, const char* button) { QTest::mouseClick(Child<QPushButton>(d, button), Qt::LeftButton); }

// A key pressed and let go on the slider, as a user moves it with the keyboard.
inline void Key(QSlider* s, Qt::Key key, int times = 1) {
  for (int i = 0; i < times; ++i) QTest::keyClick(s, key);
}

}  // namespace qm::test
