#include "document/SelectionFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>


namespace qm {

namespace {

bool gShowErrors = true;

constexpr std::string_view kVectorial = "Vectorial";
constexpr std::string_view kBinary = "Binary";

// Offsets added to the binary fields so that no byte of a small value is 0.
constexpr int32_t kCoordBias = 33, kFlagBias = 77;

class LineReader {
 public:
  LineReader(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  size_t Pos() const { return pos_; }
  void Seek(size_t pos) { pos_ = pos; }
  size_t Remaining() const { return n_ - pos_; }
  const uint8_t* Here() const { return p_ + pos_; }

  // The bytes up to CR, LF or the end. After the terminator one more byte is taken
  // when it is CR or LF too, so CR LF, LF CR (and CR CR, LF LF) end one line.
  // pairTaken says whether that second byte was taken.
  std::string_view Line(bool* pairTaken = nullptr) {
    const size_t start = pos_;
    while (pos_ < n_ && p_[pos_] != 10 && p_[pos_] != 13) ++pos_;
    std::string_view line(reinterpret_cast<const char*>(p_ + start), pos_ - start);
    bool pair = false;
    if (pos_ < n_) {
      ++pos_;
      if (pos_ < n_ && (p_[pos_] == 10 || p_[pos_] == 13)) ++pos_, pair = true;
    }
    if (pairTaken) *pairTaken = pair;
    return line;
  }

 private:
  const uint8_t* p_;
  size_t n_, pos_ = 0;
};

int32_t ReadInt32LE(const uint8_t* b) {
  return int32_t(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24));
}

void AppendInt32LE(std::string& s, int32_t v) {
  const uint32_t u = uint32_t(v);
  for (int i = 0; i < 4; ++i) s.push_back(char((u >> (8 * i)) & 0xFF));
}

// A decimal integer, optionally signed, after optional leading blanks; nothing may
// follow. Values beyond twelve digits are refused.
bool ParseInt(std::string_view s, int64_t& v) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  const size_t digits = i;
  int64_t acc = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9' || i - digits >= 12) return false;
    acc = acc * 10 + (s[i] - '0');
  }
  if (i == digits) return false;
  v = neg ? -acc : acc;
  return true;
}

bool InCoordRange(int64_t v) { return v >= -kMaxSelectionCoord && v <= kMaxSelectionCoord; }

// The failure of a read or write, handed to the caller: the file's one message and
// what was wrong.
bool Fail(TFileError* error, const char* reason) {
  if (error) *error = TFileError{TextId::GetShpMsgStreamError, {}, reason, {}};
  return false;
}

void AppendLine(std::string& s, std::string_view line) {
  s.append(line.substr(0, 254));
  s.append("\r\n");
}

}  // namespace

bool SelectionFileShowErrors() { return gShowErrors; }
void SetSelectionFileShowErrors(bool on) { gShowErrors = on; }

bool WriteSelection(const TShapeManager& shape, std::vector<uint8_t>& out, TMyShape kind, const TRect& rect,
                    TFileError* error) {
  std::string s;
  AppendLine(s, kSelectionFileHeader);
  if (kind <= ssLosange) {
    const int64_t w = std::abs(int64_t(rect.Right) - rect.Left), h = std::abs(int64_t(rect.Bottom) - rect.Top);
    if (w < 1 || h < 1 || w > kMaxSelectionCoord || h > kMaxSelectionCoord) return Fail(error, "empty or oversized rectangle");
    AppendLine(s, kVectorial);
    AppendLine(s, std::to_string(EncodeShapeKind(kind)));
    AppendLine(s, std::to_string(w));
    AppendLine(s, std::to_string(h));
  } else if (kind == ssPolygon || kind == ssPolyline || kind == ssMultiPoints) {
    const auto& pts = shape.Points;
    if (pts.empty() || (kind == ssMultiPoints && !shape.HasFlags())) return Fail(error, "no points or no edge flags");
    for (const TPoint& p : pts)
      if (!InCoordRange(p.X) || !InCoordRange(p.Y)) return Fail(error, "coordinate out of range");
    if (kind == ssMultiPoints) {
      AppendLine(s, kBinary);
      AppendInt32LE(s, int32_t(pts.size()));
      for (size_t i = 0; i < pts.size(); ++i) {
        AppendInt32LE(s, pts[i].X + kCoordBias);
        AppendInt32LE(s, int32_t(shape.PointFlags[i] & 15) + kFlagBias);
        AppendInt32LE(s, pts[i].Y + kCoordBias);
      }
    } else {
      AppendLine(s, kVectorial);
      AppendLine(s, std::to_string(pts.size()));
      for (const TPoint& p : pts) AppendLine(s, std::to_string(p.X) + ";" + std::to_string(p.Y));
    }
  } else {
    return Fail(error, "unknown shape kind");
  }
  out.insert(out.end(), s.begin(), s.end());
  return true;
}

bool ReadSelection(TShapeManager& shape, const uint8_t* data, size_t size, TMyShape& kind, TRect& rect,
                   TFileError* error) {
  auto fail = [&](const char* reason) {
    shape.Clear();
    return Fail(error, reason);
  };
  if (!data) size = 0;
  LineReader rd(data, size);
  bool binary = false;
  if (rd.Line() == kSelectionFileHeader) {
    bool pairTaken = false;
    binary = rd.Line(&pairTaken) == kBinary;
    // "Binary" followed by a lone CR or LF and a count whose first byte is 13 or 10
    // reads like a two-byte line end. The count that matches the file's length
    // decides; when neither does, the usual reading stands.
    if (binary && pairTaken && rd.Remaining() >= 4) {
      auto fits = [&](size_t at) {
        const int32_t n = ReadInt32LE(data + at);
        return n > 0 && size - at - 4 == uint64_t(n) * 12;
      };
      if (!fits(rd.Pos()) && fits(rd.Pos() - 1)) rd.Seek(rd.Pos() - 1);
    }
  } else {
    rd.Seek(0);
  }

  std::vector<TPoint> pts;
  std::vector<uint8_t> flags;
  if (binary) {
    if (rd.Remaining() < 4) return fail("no point count");
    const int32_t n = ReadInt32LE(rd.Here());
    rd.Seek(rd.Pos() + 4);
    if (n <= 0 || uint64_t(n) > rd.Remaining() / 12) return fail("bad point count");
    pts.resize(size_t(n));
    flags.resize(size_t(n));
    const uint8_t* b = rd.Here();
    for (size_t i = 0; i < size_t(n); ++i, b += 12) {
      const int64_t x = int64_t(ReadInt32LE(b)) - kCoordBias, f = int64_t(ReadInt32LE(b + 4)) - kFlagBias,
                    y = int64_t(ReadInt32LE(b + 8)) - kCoordBias;
      if (!InCoordRange(x) || !InCoordRange(y)) return fail("coordinate out of range");
      pts[i] = TPoint{int32_t(x), int32_t(y)};
      flags[i] = uint8_t(f & 15);
    }
  } else {
    int64_t count;
    if (!ParseInt(rd.Line(), count)) return fail("bad count line");
    if (count < 0) {
      if (!IsShapeCode(int(std::max<int64_t>(count, -1000)))) return fail("unknown shape code");
      int64_t w, h;
      if (!ParseInt(rd.Line(), w) || !ParseInt(rd.Line(), h)) return fail("bad width or height line");
      if (w < 1 || h < 1 || w > kMaxSelectionCoord || h > kMaxSelectionCoord) return fail("size out of range");
      rect = TRect{0, 0, int32_t(w), int32_t(h)};
      kind = TMyShape(DecodeShapeKind(int(count)));
      return true;
    }
    // each point line takes at least "x;y" and a line end, the last one no line end
    if (count == 0 || uint64_t(count) > (rd.Remaining() + 1) / 4) return fail("bad point count");
    pts.reserve(size_t(count));
    for (int64_t i = 0; i < count; ++i) {
      const std::string_view line = rd.Line();
      const size_t semi = line.find(';');
      if (line.empty() || semi == std::string_view::npos || semi < 1) return fail("bad point line");
      int64_t x, y;
      if (!ParseInt(line.substr(0, semi), x) || !ParseInt(line.substr(semi + 1), y)) return fail("bad point line");
      if (!InCoordRange(x) || !InCoordRange(y)) return fail("coordinate out of range");
      pts.push_back(TPoint{int32_t(x), int32_t(y)});
    }
  }

  const TRect b = PointsBounds(pts);
  // moved to the origin, the points must still lie within the coordinate range
  if (int64_t(b.Right) - b.Left > kMaxSelectionCoord || int64_t(b.Bottom) - b.Top > kMaxSelectionCoord)
    return fail("shape too large");
  for (TPoint& p : pts) p.X -= b.Left, p.Y -= b.Top;
  shape.Clear();
  shape.Points = std::move(pts);
  shape.PointFlags = std::move(flags);
  shape.Bounds = TRect{0, 0, b.Right - b.Left, b.Bottom - b.Top};
  kind = binary ? ssMultiPoints : ssPolygon;
  rect = TRect{0, 0, shape.Bounds.Right + 1, shape.Bounds.Bottom + 1};
  return true;
}

bool SaveSelectionToFile(const TShapeManager& shape, const std::string& fileName, TMyShape kind, const TRect& rect,
                         TFileError* error) {
  std::vector<uint8_t> bytes;
  if (!WriteSelection(shape, bytes, kind, rect, error)) {
    if (error) error->FileName = fileName;
    return false;
  }
  const std::string tmp = fileName + ".tmp~";
  std::FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) throw EFileStreamError("Impossible de créer le fichier " + fileName);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(tmp.c_str(), fileName.c_str()) != 0) {
    std::remove(tmp.c_str());
    throw EFileStreamError("Impossible d'écrire le fichier " + fileName);
  }
  return true;
}

bool LoadSelectionFromFile(TShapeManager& shape, const std::string& fileName, TMyShape& kind, TRect& rect,
                           TFileError* error) {
  std::FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) throw EFileStreamError("Impossible d'ouvrir le fichier " + fileName);
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + got);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) throw EFileStreamError("Impossible de lire le fichier " + fileName);
  if (ReadSelection(shape, bytes.data(), bytes.size(), kind, rect, error)) return true;
  if (error) error->FileName = fileName;
  return false;
}

}  // namespace qm
