// What the stand-in reads to measure a file: headers and tags, not the audio,
// and each tag once. The openers are offered a file in the library's order,
// as BASS_StreamCreateFile does, over a source that counts what is read.
#include <gtest/gtest.h>

#include <string>

#include "standin/formats.h"
#include "tests/unit/standin_test_bytes.h"

namespace {

struct CountingSource {
  MemorySource mem;
  ByteSource inner;
  uint32_t calls;
  uint64_t bytes;
  uint32_t long_reads_at_start;  // reads of a whole leading tag
};

uint32_t CountingRead(void *ctx, uint64_t offset, uint8_t *buf, uint32_t len) {
  CountingSource *c = (CountingSource *)ctx;
  uint32_t got = c->inner.read_at(c->inner.ctx, offset, buf, len);
  c->calls++;
  c->bytes += got;
  if (offset == 0 && len > 1024) c->long_reads_at_start++;
  return got;
}

// A source over b that counts reads; size_known false makes it a download of unknown length.
ByteSource Counting(CountingSource *c, const Bytes &b, bool size_known = true) {
  c->mem = {b.data(), b.size()};
  c->inner = MakeMemorySource(&c->mem);
  c->calls = 0;
  c->bytes = 0;
  c->long_reads_at_start = 0;
  ByteSource src = {c, CountingRead, size_known ? (uint64_t)b.size() : kSourceSizeUnknown};
  return src;
}

// The library's order: its own formats by magic, the add-ons' in load order, MP3 last.
bool OpenAsTheLibraryDoes(const ByteSource *src, StreamFacts *f) {
  const FormatOpenFn order[] = {OpenWav,   OpenAiff,         OpenOggVorbis, OpenFlac,   OpenWavPack, OpenMonkeysAudio,
                                OpenMp4Aac, OpenAdts,        OpenMp4Alac,   OpenDsf,    OpenDff,     OpenMp3};
  for (FormatOpenFn open : order) {
    if (open(src, f)) return true;
  }
  return false;
}

// MPEG-1 layer III 128 kbit/s 44.1 kHz stereo frames (417 bytes).
Bytes Mp3Frames(int n) {
  Bytes b;
  for (int i = 0; i < n; ++i) {
    Bytes f = {0xFF, 0xFB, 0x90, 0x00};
    f.resize(417, 0);
    Put(b, f);
  }
  return b;
}

TEST(StandinReadEconomy, LeadingTagReadOnceByTheOpenerThatTakesTheFile) {
  Bytes tag = Id3v2Title("Cover Song", 3, 60000);
  Bytes file = tag;
  Put(file, Mp3Frames(200));
  CountingSource c;
  ByteSource src = Counting(&c, file);
  StreamFacts f;
  ASSERT_TRUE(OpenAsTheLibraryDoes(&src, &f));
  EXPECT_EQ(f.format, (uint32_t)kFormatMp3);
  ASSERT_NE(f.tags[kTagId3v2].data, nullptr);
  ASSERT_EQ(f.tags[kTagId3v2].size, tag.size());
  EXPECT_EQ(0, memcmp(f.tags[kTagId3v2].data, tag.data(), tag.size()));
  // The tag once; besides it, the WavPack add-on's block search looks through
  // its whole 64 KiB window before MP3 (tried last) is, and a few kilobytes
  // of probes and first frames.
  EXPECT_EQ(c.long_reads_at_start, 1u);
  EXPECT_LT(c.bytes, tag.size() + 64 * 1024 + 16 * 1024) << c.calls << " reads";
  ReleaseStreamFacts(&f);

  // The same tag before FLAC: the FLAC add-on takes it, MP3 never sees it.
  Bytes flac = tag;
  Put(flac, "fLaC");
  Bytes info = {0x80, 0, 0, 34};  // last block, STREAMINFO
  Put(flac, info);
  Bytes si(34, 0);
  si[10] = 0x0A, si[11] = 0xC4, si[12] = 0x42, si[13] = 0xF0;  // 44100 Hz, 2 channels, 16 bits
  si[17] = 100;
  Put(flac, si);
  src = Counting(&c, flac);
  ASSERT_TRUE(OpenAsTheLibraryDoes(&src, &f));
  EXPECT_EQ(f.format, (uint32_t)kFormatFlac);
  EXPECT_EQ(f.frames, 100u);
  ASSERT_EQ(f.tags[kTagId3v2].size, tag.size());
  EXPECT_EQ(c.long_reads_at_start, 1u);
  EXPECT_LT(c.bytes, tag.size() + 4096);
  ReleaseStreamFacts(&f);
}

TEST(StandinReadEconomy, FrameSearchReadsLittleYetReachesTheWholeWindow) {
  // The first frame right after the tag: a few kilobytes read, not the 64 KiB window.
  Bytes file = Id3v2Title("T");
  Put(file, Mp3Frames(400));
  CountingSource c;
  ByteSource src = Counting(&c, file);
  StreamFacts f;
  ASSERT_TRUE(OpenMp3(&src, &f));
  EXPECT_LT(c.bytes, 12u * 1024);
  ReleaseStreamFacts(&f);

  // Junk before the frames: a header across the first step's end, one in the
  // second step, one at the window's last place; one past the window is not found.
  for (size_t junk : {size_t(4093), size_t(12000), size_t(65536), size_t(65537)}) {
    Bytes j(junk, 0x11);
    Put(j, Mp3Frames(3));
    bool expect = junk <= 65536;
    EXPECT_EQ(OpenBytes(OpenMp3, j, &f), expect) << junk;
    if (expect) {
      EXPECT_EQ(f.freq, 44100u);
      EXPECT_EQ(f.frames, 3u * 417 * 8 * 44100 / 128000);
      ReleaseStreamFacts(&f);
    }
  }
}

TEST(StandinReadEconomy, WavPackWalksSubBlockHeadersNotTheAudio) {
  // Custom rate: a 40 KB audio sub-block, then channel info and the rate after it.
  Bytes meta;
  Put(meta, Bytes{0x0A | 0x80, 0x20, 0x4E, 0x00});  // large sub-block of 0x4E20 words
  Put(meta, Bytes(0x4E20 * 2, 0x33));
  Put(meta, Bytes{0x0D, 1, 6, 0x3F});                    // 6 channels
  Put(meta, Bytes{0x27 | 0x40, 2, 0x20, 0x62, 0x05, 0});  // 352800 Hz
  Bytes file = WavPackBlock(3u | (15u << 23), 1000, 0, 1000, meta);
  Put(file, WavPackBlock(3u | (15u << 23), 1000, 0, 1000, meta));  // the next block
  CountingSource c;
  ByteSource src = Counting(&c, file);
  StreamFacts f;
  ASSERT_TRUE(OpenWavPack(&src, &f));
  EXPECT_EQ(f.chans, 6u);
  EXPECT_EQ(f.freq, 352800u);
  EXPECT_EQ(f.frames, 1000u);
  EXPECT_LT(c.bytes, 8u * 1024);
  ReleaseStreamFacts(&f);
  // The same block after junk that pushes it past the search's first step,
  // and as a download of unknown length: the same facts.
  Bytes junk(5000, 0);
  Put(junk, file);
  for (const Bytes *b : {&junk, &file}) {
    for (bool known : {true, false}) {
      src = Counting(&c, *b, known);
      ASSERT_TRUE(OpenWavPack(&src, &f)) << b->size() << " " << known;
      EXPECT_EQ(f.chans, 6u);
      EXPECT_EQ(f.freq, 352800u);
      ReleaseStreamFacts(&f);
    }
  }

  // Sub-blocks past the first 64 KiB of the block are not looked at, as before.
  Bytes beyond;
  Put(beyond, Bytes{0x0A | 0x80, 0x00, 0x80, 0x00});  // 64 KiB of audio
  Put(beyond, Bytes(0x10000, 0x33));
  Put(beyond, Bytes{0x0D, 1, 6, 0x3F});
  ASSERT_TRUE(OpenBytes(OpenWavPack, WavPackBlock(1u | (9u << 23), 10, 0, 10, beyond), &f));
  EXPECT_EQ(f.chans, 2u);
  ReleaseStreamFacts(&f);
}

// Identification and comment pages, `pages` audio pages of `page_body` bytes,
// the last one ending at granule `last`.
Bytes OggFile(int pages, size_t page_body, size_t last_body, uint64_t last) {
  Bytes ident = {1, 'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0, 2, 0x44, 0xAC, 0, 0};
  Zeros(ident, 12);
  ident.push_back(0xB8);
  ident.push_back(1);
  Bytes file = OggPage(2, 0, 7, Lacing(ident.size()), ident);
  Bytes comments = {3, 'v', 'o', 'r', 'b', 'i', 's'};
  Put(comments, VorbisComments({"TITLE=Tail"}));
  Put(file, OggPage(0, 0, 7, Lacing(comments.size()), comments));
  for (int i = 0; i < pages; ++i) Put(file, OggPage(0, 1000u * (i + 1), 7, Lacing(page_body), Bytes(page_body, 9)));
  Put(file, OggPage(4, last, 7, Lacing(last_body), Bytes(last_body, 9)));
  return file;
}

TEST(StandinReadEconomy, OggLengthFromASmallTailWindow) {
  Bytes file = OggFile(200, 4000, 2000, 987654);  // about 800 KB
  CountingSource c;
  ByteSource src = Counting(&c, file);
  StreamFacts f;
  ASSERT_TRUE(OpenOggVorbis(&src, &f));
  EXPECT_EQ(f.frames, 987654u);
  EXPECT_EQ(ListEntries(f.tags[kTagVorbis]), (std::vector<std::string>{"TITLE=Tail"}));
  EXPECT_LT(c.bytes, 16u * 1024);
  ReleaseStreamFacts(&f);
  // A last page too long for the small window is still found in the next one.
  Bytes long_last = OggFile(20, 4000, 30000, 4321);
  ASSERT_TRUE(OpenBytes(OpenOggVorbis, long_last, &f));
  EXPECT_EQ(f.frames, 4321u);
  ReleaseStreamFacts(&f);
}

}  // namespace
