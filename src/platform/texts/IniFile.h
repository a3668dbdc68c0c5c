#pragma once
// The settings file format: INI sections ("[Params]") and key lines ("History=12"),
// read and written the way the program's settings files always were:
// - sections and keys are found without regard to case; of two equal sections or
//   keys the first one counts;
// - keys and values are trimmed of blanks, and a value wrapped in a pair of quotes
//   loses them;
// - lines we do not own (other sections, comments, anything unreadable) stay as they
//   were, in their place, when the file is written back;
// - a leading UTF-8 byte-order mark is skipped (and written back), and lines keep
//   their CR LF or LF endings, new lines taking those of the file's first line;
// - a missing, unreadable, binary (it holds a zero byte) or oversized file reads as
//   empty, so every key keeps its default.
// Saving writes a temporary file beside the target and renames it over, so a crash or
// a full disk never leaves half a file; a failure leaves the old file as it was.
#include <string>
#include <string_view>
#include <vector>

namespace qm {

class TIniFile {
 public:
  TIniFile() = default;
  // Reads the file at path (see Load); Save writes back there.
  explicit TIniFile(std::string path);

  // Replaces the content by the file's; false (and an empty content) when the file is
  // missing, unreadable or not a text file. The path is kept either way.
  bool Load(const std::string& path);
  void LoadFromString(std::string_view text);
  std::string ToString() const;

  const std::string& Path() const { return path_; }
  // Writes atomically to Path(), creating its folder when needed. On failure the
  // previous file is untouched, error (when given) says why, and false is returned.
  bool Save(std::string* error = nullptr) const;
  bool SaveAs(const std::string& path, std::string* error = nullptr) const;

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // The value as a decimal integer, def when missing or unreadable.
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  // An integer value other than 0 is true; def when missing or unreadable.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // The key names of a section, in file order (duplicates once).
  std::vector<std::string> ReadSection(std::string_view section) const;
  std::vector<std::string> ReadSections() const;

  // Replaces the value of the first matching key, or adds the key at the end of its
  // section, or adds the section at the end of the file. Line breaks in the value
  // become blanks.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  // "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Removes every line of that key in the section.
  void DeleteKey(std::string_view section, std::string_view key);
  // Removes the section with its keys.
  void EraseSection(std::string_view section);

 private:
  struct TSpan {
    size_t Header;  // line of "[section]"
    size_t End;     // one past the section's last line
  };
  bool FindSection(std::string_view section, TSpan& span) const;
  // The line of the first matching key within the span, or npos.
  size_t FindKey(const TSpan& span, std::string_view key) const;

  std::string path_;
  std::vector<std::string> lines_;  // each with its carriage return, if it had one
  std::string eol_;                 // "\r" in a file of CR LF lines
  bool bom_ = false;
};

}  // namespace qm
