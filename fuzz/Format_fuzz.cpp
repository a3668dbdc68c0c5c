// A translated format string is untrusted: formatting it with the arguments the
// program passes never reads beyond them and never allocates without bound, and the
// placeholder check accepts only what formatting can serve.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/texts/Format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view f(reinterpret_cast<const char*>(data), size);
  const std::string out = qm::Format(f, {42, 3.5, "texte", -7});
  if (out.size() > size * 1100 + 64) __builtin_trap();
  qm::SameFormatPlaceholders("%d:%d => %s", f);
  qm::FormatFloat(f, 1234.5678);
  return 0;
}
