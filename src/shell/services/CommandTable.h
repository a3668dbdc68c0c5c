#pragma once
// The table of the editor's commands: one row per menu, menu item, pop-up item, tool
// bar and tool button, written down once in Commands.def and read here as data. The
// menus, pop-ups, tool bars, shortcuts, captions and the enabling of commands are all
// built from it (TCommandSet, CommandSet.h); nothing here needs a widget.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/texts/UiTexts.h"
#include "shell/services/ShortcutKeys.h"

namespace qm {

enum class TCommandKind : uint8_t {
  MenuBar,    // the main window's menu bar
  Popup,      // a pop-up menu shown on a right click
  ToolBar,    // a tool bar
  Menu,       // a menu of the bar or a sub-menu
  Item,       // a command of its own: a menu item, a pop-up item or a tool button
  Show,       // a pop-up item or tool button that shows the command of another row
  Copies,     // stands for copies of another menu's items (own actions, same handlers)
  Separator,
};

// How an item shows a check mark. Radio items of one menu exclude each other.
enum class TItemStyle : uint8_t { Plain, Check, CheckOn, Radio, RadioOn };

// The named conditions that enable a row. The main window answers each of them (its
// UpdateCommandStates); a row is enabled when it has a handler, its own rule holds and
// the rule of every menu above it holds. Names of the conditions: Doc a document is
// active; Lock a parameter dialog holds the shell; TC true colour; Alpha the
// background has an alpha mask; Trn the background has a transparent colour; BgT the
// background has transparency; Blk the active layer is locked or hidden; Txt it is not
// an image layer; Bg it is the background; Bl the background is locked; SelV a
// selection is shown; SelInv it is inverted; SelDef one is defined; Mod modified; New
// never saved; Paste(layer) the clipboard can be pasted as a layer / as an image.
enum class TCommandRule : uint8_t {
  Always,
  NoLock,            // not Lock
  Document,          // Doc
  DocumentUnlocked,  // Doc and not Lock
  Modified,          // Doc and Mod
  Revertible,        // Doc, Mod and not New
  SavedFile,         // Doc and not New
  Printer,           // Doc and a printer is installed
  Scanning,          // scanning is available
  // Edit
  Undo,              // the history has a current step
  Redo,              // the history has a next step
  Fade,              // TC, a current step of kind 3 to 7 or 12 not yet faded, not Trn
  CutClear,          // TC, SelV, not Blk, not Txt
  ImageLayer,        // Doc and not Txt
  MultiLayer,        // more than one layer
  PasteLayer,        // Paste(layer), not Trn, not Alpha
  PasteImage,        // Paste(image)
  PasteSpecial,      // Paste(layer) and not Trn
  PasteAssemble,     // Bg, not Blk, not Alpha
  PasteInto,         // SelV, not Blk, not Txt
  PasteMask,         // not Alpha
  PasteAlpha,        // not Blk, not Txt, the active layer's mask is empty
  PasteIntoSelection,  // Paste(layer), not Blk, not Txt, not BgT, not Alpha
  StrokeFill,        // not Blk, not Txt, not Trn
  Clipping,          // TC, SelV, not Txt, not Trn, not Alpha
  FillPattern,       // a pattern, TC, not Blk, not Txt, not Trn
  DefinedPattern,    // the pattern is not empty
  PurgeHistory,      // some document holds undo steps
  PurgeAny,          // PurgeHistory, Paste(image) or DefinedPattern
  // Selection
  SelectionDefined,  // SelDef
  SelectionShown,    // SelV
  SelectionFit,      // SelV and not traced from a mask
  SelectionNotInverted,  // SelV and not SelInv
  SelectionTransform,    // TC, not SelInv, not Txt
  SelectLayer,       // an upper layer is active, visible and not Txt
  ShapeCopied,       // a selection shape was copied
  BoundsFrame,       // not SelV, or a selection not traced from a mask
  TrueColor,         // TC
  PopupCrop,         // Bg: not Blk, not SelInv, TC or a rectangle; else not Blk, not Txt, not SelInv
  // Image
  ImageCommand,      // Doc and not Bl
  ModeRGB,           // not Bl, and not TC or Alpha
  ModeIndex,         // not Bl, TC and not Alpha
  NoAlphaImage,      // not Bl and not Alpha
  CropImage,         // not Bl, SelV, not SelInv, TC or a rectangle selection
  OuterFrame,        // not Bl and not BgT
  OuterShadow,       // not Bl, TC and not BgT
  ImagePlugin,       // not Bl, one layer and not Alpha
  FlipButton,        // Doc, not Txt, not Blk
  TextTool,          // TC, not Trn, not Alpha
  // Layer
  LayerMenu,         // Doc, TC, not Lock and a background bitmap
  NoAlpha,           // not Alpha
  UpperLayer,        // an upper layer is active
  UpperLayerFree,    // an upper layer, not Blk
  UpperBitmap,       // an upper bitmap layer, not Blk
  DeleteLayer,       // an upper layer that is not locked
  LayerEdge,         // (Alpha or an upper layer), not Blk, a bitmap layer
  LayerGradient,     // LayerEdge and the selection has pixels
  TextLayer,         // a text layer with its text, not Blk
  MergeShadow,       // an upper bitmap layer with its shadow on, not Blk
  MergeDown,         // an upper layer, not Blk, over an unlocked bitmap layer
  LayerParams,       // an upper bitmap or text layer, not Blk
  MergeVisible,      // more than two layers, some upper one visible
  ExportLayer,       // an upper bitmap layer
  EditAlpha,         // a bitmap layer whose mask is not empty
  CropLayer,         // an upper bitmap layer, not Blk, SelV, the selection not being transformed
  DuplicateLayer,    // TC and not BgT (the layer pop-up)
  // Adjustments and filters
  AdjustFilter,      // Doc, TC, not Lock, not Blk, not Txt, not Trn
  Outline,           // TC, and no SelV or a non-inverted rectangle
  Progressive,       // no SelV, or a non-inverted selection
  Sheerlay,          // the masks folder exists
  Repeat,            // a repeatable command is stored and its guard allows it
  // View
  PluginsAvailable,  // plug-ins were found at start
  ZoomIn,            // a zoom step in exists
  ZoomOut,           // a zoom step out exists
  ZoomNot100,        // the zoom is not 100 %
};

struct TCommandRow {
  std::string_view Name;      // the object name; empty for an unnamed separator or copies
  std::string_view Parent;    // the menu, pop-up or tool bar holding it; empty for a root
  TCommandKind Kind;
  std::string_view Caption;   // the design caption (UTF-8), shown until a translation
  TextId Text;                // the text-table entry of the caption, kNoText when none
  TShortcut Shortcut;         // 0 for none
  std::string_view Glyph;     // the glyph's name (":/commands/NAME.xpm"), empty for none
  TCommandRule Rule;
  std::string_view Handler;   // the handler's name; rows naming one handler share it
  int Tag;                    // told to the handler: which variant of a shared handler
  TItemStyle Style;
  std::string_view Source;    // Show: the row shown; Copies: the menu copied
};

// Marks a row without a text-table entry.
inline constexpr TextId kNoText = TextId::Count;

// Every row in table order: roots first, each menu's rows in display order.
std::span<const TCommandRow> CommandRows();
// The row of that object name; nullptr when none.
const TCommandRow* FindCommandRow(std::string_view name);
// The rows directly under a menu, pop-up or tool bar, in order.
std::vector<const TCommandRow*> CommandChildren(std::string_view parent);
// The row whose caption, text, shortcut, glyph, rule and handler a row takes: the
// shown row for a Show row, the row itself otherwise.
const TCommandRow& CommandOwner(const TCommandRow& row);

// Whether a translated caption of the row is decorated as a command that opens a
// dialog: its design caption ends with "...", except for the two selection-file items
// whose texts are taken as they come.
bool TakesDialogCaption(const TCommandRow& row);
// The caption the row shows: its design caption, or, once a translation filled its
// entry with a non-empty text, that text (completed for the two composed captions,
// then decorated for a dialog command).
std::string CommandCaption(const TCommandRow& row);

}  // namespace qm
