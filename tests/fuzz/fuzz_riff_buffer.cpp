// The HTTP variant of the RIFF/WAVE walk over the bytes of a response.
#include "parsers/byte_order.h"
#include "parsers/riff_wave.h"
#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  uint32_t length = 0xDEADBEEF;
  const bool ok = WaveLengthFromResponse(data, (uint32_t)size, &length);
  FUZZ_CHECK(ok || length == 0xDEADBEEF);  // a failed walk leaves the length alone

  WaveFormatBlock format;
  const uint32_t delivered = size < kWaveFormatBlockBytes ? (uint32_t)size : kWaveFormatBlockBytes;
  if (DecodeWaveFormatBlock(data, delivered, &format) && WaveFormatAccepted(&format)) {
    uint32_t ms = 0;
    WaveLengthMs(size > 4 ? Le32(data) : 0, &format, &ms);
  }
  return 0;
}
