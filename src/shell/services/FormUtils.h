#pragma once
// Helpers for forms, menus and buttons shared by the shell and the dialogs.
#include <QPointer>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QAction;
class QComboBox;
class QMenu;
class QToolBar;

namespace qm {

// Called with every form CreateFormOnce makes (the shell installs the transparent
// dialogs this way); empty by default.
using TFormCreationHook = std::function<void(QWidget*)>;
void SetFormCreationHook(TFormCreationHook hook);

void CallFormCreationHook(QWidget* form);

// Deletes the form when the application quits.
void KeepUntilQuit(QWidget* form);

// A form is made on first use, handed to the creation hook and kept until the
// application quits; later calls return it.
template <class TForm>
TForm* CreateFormOnce(QPointer<TForm>& form) {
  if (!form) {
    form = new TForm();
    KeepUntilQuit(form);
    CallFormCreationHook(form);
  }
  return form;
}

// Sets every child, from the last to the first and each with its own children, then
// the container itself.
void SetEnabledRecursive(QWidget* container, bool enabled);
// Every item of the item's sub-menu / of the menu.
void EnableSubItems(QAction* item, bool enabled);
void EnableMenuItems(QMenu* menu, bool enabled);
// The first checked item of the item's sub-menu; nullptr when none.
QAction* GetCheckedSubItem(QAction* item);

// The cursor of the whole application, at once; the arrow gives the windows their own
// cursors back.
void SetCursorById(Qt::CursorShape cursor);

// Appends " [shortcut]" to the control's hint: the item's shortcut, or text when there
// is no item.
void AppendShortcutText(QWidget* control, const QAction* item, const std::string& text);

// The main window's glyph lists: the normal images and, with the advanced display,
// the grey images buttons show when disabled.
void SetGlyphLists(std::vector<QPixmap> normal, std::vector<QPixmap> disabled, bool advancedDisplay);
void SetButtonGlyph(int index, QAbstractButton* button);
void SetPatternButtonGlyph(QAbstractButton* button);  // image 1
void SetFolderButtonGlyph(QAbstractButton* button);   // image 3
void SetColorButtonGlyph(QAbstractButton* button);    // image 52

// The tool bars' glyphs of the advanced display: shaded, the glyph over its shadow one
// pixel down and right at a third of black; disabled, its greys moved halfway toward the
// button face colour. Both keep the glyph's size.
QPixmap ShadedGlyph(const QPixmap& glyph);
QPixmap DisabledGlyph(const QPixmap& glyph);
// Every action of the bar with a glyph shows the shaded glyph, and the disabled one
// while disabled.
void ShadeToolBarGlyphs(QToolBar* bar);

// The scalable font families (names up to 32 characters), sorted; "Arial" selected
// when present, else the first.
void FillFontList(QComboBox* combo);

}  // namespace qm
