// The text conversion seam: bounded conversions that cut at character boundaries.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>

#include "parsers/text_convert.h"
#include "parsers/utf8.h"
#include "tests/unit/utf16_test_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const Utf16Unit kGuard = 0x2222;

TEST(ConvertUtf8ToUtf16, CutsAtCharacterBoundariesInsideTheCapacity) {
  Utf16Unit out[8];
  std::fill_n(out, 8, kGuard);
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 4, "abc", 3), 3u);  // exactly fits with its terminator
  EXPECT_TEXT_EQ(out, U16("abc"));
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 4, "abcd", 4), 3u);
  EXPECT_TEXT_EQ(out, U16("abc"));
  EXPECT_EQ(out[4], kGuard);

  // "Жук" is two bytes a character; a cut never leaves half of one.
  std::fill_n(out, 8, kGuard);
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 3, "\xD0\x96\xD1\x83\xD0\xBA", 6), 2u);
  EXPECT_TEXT_EQ(out, U16("\x0416\x0443"));
  EXPECT_EQ(out[3], kGuard);

  // A surrogate pair is never split: "a" + U+1F600 needs three units.
  std::fill_n(out, 8, kGuard);
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 3, "a\xF0\x9F\x98\x80", 5), 1u);
  EXPECT_TEXT_EQ(out, U16("a"));
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 4, "a\xF0\x9F\x98\x80", 5), 3u);
  EXPECT_TEXT_EQ(out, U16("a\xD83D\xDE00"));
  EXPECT_EQ(out[4], kGuard);

  EXPECT_EQ(ConvertUtf8ToUtf16(out, 1, "abc", 3), 0u);  // room for the terminator only
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 8, "", 0), 0u);
  EXPECT_EQ(out[0], 0);
  out[0] = kGuard;
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 0, "abc", 3), 0u);  // no room at all: nothing written
  EXPECT_EQ(out[0], kGuard);
}

TEST(ConvertUtf8ToUtf16, InvalidInputNeverOverrunsTheCapacity) {
  Utf16Unit out[12];
  // Malformed runs the estimate might count differently from the platform.
  const std::string kMalformed[] = {
      std::string(100, '\x80'),                // stray continuation bytes
      [] { std::string s; for (int i = 0; i < 50; ++i) s += "\xED\xA0\x80"; return s; }(),  // encoded surrogates
      [] { std::string s; for (int i = 0; i < 50; ++i) s += "\xC3" "A"; return s; }(),      // lead without continuation
      [] { std::string s; for (int i = 0; i < 50; ++i) s += "\xF8\x88\x80\x80\x80"; return s; }(),
      [] { std::string s; for (int i = 0; i < 50; ++i) s += "\xF0\x9F\x98"; return s; }(),  // cut 4-byte sequence
  };
  for (const std::string &text : kMalformed) {
    std::fill_n(out, 12, kGuard);
    size_t units = ConvertUtf8ToUtf16(out, 11, text.data(), text.size());
    EXPECT_LE(units, 10u);
    EXPECT_GE(units, 3u) << "cut far more than needed";
    EXPECT_EQ(out[units], 0);
    EXPECT_EQ(out[11], kGuard);
    EXPECT_EQ(out[0], 0xFFFD);
  }
}

TEST(ConvertUtf8ToUtf16, MegabyteInputIsCutToTheCapacity) {
  std::string text;
  for (int i = 0; i < 400000; ++i) text += "\xE2\x82\xAC";  // 1.2 MB of euro signs
  Utf16Unit out[257];
  out[256] = kGuard;
  EXPECT_EQ(ConvertUtf8ToUtf16(out, 256, text.data(), text.size()), 255u);
  EXPECT_EQ(out[0], 0x20AC);
  EXPECT_EQ(out[254], 0x20AC);
  EXPECT_EQ(out[255], 0);
  EXPECT_EQ(out[256], kGuard);
}

TEST(ConvertAnsiToUtf16, CutsToTheCapacity) {
  Utf16Unit out[8];
  std::fill_n(out, 8, kGuard);
  EXPECT_EQ(ConvertAnsiToUtf16(out, 5, "Song title", 10), 4u);
  EXPECT_TEXT_EQ(out, U16("Song"));
  EXPECT_EQ(out[5], kGuard);
  EXPECT_EQ(ConvertAnsiToUtf16(out, 8, "ab\0cd", 5), 5u);  // a zero byte ends the string
  EXPECT_TEXT_EQ(out, U16("ab"));
}

TEST(ConvertAnsiToUtf16, CyrillicCodePage) {
  if (TestAnsiCodePage() != 1251) {
    GTEST_SKIP() << "needs ANSI code page 1251 (Cyrillic); this process has " << TestAnsiCodePage();
  }
  Utf16Unit out[8];
  EXPECT_EQ(ConvertAnsiToUtf16(out, 8, "\xC6\xF3\xEA", 3), 3u);
  EXPECT_TEXT_EQ(out, U16("\x0416\x0443\x043A"));
}

TEST(ConvertUtf16ToUtf8, ReportsTheNeededSizeAndWritesOnlyWhenItFits) {
  char out[8];
  memset(out, '#', sizeof out);
  const Utf16Unit kText[] = U16("\x0416\x0443k");  // 2 + 2 + 1 bytes
  EXPECT_EQ(ConvertUtf16ToUtf8(out, 4, kText, 3), 5u);
  EXPECT_EQ(out[0], '#');  // too small: nothing written
  EXPECT_EQ(ConvertUtf16ToUtf8(out, 5, kText, 3), 5u);
  EXPECT_EQ(std::string(out, 5), "\xD0\x96\xD1\x83k");
  EXPECT_EQ(out[5], '#');  // no terminator written
  EXPECT_EQ(ConvertUtf16ToUtf8(out, 8, kText, 0), 0u);

  const Utf16Unit kLoneSurrogate[] = {0xD800, U16('a')};
  EXPECT_EQ(ConvertUtf16ToUtf8(out, 8, kLoneSurrogate, 2), 4u);
  EXPECT_EQ(std::string(out, 4), "\xEF\xBF\xBD" "a");
}

#ifdef _WIN32
// The parsers' own UTF-8 conversions give what the platform's gave before them:
// random well-formed text of one- to four-byte characters, and UTF-16 strings
// with unpaired surrogates. (Malformed UTF-8 is left out: Wine's conversion
// swallows the byte after a cut sequence, where the documented contract and
// the parsers make one U+FFFD per maximal subpart; PortableUtf8 pins that.)
TEST(PlatformAgreement, Utf8ToUtf16AndBackMatchThePlatform) {
  const uint32_t kCodePoints[] = {0x00, 0x41, 0x7F, 0x80, 0x7FF, 0x800, 0x20AC, 0xD7FF, 0xE000, 0xFFFD,
                                  0xFFFF, 0x10000, 0x1F600, 0x10FFFF};
  const Utf16Unit kUnits[] = {U16('a'), 0, 0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
  uint32_t seed = 12345;
  auto next = [&seed] { seed = seed * 1103515245u + 12345u; return seed >> 16; };
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int count = (int)(next() % 6); count > 0; --count) {
      uint8_t bytes[4];
      const size_t n = EncodeUtf8(kCodePoints[next() % (sizeof kCodePoints / sizeof kCodePoints[0])], bytes);
      text.append(reinterpret_cast<const char *>(bytes), n);
    }
    Utf16Unit ours[32], theirs[32] = {0};
    const size_t units = ConvertUtf8ToUtf16(ours, 32, text.data(), text.size());
    const int made = text.empty() ? 0 : MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), theirs, 31);
    ASSERT_EQ(units, (size_t)made) << "round " << round;
    ASSERT_EQ(0, memcmp(ours, theirs, units * sizeof(Utf16Unit))) << "round " << round;

    Utf16Unit wide[6];
    const int count = (int)(next() % 7);
    for (int i = 0; i < count; ++i) wide[i] = kUnits[next() % (sizeof kUnits / sizeof kUnits[0])];
    char ours8[32], theirs8[32];
    const size_t needed = ConvertUtf16ToUtf8(ours8, sizeof ours8, wide, (size_t)count);
    const int written = count ? WideCharToMultiByte(CP_UTF8, 0, wide, count, theirs8, sizeof theirs8, NULL, NULL) : 0;
    ASSERT_EQ(needed, (size_t)written) << "round " << round;
    ASSERT_EQ(0, memcmp(ours8, theirs8, needed)) << "round " << round;
  }
}
#endif

TEST(IsWellFormedUtf8, OneDefinitionOfAWellFormedCharacter) {
  const struct {
    std::string bytes;
    bool well_formed;
  } rows[] = {
      {"", true},
      {"plain", true},
      {"\xC2\x80\xDF\xBF", true},
      {"\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80", true},
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", true},
      {"\xC0\x80", false},          // overlong
      {"\xC1\xBF", false},
      {"\xE0\x9F\xBF", false},
      {"\xF0\x8F\xBF\xBF", false},
      {"\xED\xA0\x80", false},      // an encoded surrogate
      {"\xF4\x90\x80\x80", false},  // past U+10FFFF
      {"\xF5\x80\x80\x80", false},  // leads that could only start values past U+10FFFF
      {"\xF6\x80\x80\x80", false},
      {"\xF7\xBF\xBF\xBF", false},
      {"\xF8\x88\x80\x80\x80", false},
      {"\xFF", false},
      {"\x80", false},              // a stray continuation byte
      {"a\xE2\x82", false},         // cut at the end
      {"\xE2\x82" "a", false},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(IsWellFormedUtf8(reinterpret_cast<const uint8_t *>(row.bytes.data()), row.bytes.size()), row.well_formed)
        << ::testing::PrintToString(row.bytes);
  }
}

}  // namespace
