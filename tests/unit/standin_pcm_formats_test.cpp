// WAV and AIFF openers of the stand-in library: exact shapes and frame
// counts from crafted headers, and bad headers that must fail cleanly.
#include <gtest/gtest.h>

#include "standin/formats.h"
#include "tests/unit/standin_test_bytes.h"

namespace {

// The one table of the format tests; each file of formats adds its rows.
TEST_P(StandinFormat, OpensWithItsShapeAndRefusesTheRest) {
  const FormatCase &c = GetParam();
  for (size_t i = 0; i < c.opens.size(); ++i) {
    const Opened &want = c.opens[i];
    SCOPED_TRACE("file " + std::to_string(i));
    StreamFacts f;
    ASSERT_TRUE(OpenBytes(c.open, want.bytes, &f));
    EXPECT_EQ(f.format, (uint32_t)want.format);
    EXPECT_EQ(f.freq, want.freq);
    EXPECT_EQ(f.chans, want.chans);
    EXPECT_EQ(f.origres, want.origres);
    EXPECT_EQ(f.length_known, want.length_known);
    EXPECT_EQ(f.frames, want.frames);
    for (int k = 0; k < kTagKinds; ++k) EXPECT_TRUE(k == want.tag || f.tags[k].data == nullptr) << "tag kind " << k;
    if (want.tag != kTagKinds) {
      EXPECT_NE(f.tags[want.tag].data, nullptr);
      if (!want.entries.empty()) {
        EXPECT_EQ(ListEntries(f.tags[want.tag]), want.entries);
      }
    }
    ReleaseStreamFacts(&f);
  }
  for (size_t i = 0; i < c.refused.size(); ++i) {
    StreamFacts f;
    EXPECT_FALSE(OpenBytes(c.open, c.refused[i], &f)) << "refused file " << i;
  }
  if (!c.every_prefix.empty()) OpenEveryPrefix(c.open, c.every_prefix);
}

TEST(StandinWav, FloatAndExtensible) {
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", Fmt(3, 1, 48000, 32)), IffChunk("data", Bytes(40, 0))}), &f));
  EXPECT_EQ(f.origres, 32u);
  EXPECT_EQ(f.frames, 10u);
  ReleaseStreamFacts(&f);

  // Extensible: 24 valid bits in 32-bit containers, PCM sub-format.
  Bytes ext = Fmt(0xFFFE, 6, 96000, 32);
  Le(ext, 22, 2);
  Le(ext, 24, 2);
  Le(ext, 0x3F, 4);
  Le(ext, 1, 2);
  Zeros(ext, 14);
  ASSERT_TRUE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", ext), IffChunk("data", Bytes(24 * 7, 0))}), &f));
  EXPECT_EQ(f.chans, 6u);
  EXPECT_EQ(f.freq, 96000u);
  EXPECT_EQ(f.origres, 24u);
  EXPECT_EQ(f.frames, 7u);
  ReleaseStreamFacts(&f);

  // Extensible cut before its sub-format: not a stream.
  Bytes short_ext = Fmt(0xFFFE, 2, 44100, 16);
  Le(short_ext, 0, 2);
  EXPECT_FALSE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", short_ext), IffChunk("data", Bytes(8, 0))}), &f));
}

TEST(StandinWav, ChunksInAnyOrderWithPadBytes) {
  Bytes odd(3, 'x');
  Bytes wav = Riff({IffChunk("LIST", odd), IffChunk("data", Bytes(400, 0)), IffChunk("junk", odd),
                    IffChunk("fmt ", Fmt(1, 2, 22050, 16))});
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenWav, wav, &f));
  EXPECT_EQ(f.freq, 22050u);
  EXPECT_EQ(f.frames, 100u);
  ReleaseStreamFacts(&f);
}

TEST(StandinWav, DataSizePastTheEndCountsBytesPresent) {
  Bytes wav = Riff({IffChunk("fmt ", Fmt(1, 2, 44100, 16)), IffChunk("data", Bytes(400, 0), kRiffChunks, 0xFFFFFFF0)});
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenWav, wav, &f));
  EXPECT_EQ(f.frames, 100u);
  ReleaseStreamFacts(&f);
}

TEST(StandinWav, Id3ChunkHandedOutOnlyWhenWhole) {
  Bytes tag = Id3v2Title("Wave Song");
  Bytes wav = Riff({IffChunk("fmt ", Fmt(1, 1, 8000, 8)), IffChunk("data", Bytes(80, 0)), IffChunk("id3 ", tag)});
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenWav, wav, &f));
  ASSERT_NE(f.tags[kTagId3v2].data, nullptr);
  EXPECT_EQ(f.tags[kTagId3v2].size, tag.size());
  EXPECT_EQ(0, memcmp(f.tags[kTagId3v2].data, tag.data(), tag.size()));
  EXPECT_EQ(f.tags[kTagVorbis].data, nullptr);
  ReleaseStreamFacts(&f);

  // The chunk is smaller than the tag its header declares: no tag, stream fine.
  Bytes small = tag;
  small.resize(tag.size() - 4);
  ASSERT_TRUE(OpenBytes(
      OpenWav, Riff({IffChunk("fmt ", Fmt(1, 1, 8000, 8)), IffChunk("id3 ", small), IffChunk("data", Bytes(8, 0))}),
      &f));
  EXPECT_EQ(f.tags[kTagId3v2].data, nullptr);
  ReleaseStreamFacts(&f);
}

TEST(StandinWav, BadFormatsFail) {
  StreamFacts f;
  Bytes data = IffChunk("data", Bytes(64, 0));
  EXPECT_FALSE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", Fmt(1, 0, 44100, 16, 4)), data}), &f));  // no channels
  EXPECT_FALSE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", Fmt(1, 2, 0, 16)), data}), &f));       // no rate
  EXPECT_FALSE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", Fmt(1, 2, 44100, 16, 1)), data}), &f));   // align < frame
  Bytes zero_align = Fmt(1, 2, 44100, 16);
  zero_align[12] = zero_align[13] = 0;
  EXPECT_FALSE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", zero_align), data}), &f));
  EXPECT_FALSE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", Fmt(2, 2, 44100, 4)), data}), &f));  // ADPCM
  EXPECT_FALSE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", Fmt(1, 200, 44100, 16)), data}), &f));  // channels cap
  EXPECT_FALSE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", Fmt(1, 2, 44100, 16))}), &f));           // no data
  EXPECT_FALSE(OpenBytes(OpenWav, Riff({data}), &f));                                              // no fmt
  Bytes tiny_fmt(10, 1);
  EXPECT_FALSE(OpenBytes(OpenWav, Riff({IffChunk("fmt ", tiny_fmt), data}), &f));
}

TEST(StandinWav, EveryTruncationIsSafe) {
  OpenEveryPrefix(OpenWav, Riff({IffChunk("fmt ", Fmt(1, 2, 44100, 16)), IffChunk("id3 ", Id3v2Title("x")),
                                 IffChunk("data", Bytes(16, 0))}));
}

Bytes Extended(double rate) {
  // 80-bit IEEE extended, built from the integer rate.
  uint64_t v = (uint64_t)rate;
  int exponent = 16383 + 63;
  while (!(v & 0x8000000000000000ull)) {
    v <<= 1;
    --exponent;
  }
  Bytes b;
  Be(b, (uint64_t)exponent, 2);
  Be(b, v, 8);
  return b;
}

Bytes Aiff(bool aifc, uint16_t chans, uint32_t frames, uint16_t bits, uint32_t rate, const char *compression,
           const Bytes &sound, uint32_t ssnd_offset = 0) {
  Bytes comm;
  Be(comm, chans, 2);
  Be(comm, frames, 4);
  Be(comm, bits, 2);
  Put(comm, Extended(rate));
  if (aifc) {
    Put(comm, std::string(compression, 4));
    Put(comm, std::string("\0", 1));  // empty name, padded
  }
  Bytes ssnd;
  Be(ssnd, ssnd_offset, 4);
  Be(ssnd, 0, 4);
  Zeros(ssnd, ssnd_offset);
  Put(ssnd, sound);
  Bytes body;
  Put(body, aifc ? "AIFC" : "AIFF");
  Put(body, IffChunk("COMM", comm, kAiffChunks));
  Put(body, IffChunk("SSND", ssnd, kAiffChunks));
  return IffChunk("FORM", body, kAiffChunks);
}

TEST(StandinAiff, RateFromExtendedFloat) {
  for (uint32_t rate : {8000u, 11025u, 44100u, 48000u, 96000u, 192000u, 2822400u}) {
    Bytes e = Extended(rate);
    EXPECT_EQ(ExtendedToRate(e.data()), rate);
  }
  uint8_t one_and_half[10] = {0x3F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0};  // 1.5
  EXPECT_EQ(ExtendedToRate(one_and_half), 2u);                         // rounds to nearest
  uint8_t tiny[10] = {0x3F, 0xF0, 0x80, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ExtendedToRate(tiny), 0u);
  uint8_t negative[10] = {0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ExtendedToRate(negative), 0u);
  uint8_t huge[10] = {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ExtendedToRate(huge), 0u);
}

TEST(StandinAiff, AifcUncompressedOnly) {
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenAiff, Aiff(true, 2, 10, 16, 44100, "sowt", Bytes(40, 0)), &f));
  EXPECT_EQ(f.frames, 10u);
  ReleaseStreamFacts(&f);
  ASSERT_TRUE(OpenBytes(OpenAiff, Aiff(true, 1, 10, 32, 44100, "fl32", Bytes(40, 0)), &f));
  ReleaseStreamFacts(&f);
  EXPECT_FALSE(OpenBytes(OpenAiff, Aiff(true, 2, 10, 16, 44100, "ima4", Bytes(40, 0)), &f));
}

TEST(StandinAiff, FramesPastTheSoundCountOnlyWhatIsThere) {
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenAiff, Aiff(false, 2, 0xFFFFFFFF, 16, 44100, NULL, Bytes(400, 0)), &f));
  EXPECT_EQ(f.frames, 100u);
  ReleaseStreamFacts(&f);
}

TEST(StandinAiff, BadHeadersFail) {
  StreamFacts f;
  EXPECT_FALSE(OpenBytes(OpenAiff, Aiff(false, 0, 10, 16, 44100, NULL, Bytes(40, 0)), &f));
  EXPECT_FALSE(OpenBytes(OpenAiff, Aiff(false, 2, 10, 0, 44100, NULL, Bytes(40, 0)), &f));
  Bytes zero_rate = Aiff(false, 2, 10, 16, 44100, NULL, Bytes(40, 0));
  memset(zero_rate.data() + 12 + 8 + 8, 0, 10);
  EXPECT_FALSE(OpenBytes(OpenAiff, zero_rate, &f));
  // SSND offset past the chunk.
  Bytes bad_offset = Aiff(false, 2, 10, 16, 44100, NULL, Bytes(40, 0));
  size_t ssnd = 12 + 8 + 18 + 8;
  bad_offset[ssnd + 0] = 0x7F;
  EXPECT_FALSE(OpenBytes(OpenAiff, bad_offset, &f));
  OpenEveryPrefix(OpenAiff, Aiff(true, 2, 10, 16, 44100, "NONE", Bytes(40, 0)));
}

const FormatCase kPcmCases[] = {
    {"WavPcmShapeAndExactFrames",
     OpenWav,
     {{Riff({IffChunk("fmt ", Fmt(1, 2, 44100, 16)), IffChunk("data", Bytes(4 * 1001, 0))}), kFormatWav, 44100, 2,
       16, true, 1001}}},
    // The SSND offset moves the audio; the frame count is the header's.
    {"AiffShapeAndFrames",
     OpenAiff,
     {{Aiff(false, 2, 250, 16, 22050, NULL, Bytes(1000, 0)), kFormatAiff, 22050, 2, 16, true, 250},
      {Aiff(false, 1, 100, 24, 48000, NULL, Bytes(300, 0), 12), kFormatAiff, 48000, 1, 24, true, 100}}},
};
INSTANTIATE_TEST_SUITE_P(Pcm, StandinFormat, ::testing::ValuesIn(kPcmCases), FormatCaseName);

}  // namespace
