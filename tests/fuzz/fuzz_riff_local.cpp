// The local-file RIFF/WAVE walk over an in-memory file behind the seam, both
// from the start (length query) and from byte 12 (details box).
#include "parsers/riff_wave.h"
#include "tests/fuzz/fuzz_checks.h"
#include "tests/native/wave_seams.h"

// Three RIFF words, then at most ten chunks of two header reads each, and the
// format block and data size: a walk needs fewer reads than this.
static const uint32_t kMostReads = 32;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MemoryWaveFile file;
  WaveSeam seam;
  MakeMemoryWaveSeam(&file, data, size, &seam);
  uint32_t length = 0xDEADBEEF;
  const bool ok = WaveLengthFromSeam(&seam, &length);
  FUZZ_CHECK(ok || length == 0xDEADBEEF);
  FUZZ_CHECK(file.reads <= kMostReads);
  if (ok) {
    GoldenText(" walk=%u reads=%u", length, file.reads);
  } else {
    GoldenText(" walk=fail reads=%u", file.reads);
  }

  // The response seam adds its rules to the same walk (no move before the
  // start, chunk identifiers before "fmt " within the first 1000 bytes):
  // whatever it reads, the file-like seam over the same bytes reads alike.
  uint32_t http_length = 0;
  if (size <= 0xFFFFFFFFu && WaveLengthFromResponse(data, (uint32_t)size, kWaveBytesUnknown, &http_length)) {
    FUZZ_CHECK(ok);
    FUZZ_CHECK(length == http_length);
  }

  MakeMemoryWaveSeam(&file, data, size, &seam);
  file.pos = 12;
  uint32_t skips = 0;
  WaveFormatBlock format;
  if (FindWaveFormat(&seam, &skips, &format)) {
    FUZZ_CHECK(skips < kWaveFmtSkipLimit);
    FUZZ_CHECK(WaveFormatAccepted(&format));
    GoldenText(" | format skips=%u size=%u tag=%u chans=%u rate=%u bits=%u sub=%u", skips, format.chunk_size,
               format.format_tag, format.channels, format.sample_rate, format.bits_per_sample, format.sub_format_word);
  } else {
    GoldenText(" | format=fail");
  }
  FUZZ_CHECK(file.reads <= kMostReads);
  GoldenText(" reads=%u", file.reads);
  return 0;
}
