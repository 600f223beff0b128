// GetFileInfo as the host sees it: the WAV-only query on real files (what
// reaches the host's title and length), and null arguments in library mode.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "media/library_binding.h"
#include "media/wave_file.h"
#include "plugin/file_info_slot.h"
#include "plugin/in_module.h"
#include "plugin/settings.h"
#include "tests/unit/test_bytes.h"

namespace {

// The host's call with WAV-only mode on.
void WaveOnlyFileInfo(const wchar_t *file, wchar_t *title, int *length) {
  const int only_wav = PluginSettings.OnlyWav;
  PluginSettings.OnlyWav = 1;
  GetFileInfo(file, title, length);
  PluginSettings.OnlyWav = only_wav;
}

const int kHostLength = -777;
const wchar_t kHostTitle[] = L"host title";

class WaveFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    swprintf(dir_, MAX_PATH, L"%lswr%lu", tmp, GetCurrentProcessId());
    CreateDirectoryW(dir_, NULL);
  }
  void TearDown() override {
    for (const std::wstring &f : files_) DeleteFileW(f.c_str());
    RemoveDirectoryW(dir_);
  }
  std::wstring Write(const wchar_t *name, const Bytes &bytes) {
    std::wstring path = std::wstring(dir_) + L"\\" + name;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(h);
    files_.push_back(path);
    return path;
  }
  void Query(const std::wstring &file) {
    wcscpy(title_, kHostTitle);
    length_ = kHostLength;
    WaveOnlyFileInfo(file.c_str(), title_, &length_);
  }
  wchar_t dir_[MAX_PATH];
  std::vector<std::wstring> files_;
  wchar_t title_[MAX_PATH];
  int length_;
};

// 44-byte PCM header: `tag`, 2 channels, 44,100 Hz, 16 bits, data size 1,764,000
// (10,000 ms), with `lists` LIST chunks ahead of "fmt ".
Bytes Header(uint16_t tag = 1, int lists = 0) {
  Bytes b = IffChunk("RIFF", Str("WAVE"), kRiffChunks, 0);
  for (int i = 0; i < lists; ++i) Put(b, IffChunk("LIST", Str("xy")));
  return Cat({b, IffChunk("fmt ", Fmt(tag, 2, 44100, 16)), IffChunk("data", {}, kRiffChunks, 1764000)});
}

TEST_F(WaveFiles, HeaderReadInFullGivesLengthAndTitle) {
  Bytes whole = Header();
  whole.resize(whole.size() + 1764000);  // the samples the data size counts
  Query(Write(L"Track 01.wav", whole));
  EXPECT_EQ(length_, 10000);
  EXPECT_STREQ(title_, L"Track 01");
  // A null title is allowed.
  int length = 0;
  WaveOnlyFileInfo(files_.back().c_str(), NULL, &length);
  EXPECT_EQ(length, 10000);
}

TEST_F(WaveFiles, MalformedHeaderLeavesBothAlone) {
  Query(Write(L"sixth.wav", Header(1, 5)));
  EXPECT_EQ(length_, kHostLength);
  EXPECT_STREQ(title_, kHostTitle);
  Query(Write(L"adpcm.wav", Header(2)));
  EXPECT_EQ(length_, kHostLength);
  EXPECT_STREQ(title_, kHostTitle);
  Bytes no_data = Header();
  no_data.resize(36);
  Query(Write(L"nodata.wav", no_data));
  EXPECT_EQ(length_, kHostLength);
  EXPECT_STREQ(title_, kHostTitle);
}

TEST_F(WaveFiles, MissingFileStillGetsItsTitle) {
  Query(std::wstring(dir_) + L"\\missing song.wav");
  EXPECT_EQ(length_, kHostLength);
  EXPECT_STREQ(title_, L"missing song");
  // Capital letters are not the HTTP way: a local path that does not open.
  Query(L"HTTP://127.0.0.1:1/x.wav");
  EXPECT_EQ(length_, kHostLength);
  EXPECT_STREQ(title_, L"HTTP://127.0.0.1:1/x");
}

TEST_F(WaveFiles, UrlNeverGetsATitle) {
  // Nothing listens on port 1: the connection is refused at once.
  Query(L"http://127.0.0.1:1/x.wav");
  EXPECT_EQ(length_, kHostLength);
  EXPECT_STREQ(title_, kHostTitle);
  Query(L"https://127.0.0.1:1/x.wav");
  EXPECT_EQ(length_, kHostLength);
  EXPECT_STREQ(title_, kHostTitle);
  WaveOnlyFileInfo(L"http://127.0.0.1:1/x.wav", title_, NULL);  // returns before opening anything
  EXPECT_STREQ(title_, kHostTitle);
}

TEST_F(WaveFiles, FormatOfFileForTheDetailsBox) {
  Bytes fmt_only = Header(3, 4);
  fmt_only.resize(fmt_only.size() - 8);  // no "data" chunk
  WaveFormatBlock format;
  ASSERT_TRUE(ReadWaveFormatOfFile(Write(L"fmtonly.wav", fmt_only).c_str(), &format));
  EXPECT_EQ(format.format_tag, 3);
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.sample_rate, 44100u);
  EXPECT_FALSE(ReadWaveFormatOfFile(Write(L"sixth.wav", Header(1, 5)).c_str(), &format));
  EXPECT_FALSE(ReadWaveFormatOfFile((std::wstring(dir_) + L"\\missing.wav").c_str(), &format));
  EXPECT_FALSE(ReadWaveFormatOfFile(Write(L"short.wav", {'R', 'I', 'F', 'F'}).c_str(), &format));
}

// A null name or length pointer is no query: the outputs, the side channel
// and the library binding stay as they were.
TEST(GetFileInfo, NullArgumentsTouchNothing) {
  const int only_wav = PluginSettings.OnlyWav;
  PluginSettings.OnlyWav = 0;
  int length = 1234;
  wchar_t title[8] = L"keep";
  const struct {
    const wchar_t *file;
    wchar_t *title;
    int *length;
  } rows[] = {{NULL, title, &length}, {L"C:\\a.flac", title, NULL}, {NULL, NULL, NULL}};
  for (const auto &row : rows) {
    g_InModule.is_seekable = 77;
    GetFileInfo(row.file, row.title, row.length);
    EXPECT_EQ(g_InModule.is_seekable, 77);
    EXPECT_EQ(length, 1234);
    EXPECT_STREQ(title, L"keep");
    EXPECT_FALSE(MediaLibraryBound());
  }
  g_InModule.is_seekable = 1;
  PluginSettings.OnlyWav = only_wav;
}

}  // namespace
