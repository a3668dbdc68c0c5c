// Makes the help page the Aide menu opens from the user's guide:
//   qm_make_help <guide.md> <page.htm>
// The guide is plain Markdown of the kinds it uses: headings, paragraphs, lists (one
// level, lines that go on indented), tables, fenced code, and inside a line `code`,
// **bold**, [links](address) and ![pictures](file). A picture is read from beside the
// guide and put into the page itself, so the page is one file that opens anywhere.
// The page is written whole under a temporary name and renamed over the old one.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

std::string Base64(const std::string& bytes) {
  static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = unsigned(uint8_t(bytes[i])) << 16 | unsigned(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out += kDigits[(v >> k) & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const unsigned v = unsigned(uint8_t(bytes[i])) << 16 | (two ? unsigned(uint8_t(bytes[i + 1])) << 8 : 0u);
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += two ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool ReadFile(const fs::path& file, std::string& bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

class TPage {
 public:
  explicit TPage(fs::path folder) : folder_(std::move(folder)) {}

  bool Failed() const { return failed_; }
  const std::string& Title() const { return title_; }

  // The inline marks of one line of text.
  std::string Inline(const std::string& s) {
    std::string out;
    size_t i = 0;
    while (i < s.size()) {
      if (s[i] == '`') {
        const size_t end = s.find('`', i + 1);
        if (end != std::string::npos) {
          out += "<code>" + Escape(s.substr(i + 1, end - i - 1)) + "</code>";
          i = end + 1;
          continue;
        }
      }
      if (s.compare(i, 2, "**") == 0) {
        const size_t end = s.find("**", i + 2);
        if (end != std::string::npos) {
          out += "<strong>" + Inline(s.substr(i + 2, end - i - 2)) + "</strong>";
          i = end + 2;
          continue;
        }
      }
      const bool picture = s.compare(i, 2, "![") == 0;
      if (picture || s[i] == '[') {
        const size_t open = i + (picture ? 2 : 1);
        const size_t close = s.find("](", open);
        const size_t end = close == std::string::npos ? close : s.find(')', close + 2);
        if (end != std::string::npos) {
          const std::string text = s.substr(open, close - open), target = s.substr(close + 2, end - close - 2);
          out += picture ? Picture(text, target) : "<a href=\"" + Escape(target) + "\">" + Inline(text) + "</a>";
          i = end + 1;
          continue;
        }
      }
      out += Escape(std::string(1, s[i]));
      ++i;
    }
    return out;
  }

  void Heading(int level, const std::string& text) {
    if (title_.empty()) title_ = text;
    html_ += "<h" + std::to_string(level) + ">" + Inline(text) + "</h" + std::to_string(level) + ">\n";
  }
  void Add(const std::string& html) { html_ += html; }
  const std::string& Html() const { return html_; }

 private:
  std::string Picture(const std::string& alt, const std::string& file) {
    std::string bytes;
    if (!ReadFile(folder_ / file, bytes)) {
      std::fprintf(stderr, "qm_make_help: the picture %s cannot be read\n", (folder_ / file).string().c_str());
      failed_ = true;
      return {};
    }
    return "<img alt=\"" + Escape(alt) + "\" src=\"data:image/png;base64," + Base64(bytes) + "\">";
  }

  fs::path folder_;
  std::string html_, title_;
  bool failed_ = false;
};

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string Trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// The cells of a table row "| a | b |".
std::vector<std::string> Cells(const std::string& line) {
  std::string s = Trimmed(line);
  if (StartsWith(s, "|")) s.erase(0, 1);
  if (!s.empty() && s.back() == '|') s.pop_back();
  std::vector<std::string> cells;
  std::string cell;
  bool code = false;
  for (char c : s) {
    if (c == '`') code = !code;
    if (c == '|' && !code) {
      cells.push_back(Trimmed(cell));
      cell.clear();
    } else {
      cell += c;
    }
  }
  cells.push_back(Trimmed(cell));
  return cells;
}

// A list item's text after its mark ("- ", "1. "), or npos when the line is none.
size_t ItemStart(const std::string& line, bool& ordered) {
  if (StartsWith(line, "- ") || StartsWith(line, "* ")) {
    ordered = false;
    return 2;
  }
  size_t i = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  if (i > 0 && line.compare(i, 2, ". ") == 0) {
    ordered = true;
    return i + 2;
  }
  return std::string::npos;
}

std::string Convert(const std::vector<std::string>& lines, TPage& page) {
  size_t i = 0;
  while (i < lines.size()) {
    const std::string& line = lines[i];
    const std::string text = Trimmed(line);
    bool ordered = false;
    if (text.empty()) {
      ++i;
    } else if (StartsWith(line, "```")) {
      std::string code;
      for (++i; i < lines.size() && !StartsWith(lines[i], "```"); ++i) code += Escape(lines[i]) + "\n";
      ++i;
      page.Add("<pre><code>" + code + "</code></pre>\n");
    } else if (StartsWith(line, "#")) {
      const size_t level = line.find_first_not_of('#');
      page.Heading(int(level), Trimmed(line.substr(level)));
      ++i;
    } else if (StartsWith(text, "|")) {
      const std::vector<std::string> head = Cells(lines[i++]);
      if (i < lines.size() && StartsWith(Trimmed(lines[i]), "|-")) ++i;
      std::string html = "<table>\n<tr>";
      for (const std::string& c : head) html += "<th>" + page.Inline(c) + "</th>";
      html += "</tr>\n";
      for (; i < lines.size() && StartsWith(Trimmed(lines[i]), "|"); ++i) {
        html += "<tr>";
        for (const std::string& c : Cells(lines[i])) html += "<td>" + page.Inline(c) + "</td>";
        html += "</tr>\n";
      }
      page.Add(html + "</table>\n");
    } else if (ItemStart(line, ordered) != std::string::npos) {
      const bool listOrdered = ordered;
      std::string html = listOrdered ? "<ol>\n" : "<ul>\n";
      size_t start;
      while (i < lines.size() && (start = ItemStart(lines[i], ordered)) != std::string::npos && ordered == listOrdered) {
        std::string item = lines[i++].substr(start);
        // the item goes on over the indented lines that follow it
        for (; i < lines.size() && StartsWith(lines[i], "  ") && !Trimmed(lines[i]).empty(); ++i)
          item.append(" ").append(Trimmed(lines[i]));
        html += "<li>" + page.Inline(item) + "</li>\n";
      }
      page.Add(html + (listOrdered ? "</ol>\n" : "</ul>\n"));
    } else {
      std::string paragraph = text;
      for (++i; i < lines.size(); ++i) {
        const std::string next = Trimmed(lines[i]);
        if (next.empty() || StartsWith(lines[i], "#") || StartsWith(lines[i], "```") || StartsWith(next, "|") ||
            ItemStart(lines[i], ordered) != std::string::npos)
          break;
        paragraph.append(" ").append(next);
      }
      page.Add("<p>" + page.Inline(paragraph) + "</p>\n");
    }
  }
  return page.Html();
}

constexpr const char* kStyle =
    "body{font-family:sans-serif;max-width:56em;margin:2em auto;padding:0 1em;line-height:1.45;color:#222}"
    "h1,h2,h3{color:#2a4d7a}h2{border-bottom:1px solid #ccd;padding-bottom:.2em;margin-top:1.6em}"
    "code{background:#f2f2f4;padding:0 .2em}pre{background:#f2f2f4;padding:.6em;overflow:auto}"
    "table{border-collapse:collapse}td,th{border:1px solid #ccd;padding:.25em .6em;text-align:left;"
    "vertical-align:top}th{background:#eef}img{max-width:100%;border:1px solid #ccd}";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qm_make_help <guide.md> <page.htm>\n");
    return 2;
  }
  const fs::path guide = argv[1], target = argv[2];
  std::string text;
  if (!ReadFile(guide, text)) {
    std::fprintf(stderr, "qm_make_help: %s cannot be read\n", guide.string().c_str());
    return 1;
  }
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  TPage page(guide.parent_path());
  const std::string body = Convert(lines, page);
  if (page.Failed()) return 1;
  const std::string html = "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                           Escape(page.Title()) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n" + body +
                           "</body>\n</html>\n";
  const fs::path temp = target.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << html;
    if (!out.flush()) {
      std::fprintf(stderr, "qm_make_help: %s cannot be written\n", temp.string().c_str());
      return 1;
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    std::fprintf(stderr, "qm_make_help: %s cannot be written\n", target.string().c_str());
    fs::remove(temp, ec);
    return 1;
  }
  return 0;
}
