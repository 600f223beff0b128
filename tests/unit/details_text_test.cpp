// The details box's line: its pieces in both modes, and overlong paths.
#include <gtest/gtest.h>
#include <wchar.h>

#include <string>

#include "parsers/details_text.h"

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

std::wstring Compose(const wchar_t *file, const DetailsFacts &facts) {
  wchar_t text[kDetailsTextUnits];
  ComposeDetailsText(file, &facts, text, kDetailsTextUnits);
  return text;
}

TEST(DetailsText, WaveOnlyPieces) {
  EXPECT_EQ(Compose(L"C:\\Music\\a.wav", Wav(2, 44100, 16)), L"File: \"C:\\Music\\a.wav\" (2ch, 44kHz, 16bit)");
  EXPECT_EQ(Compose(L"C:\\b.wav", Wav(1, 22050, 8)), L"File: \"C:\\b.wav\" (1ch, 22kHz, 8bit)");
  EXPECT_EQ(Compose(L"C:\\c.wav", Wav(2, 96000, 32, true)), L"File: \"C:\\c.wav\" (2ch, 96kHz, 32bit float)");
  EXPECT_EQ(Compose(L"C:\\d.wav", Wav(6, 88200, 24)), L"File: \"C:\\d.wav\" (6ch, 88kHz, 24bit)");
  EXPECT_EQ(Compose(L"x", Wav(1, 999, 8)), L"File: \"x\" (1ch, 0kHz, 8bit)");
  EXPECT_EQ(Compose(L"x", Wav(65535, 4294967295u, 65535)), L"File: \"x\" (65535ch, 4294967kHz, 65535bit)");
}

TEST(DetailsText, LibraryModeWithoutResolution) {
  DetailsFacts f = Wav(2, 44100, 0);
  f.has_resolution = false;
  EXPECT_EQ(Compose(L"D:\\a.mp3", f), L"File: \"D:\\a.mp3\" (2ch, 44kHz)");
  // Values come whole from the library and print as signed decimals.
  f.has_resolution = true;
  f.resolution = (int32_t)0x80000000u;
  f.channels = -1;
  EXPECT_EQ(Compose(L"D:\\a.mp3", f), L"File: \"D:\\a.mp3\" (-1ch, 44kHz, -2147483648bit)");
}

TEST(DetailsText, PathIsCutSoTheWholeLineFits) {
  const std::wstring tail = L"\" (2ch, 96kHz, 32bit float)";
  const size_t path_room = kDetailsTextUnits - 1 - 7 - tail.size();
  wchar_t text[kDetailsTextUnits + 8];
  for (size_t path_length : {path_room, path_room + 1, (size_t)40000}) {
    std::wstring path(path_length, L'a');
    wmemset(text, L'#', kDetailsTextUnits + 8);
    DetailsFacts f = Wav(2, 96000, 32, true);
    ComposeDetailsText(path.c_str(), &f, text, kDetailsTextUnits);
    std::wstring got = text;
    EXPECT_EQ(got, L"File: \"" + std::wstring(path_room, L'a') + tail) << path_length;
    EXPECT_EQ(text[kDetailsTextUnits], L'#');
  }
  // Short of the limit nothing is cut.
  std::wstring path(path_room - 1, L'b');
  EXPECT_EQ(Compose(path.c_str(), Wav(2, 96000, 32, true)), L"File: \"" + path + tail);
}

TEST(DetailsText, CutNeverSplitsASurrogatePair) {
  const std::wstring tail = L"\" (2ch, 44kHz, 16bit)";
  const size_t path_room = kDetailsTextUnits - 1 - 7 - tail.size();
  const std::wstring pair = L"\xD83C\xDFB5";
  const struct {
    std::wstring path, shown;
  } rows[] = {
      // The first pair straddles the cut: it goes whole.
      {std::wstring(path_room - 1, L'a') + pair + pair, std::wstring(path_room - 1, L'a')},
      // A pair that ends right at the cut stays whole.
      {std::wstring(path_room - 2, L'a') + pair + L"bb", std::wstring(path_room - 2, L'a') + pair},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(Compose(row.path.c_str(), Wav(2, 44100, 16)), L"File: \"" + row.shown + tail) << row.path.size();
  }
}

TEST(DetailsText, TinyBuffersStayInBounds) {
  wchar_t text[16];
  for (size_t capacity : {(size_t)1, (size_t)5, (size_t)12}) {
    wmemset(text, L'#', 16);
    DetailsFacts f = Wav(2, 44100, 16);
    ComposeDetailsText(L"C:\\a.wav", &f, text, capacity);
    EXPECT_EQ(wcslen(text), capacity - 1);
    EXPECT_EQ(text[capacity], L'#');
  }
}

}  // namespace
