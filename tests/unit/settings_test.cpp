// Settings read at load: host flag, settings path rule, INI values, extension list.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "plugin/settings.h"
#include "common/settings_path.h"

namespace {

TEST(HostReadsTags, ThirdLetterOfTheFileName) {
  EXPECT_EQ(HostReadsTagsFromPath(L"C:\\Program Files\\TaLplayer.exe"), 1);
  EXPECT_EQ(HostReadsTagsFromPath(L"C:\\apps\\tallplay.exe"), 1);
  EXPECT_EQ(HostReadsTagsFromPath(L"C:\\La\\player.exe"), 0);
  EXPECT_EQ(HostReadsTagsFromPath(L"C:\\x\\ab"), 0);
  EXPECT_EQ(HostReadsTagsFromPath(L"C:\\x\\"), 0);
  EXPECT_EQ(HostReadsTagsFromPath(L"ball.exe"), 1);
}

TEST(SettingsPath, ReplacesTheFileName) {
  wchar_t path[64] = L"C:\\Tandrel\\player.exe";
  ASSERT_TRUE(ReplaceFileNameWithIni(path, 64));
  EXPECT_STREQ(path, L"C:\\Tandrel\\Tandrel.ini");
  wchar_t bare[64] = L"player.exe";
  ASSERT_TRUE(ReplaceFileNameWithIni(bare, 64));
  EXPECT_STREQ(bare, L"Tandrel.ini");
}

TEST(SettingsPath, NeverWritesPastTheBuffer) {
  // "C:\a\" + "Tandrel.ini" + NUL needs 17 units.
  wchar_t buffer[20];
  wmemset(buffer, L'#', 20);
  wcscpy(buffer, L"C:\\a\\b.exe");
  EXPECT_FALSE(ReplaceFileNameWithIni(buffer, 16));
  EXPECT_STREQ(buffer, L"C:\\a\\b.exe");
  EXPECT_EQ(buffer[16], L'#');
  EXPECT_TRUE(ReplaceFileNameWithIni(buffer, 17));
  EXPECT_STREQ(buffer, L"C:\\a\\Tandrel.ini");
  EXPECT_EQ(buffer[17], L'#');
  wchar_t unterminated[4] = {L'a', L'b', L'c', L'd'};
  EXPECT_FALSE(ReplaceFileNameWithIni(unterminated, 4));
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    swprintf(dir_, MAX_PATH, L"%lsts%lu", tmp, GetCurrentProcessId());
    CreateDirectoryW(dir_, NULL);
    swprintf(host_, MAX_PATH, L"%ls\\TaLplayer.exe", dir_);
    swprintf(ini_, MAX_PATH, L"%ls\\Tandrel.ini", dir_);
    DeleteFileW(ini_);
  }
  void TearDown() override {
    DeleteFileW(ini_);
    RemoveDirectoryW(dir_);
  }
  void Write(const wchar_t *section, const wchar_t *key, const wchar_t *value) {
    WritePrivateProfileStringW(section, key, value, ini_);
  }
  wchar_t dir_[MAX_PATH], host_[MAX_PATH], ini_[MAX_PATH];
};

TEST_F(SettingsFile, MissingFileGivesDefaults) {
  LoadPluginSettings(host_);
  EXPECT_EQ(PluginSettings.OnlyWav, 0);
  EXPECT_EQ(PluginSettings.asio_mode, 0);
  EXPECT_EQ(PluginSettings.dsd_limit, 3);
  EXPECT_EQ(PluginSettings.pcm_multichannel, 0);
  EXPECT_EQ(PluginSettings.volume, 4);
  EXPECT_EQ(PluginSettings.samplerate, 0);
  EXPECT_EQ(PluginSettings.HostReadsTags, 1);
  EXPECT_EQ(memcmp(PluginSettings.FileExtensions, kExtensionList, kExtensionBufferBytes), 0);
}

TEST_F(SettingsFile, ValuesAndWavOnlyCut) {
  Write(L"Tandrel", L"OnlyWav", L"1");
  Write(L"SACD", L"asio_mode", L"2");
  Write(L"SACD", L"dsd_limit", L"1");
  Write(L"SACD", L"pcm_multichannel", L"1");
  Write(L"SACD", L"volume", L"6");
  Write(L"SACD", L"samplerate", L"3");
  LoadPluginSettings(host_);
  EXPECT_EQ(PluginSettings.OnlyWav, 1);
  EXPECT_EQ(PluginSettings.asio_mode, 2);
  EXPECT_EQ(PluginSettings.dsd_limit, 1);
  EXPECT_EQ(PluginSettings.pcm_multichannel, 1);
  EXPECT_EQ(PluginSettings.volume, 6);
  EXPECT_EQ(PluginSettings.samplerate, 3);
  EXPECT_EQ(memcmp(PluginSettings.FileExtensions, "WAV\0A\0\0", 7), 0);
  // Absent keys of a present file still take their defaults.
  DeleteFileW(ini_);
  Write(L"Tandrel", L"OnlyWav", L"0");
  LoadPluginSettings(host_);
  EXPECT_EQ(PluginSettings.dsd_limit, 3);
  EXPECT_EQ(PluginSettings.volume, 4);
  EXPECT_EQ(PluginSettings.FileExtensions[6], 'F');
}

TEST_F(SettingsFile, OverlongHostPathMeansNoSettingsFile) {
  Write(L"Tandrel", L"OnlyWav", L"1");
  Write(L"SACD", L"volume", L"1");
  // A folder part that leaves no room for "Tandrel.ini" in 256 units.
  static wchar_t longpath[600];
  wcscpy(longpath, dir_);
  while (wcslen(longpath) < 250) wcscat(longpath, L"\\sub");
  wcscat(longpath, L"\\TaLplayer.exe");
  LoadPluginSettings(longpath);
  EXPECT_EQ(PluginSettings.OnlyWav, 0);
  EXPECT_EQ(PluginSettings.volume, 4);
  EXPECT_EQ(PluginSettings.HostReadsTags, 1);
  EXPECT_EQ(PluginSettings.FileExtensions[6], 'F');
  LoadPluginSettings(NULL);  // the host's path could not be read at all
  EXPECT_EQ(PluginSettings.HostReadsTags, 0);
  EXPECT_EQ(PluginSettings.volume, 4);
}

}  // namespace
