#pragma once
// The dialogs' tests: a shell with every dialog registered, a document, and the few
// ways a user reaches a dialog's controls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <string>
#include <string_view>

#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "dialogs/DialogList.h"
#include "dialogs/ParamDialog.h"
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

// A dialog's parameter table holds together, and each field has its control (a point
// two), named, offering the field's control range and showing its default: the
// dialog's first showing, or any showing of one that resets.
inline void CheckTableAndControls(QWidget* dialog) {
  auto* d = dynamic_cast<TParamDialog*>(dialog);
  ASSERT_TRUE(d);
  const std::vector<TBoundControl> bound = d->BoundControls();
  const std::vector<TParamInfo> table = d->ParamTable();
  EXPECT_FALSE(table.empty());
  for (const TParamInfo& f : table) {
    const TParamRange& r = f.Range;
    const bool point = r.Kind == TParamKind::Point;
    SCOPED_TRACE(f.Name);
    EXPECT_TRUE(r.HardMin <= r.Min && r.Min < r.Max && r.Max <= r.HardMax);
    EXPECT_TRUE(r.Min <= r.Default.X && r.Default.X <= r.Max);
    EXPECT_TRUE(!point || (r.Min <= r.Default.Y && r.Default.Y <= r.Max));
    if (r.Neutral) {
      EXPECT_TRUE(r.HardMin <= r.Neutral->X && r.Neutral->X <= r.HardMax);
      EXPECT_TRUE(!point || (r.HardMin <= r.Neutral->Y && r.Neutral->Y <= r.HardMax));
    }
    int controls = 0;
    for (const TBoundControl& c : bound) {
      if (std::string_view(c.Field.Name) != f.Name) continue;
      ++controls;
      EXPECT_FALSE(c.Widget->objectName().isEmpty());
      EXPECT_EQ(c.Widget->window(), dialog);
      const double shown = c.Coordinate ? r.Default.Y : r.Default.X;
      const int count = int(r.Max) + 1;  // a choice's
      if (auto* s = qobject_cast<QSlider*>(c.Widget)) {
        EXPECT_EQ(s->minimum(), std::lround(r.Min * c.Scale));
        EXPECT_EQ(s->maximum(), std::lround(r.Max * c.Scale));
        EXPECT_EQ(s->value(), std::lround(shown * c.Scale));
      } else if (auto* e = dynamic_cast<TSpinEdit2*>(c.Widget)) {
        EXPECT_EQ(e->MinValue(), r.Min);
        EXPECT_EQ(e->MaxValue(), r.Max);
        EXPECT_EQ(e->Value(), shown);
      } else if (auto* b = qobject_cast<QCheckBox*>(c.Widget)) {
        EXPECT_EQ(b->isChecked(), shown != 0);
      } else if (auto* g = qobject_cast<QGroupBox*>(c.Widget)) {
        const QList<QRadioButton*> radios = g->findChildren<QRadioButton*>();
        ASSERT_EQ(radios.size(), count);
        for (int i = 0; i < count; ++i) {
          EXPECT_FALSE(radios[i]->objectName().isEmpty());
          EXPECT_EQ(radios[i]->isChecked(), i == int(shown));
        }
      } else if (auto* combo = qobject_cast<QComboBox*>(c.Widget)) {
        EXPECT_EQ(combo->count(), count);
        EXPECT_EQ(combo->currentIndex(), int(shown));
      } else if (auto* edit = dynamic_cast<TColorEdit*>(c.Widget)) {
        EXPECT_EQ(edit->Color(), TColor(shown));
      } else {
        ADD_FAILURE() << "a control of an unknown kind: " << c.Widget->objectName().toStdString();
      }
    }
    EXPECT_EQ(controls, point ? 2 : 1);
  }
}

}  // namespace qm::test
