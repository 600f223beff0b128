// The HTTP variant of the RIFF/WAVE walk over the bytes of a response.
#include "parsers/byte_order.h"
#include "parsers/riff_wave.h"
#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 0xFFFFFFFFu) return 0;
  uint32_t length = 0xDEADBEEF;
  const bool ok = WaveLengthFromResponse(data, (uint32_t)size, kWaveBytesUnknown, &length);
  FUZZ_CHECK(ok || length == 0xDEADBEEF);  // a failed walk leaves the length alone
  if (ok) {
    GoldenText(" walk=%u", length);
  } else {
    GoldenText(" walk=fail");
  }

  WaveFormatBlock format;
  const uint32_t delivered = size < kWaveFormatBlockBytes ? (uint32_t)size : kWaveFormatBlockBytes;
  if (!DecodeWaveFormatBlock(data, delivered, &format)) {
    GoldenText(" format=short");
    return 0;
  }
  GoldenText(" tag=%u chans=%u rate=%u bits=%u sub=%u", format.format_tag, format.channels, format.sample_rate,
             format.bits_per_sample, format.sub_format_word);
  if (WaveFormatAccepted(&format)) {
    uint32_t ms = 0;
    if (WaveLengthMs(size > 4 ? Le32(data) : 0, &format, &ms)) {
      GoldenText(" ms=%u", ms);
    } else {
      GoldenText(" ms=fail");
    }
  } else {
    GoldenText(" refused");
  }
  return 0;
}
