// Key/value lists as the media library hands them out: Vorbis comments, APE,
// MP4, WMA and RIFF INFO tags.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "parsers/tag_lists.h"
#include "tests/unit/utf16_test_text.h"

namespace {

// Entries, each NUL-terminated, then the empty string that ends the list.
std::vector<char> List(std::initializer_list<std::string> entries) {
  std::vector<char> list;
  for (const std::string &entry : entries) {
    list.insert(list.end(), entry.begin(), entry.end());
    list.push_back('\0');
  }
  list.push_back('\0');
  return list;
}

TrackInfoRecord Parse(const std::vector<char> &list, TagListKind kind) {
  TrackInfoRecord record;
  memset(&record, 0x55, sizeof record);  // a reader that finds a list clears everything first
  EXPECT_EQ(TagListSize(list.data()), list.size());
  ParseTagList(&record, list.data(), list.size(), kind);
  return record;
}

TEST(TagList, FillsTheFourFields) {
  TrackInfoRecord r = Parse(List({"ARTIST=A", "TITLE=T", "DATE=2017", "TRACKNUMBER=3"}), kVorbisCommentList);
  EXPECT_TEXT_EQ(r.artist, U16("A"));
  EXPECT_TEXT_EQ(r.title, U16("T"));
  EXPECT_TEXT_EQ(r.year, U16("2017"));
  EXPECT_TEXT_EQ(r.album, U16(""));
  for (int i = 5; i < kYearUnits; ++i) EXPECT_EQ(r.year[i], 0) << i;

  r = Parse(List({"Artist=Ключ", "Title=Песня \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5", "Year=1999",
                  "Album=Альбом"}),
            kApeTagList);
  EXPECT_TEXT_EQ(r.artist, U16("\x041A\x043B\x044E\x0447"));
  EXPECT_TEXT_EQ(r.title, U16("\x041F\x0435\x0441\x043D\x044F \x2014 \x65E5\x672C \xD83C\xDFB5"));
  EXPECT_TEXT_EQ(r.year, U16("1999"));
  EXPECT_TEXT_EQ(r.album, U16("\x0410\x043B\x044C\x0431\x043E\x043C"));
}

TEST(TagList, KeysIgnoreCaseAndLaterEntriesWin) {
  TrackInfoRecord r = Parse(List({"Title=One", "title=Two", "aRtIsT=X", "ARTIST=Y"}), kVorbisCommentList);
  EXPECT_TEXT_EQ(r.title, U16("Two"));
  EXPECT_TEXT_EQ(r.artist, U16("Y"));
  r = Parse(List({"DATE=2001", "date=2002"}), kVorbisCommentList);
  EXPECT_TEXT_EQ(r.year, U16("2002"));
  EXPECT_TEXT_EQ(r.title, U16(""));
}

TEST(TagList, AlbumRuleDiffersByReader) {
  // Vorbis comments: the first album with a value; an empty one does not block.
  TrackInfoRecord r = Parse(List({"ALBUM=", "ALBUM=First", "album=Second"}), kVorbisCommentList);
  EXPECT_TEXT_EQ(r.album, U16("First"));
  // APE tags: the last album.
  r = Parse(List({"Album=First", "Album=Second"}), kApeTagList);
  EXPECT_TEXT_EQ(r.album, U16("Second"));
}

TEST(TagList, YearKeyDiffersByReader) {
  TrackInfoRecord r = Parse(List({"YEAR=1999", "TITLE=T"}), kVorbisCommentList);
  EXPECT_TEXT_EQ(r.year, U16(""));
  r = Parse(List({"DATE=1999", "TITLE=T"}), kApeTagList);
  EXPECT_TEXT_EQ(r.year, U16(""));
  r = Parse(List({"Year=1999"}), kApeTagList);
  EXPECT_TEXT_EQ(r.year, U16("1999"));
}

TEST(TagList, EachKindReadsItsOwnWholeKeys) {
  // One list of every kind's keys: each kind takes its own four and nothing else.
  const std::vector<char> list =
      List({"Title=T", "Artist=A", "Album=B", "Date=2001", "Year=2002", "Author=W", "WM/AlbumTitle=WB", "WM/Year=2003",
            "INAM=RT", "IART=RA", "IPRD=RB", "ICRD=2004", "AlbumArtist=X", "WM/AlbumArtist=Y", "Track=3/9"});
  const struct {
    TagListKind kind;
    const Utf16Unit *title, *artist, *album, *year;
  } kRows[] = {
      {kVorbisCommentList, U16("T"), U16("A"), U16("B"), U16("2001")},
      {kApeTagList, U16("T"), U16("A"), U16("B"), U16("2002")},
      {kMp4TagList, U16("T"), U16("A"), U16("B"), U16("2001")},
      {kWmaTagList, U16("T"), U16("W"), U16("WB"), U16("2003")},
      {kRiffInfoList, U16("RT"), U16("RA"), U16("RB"), U16("2004")},
  };
  for (const auto &row : kRows) {
    TrackInfoRecord r = Parse(list, row.kind);
    EXPECT_TEXT_EQ(r.title, row.title) << row.kind;
    EXPECT_TEXT_EQ(r.artist, row.artist) << row.kind;
    EXPECT_TEXT_EQ(r.album, row.album) << row.kind;
    EXPECT_TEXT_EQ(r.year, row.year) << row.kind;
  }
  // Any case; the last album wins in MP4 and WMA tags.
  TrackInfoRecord r = Parse(List({"TITLE=x", "album=First", "ALBUM=Second", "titlesort=y"}), kMp4TagList);
  EXPECT_TEXT_EQ(r.title, U16("x"));
  EXPECT_TEXT_EQ(r.album, U16("Second"));
  r = Parse(List({"wm/albumtitle=First", "WM/ALBUMTITLE=Second", "AUTHOR=a"}), kWmaTagList);
  EXPECT_TEXT_EQ(r.album, U16("Second"));
  EXPECT_TEXT_EQ(r.artist, U16("a"));
}

TEST(TagList, RiffInfoValuesAreUtf8OrTheAnsiCodePage) {
  TrackInfoRecord r = Parse(List({"INAM=Caf\xC3\xA9", "IART=\xD0\xAF"}), kRiffInfoList);
  EXPECT_TEXT_EQ(r.title, U16("Caf\x00E9"));
  EXPECT_TEXT_EQ(r.artist, U16("\x042F"));
  if (TestAnsiCodePage() != 1252) {
    GTEST_SKIP() << "needs ANSI code page 1252; this process has " << TestAnsiCodePage();
  }
  // Windows-1252 bytes are no UTF-8: the whole value is read in the code page.
  r = Parse(List({"INAM=Caf\xE9 \x80", "IPRD=\xC3\xA9\xE9"}), kRiffInfoList);
  EXPECT_TEXT_EQ(r.title, U16("Caf\x00E9 \x20AC"));
  EXPECT_TEXT_EQ(r.album, U16("\x00C3\x00A9\x00E9"));
}

TEST(TagList, LongerKeysStartingWithATestedKeyAreOtherKeys) {
  // What taggers write beside the real keys; none of it is artist, title, album or year.
  TrackInfoRecord r = Parse(List({"ARTIST=Beatles", "ARTISTSORT=Beatles, The", "TITLE=Help!", "TITLESORT=Help",
                                  "DATE=1965", "DATE_ORIGINAL=1964-01-01", "ALBUMARTIST=Various",
                                  "ALBUMSORT=Help", "ALBUM=Help!"}),
                            kVorbisCommentList);
  EXPECT_TEXT_EQ(r.artist, U16("Beatles"));
  EXPECT_TEXT_EQ(r.title, U16("Help!"));
  EXPECT_TEXT_EQ(r.year, U16("1965"));
  EXPECT_TEXT_EQ(r.album, U16("Help!"));

  r = Parse(List({"ArtistSort=Beatles, The", "TitleSort=Help", "YearRecorded=1964", "Album Artist=V"}), kApeTagList);
  EXPECT_TEXT_EQ(r.artist, U16(""));
  EXPECT_TEXT_EQ(r.title, U16(""));
  EXPECT_TEXT_EQ(r.year, U16(""));
  EXPECT_TEXT_EQ(r.album, U16(""));
}

TEST(TagList, BareKeysAndEmptyValues) {
  std::vector<char> list = List({"TITLE=Kept", "TITLE", "ARTIST=", "=", "", "TITLE=after the end"});
  EXPECT_EQ(TagListSize(list.data()), 28u);  // up to the empty string
  TrackInfoRecord r;
  ParseTagList(&r, list.data(), list.size(), kVorbisCommentList);
  EXPECT_TEXT_EQ(r.title, U16("Kept"));  // a key without "=" is not a title entry; the empty string ends the walk
  EXPECT_TEXT_EQ(r.artist, U16(""));
}

TEST(TagList, EmptyListStillClearsTheRecord) {
  TrackInfoRecord r = Parse(List({}), kApeTagList);
  const TrackInfoRecord zero = {};
  EXPECT_EQ(memcmp(&r, &zero, sizeof r), 0);
}

TEST(TagList, YearCapacityLeavesTheLastTwoUnitsZero) {
  TrackInfoRecord r = Parse(List({"DATE=2017-05-12 10h1"}), kVorbisCommentList);  // 15 characters fit
  EXPECT_TEXT_EQ(r.year, U16("2017-05-12 10h1"));
  r = Parse(List({"DATE=2017-05-12 10h12"}), kVorbisCommentList);  // 16 do not: cut to 15
  EXPECT_TEXT_EQ(r.year, U16("2017-05-12 10h1"));
  r = Parse(List({"DATE=2017-05-12T10:00:00+02:00"}), kVorbisCommentList);
  EXPECT_EQ(Utf16Length(r.year), 15u);
  EXPECT_EQ(r.year[16], 0);
  EXPECT_EQ(r.year[17], 0);
}

TEST(TagList, OverlongValuesEndInsideTheirField) {
  std::string cyrillic;
  for (int i = 0; i < 300; ++i) cyrillic += "\xD0\xAF";
  std::string emoji;
  for (int i = 0; i < 200; ++i) emoji += "\xF0\x9F\x8E\xB5";
  TrackInfoRecord r = Parse(List({"ALBUM=" + std::string(1000, 'a'), "TITLE=" + cyrillic, "ARTIST=" + emoji,
                                  "DATE=1"}),
                            kVorbisCommentList);
  EXPECT_EQ(Utf16Length(r.album), 255u);
  EXPECT_EQ(Utf16Length(r.title), 255u);
  EXPECT_EQ(r.title[254], 0x042F);
  EXPECT_EQ(Utf16Length(r.artist), 254u);  // 127 pairs: the 128th pair would leave no room for the terminator
  EXPECT_EQ(r.artist[253], 0xDFB5);
  EXPECT_TEXT_EQ(r.year, U16("1"));  // the title did not run into the year
}

TEST(TagList, MalformedUtf8BecomesReplacementCharacters) {
  TrackInfoRecord r = Parse(List({"TITLE=a\xFF" "b\xC3"}), kApeTagList);
  EXPECT_TEXT_EQ(r.title, U16("a\xFFFD") U16("b\xFFFD"));
}

TEST(TagList, RangeWithoutTheClosingEmptyString) {
  // A range that stops inside an entry: the entry runs to the end of the range.
  const char kData[] = "ARTIST=Abc\0TITLE=Song title";
  TrackInfoRecord r;
  ParseTagList(&r, kData, 11 + 10, kVorbisCommentList);
  EXPECT_TEXT_EQ(r.artist, U16("Abc"));
  EXPECT_TEXT_EQ(r.title, U16("Song"));
  ParseTagList(&r, kData, 11 + 3, kVorbisCommentList);  // "TIT": no key
  EXPECT_TEXT_EQ(r.title, U16(""));
  EXPECT_TEXT_EQ(r.artist, U16("Abc"));
}

}  // namespace
