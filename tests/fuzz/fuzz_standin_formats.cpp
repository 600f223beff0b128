// The stand-in library's format openers over one input, in the order the
// library tries them, each with the size known (a file) and hidden (a
// download without a length). An opened stream's facts and tag blocks are
// checked and the tags read as the plug-in's query reads them.
#include "standin/formats.h"
#include "tests/fuzz/standin_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const FormatOpenFn kOpeners[] = {OpenWav,     OpenAiff,     OpenOggVorbis, OpenFlac,
                                          OpenWavPack, OpenDsf,      OpenDff,       OpenMp4Aac,
                                          OpenMp4Alac, OpenAdts,     OpenMonkeysAudio, OpenMp3};
  FuzzSource bytes = {data, size};
  for (int known = 0; known < 2; ++known) {
    ByteSource src = MakeFuzzSource(&bytes, known != 0);
    for (FormatOpenFn open : kOpeners) {
      StreamFacts facts;
      memset(&facts, 0xA5, sizeof facts);
      if (!open(&src, &facts)) {
        // Nothing held after a failure.
        for (const TagBlock &t : facts.tags) FUZZ_CHECK(t.data == NULL);
        continue;
      }
      FUZZ_CHECK(StreamShapeValid(&facts));
      FUZZ_CHECK(facts.format != kFormatNone);
      CheckTags(facts);
      ReleaseStreamFacts(&facts);
    }
  }
  return 0;
}
