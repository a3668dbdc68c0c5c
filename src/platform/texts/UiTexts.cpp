#include "platform/texts/UiTexts.h"

#include <algorithm>
#include <array>

#include "platform/texts/Format.h"
#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

enum class TEntryKind : uint8_t { Exported, Derived, Fixed };

struct TEntry {
  std::string_view Name;
  std::string_view Builtin;
  TEntryKind Kind;
  bool Exported() const { return Kind == TEntryKind::Exported; }
};

constexpr TEntry kEntries[] = {
#define QM_TEXT(name, builtin) {#name, builtin, TEntryKind::Exported},
#define QM_NUMBER(name, builtin)
#define QM_DERIVED(name) {#name, "", TEntryKind::Derived},
#define QM_FIXED(name, builtin) {#name, builtin, TEntryKind::Fixed},
#include "platform/texts/UiTexts.def"
#undef QM_TEXT
#undef QM_NUMBER
#undef QM_DERIVED
#undef QM_FIXED
};
static_assert(std::size(kEntries) == size_t(kTextCount));

constexpr std::string_view kNumberName = "GetTrPrnUnit";
constexpr int32_t kNumberBuiltin =
#define QM_TEXT(name, builtin)
#define QM_NUMBER(name, builtin) builtin
#define QM_DERIVED(name)
#define QM_FIXED(name, builtin)
#include "platform/texts/UiTexts.def"
#undef QM_TEXT
#undef QM_NUMBER
#undef QM_DERIVED
#undef QM_FIXED
    ;

struct TTable {
  std::array<std::string, kTextCount> Text;
  std::array<bool, kTextCount> Filled{};
  int32_t PrnUnit = kNumberBuiltin;
  bool Loaded = false;

  TTable() { Reset(); }
  void Reset() {
    for (int i = 0; i < kTextCount; ++i) Text[i] = std::string(kEntries[i].Builtin);
    Filled.fill(false);
    PrnUnit = kNumberBuiltin;
    Loaded = false;
  }
};

TTable& Table() {
  static TTable table;
  return table;
}

// Sorted (name, id) pairs for the loader's lookups by name.
const std::vector<std::pair<std::string_view, TextId>>& NameIndex() {
  static const auto index = [] {
    std::vector<std::pair<std::string_view, TextId>> v;
    for (int i = 0; i < kTextCount; ++i)
      if (kEntries[i].Exported()) v.emplace_back(kEntries[i].Name, TextId(i));
    std::sort(v.begin(), v.end());
    return v;
  }();
  return index;
}

}  // namespace

const std::string& Tr(TextId id) {
  static const std::string empty;
  const int i = int(id);
  return i >= 0 && i < kTextCount ? Table().Text[i] : empty;
}

std::string_view TextName(TextId id) {
  const int i = int(id);
  return i >= 0 && i < kTextCount ? kEntries[i].Name : std::string_view{};
}

std::string_view BuiltinText(TextId id) {
  const int i = int(id);
  return i >= 0 && i < kTextCount ? kEntries[i].Builtin : std::string_view{};
}

bool IsDerivedText(TextId id) {
  const int i = int(id);
  return i >= 0 && i < kTextCount && kEntries[i].Kind == TEntryKind::Derived;
}

bool IsFormatEntry(TextId id) {
  // Only the texts a translation may replace: the program's own keep their built-in.
  const int i = int(id);
  if (i < 0 || i >= kTextCount || !kEntries[i].Exported()) return false;
  const std::string_view builtin = BuiltinText(id);
  if (builtin.empty()) return false;
  if (TextName(id).starts_with("GetTrFmt")) return true;
  std::vector<TFormatPlaceholder> ph;
  return ParseFormatPlaceholders(builtin, ph) && !ph.empty();
}

std::optional<TextId> FindTextByName(std::string_view exportName) {
  const auto& index = NameIndex();
  auto it = std::lower_bound(index.begin(), index.end(), exportName,
                             [](const auto& e, std::string_view n) { return e.first < n; });
  if (it == index.end() || it->first != exportName) return std::nullopt;
  return it->second;
}

const std::vector<std::string_view>& ExportNames() {
  static const auto names = [] {
    std::vector<std::string_view> v;
    for (const TEntry& e : kEntries)
      if (e.Exported()) v.push_back(e.Name);
    v.push_back(kNumberName);
    return v;
  }();
  return names;
}

FillResult FillTextByName(std::string_view exportName, std::string_view text) {
  TTable& t = Table();
  if (exportName == kNumberName) {
    int value = 0;
    t.PrnUnit = TryStrToInt(text, value) ? value : 0;
    return FillResult::Filled;
  }
  const auto id = FindTextByName(exportName);
  if (!id) return FillResult::UnknownName;
  if (IsFormatEntry(*id) && !SameFormatPlaceholders(BuiltinText(*id), text)) return FillResult::Refused;
  t.Text[int(*id)] = std::string(text);
  t.Filled[int(*id)] = true;
  return FillResult::Filled;
}

bool IsTextFilled(TextId id) {
  const int i = int(id);
  return i >= 0 && i < kTextCount && Table().Filled[i];
}

std::string CaptionOr(TextId id, std::string_view designCaption) {
  if (IsTextFilled(id) && !Tr(id).empty()) return Tr(id);
  return std::string(designCaption);
}

std::string MenuCaptionOr(TextId id, std::string_view designCaption) {
  if (!IsTextFilled(id) || Tr(id).empty()) return std::string(designCaption);
  return designCaption.ends_with("...") ? DecorateCaption(Tr(id), ckEllipsis) : Tr(id);
}

void SetText(TextId id, std::string text) {
  const int i = int(id);
  if (i >= 0 && i < kTextCount) Table().Text[i] = std::move(text);
}

int32_t GetTrPrnUnit() { return Table().PrnUnit; }

bool TranslationLoaded() { return Table().Loaded; }
void SetTranslationLoaded(bool loaded) { Table().Loaded = loaded; }

void ResetTextTable() { Table().Reset(); }

}  // namespace qm
