#pragma once
// Shortcut values as the command table and the settings store them: 16 bits, the low
// byte a virtual-key code, the high byte the modifiers (0x20 Shift, 0x40 Ctrl, 0x80
// Alt). 16459 is Ctrl+K. One table maps the virtual keys to Qt's keys, both ways.
#include <QKeySequence>
#include <cstdint>
#include <string>

namespace qm {

using TShortcut = uint16_t;

inline constexpr TShortcut scShift = 0x2000;
inline constexpr TShortcut scCtrl = 0x4000;
inline constexpr TShortcut scAlt = 0x8000;
inline constexpr TShortcut scModifiers = scShift | scCtrl | scAlt;

// The virtual keys that have no character of their own; letters and digits are their
// upper-case ASCII codes ('A', '7').
inline constexpr TShortcut vkBack = 8;
inline constexpr TShortcut vkTab = 9;
inline constexpr TShortcut vkReturn = 13;
inline constexpr TShortcut vkEscape = 27;
inline constexpr TShortcut vkSpace = 32;
inline constexpr TShortcut vkPrior = 33;  // Page Up
inline constexpr TShortcut vkNext = 34;   // Page Down
inline constexpr TShortcut vkEnd = 35;
inline constexpr TShortcut vkHome = 36;
inline constexpr TShortcut vkLeft = 37;
inline constexpr TShortcut vkUp = 38;
inline constexpr TShortcut vkRight = 39;
inline constexpr TShortcut vkDown = 40;
inline constexpr TShortcut vkInsert = 45;
inline constexpr TShortcut vkDelete = 46;
inline constexpr TShortcut vkNumpad0 = 96;  // to vkNumpad0 + 9
inline constexpr TShortcut vkAdd = 107;
inline constexpr TShortcut vkSubtract = 109;
inline constexpr TShortcut vkF1 = 112;  // to vkF1 + 23 (F24)

constexpr TShortcut VirtualKeyOf(TShortcut shortcut) { return shortcut & 0xFF; }

// The Qt key of a virtual key, Qt::Key_unknown for a code the table does not know.
// keypad tells a key of the numeric pad.
int VirtualKeyToQtKey(int vk, bool* keypad = nullptr);
// The virtual key of a Qt key (with the keypad flag), 0 when none.
int QtKeyToVirtualKey(int qtKey, bool keypad);

// The key sequence of a shortcut value; empty for 0 or an unknown key.
QKeySequence ShortcutToKeySequence(TShortcut shortcut);
// The shortcut value of the first key of a sequence; 0 when it has no virtual key.
TShortcut KeySequenceToShortcut(const QKeySequence& sequence);

// The text of a shortcut in the interface's language, the one spelling of shortcuts in
// every menu and hint: "Maj+" when Shift is held, then "Ctrl+", then "Alt+", then the
// key's name; key names and modifiers are entries of the text table. Empty when the
// key has no name, and for 0.
std::string ShortCutToText(TShortcut shortcut);
// The keyboard's own name of a virtual key (the name Qt gives its key; the pad's keys
// prefixed with "Num "); empty for a key the table does not know.
std::string GetKeyDisplayName(int vk);

}  // namespace qm
