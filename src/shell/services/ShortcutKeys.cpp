#include "shell/services/ShortcutKeys.h"

#include <Qt>

#include "platform/texts/UiTexts.h"

namespace qm {
namespace {

struct TKeyRow {
  int Vk;
  int Key;
};

// The keys with names of their own; letters, digits, the numeric pad and the function
// keys are ranges, handled below.
constexpr TKeyRow kKeys[] = {
    {vkBack, Qt::Key_Backspace}, {vkTab, Qt::Key_Tab},        {vkReturn, Qt::Key_Return},
    {vkEscape, Qt::Key_Escape},  {vkSpace, Qt::Key_Space},    {vkPrior, Qt::Key_PageUp},
    {vkNext, Qt::Key_PageDown},  {vkEnd, Qt::Key_End},        {vkHome, Qt::Key_Home},
    {vkLeft, Qt::Key_Left},      {vkUp, Qt::Key_Up},          {vkRight, Qt::Key_Right},
    {vkDown, Qt::Key_Down},      {vkInsert, Qt::Key_Insert},  {vkDelete, Qt::Key_Delete},
    {19, Qt::Key_Pause},         {20, Qt::Key_CapsLock},      {44, Qt::Key_Print},
    {93, Qt::Key_Menu},          {106, Qt::Key_Asterisk},     {vkAdd, Qt::Key_Plus},
    {vkSubtract, Qt::Key_Minus}, {110, Qt::Key_Period},       {111, Qt::Key_Slash},
    {144, Qt::Key_NumLock},      {145, Qt::Key_ScrollLock},
    // the punctuation keys of a US layout, as the virtual keys name them
    {186, Qt::Key_Semicolon},    {187, Qt::Key_Equal},        {188, Qt::Key_Comma},
    {189, Qt::Key_Minus},        {190, Qt::Key_Period},       {191, Qt::Key_Slash},
    {192, Qt::Key_QuoteLeft},    {219, Qt::Key_BracketLeft},  {220, Qt::Key_Backslash},
    {221, Qt::Key_BracketRight}, {222, Qt::Key_Apostrophe},
};

// The keys whose names are entries of the text table.
struct TKeyName {
  int Vk;
  TextId Name;
};
constexpr TKeyName kKeyNames[] = {
    {vkBack, TextId::GetMnuBkSp},    {vkTab, TextId::GetMnuTab},     {vkReturn, TextId::GetMnuEnter},
    {vkEscape, TextId::GetMnuEsc},   {vkSpace, TextId::GetMnuSpace}, {vkPrior, TextId::GetMnuPgUp},
    {vkNext, TextId::GetMnuPgDn},    {vkEnd, TextId::GetMnuEnd},     {vkHome, TextId::GetMnuHome},
    {vkLeft, TextId::GetMnuLeft},    {vkUp, TextId::GetMnuUp},       {vkRight, TextId::GetMnuRight},
    {vkDown, TextId::GetMnuDown},    {vkInsert, TextId::GetMnuIns},  {vkDelete, TextId::GetMnuDel},
};

// Keys of the numeric pad besides its digits: the operators and the decimal point.
constexpr bool IsPadOperator(int vk) { return vk >= 106 && vk <= 111; }

}  // namespace

int VirtualKeyToQtKey(int vk, bool* keypad) {
  if (keypad) *keypad = false;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return vk;  // Qt's keys are their codes
  if (vk >= vkNumpad0 && vk <= vkNumpad0 + 9) {
    if (keypad) *keypad = true;
    return Qt::Key_0 + (vk - vkNumpad0);
  }
  if (vk >= vkF1 && vk <= vkF1 + 23) return Qt::Key_F1 + (vk - vkF1);
  for (const TKeyRow& r : kKeys)
    if (r.Vk == vk) {
      if (keypad) *keypad = IsPadOperator(vk);
      return r.Key;
    }
  return Qt::Key_unknown;
}

int QtKeyToVirtualKey(int qtKey, bool keypad) {
  if (keypad && qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return vkNumpad0 + (qtKey - Qt::Key_0);
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) return qtKey;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return vkF1 + (qtKey - Qt::Key_F1);
  if (qtKey == Qt::Key_Enter) return vkReturn;
  // Plus, minus, period and slash are on the pad and on the main keys; the flag tells.
  for (const TKeyRow& r : kKeys)
    if (r.Key == qtKey && IsPadOperator(r.Vk) == keypad) return r.Vk;
  for (const TKeyRow& r : kKeys)
    if (r.Key == qtKey) return r.Vk;
  return 0;
}

QKeySequence ShortcutToKeySequence(TShortcut shortcut) {
  bool keypad = false;
  const int key = VirtualKeyToQtKey(VirtualKeyOf(shortcut), &keypad);
  if (VirtualKeyOf(shortcut) == 0 || key == Qt::Key_unknown) return {};
  int mods = 0;
  if (shortcut & scShift) mods |= Qt::ShiftModifier;
  if (shortcut & scCtrl) mods |= Qt::ControlModifier;
  if (shortcut & scAlt) mods |= Qt::AltModifier;
  if (keypad) mods |= Qt::KeypadModifier;
  return QKeySequence(QKeyCombination(Qt::KeyboardModifiers(mods), Qt::Key(key)));
}

TShortcut KeySequenceToShortcut(const QKeySequence& sequence) {
  if (sequence.isEmpty()) return 0;
  const QKeyCombination c = sequence[0];
  const int vk = QtKeyToVirtualKey(c.key(), c.keyboardModifiers().testFlag(Qt::KeypadModifier));
  if (vk == 0) return 0;
  TShortcut s = TShortcut(vk);
  if (c.keyboardModifiers().testFlag(Qt::ShiftModifier)) s |= scShift;
  if (c.keyboardModifiers().testFlag(Qt::ControlModifier)) s |= scCtrl;
  if (c.keyboardModifiers().testFlag(Qt::AltModifier)) s |= scAlt;
  return s;
}

std::string GetKeyDisplayName(int vk) {
  bool keypad = false;
  const int key = VirtualKeyToQtKey(vk, &keypad);
  if (key == Qt::Key_unknown) return {};
  const std::string name = QKeySequence(key).toString(QKeySequence::NativeText).toStdString();
  return keypad && !name.empty() ? "Num " + name : name;
}

std::string ShortCutToText(TShortcut shortcut) {
  const int vk = VirtualKeyOf(shortcut);
  std::string name;
  if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) name = char(vk);
  else if (vk >= vkNumpad0 && vk <= vkNumpad0 + 9) name = char('0' + vk - vkNumpad0);
  else if (vk >= vkF1 && vk <= vkF1 + 23) name = 'F' + std::to_string(vk - vkF1 + 1);
  else {
    for (const TKeyName& k : kKeyNames)
      if (k.Vk == vk) name = Tr(k.Name);
    if (name.empty() && vk != 0) name = GetKeyDisplayName(vk);
  }
  if (name.empty()) return {};
  std::string text;
  if (shortcut & scShift) text += Tr(TextId::GetMnuShift);
  if (shortcut & scCtrl) text += Tr(TextId::GetMnuCtrl);
  if (shortcut & scAlt) text += Tr(TextId::GetMnuAlt);
  return text + name;
}

}  // namespace qm
