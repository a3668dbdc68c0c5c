#include "platform/qt/SystemColors.h"

#include <iterator>

namespace qm {
namespace {

struct TRoleRow {
  QPalette::ColorGroup Group;
  QPalette::ColorRole Role;
};

constexpr QPalette::ColorGroup A = QPalette::Active, I = QPalette::Inactive, D = QPalette::Disabled;

// By system colour index. The 3-D shades follow Qt's own reading of a desktop scheme:
// button highlight Light, 3-D light Midlight, button shadow Dark, dark shadow Shadow.
constexpr TRoleRow kRoles[] = {
    {A, QPalette::Midlight},         // scroll bar
    {A, QPalette::Shadow},           // desktop background
    {A, QPalette::Highlight},        // active caption
    {I, QPalette::Mid},              // inactive caption
    {A, QPalette::Window},           // menu
    {A, QPalette::Base},             // window
    {A, QPalette::Dark},             // window frame
    {A, QPalette::WindowText},       // menu text
    {A, QPalette::Text},             // window text
    {A, QPalette::HighlightedText},  // caption text
    {A, QPalette::Button},           // active border
    {I, QPalette::Button},           // inactive border
    {A, QPalette::Mid},              // application workspace
    {A, QPalette::Highlight},        // highlight
    {A, QPalette::HighlightedText},  // highlight text
    {A, QPalette::Button},           // button face
    {A, QPalette::Dark},             // button shadow
    {D, QPalette::Text},             // grey text
    {A, QPalette::ButtonText},       // button text
    {I, QPalette::WindowText},       // inactive caption text
    {A, QPalette::Light},            // button highlight
    {A, QPalette::Shadow},           // 3-D dark shadow
    {A, QPalette::Midlight},         // 3-D light
    {A, QPalette::ToolTipText},      // tooltip text
    {A, QPalette::ToolTipBase},      // tooltip background
    {A, QPalette::NoRole},           // (unused index)
    {A, QPalette::Link},             // hot-tracked item
    {A, QPalette::Highlight},        // active caption gradient
    {I, QPalette::Highlight},        // inactive caption gradient
    {A, QPalette::Highlight},        // menu highlight
    {A, QPalette::Window},           // menu bar
};

}  // namespace

bool SystemColorRole(TColor c, QPalette::ColorGroup& group, QPalette::ColorRole& role) {
  if (!IsSystemColor(c)) return false;
  const unsigned i = c & 0xFF;
  if (i >= std::size(kRoles) || kRoles[i].Role == QPalette::NoRole) return false;
  group = kRoles[i].Group;
  role = kRoles[i].Role;
  return true;
}

QColor ColorToQColor(TColor c, const QPalette& palette) {
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
  if (SystemColorRole(c, group, role)) return palette.color(group, role);
  c = ColorToRGB(c);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace qm
