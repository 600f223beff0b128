// One text frame's data: byte 0 bit 0 is the frame's unsynchronisation flag,
// byte 1 the output size (0: the full value size), the rest the frame data.
// Also drives the UTF-16 decoding and unsynchronisation on their own.
#include <string.h>

#include <vector>

#include "parsers/id3v2.h"
#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2) return 0;
  const bool unsync = (data[0] & 1) != 0;
  const size_t out_size = data[1] == 0 ? (size_t)kId3ValueBytes : data[1];
  const uint8_t *frame = data + 2;
  const size_t frame_size = size - 2;

  // Heap buffers of exactly the size given, so one byte too many is caught.
  std::vector<char> out(out_size, '#');
  DecodeTextFrame(out.data(), out_size, frame, frame_size, unsync);
  const size_t length = strnlen(out.data(), out_size);
  FUZZ_CHECK(length < out_size);
  if (frame_size > 0 && frame[0] <= 2) {
    // Converted text is whole characters, however it was cut.
    FUZZ_CHECK(WellFormedUtf8(reinterpret_cast<const uint8_t *>(out.data()), length));
  }
  if (frame_size > 0 && frame[0] == 3 && !unsync) {
    // UTF-8 is copied: a prefix of the frame's text.
    FUZZ_CHECK(length <= frame_size - 1 && memcmp(out.data(), frame + 1, length) == 0);
  }
  GoldenText(" frame=");
  GoldenUtf8(out.data(), length);

  // The UTF-16 decoder over the same bytes, both byte orders.
  std::vector<char> text(out_size, '#');
  Utf16ToUtf8(text.data(), out_size, frame, frame_size / 2, (data[0] & 2) != 0, (data[0] & 4) != 0);
  const size_t text_length = strnlen(text.data(), out_size);
  FUZZ_CHECK(text_length < out_size);
  FUZZ_CHECK(WellFormedUtf8(reinterpret_cast<const uint8_t *>(text.data()), text_length));
  GoldenText(" utf16=");
  GoldenUtf8(text.data(), text_length);

  // Unsynchronisation in place never grows the data and zero-fills the rest.
  if (frame_size == 0) return 0;  // the tag walk never passes an empty (null) range
  std::vector<uint8_t> copy(frame, frame + frame_size);
  const size_t kept = RemoveUnsynchronisation(copy.data(), copy.size(), true);
  FUZZ_CHECK(kept <= frame_size);
  for (size_t i = kept; i < copy.size(); ++i) FUZZ_CHECK(copy[i] == 0);
  if (g_golden_on) GoldenText(" unsync=%zu#%08x", kept, GoldenHash(copy.data(), kept));
  return 0;
}
