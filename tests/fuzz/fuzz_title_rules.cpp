// Display titles from paths: the input is the path's UTF-16 units.
#include <algorithm>
#include <vector>

#include "parsers/title_rules.h"
#include "tests/fuzz/fuzz_checks.h"

static size_t Length(const Utf16Unit *s) {
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<Utf16Unit> path(size / 2 + 1, 0);
  for (size_t i = 0; i + 1 < size; i += 2) path[i / 2] = (Utf16Unit)(data[i] | (data[i + 1] << 8));
  const Utf16Unit *name = FileNamePart(path.data());
  const size_t name_length = Length(name);
  // The title buffer holds exactly the file-name part, as the callers promise.
  std::vector<Utf16Unit> title(name_length + 1, 0xA5A5);
  FileNameTitle(path.data(), title.data());
  size_t n = Length(title.data());
  GoldenText(" name-at=%zu title=", (size_t)(name - path.data()));
  GoldenUtf16(title.data(), n);
  FUZZ_CHECK(n <= name_length);
  for (size_t i = 0; i < n; ++i) FUZZ_CHECK(title[i] == name[i]);

  std::fill(title.begin(), title.end(), 0xA5A5);
  WaveFileTitle(path.data(), title.data());
  n = Length(title.data());
  FUZZ_CHECK(n == (name_length >= 4 ? name_length - 4 : 0));
  GoldenText(" wave-title=");
  GoldenUtf16(title.data(), n);
  for (size_t i = 0; i < n; ++i) FUZZ_CHECK(title[i] == name[i]);
  return 0;
}
