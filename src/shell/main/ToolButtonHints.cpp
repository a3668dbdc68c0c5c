#include "shell/main/ToolButtonHints.h"

#include <QAction>
#include <algorithm>
#include <string>
#include <string_view>

#include "platform/texts/TextUtils.h"
#include "shell/services/CommandSet.h"
#include "shell/services/CommandTable.h"

namespace qm {
namespace {

// The buttons whose key is not their command's shortcut: the zoom keys of the image.
struct TFixedKey {
  std::string_view Button;
  const char* Key;
};
constexpr TFixedKey kFixedKeys[] = {
    {"BtnZoomPlus", "+"}, {"BtnZoomMoins", "-"}, {"BtnZoomAuto", "0"}, {"BtnZoom100", "1"}};

// The buttons that step an adjustment: the part of their dialog command's caption they
// take, and their sign.
enum class TPart { Before, After, Whole };
struct TStepButton {
  std::string_view Button, Command;
  TPart Part;
  const char* Sign;
};
constexpr TStepButton kStepButtons[] = {
    {"BtnLumMoins", "MenuReglageLC", TPart::Before, " (-)"}, {"BtnLumPlus", "MenuReglageLC", TPart::Before, " (+)"},
    {"BtnCtrMoins", "MenuReglageLC", TPart::After, " (-)"},  {"BtnCtrPlus", "MenuReglageLC", TPart::After, " (+)"},
    {"BtnColMoins", "MenuReglageTS", TPart::After, " (-)"},  {"BtnColPlus", "MenuReglageTS", TPart::After, " (+)"},
    {"BtnGamMoins", "MenuReglageGamma", TPart::Whole, " (-)"}, {"BtnGamPlus", "MenuReglageGamma", TPart::Whole, " (+)"},
};

// Their hints name the step they undo or redo (TMainForm::UpdateHistoryMenus).
constexpr std::string_view kHistoryButtons[] = {"BtnUndo", "BtnRedo"};

// The longest part after the "/" a step button takes.
constexpr size_t kMaxPart = 999;

template <class Row, size_t N>
const Row* Find(const Row (&rows)[N], std::string_view button) {
  const Row* r = std::find_if(std::begin(rows), std::end(rows), [&](const Row& x) { return x.Button == button; });
  return r == std::end(rows) ? nullptr : r;
}

std::string CleanCaption(const TCommandRow& row) { return CleanMenuCaption(CommandCaption(row)); }

std::string StepHint(const TStepButton& step) {
  const TCommandRow* command = FindCommandRow(step.Command);
  const std::string caption = command ? CleanCaption(*command) : std::string();
  const size_t slash = caption.find('/');
  std::string part = caption;
  if (step.Part == TPart::Before) part = slash == std::string::npos ? std::string() : caption.substr(0, slash);
  else if (step.Part == TPart::After && slash != std::string::npos) part = caption.substr(slash + 1, kMaxPart);
  return Trim(part) + step.Sign;
}

std::string ButtonHint(const TCommandRow& button) {
  if (const TStepButton* step = Find(kStepButtons, button.Name)) return StepHint(*step);
  std::string hint = CleanCaption(button);
  std::string key;
  if (const TFixedKey* fixed = Find(kFixedKeys, button.Name)) key = fixed->Key;
  else if (const TShortcut shortcut = CommandOwner(button).Shortcut) key = ShortCutToText(shortcut);
  if (!key.empty()) hint += " [" + key + "]";
  return hint;
}

}  // namespace

void SetMainToolButtonHints(TCommandSet& commands) {
  for (const char* bar : {"ToolBar1", "ToolBar2", "ToolBar3"})
    for (const TCommandRow* row : CommandChildren(bar)) {
      if (row->Kind != TCommandKind::Item && row->Kind != TCommandKind::Show) continue;
      if (std::find(std::begin(kHistoryButtons), std::end(kHistoryButtons), row->Name) != std::end(kHistoryButtons))
        continue;
      if (QAction* a = commands.Action(row->Name)) a->setToolTip(QString::fromStdString(ButtonHint(*row)));
    }
}

}  // namespace qm
