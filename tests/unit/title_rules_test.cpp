// Titles derived from paths in both modes, and which items are URLs.
#include <gtest/gtest.h>

#include "parsers/item_kind.h"
#include "parsers/title_rules.h"
#include "tests/unit/utf16_test_text.h"

namespace {

TEST(FileNameTitle, LastExtensionOfTheFileNameOnly) {
  Utf16Unit title[64];
  FileNameTitle(U16("D:\\Music\\Band - Song.flac"), title);
  EXPECT_TEXT_EQ(title, U16("Band - Song"));
  FileNameTitle(U16("D:\\Music\\archive.tar.gz"), title);
  EXPECT_TEXT_EQ(title, U16("archive.tar"));
  FileNameTitle(U16("D:\\x.y\\track.mp3"), title);
  EXPECT_TEXT_EQ(title, U16("track"));
  FileNameTitle(U16("song.mp3"), title);
  EXPECT_TEXT_EQ(title, U16("song"));
  FileNameTitle(U16("D:/music/song.mp3"), title);  // a forward slash separates nothing
  EXPECT_TEXT_EQ(title, U16("D:/music/song"));
}

TEST(FileNameTitle, NameWithoutExtensionIsKeptWhole) {
  Utf16Unit title[64];
  FileNameTitle(U16("D:\\x.y\\README"), title);
  EXPECT_TEXT_EQ(title, U16("README"));
  FileNameTitle(U16("D:\\Music\\.hidden"), title);
  EXPECT_TEXT_EQ(title, U16(".hidden"));
  FileNameTitle(U16("D:\\Music\\.hidden.ogg"), title);
  EXPECT_TEXT_EQ(title, U16(".hidden"));
  FileNameTitle(U16("D:\\Music\\"), title);
  EXPECT_TEXT_EQ(title, U16(""));
}

TEST(WaveFileTitle, DropsTheLastFourUnits) {
  Utf16Unit title[64];
  WaveFileTitle(U16("C:\\Music\\Track 01.wav"), title);
  EXPECT_TEXT_EQ(title, U16("Track 01"));
  WaveFileTitle(U16("noslash.wave"), title);
  EXPECT_TEXT_EQ(title, U16("noslash."));
  WaveFileTitle(U16("C:\\a.wa"), title);  // shorter than four: empty, nothing written before the buffer
  EXPECT_TEXT_EQ(title, U16(""));
  WaveFileTitle(U16("C:\\.wav"), title);
  EXPECT_TEXT_EQ(title, U16(""));
}

TEST(IsUrlItem, OnlyALowerCaseHtStart) {
  const struct {
    const Utf16Unit *item;
    bool url;
  } rows[] = {
      {U16("http://127.0.0.1/a.wav"), true}, {U16("https://host/a.mp3"), true}, {U16("htdocs\\a.mp3"), true},
      {U16("ht"), true},                     {U16("HTTP://host/a.mp3"), false}, {U16("Http://host"), false},
      {U16("hT"), false},                    {U16("th"), false},                {U16("h"), false},
      {U16(""), false},                      {U16("C:\\http\\a.mp3"), false},
  };
  for (const auto &row : rows) EXPECT_EQ(IsUrlItem(row.item), row.url) << Utf16String(row.item).size();
}

}  // namespace
