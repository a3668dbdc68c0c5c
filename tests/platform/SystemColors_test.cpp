#include <gtest/gtest.h>

#include "platform/qt/SystemColors.h"

using namespace qm;

// A system colour shows in its palette role, so it follows the desktop's theme; any
// other value shows as it is.
TEST(SystemColors, ShowInThePalettesRoles) {
  QPalette pal;
  pal.setColor(QPalette::Active, QPalette::Highlight, QColor(1, 2, 3));
  pal.setColor(QPalette::Active, QPalette::Window, QColor(4, 5, 6));
  pal.setColor(QPalette::Active, QPalette::Button, QColor(7, 8, 9));
  pal.setColor(QPalette::Disabled, QPalette::Text, QColor(10, 11, 12));
  pal.setColor(QPalette::Active, QPalette::ToolTipBase, QColor(13, 14, 15));
  const std::pair<TColor, QColor> cases[] = {
      {clHighlight, QColor(1, 2, 3)},   {clMenuHighlight, QColor(1, 2, 3)}, {clMenu, QColor(4, 5, 6)},
      {clBtnFace, QColor(7, 8, 9)},     {clGrayText, QColor(10, 11, 12)},   {clInfoBk, QColor(13, 14, 15)},
      {0x0000FF, QColor(255, 0, 0)},    {RGB(1, 200, 3), QColor(1, 200, 3)},
      {clSystemColor | 25, QColor(0, 0, 0)},  // no role: the fixed table
      {0x8000000F, QColor(7, 8, 9)},          // the classic spelling of the button face
  };
  for (const auto& [c, shown] : cases) EXPECT_EQ(ColorToQColor(c, pal), shown) << std::hex << c;
  EXPECT_EQ(QColorToColor(QColor(1, 2, 3)), RGB(1, 2, 3));
}
