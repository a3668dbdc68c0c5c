// Every window the editor opens, as a user opens them: from each command of the table
// in turn, over a document with a layer, a selection and a picture on the clipboard.
#include <gtest/gtest.h>

#include <QAccessible>
#include <set>

#include "DialogTestSupport.h"
#include "controls/HintNames.h"
#include "document/qt/Clipboard.h"
#include "pixel/ImgUtils.h"
#include "support/WindowWalk.h"

using namespace qm;
using namespace qm::test;

namespace {

// The controls of a window that show no text and that a screen reader finds no name
// for, as "window / control": those of every page, not only the page shown.
std::vector<std::string> UnnamedControls(QWidget* window) {
  std::vector<std::string> unnamed;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!ShowsNoText(w)) continue;
    const QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (a && !a->text(QAccessible::Name).trimmed().isEmpty()) continue;
    const QString name = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
    unnamed.push_back((window->objectName() + " / " + name).toStdString());
  }
  return unnamed;
}

}  // namespace

// Each control that shows no text (a glyph button, an arrow, a cell of an anchor grid)
// carries its hint as its accessible name, in every window.
TEST(EveryWindow, NamesEveryControlThatShowsNoText) {
  DialogShell shell;
  const TBitmap picture(20, 10, pf24bit, RGB(0, 128, 255));
  CopyBitmapWithMask(ClipboardData(), &picture, nullptr);
  AddLayerFromBitmap(shell.Services->LayerHost(), "#1", RandomBitmap(60, 50, 9), TBitmap(), TPoint{20, 10});
  shell.SelectEllipse(TRect{10, 10, 100, 70});
  std::set<std::string> unnamed;
  auto inspect = [&](QWidget* w) {
    for (const std::string& u : UnnamedControls(w)) unnamed.insert(u);
  };
  for (QWidget* w : ShownWindows()) inspect(w);
  const int opened = LookAtEveryWindow(*shell.Form, [&](QWidget* w, std::string_view) { inspect(w); });
  EXPECT_GE(opened, 50);
  EXPECT_EQ(std::vector<std::string>(unnamed.begin(), unnamed.end()), std::vector<std::string>{});
}
