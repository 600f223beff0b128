// Titles derived from paths in both modes.
#include <gtest/gtest.h>

#include "media/title_rules.h"

namespace {

TEST(FileNameTitle, LastExtensionOfTheFileNameOnly) {
  wchar_t title[64];
  FileNameTitle(L"D:\\Music\\Band - Song.flac", title);
  EXPECT_STREQ(title, L"Band - Song");
  FileNameTitle(L"D:\\Music\\archive.tar.gz", title);
  EXPECT_STREQ(title, L"archive.tar");
  FileNameTitle(L"D:\\x.y\\track.mp3", title);
  EXPECT_STREQ(title, L"track");
  FileNameTitle(L"song.mp3", title);
  EXPECT_STREQ(title, L"song");
  FileNameTitle(L"D:/music/song.mp3", title);  // a forward slash separates nothing
  EXPECT_STREQ(title, L"D:/music/song");
}

TEST(FileNameTitle, NameWithoutExtensionIsKeptWhole) {
  wchar_t title[64];
  FileNameTitle(L"D:\\x.y\\README", title);
  EXPECT_STREQ(title, L"README");
  FileNameTitle(L"D:\\Music\\.hidden", title);
  EXPECT_STREQ(title, L".hidden");
  FileNameTitle(L"D:\\Music\\.hidden.ogg", title);
  EXPECT_STREQ(title, L".hidden");
  FileNameTitle(L"D:\\Music\\", title);
  EXPECT_STREQ(title, L"");
}

TEST(WaveFileTitle, DropsTheLastFourUnits) {
  wchar_t title[64];
  WaveFileTitle(L"C:\\Music\\Track 01.wav", title);
  EXPECT_STREQ(title, L"Track 01");
  WaveFileTitle(L"noslash.wave", title);
  EXPECT_STREQ(title, L"noslash.");
  WaveFileTitle(L"C:\\a.wa", title);  // shorter than four: empty, nothing written before the buffer
  EXPECT_STREQ(title, L"");
  WaveFileTitle(L"C:\\.wav", title);
  EXPECT_STREQ(title, L"");
}

}  // namespace
