// ID3v2.3/2.4 tags crafted byte by byte: what taggers write and what they do not.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "parsers/id3v2.h"
#include "tests/unit/test_bytes.h"
#include "tests/unit/utf16_test_text.h"

namespace {

const uint8_t kGrouped3 = 0x20, kGrouped4 = 0x40, kUnsync4 = 0x02, kDataLength4 = 0x01;

// A frame whose flags put a group byte (and in version 4 a data-length
// indicator) before `data`, as the version orders them.
Bytes FormattedFrame(int version, const char *id, const Bytes &data, uint8_t flags2, uint8_t group = 0x21) {
  Bytes head;
  if (flags2 & (version >= 4 ? kGrouped4 : kGrouped3)) head.push_back(group);
  if (version >= 4 && (flags2 & kDataLength4)) head = Cat({head, Syncsafe((uint32_t)data.size())});
  return Id3Frame(version, id, Cat({head, data}), flags2);
}

Bytes Text(uint8_t encoding, const std::string &text) { return Cat({{encoding}, Str(text)}); }

TrackInfoRecord Parse(const Bytes &tag) {
  TrackInfoRecord record;
  memset(&record, 0x55, sizeof record);
  Bytes untouched = tag;
  ParseId3v2Tag(&record, tag.data(), tag.size());
  EXPECT_EQ(tag, untouched) << "the library's block was written";
  return record;
}

bool IsZero(const TrackInfoRecord &r) {
  const TrackInfoRecord zero = {};
  return memcmp(&r, &zero, sizeof r) == 0;
}

std::string Decode(const Bytes &data, bool unsync = false) {
  char out[kId3ValueBytes + 8];
  memset(out, '#', sizeof out);
  DecodeTextFrame(out, kId3ValueBytes, data.data(), data.size(), unsync);
  EXPECT_EQ(out[kId3ValueBytes], '#');
  return out;
}

TEST(Id3v2, Version3TextFrames) {
  TrackInfoRecord r =
      Parse(Id3Tag(3, 0,
                   Cat({Id3Frame(3, "TIT2", Text(0, "Song")), Id3Frame(3, "TPE1", Text(0, "Band")),
                        Id3Frame(3, "TALB", Text(0, "Album")), Id3Frame(3, "TYER", Text(0, "1999")), Bytes(20, 0)})));
  EXPECT_TEXT_EQ(r.title, U16("Song"));
  EXPECT_TEXT_EQ(r.artist, U16("Band"));
  EXPECT_TEXT_EQ(r.album, U16("Album"));
  EXPECT_TEXT_EQ(r.year, U16("1999"));
}

TEST(Id3v2, YearFrameByVersion) {
  Bytes frames4 = Cat({Id3Frame(4, "TIT2", Text(3, "T")), Id3Frame(4, "TYER", Text(3, "1990")),
                       Id3Frame(4, "TDRC", Text(3, "2017-05-12"))});
  EXPECT_TEXT_EQ(Parse(Id3Tag(4, 0, frames4)).year, U16("2017-05-12"));
  Bytes frames3 = Cat({Id3Frame(3, "TIT2", Text(0, "T")), Id3Frame(3, "TDRC", Text(0, "2017"))});
  EXPECT_TEXT_EQ(Parse(Id3Tag(3, 0, frames3)).year, U16(""));
  EXPECT_TEXT_EQ(Parse(Id3Tag(3, 0, Cat({frames3, Id3Frame(3, "TYER", Text(0, "2016"))}))).year, U16("2016"));
}

TEST(Id3v2, FirstFrameOfEachKindWinsEvenWhenEmpty) {
  TrackInfoRecord r = Parse(Id3Tag(3, 0,
                                   Cat({Id3Frame(3, "TIT2", Text(0, "First")), Id3Frame(3, "TPE1", Text(0, "")),
                                        Id3Frame(3, "TIT2", Text(0, "Second")), Id3Frame(3, "TPE1", Text(0, "B"))})));
  EXPECT_TEXT_EQ(r.title, U16("First"));
  EXPECT_TEXT_EQ(r.artist, U16(""));
  // An empty first title, or one in an unknown encoding, leaves no title: the record stays zero.
  EXPECT_TRUE(IsZero(Parse(Id3Tag(
      3, 0, Cat({Id3Frame(3, "TPE1", Text(0, "B")), Id3Frame(3, "TIT2", {}), Id3Frame(3, "TIT2", Text(0, "Late"))})))));
  EXPECT_TRUE(
      IsZero(Parse(Id3Tag(4, 0, Cat({Id3Frame(4, "TIT2", Text(4, "Odd")), Id3Frame(4, "TIT2", Text(3, "Late"))})))));
}

TEST(Id3v2, CompressedAndEncryptedFramesAreSkipped) {
  // A skipped frame does not count as found: the next title frame is taken.
  TrackInfoRecord r =
      Parse(Id3Tag(3, 0,
                   Cat({Id3Frame(3, "TIT2", Text(0, "zip"), 0x80), Id3Frame(3, "TPE1", Text(0, "x"), 0x40),
                        Id3Frame(3, "TIT2", Text(0, "Plain")), Id3Frame(3, "TPE1", Text(0, "B"))})));
  EXPECT_TEXT_EQ(r.title, U16("Plain"));
  EXPECT_TEXT_EQ(r.artist, U16("B"));
  r = Parse(Id3Tag(4, 0,
                   Cat({Id3Frame(4, "TIT2", Text(3, "zip"), 0x08), Id3Frame(4, "TIT2", Text(3, "enc"), 0x04),
                        FormattedFrame(4, "TIT2", Text(3, "Plain"), kGrouped4)})));
  EXPECT_TEXT_EQ(r.title, U16("Plain"));  // grouping alone skips nothing: the text follows the group byte
  // Only a compressed or encrypted title: nothing.
  EXPECT_TRUE(
      IsZero(Parse(Id3Tag(4, 0, Cat({Id3Frame(4, "TIT2", Text(3, "zip"), 0x08), Id3Frame(4, "TPE1", Text(3, "B"))})))));
}

TEST(Id3v2, GroupingByteAndDataLengthIndicatorComeBeforeTheText) {
  // Version 4: the group byte, then the 4-byte indicator; frame unsynchronisation applies to what follows.
  Bytes year = Unsynchronise({1, 0xFF, 0xFE, '2', 0, '0', 0});
  TrackInfoRecord r = Parse(Id3Tag(4, 0,
                                   Cat({FormattedFrame(4, "TIT2", Text(3, "Grouped"), kGrouped4 | kDataLength4),
                                        FormattedFrame(4, "TPE1", Text(0, "Band"), kGrouped4, 0x80),
                                        FormattedFrame(4, "TALB", {1, 0xFF, 0xFE, 'A', 0}, kDataLength4),
                                        FormattedFrame(4, "TDRC", year, kGrouped4 | kUnsync4 | kDataLength4, 0xFF)})));
  EXPECT_TEXT_EQ(r.title, U16("Grouped"));
  EXPECT_TEXT_EQ(r.artist, U16("Band"));
  EXPECT_TEXT_EQ(r.album, U16("A"));
  EXPECT_TEXT_EQ(r.year, U16("20"));
  // Version 3: the group byte.
  r = Parse(
      Id3Tag(3, 0, Cat({FormattedFrame(3, "TIT2", Text(0, "Grouped"), kGrouped3), Id3Frame(3, "TPE1", Text(0, "B"))})));
  EXPECT_TEXT_EQ(r.title, U16("Grouped"));
  EXPECT_TEXT_EQ(r.artist, U16("B"));
  // Too short for them: an empty value that still counts as found.
  EXPECT_TRUE(IsZero(Parse(Id3Tag(
      4, 0,
      Cat({Id3Frame(4, "TIT2", Text(3, "AB"), kGrouped4 | kDataLength4), Id3Frame(4, "TIT2", Text(3, "Late"))})))));
  // Cut short up to the tag end, unsynchronised or not: no crash, what came before stays.
  for (uint8_t flags : {kGrouped4, kDataLength4, (uint8_t)(kGrouped4 | kDataLength4 | kUnsync4)}) {
    for (size_t n = 0; n <= 5; ++n) {
      r = Parse(Id3Tag(4, 0, Cat({Id3Frame(4, "TIT2", Text(3, "T")), Id3Frame(4, "TPE1", Bytes(n, 0xFF), flags)})));
      EXPECT_TEXT_EQ(r.title, U16("T")) << n;
      EXPECT_TEXT_EQ(r.artist, U16("")) << n;
    }
  }
  r = Parse(Id3Tag(3, 0, Cat({Id3Frame(3, "TIT2", Text(0, "T")), Id3Frame(3, "TPE1", {}, kGrouped3)})));
  EXPECT_TEXT_EQ(r.title, U16("T"));
}

TEST(Id3v2, Utf16Encodings) {
  const Bytes le = {0x53, 0, 0xF8, 0, 0x6E, 0x04};  // "Sø" + U+046E
  const Bytes be = {0, 0x53, 0, 0xF8, 0x04, 0x6E};
  const std::string expect = "S\xC3\xB8\xD1\xAE";
  EXPECT_EQ(Decode(Cat({{1, 0xFF, 0xFE}, le})), expect);
  EXPECT_EQ(Decode(Cat({{1, 0xFE, 0xFF}, be})), expect);
  EXPECT_EQ(Decode(Cat({{1}, le})), expect);                            // no mark: little-endian, first unit kept
  EXPECT_EQ(Decode(Cat({{2}, be})), expect);
  EXPECT_EQ(Decode(Cat({{2, 0xFE, 0xFF}, be})), "\xEF\xBB\xBF" + expect);  // encoding 2 keeps U+FEFF as text
  EXPECT_EQ(Decode({1, 0xFF, 0xFE}), "");                               // a lone mark
  EXPECT_EQ(Decode(Cat({{1, 0xFF, 0xFE}, le, {0x41}})), expect);        // odd byte count: the stray byte is dropped
  EXPECT_EQ(Decode({1, 0x41}), "");                                     // less than one unit
  EXPECT_EQ(Decode(Cat({{1, 0xFF, 0xFE}, le, {0, 0, 0x42, 0}})), expect);  // only the first string
  EXPECT_EQ(Decode({1, 0x3C, 0xD8, 0xB5, 0xDF}), "\xF0\x9F\x8E\xB5");   // a surrogate pair
  EXPECT_EQ(Decode({1, 0x3D, 0xD8, 0x41, 0}), "\xEF\xBF\xBD" "A");      // a lone surrogate
}

TEST(Id3v2, Utf8AndUnknownEncodings) {
  EXPECT_EQ(Decode(Text(3, "\xE6\x97\xA5\xE6\x9C\xAC")), "\xE6\x97\xA5\xE6\x9C\xAC");
  EXPECT_EQ(Decode(Cat({Text(3, "One"), {0}, Str("Two")})), "One");
  EXPECT_EQ(Decode(Text(0, "Plain")), "Plain");
  EXPECT_EQ(Decode(Cat({Text(0, "One"), {0}, Str("Two")})), "One");
  EXPECT_EQ(Decode(Text(4, "Text")), "");
  EXPECT_EQ(Decode(Text(0xFF, "Text")), "");
  EXPECT_EQ(Decode({}), "");
  EXPECT_EQ(Decode({3}), "");
}

TEST(Id3v2, OverlongValuesAreCutOrDropped) {
  // UTF-8: at most 511 bytes, and never half a character.
  EXPECT_EQ(Decode(Text(3, std::string(600, 'x'))), std::string(511, 'x'));
  // Exactly 511 bytes fit and are copied whole, even a dangling lead byte: only a cut avoids half characters.
  EXPECT_EQ(Decode(Text(3, std::string(510, 'x') + "\xC3")), std::string(510, 'x') + "\xC3");
  std::string euros;
  for (int i = 0; i < 200; ++i) euros += "\xE2\x82\xAC";
  EXPECT_EQ(Decode(Text(3, euros)), euros.substr(0, 510));

  // UTF-16 needing more than 512 bytes: empty; exactly 512: the last character gives way.
  Bytes a513 = {1}, a512 = {1};
  for (int i = 0; i < 513; ++i) a513.insert(a513.end(), {0x61, 0});
  for (int i = 0; i < 512; ++i) a512.insert(a512.end(), {0x61, 0});
  EXPECT_EQ(Decode(a513), "");
  EXPECT_EQ(Decode(a512), std::string(511, 'a'));
  Bytes cyr256 = {1};  // 256 two-byte characters: 512 bytes
  for (int i = 0; i < 256; ++i) cyr256.insert(cyr256.end(), {0x2F, 0x04});
  std::string ya;
  for (int i = 0; i < 255; ++i) ya += "\xD0\xAF";
  EXPECT_EQ(Decode(cyr256), ya);
  Bytes euro171 = {2};  // 513 bytes
  for (int i = 0; i < 171; ++i) euro171.insert(euro171.end(), {0x20, 0xAC});
  EXPECT_EQ(Decode(euro171), "");

  // Encoding 0: at most 255 characters.
  EXPECT_EQ(Decode(Text(0, std::string(300, 'q'))), std::string(255, 'q'));
  // Curly quotes, three bytes each in UTF-8, in every Windows code page: as many whole ones as fit 511 bytes.
  if (TestAnsiCodePage() >= 1250 && TestAnsiCodePage() <= 1258) {
    std::string quotes;
    for (int i = 0; i < 170; ++i) quotes += "\xE2\x80\x9C";
    EXPECT_EQ(Decode(Text(0, std::string(300, '\x93'))), quotes);
  }

  // Through the record: every field ends inside its own units.
  TrackInfoRecord r =
      Parse(Id3Tag(4, 0,
                   Cat({Id3Frame(4, "TIT2", Text(3, std::string(600, 't'))), Id3Frame(4, "TPE1", Text(3, euros)),
                        Id3Frame(4, "TDRC", Text(3, "2017-05-12T10:00:00")), Id3Frame(4, "TALB", Text(3, "A"))})));
  EXPECT_EQ(Utf16Length(r.title), 255u);
  EXPECT_EQ(Utf16Length(r.artist), 170u);
  EXPECT_TEXT_EQ(r.year, U16("2017-05-12T10:00:"));  // 19 characters do not fit 18 units: cut to 17
  EXPECT_TEXT_EQ(r.album, U16("A"));
  r = Parse(Id3Tag(4, 0, Cat({Id3Frame(4, "TIT2", Text(3, "T")), Id3Frame(4, "TDRC", Text(3, "2017-05-12T10:00Z"))})));
  EXPECT_TEXT_EQ(r.year, U16("2017-05-12T10:00Z"));  // 17 characters fit
}

TEST(Id3v2, AnsiCodePageText) {
  if (TestAnsiCodePage() != 1251) {
    GTEST_SKIP() << "needs ANSI code page 1251 (Cyrillic); this process has " << TestAnsiCodePage();
  }
  TrackInfoRecord r = Parse(Id3Tag(3, 0,
                                   Cat({Id3Frame(3, "TIT2", Text(0, "\xCF\xE5\xF1\xED\xFF")),
                                        Id3Frame(3, "TPE1", Text(0, "\xC3\xF0\xF3\xEF\xEF\xE0"))})));
  EXPECT_TEXT_EQ(r.title, U16("\x041F\x0435\x0441\x043D\x044F"));
  EXPECT_TEXT_EQ(r.artist, U16("\x0413\x0440\x0443\x043F\x043F\x0430"));
}

TEST(Id3v2, TagUnsynchronisation) {
  // A v3 frame size of 255 puts FF in the header; the data hold FF FE and FF E0.
  Bytes long_title = Cat({Text(0, "Title"), Bytes(250, 0)});
  ASSERT_EQ(long_title.size(), 256u);
  long_title.pop_back();
  Bytes frames = Cat({Id3Frame(3, "TIT2", long_title), Id3Frame(3, "TPE1", {1, 0xFF, 0xFE, 0x41, 0, 0xE0, 0xFF}),
                      Id3Frame(3, "TALB", {3, 0xC3, 0xBF, 0xFF, 0xE0})});
  Bytes tag = Id3Tag(3, 0x80, Unsynchronise(frames));
  ASSERT_NE(Unsynchronise(frames).size(), frames.size());
  TrackInfoRecord r = Parse(tag);
  EXPECT_TEXT_EQ(r.title, U16("Title"));
  EXPECT_TEXT_EQ(r.artist, U16("A\xFFE0"));
  EXPECT_EQ(r.album[0], 0xFF);  // "ÿ" then the malformed FF E0
  // Version 4 has no whole-tag step: each frame is flagged, its size counting the bytes as stored.
  Bytes frames4 = Cat({Id3Frame(4, "TPE1", Unsynchronise({1, 0xFF, 0xFE, 0x42, 0}), kUnsync4),
                       Id3Frame(4, "TIT2", Unsynchronise({3, 0x54, 0xFF}), kUnsync4)});
  r = Parse(Id3Tag(4, 0x80, frames4));
  EXPECT_TEXT_EQ(r.title, U16("T\xFFFD"));
  EXPECT_TEXT_EQ(r.artist, U16("B"));
  // Version 2.2 has it, as version 3 does.
  r = Parse(Id3Tag(
      2, 0x80, Unsynchronise(Cat({Id3Frame(2, "TP1", {1, 0xFF, 0xFE, 0x42, 0}), Id3Frame(2, "TT2", Text(0, "T"))}))));
  EXPECT_TEXT_EQ(r.title, U16("T"));
  EXPECT_TEXT_EQ(r.artist, U16("B"));
}

TEST(Id3v2, FrameUnsynchronisation) {
  // Version 4 flag 0x02: the frame's own data; its size counts the raw bytes.
  Bytes data = Unsynchronise({1, 0xFF, 0xFE, 0x41, 0, 0xFF, 0xFE});
  TrackInfoRecord r = Parse(Id3Tag(4, 0, Cat({Id3Frame(4, "TIT2", data, 0x02), Id3Frame(4, "TPE1", Text(3, "B"))})));
  EXPECT_TEXT_EQ(r.title, U16("A\xFEFF"));
  EXPECT_TEXT_EQ(r.artist, U16("B"));
  // A frame over 4 KiB: the private copy it is undone in holds all a value can need (here 1025 bytes).
  Bytes wide = {1, 0xFF, 0xFE};
  for (int i = 0; i < 511; ++i) wide.insert(wide.end(), {0x61, 0});
  wide.resize(5000, 0);
  EXPECT_EQ(Decode(Unsynchronise(wide), true), std::string(511, 'a'));
  r = Parse(Id3Tag(4, 0, Cat({Id3Frame(4, "TIT2", Unsynchronise(wide), kUnsync4), Id3Frame(4, "TPE1", Text(3, "B"))})));
  EXPECT_EQ(Utf16Length(r.title), 255u);
  EXPECT_TEXT_EQ(r.artist, U16("B"));
  // Version 3 frames have no such flag: the bytes stay as they are.
  r = Parse(Id3Tag(3, 0, Id3Frame(3, "TIT2", {3, 0x41, 0xFF, 0x00, 0x42}, 0x02)));
  EXPECT_TEXT_EQ(r.title, U16("A\xFFFD"));
}

TEST(Id3v2, RemoveUnsynchronisation) {
  uint8_t data[] = {0xFF, 0xFF, 0x00, 0x41, 0xFF, 0x00, 0x00, 0xFF};
  EXPECT_EQ(RemoveUnsynchronisation(data, sizeof data, true), 6u);
  const uint8_t expect[] = {0xFF, 0xFF, 0x41, 0xFF, 0x00, 0xFF, 0, 0};
  EXPECT_EQ(memcmp(data, expect, sizeof data), 0);
  uint8_t keep[] = {0xFF, 0x00, 0x7E};
  EXPECT_EQ(RemoveUnsynchronisation(keep, 3, false), 2u);
  EXPECT_EQ(keep[2], 0x7E);
  EXPECT_EQ(RemoveUnsynchronisation(keep, 0, true), 0u);
}

TEST(Id3v2, Version22Frames) {
  // Three-character identifiers, 3-byte sizes, no flags; no year is taken.
  Bytes frames =
      Cat({Id3Frame(2, "TT2", Text(0, "Song")), Id3Frame(2, "TP1", {1, 0xFF, 0xFE, 'B', 0, 'a', 0, 'n', 0, 'd', 0}),
           Id3Frame(2, "TAL", Text(0, "Album")), Id3Frame(2, "TYE", Text(0, "1999")), Bytes(12, 0)});
  TrackInfoRecord r = Parse(Id3Tag(2, 0, frames));
  EXPECT_TEXT_EQ(r.title, U16("Song"));
  EXPECT_TEXT_EQ(r.artist, U16("Band"));
  EXPECT_TEXT_EQ(r.album, U16("Album"));
  EXPECT_TEXT_EQ(r.year, U16(""));
  // Flag 0x40 marks a compressed tag, which nothing can read: neither its
  // bytes as frames nor what follows them read as an extended header.
  EXPECT_TRUE(IsZero(Parse(Id3Tag(2, 0x40, frames))));
  EXPECT_TRUE(IsZero(Parse(Id3Tag(2, 0x40, Cat({BigEndian(6), {0, 0}, BigEndian(0), frames})))));
  // A frame header cut by the tag end, a size past it: what came before stays.
  Bytes title = Id3Frame(2, "TT2", Text(0, "T"));
  for (const Bytes &rest : {Cat({Str("TP1"), {0, 0}}), Id3Frame(2, "TP1", Text(0, "B"), 0, 0xFFFFFF), Str("T")}) {
    r = Parse(Id3Tag(2, 0, Cat({title, rest})));
    EXPECT_TEXT_EQ(r.title, U16("T"));
    EXPECT_TEXT_EQ(r.artist, U16(""));
  }
}

TEST(Id3v2, Version4PlainFrameSizes) {
  // One widespread player wrote version 4 sizes plain: read syncsafe, a size
  // of 300 ends inside the frame's own text. Whether the tag ends, padding or
  // a frame follows, the plain reading is the one that lands there.
  Bytes comment = Id3Frame(3, "COMM", Cat({{3}, Str("eng"), {0}, Str(std::string(295, 'c'))}));
  Bytes long_title = Id3Frame(3, "TIT2", Text(3, std::string(299, 't')));
  // The tag end may leave just the four bytes of an identifier.
  const struct {
    Bytes after;
    Utf16String album;
  } rows[] = {{Bytes(), U16("")},
              {Bytes(20, 0), U16("")},
              {Id3Frame(4, "TALB", Text(3, "A")), U16("A")},
              {Str("TALB"), U16("")}};
  for (const auto &row : rows) {
    TrackInfoRecord r =
        Parse(Id3Tag(4, 0, Cat({comment, Id3Frame(3, "TPE1", Text(3, "Band")), long_title, row.after})));
    EXPECT_EQ(Utf16Length(r.title), 255u) << row.after.size();
    EXPECT_TEXT_EQ(r.artist, U16("Band"));
    EXPECT_TEXT_EQ(r.album, row.album);
  }
  // Written syncsafe: that reading comes first, even where the plain one would land too (here in padding).
  TrackInfoRecord r = Parse(Id3Tag(
      4, 0,
      Cat({Id3Frame(4, "TIT2", Text(3, std::string(299, 't'))), Id3Frame(4, "TPE1", Text(3, "Band")), Bytes(600, 0)})));
  EXPECT_EQ(Utf16Length(r.title), 255u);
  EXPECT_TEXT_EQ(r.artist, U16("Band"));
}

TEST(Id3v2, ExtendedHeaders) {
  Bytes frames = Cat({Id3Frame(3, "TIT2", Text(0, "T")), Id3Frame(3, "TYER", Text(0, "2001"))});
  // Version 3: plain size without itself, two flag bytes, padding size; the frames end before the padding.
  Bytes in_padding = Id3Frame(3, "TPE1", Text(0, "Ghost"));
  Bytes ext3 = Cat({BigEndian(6), {0, 0}, BigEndian((uint32_t)in_padding.size())});
  TrackInfoRecord r = Parse(Id3Tag(3, 0x40, Cat({ext3, frames, in_padding})));
  EXPECT_TEXT_EQ(r.title, U16("T"));
  EXPECT_TEXT_EQ(r.year, U16("2001"));
  EXPECT_TEXT_EQ(r.artist, U16(""));
  // With a CRC (size 10) and no padding.
  Bytes ext3crc = Cat({BigEndian(10), {0x80, 0}, BigEndian(0), BigEndian(0x12345678)});
  EXPECT_TEXT_EQ(Parse(Id3Tag(3, 0x40, Cat({ext3crc, frames}))).title, U16("T"));
  // Padding larger than the tag, an extended header past the end: no frames, no crash.
  EXPECT_TRUE(IsZero(Parse(Id3Tag(3, 0x40, Cat({Cat({BigEndian(6), {0, 0}, BigEndian(0xFFFFFFFF)}), frames})))));
  EXPECT_TRUE(IsZero(Parse(Id3Tag(3, 0x40, Cat({Cat({BigEndian(0xFFFFFFFF), {0, 0}, BigEndian(0)}), frames})))));
  EXPECT_TRUE(IsZero(Parse(Id3Tag(3, 0x40, {0, 0}))));

  // Version 4: a syncsafe size that counts the whole extended header; the padding is not named.
  Bytes frames4 = Cat({Id3Frame(4, "TIT2", Text(3, "T4")), Bytes(30, 0)});
  Bytes ext4 = Cat({Syncsafe(6), {1, 0}});
  EXPECT_TEXT_EQ(Parse(Id3Tag(4, 0x40, Cat({ext4, frames4}))).title, U16("T4"));
  Bytes ext4crc = Cat({Syncsafe(12), {1, 0x20, 5, 1, 2, 3, 4, 5}});
  EXPECT_TEXT_EQ(Parse(Id3Tag(4, 0x40, Cat({ext4crc, frames4}))).title, U16("T4"));
  EXPECT_TRUE(IsZero(Parse(Id3Tag(4, 0x40, Cat({Syncsafe(0x0FFFFFFF), {1, 0}, frames4})))));

  // Unsynchronised, with the padding counted after unsynchronisation.
  Bytes body = Cat({ext3, Id3Frame(3, "TIT2", {1, 0xFF, 0xFE, 0x55, 0}), in_padding});
  r = Parse(Id3Tag(3, 0xC0, Unsynchronise(body)));
  EXPECT_TEXT_EQ(r.title, U16("U"));
  EXPECT_TEXT_EQ(r.artist, U16(""));
  // A private copy that ends between the FF and the 00 of a pair, or right
  // after them: the tag end counts the pair as one byte either way, so
  // padding that reaches one byte into the artist frame keeps it out.
  Bytes tail = Cat({Id3Frame(3, "TIT2", Text(0, "T")), Id3Frame(3, "TPE1", Text(0, "B")), {0, 0, 0xFF, 0, 0, 0}});
  for (uint32_t padding : {6u, 7u}) {
    Bytes raw = Id3Tag(3, 0xC0, Unsynchronise(Cat({Cat({BigEndian(6), {0, 0}, BigEndian(padding)}), tail})));
    size_t straddle = raw.size() - kId3HeaderBytes - 4;  // the copy keeps the FF, not its 00
    ASSERT_EQ(raw[kId3HeaderBytes + straddle - 1], 0xFF);
    ASSERT_EQ(raw[kId3HeaderBytes + straddle], 0x00);
    for (size_t copy_bytes : {straddle, straddle + 1}) {
      ParseId3v2TagCopyLimit(&r, raw.data(), raw.size(), copy_bytes);
      EXPECT_TEXT_EQ(r.title, U16("T"));
      EXPECT_TEXT_EQ(r.artist, padding == 6 ? U16("B") : U16("")) << padding << " " << copy_bytes;
    }
  }
}

TEST(Id3v2, WalkStopsAtPaddingAndAtFramesPastTheEnd) {
  Bytes title = Id3Frame(3, "TIT2", Text(0, "T"));
  // Padding: a zero where an identifier would start.
  EXPECT_TEXT_EQ(Parse(Id3Tag(3, 0, Cat({title, Bytes(10, 0), Id3Frame(3, "TPE1", Text(0, "B"))}))).artist, U16(""));
  // Sizes reaching past the tag end, up to all ones; values found before stay.
  // 19: one byte past the end (the frame's own 6 bytes and the 12 of the TALB frame).
  for (uint32_t size : {19u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    TrackInfoRecord r = Parse(
        Id3Tag(3, 0, Cat({title, Id3Frame(3, "TPE1", Text(0, "Bands"), 0, size), Id3Frame(3, "TALB", Text(0, "A"))})));
    EXPECT_TEXT_EQ(r.title, U16("T")) << size;
    EXPECT_TEXT_EQ(r.album, U16("")) << size;
  }
  TrackInfoRecord r =
      Parse(Id3Tag(4, 0, Cat({Id3Frame(4, "TIT2", Text(3, "T")), Cat({Str("TPE1"), {0xFF, 0xFF, 0xFF, 0xFF, 0, 0}})})));
  EXPECT_TEXT_EQ(r.title, U16("T"));
  // A frame ending exactly at the tag end is read; a header cut by the end is not.
  EXPECT_TEXT_EQ(Parse(Id3Tag(3, 0, title)).title, U16("T"));
  EXPECT_TEXT_EQ(Parse(Id3Tag(3, 0, Cat({title, Str("TPE1")}))).title, U16("T"));
}

TEST(Id3v2, ReadsStayInsideTheBlockAndTheDeclaredSize) {
  Bytes tag = Id3Tag(3, 0, Cat({Id3Frame(3, "TIT2", Text(0, "T")), Id3Frame(3, "TPE1", Text(0, "Band"))}));
  // The block is shorter than the tag says: the frame cut by the block's end is not read.
  TrackInfoRecord r;
  ParseId3v2Tag(&r, tag.data(), tag.size() - 1);
  EXPECT_TEXT_EQ(r.title, U16("T"));
  EXPECT_TEXT_EQ(r.artist, U16(""));
  // A declared size smaller than the data: frames after it are not read.
  Bytes shorter = tag;
  Bytes size = Syncsafe(12);
  std::copy(size.begin(), size.end(), shorter.begin() + 6);
  r = Parse(shorter);
  EXPECT_TEXT_EQ(r.title, U16("T"));
  EXPECT_TEXT_EQ(r.artist, U16(""));
  // A declared size of 2 MiB or more, which the first size byte carries: the frame after the tag is not read.
  Bytes big = Id3Tag(3, 0, Cat({Id3Frame(3, "TIT2", Text(0, "T")), Id3Frame(3, "PRIV", Bytes(2 << 20, 0x20))}));
  ASSERT_NE(big[6], 0);
  Bytes block = Cat({big, Id3Frame(3, "TPE1", Text(0, "Ghost"))});
  EXPECT_EQ(Id3v2TagBytes(block.data()), big.size());
  r = Parse(block);
  EXPECT_TEXT_EQ(r.title, U16("T"));
  EXPECT_TEXT_EQ(r.artist, U16(""));
  // Fewer bytes than a tag header.
  ParseId3v2Tag(&r, tag.data(), 9);
  EXPECT_TRUE(IsZero(r));
  // A declared size far beyond the block, with tag-level unsynchronisation.
  Bytes huge = tag;
  Bytes all_ones = Syncsafe(0x0FFFFFFF);
  std::copy(all_ones.begin(), all_ones.end(), huge.begin() + 6);
  huge[5] = 0x80;
  EXPECT_TEXT_EQ(Parse(huge).artist, U16("Band"));
}

TEST(Id3v2, ManyTinyFrames) {
  Bytes body;
  for (int i = 0; i < 20000; ++i) {
    Bytes f = Id3Frame(3, "TXXX", {});
    body.insert(body.end(), f.begin(), f.end());
  }
  Bytes title = Id3Frame(3, "TIT2", Text(0, "Last"));
  body.insert(body.end(), title.begin(), title.end());
  EXPECT_TEXT_EQ(Parse(Id3Tag(3, 0, body)).title, U16("Last"));
  EXPECT_TEXT_EQ(Parse(Id3Tag(3, 0x80, body)).title, U16("Last"));
  // A walk reads at most kId3MaxFrames frames: a title behind that many is not reached.
  for (int before : {(int)kId3MaxFrames - 1, (int)kId3MaxFrames}) {
    Bytes many;
    many.reserve((size_t)before * 10 + title.size());
    for (int i = 0; i < before; ++i) many.insert(many.end(), body.begin(), body.begin() + 10);
    many.insert(many.end(), title.begin(), title.end());
    EXPECT_TEXT_EQ(Parse(Id3Tag(3, 0, many)).title, before < kId3MaxFrames ? U16("Last") : U16("")) << before;
  }
}

TEST(Id3v2, LargeUnsynchronisedTag) {
  // The title behind a cover of several MiB: the private copy holds the whole tag.
  Bytes picture(3 << 20, 0xFF);
  Bytes tag = Id3Tag(3, 0x80,
                     Unsynchronise(Cat({Id3Frame(3, "TPE1", Text(0, "Band")), Id3Frame(3, "APIC", picture),
                                        Id3Frame(3, "TIT2", Text(0, "Behind the cover"))})));
  TrackInfoRecord r = Parse(tag);
  EXPECT_TEXT_EQ(r.title, U16("Behind the cover"));
  EXPECT_TEXT_EQ(r.artist, U16("Band"));
}

}  // namespace
