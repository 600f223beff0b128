// ID3v1 tags as the media library hands them out: the file's last 128 bytes.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "parsers/id3v1.h"
#include "tests/unit/utf16_test_text.h"

namespace {

// A tag of fixed fields, each padded with `pad` to its width; comment and
// genre as a v1.1 tag holds them (a track in the comment's last two bytes).
std::string Tag(const std::string &title, const std::string &artist, const std::string &album,
                const std::string &year, char pad = '\0') {
  std::string tag = "TAG";
  for (const std::string *field : {&title, &artist, &album}) tag += field->substr(0, 30) + std::string(30 - field->size(), pad);
  tag += year.substr(0, 4) + std::string(4 - year.size(), pad);
  tag += std::string(28, pad) + std::string("\0\x07", 2) + "\x0C";  // comment, track 7, genre 12
  return tag;
}

TrackInfoRecord Parse(const std::string &tag) {
  TrackInfoRecord record;
  memset(&record, 0x55, sizeof record);
  ParseId3v1Tag(&record, reinterpret_cast<const uint8_t *>(tag.data()), tag.size());
  return record;
}

TEST(Id3v1, FixedFieldsCutAtNulAndTrailingBlanks) {
  const struct {
    std::string tag;
    const Utf16Unit *title, *artist, *album, *year;
  } kRows[] = {
      {Tag("Song", "Band", "Album", "1999"), U16("Song"), U16("Band"), U16("Album"), U16("1999")},
      {Tag("Blank padded", "Band ", "", "2001", ' '), U16("Blank padded"), U16("Band"), U16(""), U16("2001")},
      {Tag(std::string(30, 't'), "a", "b", "20"), U16("tttttttttttttttttttttttttttttt"), U16("a"), U16("b"),
       U16("20")},
      {Tag(std::string("Ti\0tle", 6), " lead", "al  bum", "1"), U16("Ti"), U16(" lead"), U16("al  bum"), U16("1")},
  };
  for (const auto &row : kRows) {
    ASSERT_EQ(row.tag.size(), (size_t)kId3v1TagBytes);
    TrackInfoRecord r = Parse(row.tag);
    EXPECT_TEXT_EQ(r.title, row.title);
    EXPECT_TEXT_EQ(r.artist, row.artist);
    EXPECT_TEXT_EQ(r.album, row.album);
    EXPECT_TEXT_EQ(r.year, row.year);
  }
}

TEST(Id3v1, NoTitleOrNoTagFillsNothing) {
  // A tag whose title is blank clears the record and leaves it empty.
  TrackInfoRecord r = Parse(Tag("   ", "Band", "Album", "1999", ' '));
  const TrackInfoRecord zero = {};
  EXPECT_EQ(memcmp(&r, &zero, sizeof r), 0);
  // Bytes that are no tag, or too few, leave the record as it was.
  std::string other = Tag("Song", "Band", "", "");
  other[0] = 'X';
  std::string cut = Tag("Song", "Band", "", "").substr(0, 127);
  for (const std::string &bytes : {other, cut}) {
    TrackInfoRecord untouched = Parse(bytes);
    EXPECT_EQ(untouched.title[0], 0x5555);
  }
}

TEST(Id3v1, FieldsAreReadInTheAnsiCodePage) {
  if (TestAnsiCodePage() != 1252) {
    GTEST_SKIP() << "needs ANSI code page 1252; this process has " << TestAnsiCodePage();
  }
  TrackInfoRecord r = Parse(Tag("Caf\xE9", "\xC3\xA9", "\x80", "1999"));
  EXPECT_TEXT_EQ(r.title, U16("Caf\x00E9"));
  EXPECT_TEXT_EQ(r.artist, U16("\x00C3\x00A9"));  // UTF-8 bytes are not taken as UTF-8
  EXPECT_TEXT_EQ(r.album, U16("\x20AC"));
}

}  // namespace
