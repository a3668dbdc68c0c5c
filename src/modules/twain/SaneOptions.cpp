#include "modules/twain/SaneOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace qm::twaindsm {

const char* const kOptionMode = SANE_NAME_SCAN_MODE;
const char* const kOptionDepth = SANE_NAME_BIT_DEPTH;
const char* const kOptionResolution = SANE_NAME_SCAN_RESOLUTION;
const char* const kOptionSource = SANE_NAME_SCAN_SOURCE;

namespace {

// A device lists its options from 1 up to a null descriptor; no device has thousands.
constexpr SANE_Int kMaxOptions = 4096;

SANE_Int FindOption(SANE_Handle device, const std::string& name, const SANE_Option_Descriptor*& od) {
  for (SANE_Int i = 1; i < kMaxOptions; ++i) {
    od = sane_get_option_descriptor(device, i);
    if (!od) break;
    if (od->name && name == od->name) return i;
  }
  od = nullptr;
  return -1;
}

// Numbers as text whatever the locale says, so stored values read back anywhere.
std::string NumberText(double v) {
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, v);
  return std::string(text, r.ptr);
}



std::string WordText(const SANE_Option_Descriptor& od, SANE_Word w) {
  return od.type == SANE_TYPE_FIXED ? NumberText(SANE_UNFIX(w)) : std::to_string(w);
}

}  // namespace

TSaneChoice ReadSaneChoice(SANE_Handle device, const std::string& name) {
  TSaneChoice c;
  c.Name = name;
  const SANE_Option_Descriptor* od = nullptr;
  const SANE_Int index = FindOption(device, name, od);
  if (index < 0 || !SANE_OPTION_IS_ACTIVE(od->cap) || !SANE_OPTION_IS_SETTABLE(od->cap) || od->size < 1 ||
      od->size > 65536)
    return c;
  std::vector<char> value(size_t(od->size) + 1, 0);
  if (sane_control_option(device, index, SANE_ACTION_GET_VALUE, value.data(), nullptr) != SANE_STATUS_GOOD) return c;
  if (od->type == SANE_TYPE_STRING) {
    value.back() = 0;
    c.Current = value.data();
    if (od->constraint_type == SANE_CONSTRAINT_STRING_LIST && od->constraint.string_list)
      for (int i = 0; i < kMaxOptions && od->constraint.string_list[i]; ++i)
        c.Values.emplace_back(od->constraint.string_list[i]);
  } else if (od->type == SANE_TYPE_INT || od->type == SANE_TYPE_FIXED) {
    SANE_Word w;
    std::memcpy(&w, value.data(), sizeof w);
    c.Current = WordText(*od, w);
    if (od->constraint_type == SANE_CONSTRAINT_WORD_LIST && od->constraint.word_list) {
      const SANE_Int n = std::clamp(od->constraint.word_list[0], 0, kMaxOptions);
      for (SANE_Int i = 1; i <= n; ++i) c.Values.push_back(WordText(*od, od->constraint.word_list[i]));
    } else if (od->constraint_type == SANE_CONSTRAINT_RANGE && od->constraint.range) {
      const SANE_Range& r = *od->constraint.range;
      const double lo = od->type == SANE_TYPE_FIXED ? SANE_UNFIX(r.min) : r.min;
      const double hi = od->type == SANE_TYPE_FIXED ? SANE_UNFIX(r.max) : r.max;
      std::vector<double> values{SaneNumber(c.Current)};
      for (double v : {50.0, 75.0, 100.0, 150.0, 200.0, 300.0, 400.0, 600.0, 1200.0, 2400.0})
        if (v >= lo && v <= hi) values.push_back(v);
      std::sort(values.begin(), values.end());
      values.erase(std::unique(values.begin(), values.end()), values.end());
      for (double v : values) c.Values.push_back(NumberText(v));
    } else {
      c.Values.push_back(c.Current);
    }
  } else {
    return c;
  }
  c.Usable = true;
  return c;
}

SANE_Status WriteSaneChoice(SANE_Handle device, const std::string& name, const std::string& value) {
  const SANE_Option_Descriptor* od = nullptr;
  const SANE_Int index = FindOption(device, name, od);
  if (index < 0 || !SANE_OPTION_IS_ACTIVE(od->cap) || !SANE_OPTION_IS_SETTABLE(od->cap) || od->size < 1 ||
      od->size > 65536)
    return SANE_STATUS_UNSUPPORTED;
  std::vector<char> buffer(size_t(od->size), 0);
  if (od->type == SANE_TYPE_STRING) {
    std::memcpy(buffer.data(), value.data(), std::min(value.size(), buffer.size() - 1));
  } else if (od->type == SANE_TYPE_INT || od->type == SANE_TYPE_FIXED) {
    const double v = SaneNumber(value);
    const SANE_Word w = od->type == SANE_TYPE_FIXED ? SANE_FIX(v) : SANE_Word(v + (v < 0 ? -0.5 : 0.5));
    if (buffer.size() < sizeof w) return SANE_STATUS_INVAL;
    std::memcpy(buffer.data(), &w, sizeof w);
  } else {
    return SANE_STATUS_UNSUPPORTED;
  }
  SANE_Int info = 0;
  return sane_control_option(device, index, SANE_ACTION_SET_VALUE, buffer.data(), &info);
}

double SaneNumber(const std::string& s) {
  double v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

double ReadSaneResolution(SANE_Handle device) {
  const TSaneChoice c = ReadSaneChoice(device, kOptionResolution);
  return c.Usable ? SaneNumber(c.Current) : 0;
}

bool IsFeederSource(const std::string& source) {
  std::string s(source);
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
  return s.find("adf") != std::string::npos || s.find("feeder") != std::string::npos;
}

}  // namespace qm::twaindsm
