// bass.dll as a caller sees it: handles, lengths in bytes of decoded output,
// tags owned by streams, BASS_Free and BASS_PluginFree releasing streams.
// The DLLs are loaded from the test program's folder (dist/).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "media/bass_api.h"
#include "tests/unit/standin_test_bytes.h"

namespace {

struct Library {
  HMODULE module;
  BASS_Init_fn Init;
  BASS_Free_fn Free;
  BASS_PluginLoad_fn PluginLoad;
  BASS_PluginFree_fn PluginFree;
  BASS_StreamCreateFile_fn StreamCreateFile;
  BASS_ChannelGetInfo_fn ChannelGetInfo;
  BASS_ChannelGetLength_fn ChannelGetLength;
  BASS_ChannelBytes2Seconds_fn ChannelBytes2Seconds;
  BASS_ChannelGetTags_fn ChannelGetTags;
  BASS_StreamFree_fn StreamFree;
  BASS_ErrorGetCode_fn ErrorGetCode;
  BASS_GetVersion_fn GetVersion;
};

template <typename Fn>
void Bind(HMODULE m, Fn *slot, const char *name) {
  *slot = reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(m, name)));
  ASSERT_NE(*slot, nullptr) << name;
}

class StandinLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_.module = LoadLibraryA("bass.dll");
    ASSERT_NE(lib_.module, nullptr);
    Bind(lib_.module, &lib_.Init, "BASS_Init");
    Bind(lib_.module, &lib_.Free, "BASS_Free");
    Bind(lib_.module, &lib_.PluginLoad, "BASS_PluginLoad");
    Bind(lib_.module, &lib_.PluginFree, "BASS_PluginFree");
    Bind(lib_.module, &lib_.StreamCreateFile, "BASS_StreamCreateFile");
    Bind(lib_.module, &lib_.ChannelGetInfo, "BASS_ChannelGetInfo");
    Bind(lib_.module, &lib_.ChannelGetLength, "BASS_ChannelGetLength");
    Bind(lib_.module, &lib_.ChannelBytes2Seconds, "BASS_ChannelBytes2Seconds");
    Bind(lib_.module, &lib_.ChannelGetTags, "BASS_ChannelGetTags");
    Bind(lib_.module, &lib_.StreamFree, "BASS_StreamFree");
    Bind(lib_.module, &lib_.ErrorGetCode, "BASS_ErrorGetCode");
    Bind(lib_.module, &lib_.GetVersion, "BASS_GetVersion");
    lib_.Init(0, 44100, 0, NULL, NULL);
  }
  void TearDown() override {
    if (lib_.module == NULL) return;
    lib_.PluginFree(0);
    lib_.Free();
    FreeLibrary(lib_.module);
  }
  DWORD FromMemory(const Bytes &b, DWORD flags = BASS_STREAM_DECODE) {
    return lib_.StreamCreateFile(TRUE, b.data(), 0, b.size(), flags);
  }
  Library lib_ = {};
};

// 16-bit stereo 44.1 kHz WAV of `frames` frames, with an ID3v2 chunk.
Bytes Wave(uint32_t frames) {
  return Riff({IffChunk("fmt ", Fmt(1, 2, 44100, 16)), IffChunk("data", Bytes(frames * 4, 0)),
               IffChunk("id3 ", Id3v2Title("Tagged"))});
}

Bytes Flac(uint64_t samples) {
  Bytes file;
  Put(file, "fLaC");
  file.push_back(0x80);
  Be(file, 34, 3);
  Zeros(file, 10);
  Be(file, (44100ull << 44) | (1ull << 41) | (15ull << 36) | samples, 8);
  Zeros(file, 16);
  return file;
}

TEST_F(StandinLibrary, LengthIsDecodedBytesAndSecondsAgree) {
  DWORD s = FromMemory(Wave(250000));
  ASSERT_NE(s, 0u);
  BASS_CHANNELINFO info;
  ASSERT_TRUE(lib_.ChannelGetInfo(s, &info));
  EXPECT_EQ(info.freq, 44100u);
  EXPECT_EQ(info.chans, 2u);
  EXPECT_EQ(info.origres, 16u);
  EXPECT_EQ(lib_.ChannelGetLength(s, BASS_POS_BYTE), 1000000u);
  EXPECT_DOUBLE_EQ(lib_.ChannelBytes2Seconds(s, 1000000), 1000000.0 / (44100 * 2 * 2));
  EXPECT_EQ(lib_.ChannelGetLength(s, 1), BASS_LENGTH_UNKNOWN);  // only byte positions are known

  // Float output: four bytes a sample.
  DWORD f = FromMemory(Wave(250000), BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT);
  ASSERT_NE(f, 0u);
  EXPECT_EQ(lib_.ChannelGetLength(f, BASS_POS_BYTE), 2000000u);
  EXPECT_DOUBLE_EQ(lib_.ChannelBytes2Seconds(f, 2000000), 250000.0 / 44100);
}

TEST_F(StandinLibrary, TagsBelongToTheStream) {
  DWORD s = FromMemory(Wave(10));
  ASSERT_NE(s, 0u);
  const char *id3 = lib_.ChannelGetTags(s, BASS_TAG_ID3V2);
  ASSERT_NE(id3, nullptr);
  EXPECT_EQ(0, memcmp(id3, "ID3", 3));
  EXPECT_EQ(lib_.ChannelGetTags(s, BASS_TAG_OGG), nullptr);
  EXPECT_EQ(lib_.ChannelGetTags(s, BASS_TAG_APE), nullptr);
  EXPECT_EQ(lib_.ChannelGetTags(s, 99), nullptr);
}

TEST_F(StandinLibrary, UnknownAndFreedHandlesFail) {
  BASS_CHANNELINFO info;
  for (DWORD bad : {0u, 1u, 0x12345678u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(lib_.ChannelGetInfo(bad, &info));
    EXPECT_EQ(lib_.ChannelGetLength(bad, 0), BASS_LENGTH_UNKNOWN);
    EXPECT_LT(lib_.ChannelBytes2Seconds(bad, 100), 0.0);
    EXPECT_EQ(lib_.ChannelGetTags(bad, BASS_TAG_ID3V2), nullptr);
    EXPECT_FALSE(lib_.StreamFree(bad));
  }
  DWORD s = FromMemory(Wave(10));
  ASSERT_NE(s, 0u);
  EXPECT_TRUE(lib_.StreamFree(s));
  EXPECT_FALSE(lib_.ChannelGetInfo(s, &info));
  EXPECT_FALSE(lib_.StreamFree(s));
  // The freed slot is reused under a new handle; the old one stays dead.
  DWORD again = FromMemory(Wave(10));
  ASSERT_NE(again, 0u);
  EXPECT_NE(again, s);
  EXPECT_FALSE(lib_.ChannelGetInfo(s, &info));
}

TEST_F(StandinLibrary, FreeReleasesEveryStreamAndNeedsInit) {
  DWORD a = FromMemory(Wave(10)), b = FromMemory(Wave(20));
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_TRUE(lib_.Free());
  BASS_CHANNELINFO info;
  EXPECT_FALSE(lib_.ChannelGetInfo(a, &info));
  EXPECT_FALSE(lib_.ChannelGetInfo(b, &info));
  EXPECT_EQ(FromMemory(Wave(10)), 0u);  // not initialised
  lib_.Init(0, 44100, 0, NULL, NULL);
  EXPECT_NE(FromMemory(Wave(10)), 0u);
}

// The current release wants a real rate for device 0 and opens nothing until
// an Init succeeds; older releases take rate 0. Every call leaves its code.
TEST_F(StandinLibrary, InitByGeneration) {
  struct Row {
    const char *generation;  // TANDREL_STANDIN_BASS, null for unset
    DWORD freq;
    BOOL ok;
    int error;
    DWORD version;
  };
  const Row rows[] = {
      {NULL, 0, FALSE, 6, 0x02041100},      {"current", 0, FALSE, 6, 0x02041100},
      {NULL, 44100, TRUE, 0, 0x02041100},   {"older", 0, TRUE, 0, 0x02040B00},
      {"older", 44100, TRUE, 0, 0x02040B00},
  };
  const Bytes wav = Wave(10);
  for (const Row &row : rows) {
    SCOPED_TRACE(std::string(row.generation ? row.generation : "unset") + " " + std::to_string(row.freq));
    SetEnvironmentVariableA("TANDREL_STANDIN_BASS", row.generation);
    lib_.Free();
    EXPECT_EQ(lib_.Init(0, row.freq, 0, NULL, NULL), row.ok);
    EXPECT_EQ(lib_.ErrorGetCode(), row.error);
    EXPECT_EQ(lib_.GetVersion(), row.version);
    DWORD stream = FromMemory(wav);
    EXPECT_EQ(stream != 0, row.ok != FALSE);
    EXPECT_EQ(lib_.ErrorGetCode(), row.ok ? 0 : 8);  // BASS_ERROR_INIT
    if (row.ok) {
      EXPECT_FALSE(lib_.Init(0, 44100, 0, NULL, NULL));
      EXPECT_EQ(lib_.ErrorGetCode(), 14);  // BASS_ERROR_ALREADY
    }
  }
  SetEnvironmentVariableA("TANDREL_STANDIN_BASS", NULL);
}

TEST_F(StandinLibrary, StreamTableIsBounded) {
  Bytes wav = Wave(4);
  std::vector<DWORD> handles;
  for (int i = 0; i < 300; ++i) {
    DWORD h = FromMemory(wav);
    if (h == 0) break;
    handles.push_back(h);
  }
  EXPECT_GE(handles.size(), 16u);
  EXPECT_LT(handles.size(), 300u);
  ASSERT_TRUE(lib_.StreamFree(handles.back()));
  EXPECT_NE(FromMemory(wav), 0u);  // a freed slot opens again
}

TEST_F(StandinLibrary, FreedAddOnFormatsStopOpening) {
  Bytes flac = Flac(44100);
  EXPECT_EQ(FromMemory(flac), 0u);
  DWORD addon = lib_.PluginLoad("bassflac.dll", 0);
  ASSERT_NE(addon, 0u);
  EXPECT_EQ(lib_.PluginLoad("bassflac.dll", 0), 0u);  // already loaded
  DWORD s = FromMemory(flac);
  ASSERT_NE(s, 0u);
  EXPECT_EQ(lib_.ChannelGetLength(s, 0), 44100u * 4);
  BASS_CHANNELINFO info;
  ASSERT_TRUE(lib_.ChannelGetInfo(s, &info));
  EXPECT_EQ(info.plugin, addon);
  EXPECT_TRUE(lib_.PluginFree(addon));
  EXPECT_FALSE(lib_.ChannelGetInfo(s, &info));  // its streams went with it
  EXPECT_EQ(FromMemory(flac), 0u);
  EXPECT_FALSE(lib_.PluginFree(addon));
  EXPECT_EQ(lib_.PluginLoad("no-such-addon.dll", 0), 0u);
  EXPECT_EQ(lib_.PluginLoad("kernel32.dll", 0), 0u);  // a DLL that is no add-on
}

TEST_F(StandinLibrary, FilesByWideAndEightBitPath) {
  wchar_t dir[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, dir), 0u);
  std::wstring wide = std::wstring(dir) + L"standin \x00e9\x4e2d.wav";
  std::string narrow;
  {
    char buf[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, buf), 0u);
    narrow = std::string(buf) + "standin-plain.wav";
  }
  Bytes wav = Wave(1000);
  for (int i = 0; i < 2; ++i) {
    HANDLE h = i == 0 ? CreateFileW(wide.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL)
                      : CreateFileA(narrow.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, wav.data(), (DWORD)wav.size(), &written, NULL);
    CloseHandle(h);
  }
  DWORD w = lib_.StreamCreateFile(FALSE, wide.c_str(), 0, 0, BASS_UNICODE | BASS_STREAM_DECODE);
  DWORD n = lib_.StreamCreateFile(FALSE, narrow.c_str(), 0, 0, BASS_STREAM_DECODE);
  EXPECT_NE(w, 0u);
  EXPECT_NE(n, 0u);
  EXPECT_EQ(lib_.ChannelGetLength(w, 0), 4000u);
  EXPECT_EQ(lib_.ChannelGetLength(n, 0), 4000u);
  // The file is closed once measured: it can be deleted while the stream lives.
  EXPECT_TRUE(DeleteFileW(wide.c_str()));
  EXPECT_TRUE(DeleteFileA(narrow.c_str()));
  EXPECT_EQ(lib_.StreamCreateFile(FALSE, wide.c_str(), 0, 0, BASS_UNICODE | BASS_STREAM_DECODE), 0u);
}

}  // namespace
