// What a format parser learns about a stream: the output shape, the length in
// sample frames and the tag blocks in the forms the library hands out.
#pragma once
#include <stdint.h>

#include "standin/byte_source.h"

enum TagKind {
  kTagId3v2 = 0,
  kTagVorbis = 1,
  kTagApe = 2,
  kTagId3v1 = 3,     // the file's last 128 bytes
  kTagRiffInfo = 4,  // "XXXX=value" from a WAV file's LIST/INFO chunk
  kTagMp4 = 5,       // "Title=value" ... from an MP4 file's ilst atoms
  kTagWma = 6,       // "Title=value" ... from an ASF file's description objects
  kTagKinds = 7,
};

enum StreamFormat {
  kFormatNone = 0,
  kFormatWav,
  kFormatAiff,
  kFormatMp3,
  kFormatOggVorbis,
  kFormatFlac,
  kFormatWavPack,
  kFormatDsf,
  kFormatDff,
  kFormatMp4Aac,
  kFormatMp4Alac,
  kFormatAdts,
  kFormatMonkeysAudio,
  kFormatWma,
};

// Limits on what any input can make us hold or claim.
static const uint32_t kMaxTagBlock = 8u * 1024 * 1024;
static const uint32_t kMaxChannels = 64;
static const uint32_t kMaxSampleRate = 50000000;  // covers DSD at 1024 times 48 kHz

struct TagBlock {
  uint8_t *data;  // heap, owned by the facts; null when absent
  uint32_t size;  // bytes handed out (ID3v2: the whole tag less a footer; lists: through the final NUL)
};

struct StreamFacts {
  uint32_t format;   // StreamFormat
  uint32_t freq;     // samples per second
  uint32_t chans;
  uint32_t origres;  // source bits per sample, 0 for lossy formats
  bool length_known;
  uint64_t frames;   // sample frames, valid when length_known
  TagBlock tags[kTagKinds];
};

void ClearStreamFacts(StreamFacts *facts);
// Frees the tag blocks and clears the record.
void ReleaseStreamFacts(StreamFacts *facts);
// Every opener's way out when the bytes are not its stream: releases the
// record and returns false.
bool FailOpen(StreamFacts *facts);
// Shape checks every opener ends with: a rate and channel count in range.
bool StreamShapeValid(const StreamFacts *facts);

// Every format's opener: true with the facts filled, or false with nothing
// held (the record released) when the bytes are not a usable stream of it.
typedef bool (*FormatOpenFn)(const ByteSource *src, StreamFacts *out);
