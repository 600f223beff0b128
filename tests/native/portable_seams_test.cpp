// The native build's own seams: the portable text conversion (ANSI read as
// Windows-1252; malformed UTF-8 by maximal subparts, as the header documents)
// and the file-backed seam of the local RIFF walk over real files.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "parsers/id3v2.h"
#include "parsers/text_convert.h"
#include "tests/native/wave_seams.h"
#include "tests/unit/utf16_test_text.h"

namespace {

TEST(PortableAnsi, Windows1252WithItsUnassignedBytesAsC1Controls) {
  Utf16Unit out[8];
  EXPECT_EQ(ConvertAnsiToUtf16(out, 8, "\x80\x81\x9F\xE9\xFF", 5), 5u);
  EXPECT_TEXT_EQ(out, U16("\x20AC\x0081\x0178\x00E9\x00FF"));
  // Through an ID3v2 encoding-0 frame: UTF-8 out.
  char value[kId3ValueBytes];
  const uint8_t frame[] = {0, 'C', 'a', 'f', 0xE9, ' ', 0x80};
  DecodeTextFrame(value, sizeof value, frame, sizeof frame, false);
  EXPECT_EQ(std::string(value), "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST(PortableUtf8, MaximalSubpartsBecomeOneReplacementEach) {
  Utf16Unit out[16];
  // A cut four-byte sequence is one subpart; an encoded surrogate is three
  // (ED is a lead whose range A0 leaves); an invalid lead is one.
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 16, "\xF0\x9F\x98" "A", 4), 2u);
  EXPECT_TEXT_EQ(out, U16("\xFFFD" "A"));
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 16, "\xED\xA0\x80", 3), 3u);
  EXPECT_TEXT_EQ(out, U16("\xFFFD\xFFFD\xFFFD"));
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 16, "\xF8\xC3", 2), 2u);
  EXPECT_TEXT_EQ(out, U16("\xFFFD\xFFFD"));
  // A cut never lands inside a character whose replacement would not fit whole.
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 3, "ab\xF0\x9F\x98\x80", 6), 2u);
  EXPECT_TEXT_EQ(out, U16("ab"));
}

std::vector<uint8_t> ReadAll(const std::string &path) {
  std::vector<uint8_t> bytes;
  FILE *f = fopen(path.c_str(), "rb");
  if (f == NULL) return bytes;
  uint8_t chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(f);
  return bytes;
}

// The real files of the RIFF corpus, made by sox: 0.06 s each.
TEST(DiskWaveSeam, RealFilesGiveTheSameLengthOnEveryWalk) {
  const char *kFiles[] = {"real-pcm16.wav", "real-pcm8.wav", "real-float32.wav", "real-pcm24-6ch-extensible.wav"};
  for (const char *name : kFiles) {
    const std::string path = std::string(TANDREL_ROOT) + "/tests/fuzz/corpus/riff_local/" + name;
    DiskWaveFile file;
    WaveSeam seam;
    ASSERT_TRUE(OpenDiskWaveSeam(&file, path.c_str(), &seam)) << path;
    uint32_t from_disk = 0;
    EXPECT_TRUE(WaveLengthFromSeam(&seam, &from_disk)) << name;
    CloseDiskWaveSeam(&file);

    const std::vector<uint8_t> bytes = ReadAll(path);
    MemoryWaveFile memory;
    MakeMemoryWaveSeam(&memory, bytes.data(), bytes.size(), &seam);
    uint32_t from_memory = 0, from_response = 0;
    EXPECT_TRUE(WaveLengthFromSeam(&seam, &from_memory)) << name;
    EXPECT_TRUE(WaveLengthFromResponse(bytes.data(), (uint32_t)bytes.size(), kWaveBytesUnknown, &from_response)) << name;
    EXPECT_EQ(from_disk, 60u) << name;
    EXPECT_EQ(from_memory, 60u) << name;
    EXPECT_EQ(from_response, 60u) << name;
  }
}

TEST(MemoryWaveSeam, MovesBeforeTheStartOrPastFourGigabytesLeaveThePosition) {
  const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  MemoryWaveFile file;
  WaveSeam seam;
  MakeMemoryWaveSeam(&file, bytes, sizeof bytes, &seam);
  seam.seek(seam.context, 4);
  seam.seek(seam.context, -5);  // before the start: stays at 4
  EXPECT_EQ(file.pos, 4u);
  seam.seek(seam.context, 0x7FFFFFFF);
  seam.seek(seam.context, 0x7FFFFFFF);  // 4 + 2 * (2^31 - 1) passes 2^32 - 2: stays
  EXPECT_EQ(file.pos, 4u + 0x7FFFFFFFu);
  uint8_t out[4];
  EXPECT_EQ(seam.read(seam.context, out, 4), 0u);  // past the end: nothing
}

}  // namespace
