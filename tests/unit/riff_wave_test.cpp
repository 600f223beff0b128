// RIFF/WAVE header walks: format block, length, chunk budget, local and HTTP.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "parsers/riff_wave.h"
#include "tests/unit/test_bytes.h"

namespace {

// The walk's own vocabulary over the shared layouts: a RIFF size of 0 (never
// examined), chunks of 0xAB filler with no pad byte, the format block as a struct.
Bytes RiffHeader(const char *form = "RIFF") { return IffChunk(form, Str("WAVE"), kRiffChunks, 0); }

// A chunk with `size` in its header and `payload` bytes of filler after it.
Bytes Chunk(const char *id, uint32_t size, uint32_t payload) {
  return Cat({IffChunk(id, {}, kRiffChunks, size), Bytes(payload, 0xAB)});
}
Bytes Chunk(const char *id, uint32_t size) { return Chunk(id, size, size); }

struct Format {
  uint16_t tag = 1;
  uint16_t channels = 2;
  uint32_t rate = 44100;
  uint16_t bits = 16;
  uint32_t sub_format = 0;
  bool extensible_block = false;  // 40-byte chunk instead of 16
};

Bytes FmtChunk(const Format &f) {
  Bytes body = Fmt(f.tag, f.channels, f.rate, f.bits, f.channels * (f.bits / 8));
  if (f.extensible_block) {
    Le(body, 22, 2);
    Le(body, f.bits, 2);
    Le(body, 3, 4);
    Le(body, f.sub_format, 4);
    Put(body, Bytes{0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
  }
  return IffChunk("fmt ", body);
}

// The data chunk header; the samples themselves are not needed by the walk.
Bytes DataHeader(uint32_t size) { return IffChunk("data", {}, kRiffChunks, size); }

Bytes Wave(const Format &f, uint32_t data_size) { return Cat({RiffHeader(), FmtChunk(f), DataHeader(data_size)}); }

// An in-memory file behind the local walk's seam, counting what is read.
struct MemoryFile {
  const Bytes *bytes;
  int64_t position;
  uint32_t reads;
  uint32_t bytes_read;
  uint32_t largest_read;
};

uint32_t MemoryRead(void *context, uint8_t *buffer, uint32_t count) {
  MemoryFile *f = static_cast<MemoryFile *>(context);
  ++f->reads;
  if (count > f->largest_read) f->largest_read = count;
  const int64_t size = (int64_t)f->bytes->size();
  if (f->position >= size) return 0;
  uint32_t n = count;
  if ((int64_t)n > size - f->position) n = (uint32_t)(size - f->position);
  memcpy(buffer, f->bytes->data() + f->position, n);
  f->position += n;
  f->bytes_read += n;
  return n;
}

void MemorySeek(void *context, int32_t distance) {
  MemoryFile *f = static_cast<MemoryFile *>(context);
  if (f->position + distance < 0) return;  // like SetFilePointer: the position stays
  f->position += distance;
}

uint64_t MemoryRemaining(void *context) {
  const MemoryFile *f = static_cast<const MemoryFile *>(context);
  const int64_t size = (int64_t)f->bytes->size();
  return f->position < size ? (uint64_t)(size - f->position) : 0;
}

const uint32_t kUntouched = 0xDEADBEEF;

// Length from the local walk, or kUntouched when it fails. Unless `sized`,
// the seam does not say what remains, and the declared data size stands.
uint32_t LocalLength(const Bytes &b, MemoryFile *stats = nullptr, bool sized = false) {
  MemoryFile f = {&b, 0, 0, 0, 0};
  WaveSeam seam = {&f, MemoryRead, MemorySeek, sized ? MemoryRemaining : nullptr, nullptr};
  uint32_t length = kUntouched;
  const bool ok = WaveLengthFromSeam(&seam, &length);
  EXPECT_EQ(ok, length != kUntouched);
  if (stats != nullptr) *stats = f;
  return length;
}

uint32_t HttpLength(const Bytes &b, uint64_t content_length = kWaveBytesUnknown) {
  uint32_t length = kUntouched;
  const bool ok = WaveLengthFromResponse(b.data(), (uint32_t)b.size(), content_length, &length);
  EXPECT_EQ(ok, length != kUntouched);
  return length;
}

// Most rules are the same for both walks.
void ExpectBoth(const Bytes &b, uint32_t expected) {
  EXPECT_EQ(LocalLength(b), expected) << "local";
  EXPECT_EQ(HttpLength(b), expected) << "http";
}

TEST(WaveLength, CanonicalHeader) {
  Bytes b = Wave(Format(), 1764000);
  ASSERT_EQ(b.size(), 44u);
  ExpectBoth(b, 10000);
}

TEST(WaveLength, ThreeTruncatingDivisionsInSixtyFourBits) {
  WaveFormatBlock f = {1, 2, 44100, 16, 0};
  uint32_t ms = 0;
  // 0xFFFFFFFF * 1000 overflows 32 bits; the product is formed in 64.
  ASSERT_TRUE(WaveLengthMs(0xFFFFFFFFu, &f, &ms));
  EXPECT_EQ(ms, 24347887u);
  // Each division truncates: 1001000 / 3 = 333666, / 1 = 333666, / 1 = 333666.
  f = {1, 1, 3, 8, 0};
  ASSERT_TRUE(WaveLengthMs(1001, &f, &ms));
  EXPECT_EQ(ms, 333666u);
  // 12 bits count as one byte per sample, 20 as two.
  f = {1, 1, 1000, 12, 0};
  ASSERT_TRUE(WaveLengthMs(1000, &f, &ms));
  EXPECT_EQ(ms, 1000u);
  f = {1, 1, 1000, 20, 0};
  ASSERT_TRUE(WaveLengthMs(1000, &f, &ms));
  EXPECT_EQ(ms, 500u);
}

TEST(WaveLength, QuotientPastTheSignedRangeLeavesTheLength) {
  struct Row {
    uint32_t data_size, rate;
    bool ok;
    uint32_t ms;
  } rows[] = {
      {0xFFFFFFFFu, 1, false, 0},            // 4,294,967,295,000 ms
      {0x80000000u, 1000, false, 0},         // 2^31 ms: negative as the host stores it
      {0x7FFFFFFFu, 1000, true, 0x7FFFFFFFu},  // the longest length there is
  };
  for (const Row &r : rows) {
    WaveFormatBlock f = {1, 1, r.rate, 8, 0};
    uint32_t ms = kUntouched;
    EXPECT_EQ(WaveLengthMs(r.data_size, &f, &ms), r.ok) << r.data_size;
    EXPECT_EQ(ms, r.ok ? r.ms : kUntouched) << r.data_size;
  }
}

// A data size past what is there counts what is there: the rest of a local
// file, or of a response up to its Content-Length; with no bound known the
// declared size stands.
TEST(WaveLength, DataSizeCountsOnlyTheBytesThere) {
  const uint64_t kNone = kWaveBytesUnknown;
  struct Row {
    const char *what;
    uint32_t declared, present;  // data bytes that follow the header
    uint64_t content_length;     // for the HTTP walk: kNone, or bytes of the whole response
    uint32_t local_ms, http_ms;
  } rows[] = {
      {"streaming writer's size", 0xFFFFFFFFu, 176400, 44 + 176400, 1000, 1000},
      {"file cut short", 176400, 88200, 44 + 88200, 500, 500},
      {"size inside the file", 88200, 176400, 44 + 176400, 500, 500},
      {"response without a length", 0x0FFFFFFFu, 1000, kNone, 5, 1521742},
      {"length that ends in the header", 176400, 0, 40, 0, 0},
  };
  for (const Row &r : rows) {
    Bytes b = Wave(Format(), r.declared);
    b.insert(b.end(), r.present, 0);
    EXPECT_EQ(LocalLength(b, nullptr, true), r.local_ms) << r.what;
    EXPECT_EQ(HttpLength(b, r.content_length), r.http_ms) << r.what;
  }
}

TEST(WaveLength, ZeroDivisorFailsAndLeavesTheLength) {
  Format f;
  f.rate = 0;
  ExpectBoth(Wave(f, 1000), kUntouched);
  f = Format();
  f.channels = 0;
  ExpectBoth(Wave(f, 1000), kUntouched);
  f = Format();
  f.bits = 4;  // shifts to 0 bytes per sample
  ExpectBoth(Wave(f, 1000), kUntouched);
  f.bits = 0;
  ExpectBoth(Wave(f, 1000), kUntouched);
}

TEST(WaveFormat, SampleWidthsAndFloat) {
  Format f;
  f.channels = 1;
  f.rate = 22050;
  f.bits = 8;
  ExpectBoth(Wave(f, 22050), 1000);
  f = Format();
  f.bits = 24;
  ExpectBoth(Wave(f, 44100 * 2 * 3 * 5), 5000);
  f.bits = 32;
  ExpectBoth(Wave(f, 44100 * 2 * 4), 1000);
  f.tag = 3;
  f.rate = 96000;
  ExpectBoth(Wave(f, 96000 * 2 * 4 * 3), 3000);
}

TEST(WaveFormat, ExtensibleBySubFormat) {
  Format f;
  f.tag = 0xFFFE;
  f.extensible_block = true;
  f.sub_format = 1;
  ExpectBoth(Wave(f, 176400), 1000);
  f.sub_format = 3;
  ExpectBoth(Wave(f, 176400), 1000);
  f.sub_format = 2;
  ExpectBoth(Wave(f, 176400), kUntouched);
}

TEST(WaveFormat, OtherTagsRejected) {
  for (uint16_t tag : {0, 2, 0x55, 0x11, 0xFFFF}) {
    Format f;
    f.tag = tag;
    ExpectBoth(Wave(f, 176400), kUntouched);
  }
}

TEST(WaveFormat, FloatTest) {
  WaveFormatBlock f = {3, 2, 48000, 32, 0};
  EXPECT_TRUE(WaveFormatIsFloat(&f));
  f = {0xFFFE, 2, 48000, 32, 3};
  EXPECT_TRUE(WaveFormatIsFloat(&f));
  f = {0xFFFE, 2, 48000, 32, 1};
  EXPECT_FALSE(WaveFormatIsFloat(&f));
  f = {1, 2, 48000, 32, 3};  // the sub-format word counts only for the extensible tag
  EXPECT_FALSE(WaveFormatIsFloat(&f));
}

// `before` chunks ahead of "fmt ", `between` chunks from "fmt " to "data".
Bytes WaveWithChunks(int before, int between) {
  Bytes b;
  Put(b, RiffHeader());
  for (int i = 0; i < before; ++i) Put(b, Chunk("LIST", 6));
  Put(b, FmtChunk(Format()));
  for (int i = 0; i < between; ++i) Put(b, Chunk("junk", 2));
  Put(b, DataHeader(176400));
  return b;
}

TEST(WaveChunks, FmtWithinTheFirstFiveChunks) {
  ExpectBoth(WaveWithChunks(1, 0), 1000);
  ExpectBoth(WaveWithChunks(4, 0), 1000);
  ExpectBoth(WaveWithChunks(5, 0), kUntouched);
}

TEST(WaveChunks, NineSkipsSharedBetweenBothSearches) {
  ExpectBoth(WaveWithChunks(4, 5), 1000);
  ExpectBoth(WaveWithChunks(4, 6), kUntouched);
  ExpectBoth(WaveWithChunks(0, 9), 1000);
  ExpectBoth(WaveWithChunks(0, 10), kUntouched);
  ExpectBoth(WaveWithChunks(2, 7), 1000);
  ExpectBoth(WaveWithChunks(3, 7), kUntouched);
}

TEST(WaveChunks, RiffHeaderIsNotExamined) {
  Bytes b = Cat({RiffHeader("XXXX"), FmtChunk(Format()), DataHeader(176400)});
  ExpectBoth(b, 1000);
}

TEST(WaveChunks, OddSizesTakeNoPadByte) {
  Bytes b;
  Put(b, RiffHeader());
  Put(b, Chunk("LIST", 3));  // "fmt " follows right after the three bytes
  Put(b, FmtChunk(Format()));
  Put(b, Chunk("odd ", 1));
  Put(b, DataHeader(176400));
  ExpectBoth(b, 1000);

  Bytes padded;
  Put(padded, RiffHeader());
  Put(padded, Chunk("LIST", 3, 4));  // a pad byte puts every later header one byte off
  Put(padded, FmtChunk(Format()));
  Put(padded, DataHeader(176400));
  ExpectBoth(padded, kUntouched);
}

TEST(WaveChunks, ZeroAndAllOnesSizes) {
  Bytes b = Cat({RiffHeader(), Chunk("LIST", 0), FmtChunk(Format()), Chunk("fact", 0), DataHeader(176400)});
  ExpectBoth(b, 1000);

  // 0xFFFFFFFF moves back one byte locally and wraps over HTTP: no crash, no
  // length from bytes that are not a chunk header.
  Bytes huge = Cat({RiffHeader(), Chunk("LIST", 0xFFFFFFFFu, 8), FmtChunk(Format()), DataHeader(176400)});
  ExpectBoth(huge, kUntouched);

  // A chunk after "fmt " whose size leads back: 0xFFFFFFFF into the format
  // block, 0xFFFFFFF8 to its own header, again and again until the shared
  // budget ends the walk.
  for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF8u}) {
    Bytes back =
        Cat({RiffHeader(), FmtChunk(Format()), Chunk("junk", size, size == 0xFFFFFFFFu ? 8 : 0), DataHeader(176400)});
    MemoryFile stats;
    EXPECT_EQ(LocalLength(back, &stats), kUntouched) << size;
    EXPECT_LE(stats.reads, 32u) << size;
    EXPECT_EQ(HttpLength(back), kUntouched) << size;
  }

  // A data size of all ones (a stream of unknown length) still gives a length.
  ExpectBoth(Wave(Format(), 0xFFFFFFFFu), 24347887u);
}

TEST(WaveChunks, TruncatedHeadersFail) {
  Bytes full = Wave(Format(), 176400);
  for (size_t n = 0; n < full.size(); ++n) {
    Bytes cut(full.begin(), full.begin() + n);
    EXPECT_EQ(LocalLength(cut), kUntouched) << n;
    EXPECT_EQ(HttpLength(cut), kUntouched) << n;
  }
  // The extensible block is cut before its sub-format word.
  Format f;
  f.tag = 0xFFFE;
  f.extensible_block = true;
  f.sub_format = 1;
  Bytes ext = Wave(f, 176400);
  Bytes cut(ext.begin(), ext.begin() + 20 + 26);
  EXPECT_EQ(LocalLength(cut), kUntouched);
  EXPECT_EQ(HttpLength(cut), kUntouched);
}

TEST(WaveChunks, TinyFileShorterThanTheFormatBlock) {
  // 44-byte header and one 4-byte frame: the 40-byte block read runs into the
  // end of the file, and the walk must still land on "data".
  Bytes b = Wave(Format(), 4);
  Le(b, 0x12345678, 4);
  ASSERT_EQ(b.size(), 48u);
  ExpectBoth(b, 0);  // 4000 / 44100 truncates to 0
  Format mono;
  mono.channels = 1;
  mono.rate = 1000;
  mono.bits = 8;
  Bytes ten = Wave(mono, 10);
  ten.insert(ten.end(), 10, 0x80);
  ExpectBoth(ten, 10);
}

TEST(WaveChunks, SkippedChunksAreNeverRead) {
  Bytes b = Cat({RiffHeader(), Chunk("LIST", 1 << 20), FmtChunk(Format()), Chunk("junk", 1 << 20), DataHeader(176400)});
  MemoryFile stats;
  EXPECT_EQ(LocalLength(b, &stats), 1000u);
  EXPECT_EQ(stats.largest_read, 40u);
  EXPECT_LT(stats.bytes_read, 100u);
}

TEST(WaveHttp, ChunksBeforeFmtBoundedToTheFirstThousandBytes) {
  // LIST at 12 with its size word at 16: the next identifier lies at 20 + size.
  Bytes at_limit = Cat({RiffHeader(), Chunk("LIST", 980), FmtChunk(Format()), DataHeader(176400)});
  ExpectBoth(at_limit, 1000);

  Bytes past = Cat({RiffHeader(), Chunk("LIST", 981), FmtChunk(Format()), DataHeader(176400)});
  EXPECT_EQ(HttpLength(past), kUntouched);
  EXPECT_EQ(LocalLength(past), 1000u);  // a local file has no such bound

  // The bound holds for later chunks before "fmt " too, not only the first.
  Bytes second = Cat({RiffHeader(), Chunk("LIST", 500), Chunk("JUNK", 500), FmtChunk(Format()), DataHeader(176400)});
  EXPECT_EQ(HttpLength(second), kUntouched);
  EXPECT_EQ(LocalLength(second), 1000u);
}

TEST(WaveHttp, ChunksAfterFmtReachAnywhereInTheResponse) {
  Bytes b = Cat({RiffHeader(), FmtChunk(Format()), Chunk("junk", 60000), DataHeader(176400)});
  EXPECT_EQ(HttpLength(b), 1000u);
  // The data header lying past the received bytes fails instead of being read.
  b.resize(b.size() - 1);
  EXPECT_EQ(HttpLength(b), kUntouched);
}

TEST(WaveHttp, ShortResponseNeverReadsStaleBytes) {
  // The buffer still holds an earlier response's valid header; the new
  // response is 30 bytes and overwrites only its start.
  uint8_t buffer[65536];
  memset(buffer, 0, sizeof buffer);
  Bytes earlier = Wave(Format(), 1764000);
  memcpy(buffer, earlier.data(), earlier.size());
  Format mono;
  mono.channels = 1;
  Bytes now = Wave(mono, 1764000);
  now.resize(30);
  memcpy(buffer, now.data(), now.size());
  uint32_t length = kUntouched;
  // Read past the response, the stale tail would complete the header.
  EXPECT_TRUE(WaveLengthFromResponse(buffer, 65536, kWaveBytesUnknown, &length));
  EXPECT_EQ(length, 20000u);
  length = kUntouched;
  EXPECT_FALSE(WaveLengthFromResponse(buffer, 30, kWaveBytesUnknown, &length));
  EXPECT_EQ(length, kUntouched);
}

TEST(WaveHttp, NothingReadPastTheBuffer) {
  // Chunk sizes that point to the very end of a full 65,536-byte response or
  // beyond it, including offsets that wrap in 32 bits.
  static uint8_t buffer[65536];
  for (uint32_t size : {65536u - 44u, 65536u - 44u - 3u, 65536u - 44u - 4u, 65536u - 40u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
    memset(buffer, 0, sizeof buffer);
    Bytes b = Cat({RiffHeader(), FmtChunk(Format()), Chunk("junk", size, 0)});
    memcpy(buffer, b.data(), b.size());
    uint32_t length = kUntouched;
    EXPECT_FALSE(WaveLengthFromResponse(buffer, sizeof buffer, kWaveBytesUnknown, &length)) << size;
  }
  // A data header in the last eight bytes is still read.
  memset(buffer, 0, sizeof buffer);
  Bytes b = Cat({RiffHeader(), FmtChunk(Format()), Chunk("junk", 65536u - 44u - 8u, 0)});
  memcpy(buffer, b.data(), b.size());
  memcpy(buffer + 65528, "data", 4);
  buffer[65532] = 0x10;  // 0x2B110 = 176400
  buffer[65533] = 0xB1;
  buffer[65534] = 0x02;
  uint32_t length = kUntouched;
  EXPECT_TRUE(WaveLengthFromResponse(buffer, sizeof buffer, kWaveBytesUnknown, &length));
  EXPECT_EQ(length, 1000u);
}

}  // namespace
