#include "shell/services/CommandTable.h"

#include <algorithm>

#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

// The table's short names for its columns.
namespace cmd {
using enum TextId;
using enum TCommandKind;
using enum TCommandRule;
using enum TItemStyle;
inline constexpr TextId NoText = kNoText;
}  // namespace cmd

constexpr TCommandRow kRows[] = {
#define QM_BAR(name, kind) {#name, "", cmd::kind, "", kNoText, 0, "", cmd::Always, "", 0, cmd::Plain, ""},
#define QM_MENU(name, parent, caption, text, rule) \
  {#name, #parent, cmd::Menu, caption, cmd::text, 0, "", cmd::rule, "", 0, cmd::Plain, ""},
#define QM_ITEM(name, parent, caption, text, shortcut, glyph, rule, handler, tag, style) \
  {#name, #parent, cmd::Item, caption, cmd::text, TShortcut(shortcut), glyph, cmd::rule, #handler, tag, cmd::style, ""},
#define QM_SHOW(name, parent, shown) \
  {#name, #parent, cmd::Show, "", kNoText, 0, "", cmd::Always, "", 0, cmd::Plain, #shown},
#define QM_COPIES(parent, source) \
  {"", #parent, cmd::Copies, "", kNoText, 0, "", cmd::Always, "", 0, cmd::Plain, #source},
#define QM_SEPARATOR(name, parent) \
  {#name, #parent, cmd::Separator, "", kNoText, 0, "", cmd::Always, "", 0, cmd::Plain, ""},
#include "shell/services/Commands.def"
#undef QM_BAR
#undef QM_MENU
#undef QM_ITEM
#undef QM_SHOW
#undef QM_COPIES
#undef QM_SEPARATOR
};

// Sorted (name, row) pairs of the named rows.
const std::vector<std::pair<std::string_view, const TCommandRow*>>& NameIndex() {
  static const auto index = [] {
    std::vector<std::pair<std::string_view, const TCommandRow*>> v;
    for (const TCommandRow& r : kRows)
      if (!r.Name.empty()) v.emplace_back(r.Name, &r);
    std::sort(v.begin(), v.end());
    return v;
  }();
  return index;
}

// Captions composed of an entry and a fixed word: the word stays whatever the language.
struct TComposedCaption {
  std::string_view Name;
  std::string_view Suffix;
};
constexpr TComposedCaption kComposed[] = {{"MenuFiltreCtr3D", " 3D"}, {"Menu8bfFiltre", " 8BF"}};

// Items that open a dialog but take a translated text exactly as it comes.
constexpr std::string_view kUndecorated[] = {"MenuSelEnregistrer", "MenuSelCharger"};

}  // namespace

std::span<const TCommandRow> CommandRows() { return kRows; }

const TCommandRow* FindCommandRow(std::string_view name) {
  const auto& index = NameIndex();
  auto it = std::lower_bound(index.begin(), index.end(), name,
                             [](const auto& e, std::string_view n) { return e.first < n; });
  return it != index.end() && it->first == name ? it->second : nullptr;
}

std::vector<const TCommandRow*> CommandChildren(std::string_view parent) {
  std::vector<const TCommandRow*> rows;
  for (const TCommandRow& r : kRows)
    if (r.Parent == parent && !parent.empty()) rows.push_back(&r);
  return rows;
}

const TCommandRow& CommandOwner(const TCommandRow& row) {
  if (row.Kind == TCommandKind::Show)
    if (const TCommandRow* shown = FindCommandRow(row.Source)) return *shown;
  return row;
}

bool TakesDialogCaption(const TCommandRow& row) {
  const TCommandRow& owner = CommandOwner(row);
  return owner.Caption.ends_with("...") &&
         std::find(std::begin(kUndecorated), std::end(kUndecorated), owner.Name) == std::end(kUndecorated);
}

std::string CommandCaption(const TCommandRow& row) {
  const TCommandRow& owner = CommandOwner(row);
  if (owner.Text == kNoText || !IsTextFilled(owner.Text) || Tr(owner.Text).empty()) return std::string(owner.Caption);
  std::string text = Tr(owner.Text);
  for (const TComposedCaption& c : kComposed)
    if (c.Name == owner.Name) text += c.Suffix;
  return TakesDialogCaption(owner) ? DecorateCaption(text, ckEllipsis) : text;
}

}  // namespace qm
