// The details box's line: its pieces in both modes, and overlong paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "parsers/details_text.h"
#include "tests/unit/utf16_test_text.h"

namespace {

DetailsFacts Wav(int32_t channels, uint32_t rate, int32_t bits, bool is_float = false) {
  DetailsFacts f;
  f.channels = channels;
  f.rate_khz = (int32_t)(rate / 1000u);
  f.has_resolution = true;
  f.resolution = bits;
  f.is_float = is_float;
  return f;
}

Utf16String Compose(const Utf16Unit *file, const DetailsFacts &facts) {
  Utf16Unit text[kDetailsTextUnits];
  ComposeDetailsText(file, &facts, text, kDetailsTextUnits);
  return text;
}

TEST(DetailsText, WaveOnlyPieces) {
  EXPECT_EQ(Compose(U16("C:\\Music\\a.wav"), Wav(2, 44100, 16)), U16("File: \"C:\\Music\\a.wav\" (2ch, 44kHz, 16bit)"));
  EXPECT_EQ(Compose(U16("C:\\b.wav"), Wav(1, 22050, 8)), U16("File: \"C:\\b.wav\" (1ch, 22kHz, 8bit)"));
  EXPECT_EQ(Compose(U16("C:\\c.wav"), Wav(2, 96000, 32, true)), U16("File: \"C:\\c.wav\" (2ch, 96kHz, 32bit float)"));
  EXPECT_EQ(Compose(U16("C:\\d.wav"), Wav(6, 88200, 24)), U16("File: \"C:\\d.wav\" (6ch, 88kHz, 24bit)"));
  EXPECT_EQ(Compose(U16("x"), Wav(1, 999, 8)), U16("File: \"x\" (1ch, 0kHz, 8bit)"));
  EXPECT_EQ(Compose(U16("x"), Wav(65535, 4294967295u, 65535)), U16("File: \"x\" (65535ch, 4294967kHz, 65535bit)"));
}

TEST(DetailsText, LibraryModeWithoutResolution) {
  DetailsFacts f = Wav(2, 44100, 0);
  f.has_resolution = false;
  EXPECT_EQ(Compose(U16("D:\\a.mp3"), f), U16("File: \"D:\\a.mp3\" (2ch, 44kHz)"));
  // Values come whole from the library and print as signed decimals.
  f.has_resolution = true;
  f.resolution = (int32_t)0x80000000u;
  f.channels = -1;
  EXPECT_EQ(Compose(U16("D:\\a.mp3"), f), U16("File: \"D:\\a.mp3\" (-1ch, 44kHz, -2147483648bit)"));
}

TEST(DetailsText, PathIsCutSoTheWholeLineFits) {
  const Utf16String tail = U16("\" (2ch, 96kHz, 32bit float)");
  const size_t path_room = kDetailsTextUnits - 1 - 7 - tail.size();
  Utf16Unit text[kDetailsTextUnits + 8];
  for (size_t path_length : {path_room, path_room + 1, (size_t)40000}) {
    Utf16String path(path_length, U16('a'));
    std::fill_n(text, kDetailsTextUnits + 8, U16('#'));
    DetailsFacts f = Wav(2, 96000, 32, true);
    ComposeDetailsText(path.c_str(), &f, text, kDetailsTextUnits);
    Utf16String got = text;
    EXPECT_EQ(got, U16("File: \"") + Utf16String(path_room, U16('a')) + tail) << path_length;
    EXPECT_EQ(text[kDetailsTextUnits], U16('#'));
  }
  // Short of the limit nothing is cut.
  Utf16String path(path_room - 1, U16('b'));
  EXPECT_EQ(Compose(path.c_str(), Wav(2, 96000, 32, true)), U16("File: \"") + path + tail);
}

TEST(DetailsText, CutNeverSplitsASurrogatePair) {
  const Utf16String tail = U16("\" (2ch, 44kHz, 16bit)");
  const size_t path_room = kDetailsTextUnits - 1 - 7 - tail.size();
  const Utf16String pair = U16("\xD83C\xDFB5");
  const struct {
    Utf16String path, shown;
  } rows[] = {
      // The first pair straddles the cut: it goes whole.
      {Utf16String(path_room - 1, U16('a')) + pair + pair, Utf16String(path_room - 1, U16('a'))},
      // A pair that ends right at the cut stays whole.
      {Utf16String(path_room - 2, U16('a')) + pair + U16("bb"), Utf16String(path_room - 2, U16('a')) + pair},
      // A path that fits whole keeps even a lone high surrogate at its end.
      {U16("C:\\a\xD83C"), U16("C:\\a\xD83C")},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(Compose(row.path.c_str(), Wav(2, 44100, 16)), U16("File: \"") + row.shown + tail) << row.path.size();
  }
}

TEST(DetailsText, TinyBuffersStayInBounds) {
  Utf16Unit text[16];
  for (size_t capacity : {(size_t)1, (size_t)5, (size_t)12}) {
    std::fill_n(text, 16, U16('#'));
    DetailsFacts f = Wav(2, 44100, 16);
    ComposeDetailsText(U16("C:\\a.wav"), &f, text, capacity);
    EXPECT_EQ(Utf16Length(text), capacity - 1);
    EXPECT_EQ(text[capacity], U16('#'));
  }
}

}  // namespace
