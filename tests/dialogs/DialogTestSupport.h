#pragma once
// The dialogs' tests: a shell with every dialog registered, a document, and the few
// ways a user reaches a dialog's controls.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <string>

#include "dialogs/DialogList.h"
#include "shell/services/DialogRegistry.h"
#include "support/ShellWindow.h"

namespace qm::test {

struct DialogShell : TShellWindow {
  TNewImgForm* Doc;
  DialogShell() {
    InstallParameterDialogs();
    Doc = Open("/photos/plage.png", 120, 90, 3);
  }
  TBitmap& Layer() { return Doc->Image().Layers[Doc->Image().ActiveIndex()].Image; }
  TUndoList& History() { return Doc->History(); }
  QWidget* OpenForm(const char* name) { return OpenDialog(name, *Services); }
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
