#include "platform/texts/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/texts/TextUtils.h"

namespace qm {
namespace {

// A settings file is a few kilobytes; anything this large is not ours.
constexpr std::uintmax_t kMaxFileSize = 16u << 20;

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && IsBlankChar(s.front())) s.remove_prefix(1);
  while (!s.empty() && (IsBlankChar(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The name of a section header line, or false when the line is not one.
bool SectionName(std::string_view line, std::string_view& name) {
  line = TrimView(line);
  if (line.empty() || line.front() != '[') return false;
  line.remove_prefix(1);
  const size_t close = line.find(']');
  name = TrimView(line.substr(0, close));
  return true;
}

// Splits a key line; false for comments, blank and other lines.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  const std::string_view t = TrimView(line);
  if (t.empty() || t.front() == ';' || t.front() == '#' || t.front() == '[') return false;
  const size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  key = TrimView(t.substr(0, eq));
  if (key.empty()) return false;
  value = TrimView(t.substr(eq + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return true;
}

std::string OneLine(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

TIniFile::TIniFile(std::string path) { Load(path); }

bool TIniFile::Load(const std::string& path) {
  path_ = path;
  lines_.clear();
  eol_.clear();
  bom_ = false;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFileSize) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text(size_t(size), '\0');
  in.read(text.data(), std::streamsize(size));
  text.resize(size_t(in.gcount()));
  if (text.find('\0') != std::string::npos) return false;
  LoadFromString(text);
  return true;
}

void TIniFile::LoadFromString(std::string_view text) {
  lines_.clear();
  bom_ = text.starts_with("\xEF\xBB\xBF");
  if (bom_) text.remove_prefix(3);
  // Lines keep their carriage return: a line we do not touch is written back as it
  // was, and the lines we write follow the file's first line.
  const size_t first = text.find('\n');
  eol_.clear();
  if (first != std::string_view::npos && first > 0 && text[first - 1] == '\r') eol_ = '\r';
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    lines_.emplace_back(text.substr(start, nl - start));
    start = nl + 1;
  }
}

std::string TIniFile::ToString() const {
  std::string out;
  if (bom_) out.append("\xEF\xBB\xBF", 3);
  for (const std::string& l : lines_) {
    out += l;
    out += '\n';
  }
  return out;
}

bool TIniFile::Save(std::string* error) const { return SaveAs(path_, error); }

bool TIniFile::SaveAs(const std::string& path, std::string* error) const {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (path.empty()) return fail("no settings file name");
  namespace fs = std::filesystem;
  std::error_code ec;
  // A settings file kept elsewhere through a symbolic link is written where the link
  // points: renaming over the link itself would cut it off from the real file.
  fs::path target(path);
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) return fail(path + ": " + ec.message());
    target = resolved;
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  fs::create_directories(folder, ec);
  if (ec) return fail(folder.string() + ": " + ec.message());

  std::string tmpl = (folder / (target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(tmpl.data());
  if (fd < 0) return fail(ErrnoText(folder.string()));
  // The new file takes the old one's permissions; a first file is readable by all.
  struct stat st{};
  fchmod(fd, ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);

  const std::string text = ToString();
  size_t done = 0;
  bool ok = true;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += size_t(n);
  }
  std::string why;
  if (!ok) why = ErrnoText(tmpl);
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    why = ErrnoText(tmpl);
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    why = ErrnoText(tmpl);
  }
  if (ok && std::rename(tmpl.c_str(), target.c_str()) != 0) {
    ok = false;
    why = ErrnoText(target.string());
  }
  if (!ok) {
    ::unlink(tmpl.c_str());
    return fail(why);
  }
  return true;
}

bool TIniFile::FindSection(std::string_view section, TSpan& span) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (!SectionName(lines_[i], name) || !SameText(name, section)) continue;
    span.Header = i;
    span.End = i + 1;
    while (span.End < lines_.size() && !SectionName(lines_[span.End], name)) ++span.End;
    return true;
  }
  return false;
}

size_t TIniFile::FindKey(const TSpan& span, std::string_view key) const {
  for (size_t i = span.Header + 1; i < span.End; ++i) {
    std::string_view k, v;
    if (KeyValue(lines_[i], k, v) && SameText(k, key)) return i;
  }
  return std::string::npos;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  TSpan span;
  if (!FindSection(section, span)) return std::string(def);
  const size_t line = FindKey(span, key);
  if (line == std::string::npos) return std::string(def);
  std::string_view k, v;
  KeyValue(lines_[line], k, v);
  return std::string(v);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
  return StrToIntDef(ReadString(section, key, ""), def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(std::string_view section) const {
  TSpan span;
  return FindSection(section, span);
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  TSpan span;
  return FindSection(section, span) && FindKey(span, key) != std::string::npos;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  TSpan span;
  if (!FindSection(section, span)) return keys;
  for (size_t i = span.Header + 1; i < span.End; ++i) {
    std::string_view k, v;
    if (!KeyValue(lines_[i], k, v)) continue;
    bool seen = false;
    for (const std::string& s : keys) seen = seen || SameText(s, k);
    if (!seen) keys.emplace_back(k);
  }
  return keys;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (const std::string& l : lines_) {
    std::string_view name;
    if (!SectionName(l, name)) continue;
    bool seen = false;
    for (const std::string& s : names) seen = seen || SameText(s, name);
    if (!seen) names.emplace_back(name);
  }
  return names;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string cleanKey = OneLine(TrimView(key));
  if (cleanKey.empty()) return;
  const std::string line = cleanKey + "=" + OneLine(value) + eol_;
  TSpan span;
  if (FindSection(section, span)) {
    const size_t at = FindKey(span, cleanKey);
    if (at != std::string::npos) {
      // Keeps the key as the file spells it.
      std::string_view k, v;
      KeyValue(lines_[at], k, v);
      lines_[at] = std::string(k) + "=" + OneLine(value) + eol_;
      return;
    }
    size_t insert = span.End;
    while (insert > span.Header + 1 && TrimView(lines_[insert - 1]).empty()) --insert;
    lines_.insert(lines_.begin() + ptrdiff_t(insert), line);
    return;
  }
  if (!lines_.empty() && !TrimView(lines_.back()).empty()) lines_.emplace_back(eol_);
  std::string header("[");
  header += OneLine(section);
  header += ']';
  header += eol_;
  lines_.push_back(std::move(header));
  lines_.push_back(line);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  TSpan span;
  if (!FindSection(section, span)) return;
  for (size_t i = span.End; i-- > span.Header + 1;) {
    std::string_view k, v;
    if (KeyValue(lines_[i], k, v) && SameText(k, key)) lines_.erase(lines_.begin() + ptrdiff_t(i));
  }
}

void TIniFile::EraseSection(std::string_view section) {
  TSpan span;
  if (!FindSection(section, span)) return;
  lines_.erase(lines_.begin() + ptrdiff_t(span.Header), lines_.begin() + ptrdiff_t(span.End));
}

}  // namespace qm
