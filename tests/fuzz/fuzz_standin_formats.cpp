// The stand-in library's format openers over one input, in the order the
// library tries them, each with the size known (a file) and hidden (a
// download without a length). An opened stream's facts and tag blocks are
// checked and the tags read as the plug-in's query reads them.
#include "standin/formats.h"
#include "tests/fuzz/standin_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const FormatOpenFn kOpeners[] = {OpenWav,     OpenAiff,     OpenOggVorbis, OpenFlac,
                                          OpenWavPack, OpenDsf,      OpenDff,       OpenMp4Aac,
                                          OpenMp4Alac, OpenAdts,     OpenMonkeysAudio, OpenAsf, OpenMp3};
  static const char *const kNames[] = {"wav", "aiff", "ogg", "flac", "wavpack", "dsf", "dff",
                                       "mp4aac", "mp4alac", "adts", "ape", "asf", "mp3"};
  static_assert(sizeof kNames / sizeof kNames[0] == sizeof kOpeners / sizeof kOpeners[0], "a name per opener");
  FuzzSource bytes = {data, size};
  for (int known = 0; known < 2; ++known) {
    ByteSource src = MakeFuzzSource(&bytes, known != 0);
    GoldenText("%s%s:", known ? " | " : " ", known ? "size-known" : "size-hidden");
    bool opened = false;
    for (size_t i = 0; i < sizeof kOpeners / sizeof kOpeners[0]; ++i) {
      const FormatOpenFn open = kOpeners[i];
      StreamFacts facts;
      memset(&facts, 0xA5, sizeof facts);
      if (!open(&src, &facts)) {
        // Nothing held after a failure.
        for (const TagBlock &t : facts.tags) FUZZ_CHECK(t.data == NULL);
        continue;
      }
      FUZZ_CHECK(StreamShapeValid(&facts));
      FUZZ_CHECK(facts.format != kFormatNone);
      opened = true;
      GoldenText(" %s format=%u rate=%u chans=%u res=%u", kNames[i], facts.format, facts.freq, facts.chans,
                 facts.origres);
      if (facts.length_known) {
        GoldenText(" frames=%llu", (unsigned long long)facts.frames);
      } else {
        GoldenText(" frames=unknown");
      }
      CheckTags(facts);
      ReleaseStreamFacts(&facts);
    }
    if (!opened) GoldenText(" none");
  }
  return 0;
}
