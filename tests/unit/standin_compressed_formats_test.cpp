// MP3, Ogg Vorbis, FLAC, WavPack and DSD openers of the stand-in library.
#include <gtest/gtest.h>

#include "standin/formats.h"
#include "standin/mpeg_header.h"
#include "tests/unit/standin_test_bytes.h"

namespace {

// MPEG-1 layer III, 128 kbit/s, 44.1 kHz, stereo: 417 bytes without padding.
const uint8_t kStereoHeader[4] = {0xFF, 0xFB, 0x90, 0x00};
const uint32_t kFrameBytes = 417;

Bytes Frame(const uint8_t header[4] = kStereoHeader, uint32_t size = kFrameBytes) {
  Bytes f(header, header + 4);
  f.resize(size, 0);
  return f;
}

Bytes Frames(int n) {
  Bytes b;
  for (int i = 0; i < n; ++i) Put(b, Frame());
  return b;
}

// A Xing frame counting 100 frames, with a LAME header's delay and padding,
// then three plain frames.
Bytes XingFile() {
  Bytes xing = Frame();
  memcpy(xing.data() + 36, "Xing", 4);
  xing[43] = 1;  // flags: frame count
  xing[44] = 0, xing[45] = 0, xing[46] = 0, xing[47] = 100;
  memcpy(xing.data() + 48, "LAME3.100", 9);
  uint32_t dp = (576u << 12) | 1000u;
  xing[48 + 21] = (uint8_t)(dp >> 16), xing[48 + 22] = (uint8_t)(dp >> 8), xing[48 + 23] = (uint8_t)dp;
  Put(xing, Frames(3));
  return xing;
}

TEST(StandinMpegHeader, DecodesLayersVersionsAndSizes) {
  MpegHeader h;
  ASSERT_TRUE(ParseMpegHeader(kStereoHeader, &h));
  EXPECT_EQ(h.sample_rate, 44100u);
  EXPECT_EQ(h.channels, 2u);
  EXPECT_EQ(h.samples_per_frame, 1152u);
  EXPECT_EQ(h.frame_bytes, 417u);
  const uint8_t padded[4] = {0xFF, 0xFB, 0x92, 0xC0};  // padding bit, mono
  ASSERT_TRUE(ParseMpegHeader(padded, &h));
  EXPECT_EQ(h.frame_bytes, 418u);
  EXPECT_EQ(h.channels, 1u);
  const uint8_t mpeg2[4] = {0xFF, 0xF3, 0x80, 0xC0};  // MPEG-2 layer III 64 kbit/s 22.05 kHz
  ASSERT_TRUE(ParseMpegHeader(mpeg2, &h));
  EXPECT_EQ(h.sample_rate, 22050u);
  EXPECT_EQ(h.samples_per_frame, 576u);
  EXPECT_EQ(h.frame_bytes, 208u);
  const uint8_t layer1[4] = {0xFF, 0xFF, 0x90, 0x00};  // MPEG-1 layer I 288 kbit/s
  ASSERT_TRUE(ParseMpegHeader(layer1, &h));
  EXPECT_EQ(h.samples_per_frame, 384u);
  EXPECT_EQ(h.frame_bytes, 312u);
  const uint8_t bad[][4] = {{0xFF, 0xFB, 0x00, 0x00},   // free format
                            {0xFF, 0xFB, 0xF0, 0x00},   // bitrate 15
                            {0xFF, 0xFB, 0x9C, 0x00},   // rate 3
                            {0xFF, 0xF9, 0x90, 0x00},   // layer 0: also a FLAC frame sync
                            {0xFF, 0xEB, 0x90, 0x00},   // version 1 (reserved)
                            {0xFE, 0xFB, 0x90, 0x00}};  // no sync
  for (const auto &b : bad) EXPECT_FALSE(ParseMpegHeader(b, &h));
}

TEST(StandinMp3, VbriFrameCount) {
  Bytes vbri = Frame();
  memcpy(vbri.data() + 36, "VBRI", 4);
  vbri[36 + 17] = 200;  // frames, big-endian at +14
  Bytes file = vbri;
  Put(file, Frames(2));
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenMp3, file, &f));
  EXPECT_EQ(f.frames, 200u * 1152);
  ReleaseStreamFacts(&f);
}

TEST(StandinMp3, ConstantBitrateEstimateIgnoresTags) {
  StreamFacts plain, tagged;
  ASSERT_TRUE(OpenBytes(OpenMp3, Frames(50), &plain));
  EXPECT_TRUE(plain.length_known);
  EXPECT_LT(plain.frames > 50u * 1152 ? plain.frames - 50u * 1152 : 50u * 1152 - plain.frames, 1152u);

  Bytes file = Id3v2Title("Tagged");
  Put(file, Frames(50));
  Put(file, ApeTag({{"Title", "Ape"}}));
  Bytes id3v1;
  Put(id3v1, "TAG");
  Zeros(id3v1, 125);
  Put(file, id3v1);
  ASSERT_TRUE(OpenBytes(OpenMp3, file, &tagged));
  EXPECT_EQ(tagged.frames, plain.frames);
  ASSERT_NE(tagged.tags[kTagId3v2].data, nullptr);
  EXPECT_EQ(0, memcmp(tagged.tags[kTagId3v2].data, "ID3", 3));
  EXPECT_EQ(ListEntries(tagged.tags[kTagApe]), (std::vector<std::string>{"Title=Ape"}));
  ReleaseStreamFacts(&plain);
  ReleaseStreamFacts(&tagged);
}

TEST(StandinMp3, FirstFrameFoundPastJunkButStraySyncIsNot) {
  Bytes file(100, 0);
  file[10] = 0xFF, file[11] = 0xFB, file[12] = 0x90;  // a lone header: its successor is missing
  Put(file, Frames(4));
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenMp3, file, &f));
  EXPECT_EQ(f.chans, 2u);
  ReleaseStreamFacts(&f);

  Bytes lone = Frame();
  Put(lone, Bytes(2000, 0x11));
  EXPECT_FALSE(OpenBytes(OpenMp3, lone, &f));
  // A frame that runs past the end of the file is stray sync too...
  EXPECT_FALSE(OpenBytes(OpenMp3, Frame(kStereoHeader, kFrameBytes - 1), &f));
  // ... while one that ends exactly there is the whole audio: 417 bytes at 128 kbit/s.
  ASSERT_TRUE(OpenBytes(OpenMp3, Frame(), &f));
  EXPECT_TRUE(f.length_known);
  EXPECT_EQ(f.frames, 417u * 8 * 44100 / 128000);
  ReleaseStreamFacts(&f);
  Bytes flac = Id3v2Title("x");
  Put(flac, "fLaC");
  Put(flac, Bytes(3000, 0));
  EXPECT_FALSE(OpenBytes(OpenMp3, flac, &f));
}

TEST(StandinMp3, TruncationsAndCutTagsAreSafe) {
  Bytes file = Id3v2Title("T");
  Put(file, Frames(3));
  OpenEveryPrefix(OpenMp3, file);
  // An ID3v2 tag declaring more bytes than the file has: no tag, no stream.
  Bytes cut = Id3v2Title("T");
  cut[7] = 0x7F;  // about 2 MB
  Put(cut, Frames(2));
  StreamFacts f;
  EXPECT_FALSE(OpenBytes(OpenMp3, cut, &f));
}

// --- Ogg ---

Bytes VorbisIdent(uint8_t chans, uint32_t rate) {
  Bytes b;
  b.push_back(1);
  Put(b, "vorbis");
  Le(b, 0, 4);
  b.push_back(chans);
  Le(b, rate, 4);
  Zeros(b, 12);
  b.push_back(0xB8);
  b.push_back(1);
  return b;
}

Bytes VorbisCommentPacket(const std::vector<std::string> &entries) {
  Bytes b;
  b.push_back(3);
  Put(b, "vorbis");
  Put(b, VorbisComments(entries));
  b.push_back(1);
  return b;
}

Bytes OggFile(uint64_t last_granule, const Bytes &comments, uint32_t serial = 7) {
  Bytes ident = VorbisIdent(2, 44100);
  Bytes file = OggPage(2, 0, serial, Lacing(ident.size()), ident);
  Bytes setup(40, 5);
  std::vector<uint8_t> lacing = Lacing(comments.size());
  std::vector<uint8_t> setup_lacing = Lacing(setup.size());
  lacing.insert(lacing.end(), setup_lacing.begin(), setup_lacing.end());
  Bytes headers = comments;
  Put(headers, setup);
  Put(file, OggPage(0, 0, serial, lacing, headers));
  Put(file, OggPage(0, 4096, serial, {100}, Bytes(100, 9)));
  Put(file, OggPage(4, last_granule, serial, {100}, Bytes(100, 9)));
  return file;
}

TEST(StandinOggVorbis, CommentPacketAcrossPagesAndOtherStreams) {
  std::string big(700, 'x');
  Bytes comments = VorbisCommentPacket({"TITLE=" + big});
  Bytes ident = VorbisIdent(1, 48000);
  Bytes file = OggPage(2, 0, 7, Lacing(ident.size()), ident);
  // First 510 bytes on one page (lacing 255 255: continued), the rest on the next,
  // with a page of another logical stream in between.
  Bytes first(comments.begin(), comments.begin() + 510);
  Bytes rest(comments.begin() + 510, comments.end());
  Put(file, OggPage(0, 0, 7, {255, 255}, first));
  Put(file, OggPage(2, 0, 99, {3}, Bytes(3, 1)));
  Put(file, OggPage(1, 0, 7, Lacing(rest.size()), rest));
  Put(file, OggPage(4, 9000, 7, {10}, Bytes(10, 0)));
  Put(file, OggPage(4, 999999, 99, {10}, Bytes(10, 0)));  // the other stream's end is not ours
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenOggVorbis, file, &f));
  EXPECT_EQ(f.chans, 1u);
  EXPECT_EQ(f.frames, 9000u);
  EXPECT_EQ(ListEntries(f.tags[kTagVorbis]), (std::vector<std::string>{"TITLE=" + big}));
  ReleaseStreamFacts(&f);
}

TEST(StandinOggVorbis, CutLastPageFallsBackToTheOneBefore) {
  Bytes file = OggFile(50000, VorbisCommentPacket({}));
  file.resize(file.size() - 50);
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenOggVorbis, file, &f));
  EXPECT_EQ(f.frames, 4096u);
  ReleaseStreamFacts(&f);
}

TEST(StandinOggVorbis, BadHeadersAndTruncations) {
  StreamFacts f;
  Bytes ident = VorbisIdent(0, 44100);
  EXPECT_FALSE(OpenBytes(OpenOggVorbis, OggPage(2, 0, 1, Lacing(ident.size()), ident), &f));
  ident = VorbisIdent(2, 0);
  EXPECT_FALSE(OpenBytes(OpenOggVorbis, OggPage(2, 0, 1, Lacing(ident.size()), ident), &f));
  // A comment packet whose count is far beyond its entries still opens.
  Bytes comments;
  comments.push_back(3);
  Put(comments, "vorbis");
  Put(comments, VorbisComments({"TITLE=T"}, "v", 0x7FFFFFFF));
  ASSERT_TRUE(OpenBytes(OpenOggVorbis, OggFile(10, comments), &f));
  EXPECT_EQ(ListEntries(f.tags[kTagVorbis]), (std::vector<std::string>{"TITLE=T"}));
  ReleaseStreamFacts(&f);
  OpenEveryPrefix(OpenOggVorbis, OggFile(777, VorbisCommentPacket({"A=B"})));
}

// --- FLAC ---

Bytes StreamInfo(uint32_t rate, uint32_t chans, uint32_t bits, uint64_t samples, bool last, uint32_t size = 34) {
  Bytes b;
  b.push_back(last ? 0x80 : 0x00);
  Be(b, size, 3);
  Be(b, 4096, 2);
  Be(b, 4096, 2);
  Be(b, 0, 3);
  Be(b, 0, 3);
  uint64_t packed = ((uint64_t)rate << 44) | ((uint64_t)(chans - 1) << 41) | ((uint64_t)(bits - 1) << 36) | samples;
  Be(b, packed, 8);
  Zeros(b, 16);
  b.resize(4 + size, 0);
  return b;
}

Bytes FlacFile(const Bytes &info, const std::vector<std::string> &comments, bool with_id3) {
  Bytes file = with_id3 ? Id3v2Title("Id3 Title") : Bytes();
  Put(file, "fLaC");
  Put(file, info);
  Bytes body = VorbisComments(comments);
  file.push_back(0x84);
  Be(file, body.size(), 3);
  Put(file, body);
  Put(file, Bytes{0xFF, 0xF8, 0x69, 0x08});
  return file;
}

TEST(StandinFlac, LeadingId3v2SkippedAndHandedOut) {
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenFlac, FlacFile(StreamInfo(44100, 2, 16, 1234, false), {"ARTIST=A"}, true), &f));
  EXPECT_EQ(f.frames, 1234u);
  ASSERT_NE(f.tags[kTagId3v2].data, nullptr);
  EXPECT_EQ(f.tags[kTagId3v2].size, Id3v2Title("Id3 Title").size());
  EXPECT_EQ(ListEntries(f.tags[kTagVorbis]), (std::vector<std::string>{"ARTIST=A"}));
  ReleaseStreamFacts(&f);
}

TEST(StandinFlac, TrailingApeTagHandedOut) {
  Bytes file = FlacFile(StreamInfo(44100, 2, 16, 1234, false), {"ARTIST=A"}, false);
  Put(file, ApeTag({{"Title", "Ape on FLAC"}}));
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenFlac, file, &f));
  EXPECT_EQ(ListEntries(f.tags[kTagApe]), (std::vector<std::string>{"Title=Ape on FLAC"}));
  ReleaseStreamFacts(&f);
}

TEST(StandinFlac, UnknownCountAndBadStreamInfo) {
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenFlac, FlacFile(StreamInfo(44100, 2, 16, 0, false), {}, false), &f));
  EXPECT_FALSE(f.length_known);
  ReleaseStreamFacts(&f);
  EXPECT_FALSE(OpenBytes(OpenFlac, FlacFile(StreamInfo(0, 2, 16, 10, false), {}, false), &f));
  EXPECT_FALSE(OpenBytes(OpenFlac, FlacFile(StreamInfo(44100, 2, 16, 10, false, 20), {}, false), &f));
  Bytes no_info;
  Put(no_info, "fLaC");
  Put(no_info, Bytes{0x84, 0, 0, 8});
  Put(no_info, VorbisComments({}));
  EXPECT_FALSE(OpenBytes(OpenFlac, no_info, &f));
  OpenEveryPrefix(OpenFlac, FlacFile(StreamInfo(44100, 2, 16, 99, false), {"A=B"}, true));
}

// --- WavPack ---

const uint32_t k16BitStereo44k = 1u | (9u << 23);

TEST(StandinWavPack, MetadataGivesOddRateAndChannelCount) {
  Bytes meta;
  Put(meta, Bytes{0x0D, 1, 6, 0x3F});                    // channel info: 6 channels
  Put(meta, Bytes{0x27 | 0x40, 2, 0x20, 0x62, 0x05, 0});  // sample rate 352800, odd size
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenWavPack, WavPackBlock(3u | (15u << 23), 100, 0, 100, meta), &f));
  EXPECT_EQ(f.chans, 6u);
  EXPECT_EQ(f.freq, 352800u);
  EXPECT_EQ(f.origres, 32u);
  ReleaseStreamFacts(&f);
  // A custom rate without its sub-block has no rate: not a stream.
  EXPECT_FALSE(OpenBytes(OpenWavPack, WavPackBlock(1u | (15u << 23), 100, 0, 100, Bytes()), &f));
}

TEST(StandinWavPack, UnknownTotalFromTheLastBlock) {
  Bytes file = WavPackBlock(k16BitStereo44k, 0xFFFFFFFF, 0, 1000, Bytes(8, 0));
  Put(file, WavPackBlock(k16BitStereo44k, 0xFFFFFFFF, 1000, 1000, Bytes(8, 0)));
  Put(file, WavPackBlock(k16BitStereo44k, 0xFFFFFFFF, 2000, 321, Bytes(8, 0)));
  StreamFacts f;
  ASSERT_TRUE(OpenBytes(OpenWavPack, file, &f));
  EXPECT_TRUE(f.length_known);
  EXPECT_EQ(f.frames, 2321u);
  ReleaseStreamFacts(&f);
  Bytes meta;
  Put(meta, Bytes{0x0D | 0x80, 0xFF, 0xFF, 0xFF});  // a large sub-block running past the block
  OpenEveryPrefix(OpenWavPack, WavPackBlock(k16BitStereo44k, 5, 0, 5, meta));
}

// --- DSD ---

Bytes Dsf(uint32_t chans, uint32_t rate, uint64_t samples, uint64_t data_bytes, uint64_t fmt_size = 52) {
  Bytes fmt;
  Put(fmt, "fmt ");
  Le(fmt, fmt_size, 8);
  Le(fmt, 1, 4);
  Le(fmt, 0, 4);
  Le(fmt, 2, 4);
  Le(fmt, chans, 4);
  Le(fmt, rate, 4);
  Le(fmt, 1, 4);
  Le(fmt, samples, 8);
  Le(fmt, 4096, 4);
  Le(fmt, 0, 4);
  Bytes file;
  Put(file, "DSD ");
  Le(file, 28, 8);
  Le(file, 0, 8);
  Le(file, 0, 8);
  Put(file, fmt);
  Put(file, "data");
  Le(file, 12 + data_bytes, 8);
  Zeros(file, (size_t)data_bytes);
  return file;
}

Bytes Dff(uint16_t chans, uint32_t rate, size_t data_bytes, const char *compression = "DSD ") {
  Bytes fs, chnl, cmpr, prop;
  Be(fs, rate, 4);
  Be(chnl, chans, 2);
  for (int i = 0; i < chans; ++i) Put(chnl, "C000");
  Put(cmpr, compression);
  Put(prop, "SND ");
  Put(prop, IffChunk("FS  ", fs, kDsdiffChunks));
  Put(prop, IffChunk("CHNL", chnl, kDsdiffChunks));
  Put(prop, IffChunk("CMPR", cmpr, kDsdiffChunks));
  Bytes body;
  Put(body, "DSD ");
  Put(body, IffChunk("FVER", Bytes{1, 5, 0, 0}, kDsdiffChunks));
  Put(body, IffChunk("PROP", prop, kDsdiffChunks));
  Put(body, IffChunk("DSD ", Bytes(data_bytes, 0x69), kDsdiffChunks));
  return IffChunk("FRM8", body, kDsdiffChunks);
}

const uint64_t kUnknownDsfCount = 0xFFFFFFFFFFFFFFFFull;

const FormatCase kCompressedCases[] = {
    {"Mp3XingFrameCountWithLameDelayAndPadding",
     OpenMp3,
     {{XingFile(), kFormatMp3, 44100, 2, 0, true, 100u * 1152 - 576 - 1000}}},
    {"OggVorbisShapeCommentsAndLastGranule",
     OpenOggVorbis,
     {{OggFile(123457, VorbisCommentPacket({"TITLE=Song", "ARTIST=Band"})), kFormatOggVorbis, 44100, 2, 0, true,
       123457, kTagVorbis, {"TITLE=Song", "ARTIST=Band"}}}},
    {"FlacStreamInfoExactWith36BitCount",
     OpenFlac,
     {{FlacFile(StreamInfo(96000, 6, 24, 0x923456789ull, false), {"TITLE=T"}, false), kFormatFlac, 96000, 6, 24, true,
       0x923456789ull, kTagVorbis, {"TITLE=T"}}}},
    // 16-bit stereo at 44.1 kHz with an APE tag; then 24-bit mono at 96 kHz from the flags alone.
    {"WavPackTotalSamplesAndShape",
     OpenWavPack,
     {{Cat({WavPackBlock(k16BitStereo44k, 441000, 0, 22050, Bytes(16, 0)), ApeTag({{"Title", "Wv"}})}), kFormatWavPack,
       44100, 2, 16, true, 441000, kTagApe, {"Title=Wv"}},
      {WavPackBlock(2u | 4u | (13u << 23), 10, 0, 10, Bytes()), kFormatWavPack, 96000, 1, 24, true, 10}}},
    // A sample count past the audio present is cut to it.
    {"DsfShapeAndCountCutToTheAudioPresent",
     OpenDsf,
     {{Dsf(2, 2822400, 30000, 8192), kFormatDsf, 2822400, 2, 1, true, 30000},
      {Dsf(2, 2822400, kUnknownDsfCount, 8192), kFormatDsf, 2822400, 2, 1, true, 8192u / 2 * 8}},
     {Dsf(0, 2822400, 10, 64), Dsf(2, 0, 10, 64), Dsf(2, 2822400, 10, 64, 0xFFFFFFFFFFFFFFF0ull)},
     Dsf(1, 5644800, 100, 64)},
    {"DsdiffShapeAndFrames",
     OpenDff,
     {{Dff(2, 2822400, 1000), kFormatDff, 2822400, 2, 1, true, 4000}},
     {Dff(2, 2822400, 100, "DST "), Dff(0, 2822400, 100)},
     Dff(2, 2822400, 16)},
};
INSTANTIATE_TEST_SUITE_P(Compressed, StandinFormat, ::testing::ValuesIn(kCompressedCases), FormatCaseName);

}  // namespace
