#pragma once
// The dialogs' tests: the real editor with every dialog the program registers, a
// document, each dialog opened from its command's row as a user opens it, and the few
// ways a user reaches a dialog's controls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>

#include "controls/Beep.h"
#include "controls/ColorEditor.h"
#include "controls/SpinEdit.h"
#include "dialogs/ParamDialog.h"
#include "document/LayerOps.h"
#include "platform/texts/AppPaths.h"
#include "platform/texts/IniFile.h"
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
  // settings: the settings file the editor starts with (none when empty); module: the
  // file of a translation module copied into the user's data folder first (none when
  // empty).
  explicit DialogShell(TDialogLauncher* dialogs = &ProgramDialogs(), const std::string& settings = {},
                       const std::string& module = {}) {
    SetBeepHandler([this] { ++Beeps; });
    if (!settings.empty()) WriteSettings(settings);
    if (!module.empty()) std::filesystem::copy_file(module, Home.File("module.plg"));
    Options = ProgramStartOptions(dialogs);
    Start();
    Services = &Form->Services();
    Doc = Open("/photos/plage.png", 120, 90, 3);
    // The masks folder holds a mask that [Sheerlay] names, as after Sheerlay's first OK.
    MaskFile = UserFolder(TUserFolder::Masks) + "/degrade.png";
    TBitmap mask(40, 30);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) mask.SetPixel(x, y, RGB(x * 6, x * 6, x * 6));
    WritePicture(MaskFile, mask);
    if (TIniFile* ini = Services->SettingsFile()) ini->WriteString("Sheerlay", "Mask", MaskFile);
  }
  std::string MaskFile;
  ~DialogShell() { SetBeepHandler({}); }
  // A document of random pixels; an empty name makes a new untitled one.
  TNewImgForm* Open(const std::string& name, int w = 100, int h = 80, uint32_t seed = 7) {
    const TBitmap bmp = RandomBitmap(w, h, seed);
    TNewImgForm* doc = Services->CreateImageWindow(&bmp, nullptr, 16777216, name.empty(), name);
    Form->UpdateCommandStates();
    return doc;
  }
  TBitmap& Layer() { return Doc->Image().Layers[Doc->Image().ActiveIndex()].Image; }
  // The active layer's image and mask, with the image's transparency.
  uint64_t LayerState() {
    const TLayerItem& l = Doc->Image().Layers[Doc->Image().ActiveIndex()];
    uint64_t sum = Checksum(l.Image) * 31 + (l.Mask.Empty() ? 0 : Checksum(l.Mask));
    return sum * 3 + (l.Image.Transparent ? 1 + l.Image.TransparentColor : 0);
  }
  // An elliptical selection over r, shown, and the menus told.
  void SelectEllipse(TRect r) {
    Doc->Selection().SetShape(ssEllipse);
    Doc->Selection().SetSelectionRect(r);
    Doc->Selection().Show();
    Form->UpdateCommandStates();
  }
  TUndoList& History() { return Doc->History(); }
  // What the first row that opens the dialog needs of the document: a command that
  // works on the selection gets one, one that works on an upper layer a layer over the
  // picture (made active).
  void PrepareFor(const char* name) {
    const TDialogCommandRow* row = RowOf(name);
    const TCommandRow* command = row ? FindCommandRow(row->Name) : nullptr;
    if (!command) return;
    if (command->Rule == TCommandRule::SelectionShown && !Doc->Selection().Visible)
      SelectEllipse(TRect{20, 15, 90, 70});
    if (command->Rule == TCommandRule::LayerEdge && Doc->Image().ActiveIndex() == 0) {
      AddLayerFromBitmap(Services->LayerHost(), "#1", RandomBitmap(60, 50, 9), TBitmap(), TPoint{20, 10});
      Form->UpdateCommandStates();
    }
  }
  // The dialog opened from the first row that names it, as a click on that row (the
  // document prepared for it); null when it did not show.
  QWidget* OpenForm(const char* name) {
    const TDialogCommandRow* row = RowOf(name);
    EXPECT_TRUE(row) << name;
    PrepareFor(name);
    if (!row || !Form->Commands().Trigger(row->Name)) return nullptr;
    QWidget* d = Form->findChild<QWidget*>(QString::fromLatin1(name));
    return d && d->isVisible() ? d : nullptr;
  }
};

// What an operation makes of a copy of the picture: the pixels a dialog's result is
// held against.
template <class P>
TBitmap RunOnCopy(const TBitmap& b, void (*apply)(TBitmap&, const P&, TRect), const P& params) {
  TBitmap out = b.Clone();
  apply(out, params, UnboundedRect);
  return out;
}

// A click on the active document at a point of the image, shown at 100 %.
inline void ClickOnImage(DialogShell& shell, TPoint at) {
  TMyImageLayered& view = shell.Doc->View();
  view.SetZoom(1);
  QApplication::processEvents();
  const TPoint p = view.ImageToClientPoint(at);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(p.X, p.Y));
}

template <class T>
T* Child(QWidget* dialog, const char* name) {
  T* w = dialog ? dialog->findChild<T*>(QString::fromLatin1(name)) : nullptr;
  EXPECT_TRUE(w) << name;
  return w;
}
inline QSlider* Slider(QWidget* d, const char* name) { return Child<QSlider>(d, name); }
inline std::string LabelText(QWidget* d, const char* name) { return Child<QLabel>(d, name)->text().toStdString(); }
inline void Click(QWidget* d, const char* button) { QTest::mouseClick(Child<QPushButton>(d, button), Qt::LeftButton); }
// A click on a radio button's mark (a wide button takes clicks on its mark and text only).
inline void ClickRadio(QRadioButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }

// Text typed into a field over what it shows, as a user selects it and types.
inline void Type(QWidget* d, const char* field, const QString& text) {
  auto* e = Child<QLineEdit>(d, field);
  e->setFocus();
  e->selectAll();
  if (text.isEmpty()) QTest::keyClick(e, Qt::Key_Backspace);
  else QTest::keyClicks(e, text);
}
inline std::string FieldText(QWidget* d, const char* field) { return Child<QLineEdit>(d, field)->text().toStdString(); }
// An entry of a list chosen as a user chooses it.
inline void Choose(QWidget* d, const char* list, int index) {
  auto* c = Child<QComboBox>(d, list);
  c->setCurrentIndex(index);
  emit c->activated(index);
}
// The names a dialog gives its Preview and Cancel buttons: the blur's, unless its
// traits name them otherwise.
inline const TButtonNames& ButtonsOf(QWidget* d) {
  static const TButtonNames blur;
  auto* p = dynamic_cast<TParamDialog*>(d);
  return p ? p->Traits().Buttons : blur;
}
inline void Cancel(QWidget* d) { Click(d, ButtonsOf(d).Cancel); }

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
      if (d->FromDocument(f.Name)) continue;
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
      } else if (auto* pages = qobject_cast<QTabWidget*>(c.Widget)) {
        EXPECT_EQ(pages->count(), count);
        EXPECT_EQ(pages->currentIndex(), int(shown));
      } else if (auto* edit = dynamic_cast<TColorEdit*>(c.Widget)) {
        EXPECT_EQ(edit->Color(), TColor(shown));
      } else {
        ADD_FAILURE() << "a control of an unknown kind: " << c.Widget->objectName().toStdString();
      }
    }
    EXPECT_EQ(controls, point ? 2 : 1);
  }
}

// A command dialog's controls are named as the dialog names them, its OK is the default
// button and has the focus.
inline void CheckCommandControls(QWidget* dialog) {
  for (QWidget* w : dialog->findChildren<QWidget*>()) {
    if (w->window() != dialog) continue;
    const bool input = qobject_cast<QLineEdit*>(w) || qobject_cast<QCheckBox*>(w) ||
                       qobject_cast<QRadioButton*>(w) || qobject_cast<QComboBox*>(w) ||
                       qobject_cast<QPushButton*>(w) || dynamic_cast<TColorEdit*>(w);
    // the parts of a composite control (a spin edit's, a colour edit's) are its own
    const bool part = dynamic_cast<TColorEdit*>(w->parentWidget()) || qobject_cast<QComboBox*>(w->parentWidget());
    if (input && !part) EXPECT_FALSE(w->objectName().isEmpty()) << w->metaObject()->className();
  }
  auto* ok = Child<QPushButton>(dialog, "BOk");
  ASSERT_TRUE(ok);
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(dialog->focusWidget(), ok);
  EXPECT_TRUE(Child<QPushButton>(dialog, "BAnnuler"));
}

}  // namespace qm::test
