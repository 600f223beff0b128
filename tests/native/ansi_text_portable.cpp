// The ANSI code page for the native sanitizer build: no platform calls, the
// contract of parsers/text_convert.h. The code page is Windows-1252, with its
// five unassigned bytes (81, 8D, 8F, 90, 9D) becoming the C1 controls of the
// same value, as Windows does. A fixed table, whatever the machine's locale:
// the fuzz corpora's golden lines (tests/fuzz/golden) hold one result per input.
#include <stdint.h>

#include "parsers/text_convert.h"

static const size_t kMaxInput = kTextConvertMaxInput;

size_t ConvertAnsiToUtf16(Utf16Unit *out, size_t out_units, const char *text, size_t bytes) {
  // Bytes 80-9F of Windows-1252; the rest are Latin-1.
  static const uint16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  if (out_units == 0) return 0;
  if (bytes > kMaxInput) bytes = kMaxInput;
  const unsigned char *raw = reinterpret_cast<const unsigned char *>(text);
  size_t used = 0;
  while (used < bytes && used < out_units - 1) {
    unsigned char b = raw[used];
    out[used] = (Utf16Unit)(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
    ++used;
  }
  out[used] = 0;
  return used;
}
