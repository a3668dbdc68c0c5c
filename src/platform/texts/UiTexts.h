#pragma once
// The table of interface texts. Every text the interface shows and a translation may
// change is one entry here, named by the export a translation module provides for
// it; code reads the entry, never a literal. The entries and their built-in French
// values live in UiTexts.def.
//
// The table is read and written on the GUI thread only.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

enum class TextId : uint16_t {
#define QM_TEXT(name, builtin) name,
#define QM_NUMBER(name, builtin)
#define QM_DERIVED(name) name,
#define QM_FIXED(name, builtin) name,
#include "platform/texts/UiTexts.def"
#undef QM_TEXT
#undef QM_NUMBER
#undef QM_DERIVED
#undef QM_FIXED
  Count
};

constexpr int kTextCount = int(TextId::Count);

// The program's title and main window caption: the product's name, the same in every
// language, so not an entry of the table.
inline constexpr char kAppTitle[] = "Quillomatic Morvek";

// The current text of an entry (its built-in value until a translation or the shell
// replaced it).
const std::string& Tr(TextId id);

// The export name of an entry ("GetTrBtnOk"); a derived text answers its own name.
std::string_view TextName(TextId id);
std::string_view BuiltinText(TextId id);
bool IsDerivedText(TextId id);

// A format entry (of the texts a translation may replace) is formatted with arguments
// by the code that shows it: its built-in holds placeholders, or it is one of the
// format strings. A translation of it must carry the same placeholders.
bool IsFormatEntry(TextId id);

// Looks an entry up by its exact export name (case counts, as for module exports).
// Derived texts and the number are not found.
std::optional<TextId> FindTextByName(std::string_view exportName);

// Every name a translation module may export, texts and the number, in table order.
const std::vector<std::string_view>& ExportNames();

enum class FillResult { Filled, UnknownName, Refused };

// The translation loader's entry point: replaces the entry of that export name by
// the text (UTF-8; an empty text empties the entry). The number's text is read as a
// decimal integer, 0 when it is not one. A format entry whose new text does not carry
// exactly the placeholders of its built-in is refused and keeps its value, so an
// untrusted text never reaches a formatting call with arguments it does not expect.
FillResult FillTextByName(std::string_view exportName, std::string_view text);

// True once a translation filled the entry.
bool IsTextFilled(TextId id);

// The caption a control shows for an entry: the entry's text when a translation
// filled it with a non-empty text, otherwise the control's design caption.
std::string CaptionOr(TextId id, std::string_view designCaption);
// The same for a menu item: when its design caption ends with "..." (it opens a
// dialog), a translated text is decorated as such ("&rename" gives "Rename...").
std::string MenuCaptionOr(TextId id, std::string_view designCaption);

// Sets an entry from the program itself (derived texts, the date format filled from
// the system at start-up). Does not count as filled by a translation.
void SetText(TextId id, std::string text);

// The print unit a translation may set (0 centimetres, 1 inches).
int32_t GetTrPrnUnit();

// Whether a translation module was loaded at start-up. Set once by the shell.
bool TranslationLoaded();
void SetTranslationLoaded(bool loaded);

// Puts every entry, the number and the loaded flag back to their built-in state.
void ResetTextTable();

}  // namespace qm
