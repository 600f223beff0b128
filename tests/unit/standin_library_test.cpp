// bass.dll as a caller sees it: handles, lengths in bytes of decoded output,
// tags owned by streams, BASS_Free and BASS_PluginFree releasing streams.
// The DLLs are loaded from the test program's folder (dist/).
#include <gtest/gtest.h>
#include <stdio.h>
#include <winsock2.h>
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
  BASS_StreamCreateFileUser_fn StreamCreateFileUser;
  BASS_StreamCreateURL_fn StreamCreateURL;
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
    Bind(lib_.module, &lib_.StreamCreateFileUser, "BASS_StreamCreateFileUser");
    Bind(lib_.module, &lib_.StreamCreateURL, "BASS_StreamCreateURL");
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

// A caller's file for BASS_StreamCreateFileUser: `piece` bytes a read, from
// a thread that is not the caller's.
struct UserFile {
  const Bytes *bytes;
  bool report_length;
  size_t pos;
  DWORD piece;
  DWORD caller_thread;
  bool read_on_caller_thread;
  int closes;
};

void CALLBACK UserClose(void *user) { ++static_cast<UserFile *>(user)->closes; }
QWORD CALLBACK UserLength(void *user) {
  const UserFile *f = static_cast<const UserFile *>(user);
  return f->report_length ? f->bytes->size() : 0;
}
DWORD CALLBACK UserRead(void *buffer, DWORD length, void *user) {
  UserFile *f = static_cast<UserFile *>(user);
  if (GetCurrentThreadId() == f->caller_thread) f->read_on_caller_thread = true;
  DWORD n = (DWORD)(f->bytes->size() - f->pos);
  if (n > length) n = length;
  if (n > f->piece) n = f->piece;
  memcpy(buffer, f->bytes->data() + f->pos, n);
  f->pos += n;
  return n;
}
BOOL CALLBACK UserSeek(QWORD, void *) { return FALSE; }

TEST_F(StandinLibrary, UserFilesInTheBufferedSystem) {
  const BASS_FILEPROCS procs = {UserClose, UserLength, UserRead, UserSeek};
  Bytes wav = Wave(1000), flac = Flac(44100);
  ASSERT_NE(lib_.PluginLoad("bassflac.dll", 0), 0u);
  struct Row {
    const Bytes *bytes;
    bool report_length;
    DWORD piece;
    QWORD length;  // BASS_LENGTH_UNKNOWN: opened, length unknown
  } rows[] = {
      {&wav, true, 65536, 4000},
      {&wav, true, 7, 4000},  // a read gives what has arrived, however little
      {&flac, true, 100, 44100u * 4},
      {&wav, false, 65536, BASS_LENGTH_UNKNOWN},  // length 0: a download without an end
  };
  for (const Row &r : rows) {
    UserFile f = {r.bytes, r.report_length, 0, r.piece, GetCurrentThreadId(), false, 0};
    DWORD s = lib_.StreamCreateFileUser(STREAMFILE_BUFFER, BASS_STREAM_DECODE, &procs, &f);
    ASSERT_NE(s, 0u) << r.piece;
    EXPECT_EQ(lib_.ChannelGetLength(s, BASS_POS_BYTE), r.length) << r.piece;
    EXPECT_TRUE(lib_.StreamFree(s));
    EXPECT_FALSE(f.read_on_caller_thread) << "the library reads on a thread of its own";
    EXPECT_EQ(f.closes, 1) << "closed once, when freed";
  }
  Bytes noise(5000, 0x12);
  UserFile f = {&noise, true, 0, 65536, GetCurrentThreadId(), false, 0};
  EXPECT_EQ(lib_.StreamCreateFileUser(STREAMFILE_BUFFER, BASS_STREAM_DECODE, &procs, &f), 0u);
  EXPECT_EQ(f.closes, 1);
  f = {&wav, true, 0, 65536, GetCurrentThreadId(), false, 0};
  EXPECT_EQ(lib_.StreamCreateFileUser(STREAMFILE_NOBUFFER, BASS_STREAM_DECODE, &procs, &f), 0u);  // buffered only
}

// A server on 127.0.0.1 for one request: sends `head` a byte every `gap_ms`
// (all at once for 0), then holds the connection `hold_ms` and closes it.
struct RawServer {
  SOCKET listener;
  std::string head;
  DWORD gap_ms, hold_ms;
  volatile LONG stop;  // the caller is done: end the trickle early
};

DWORD WINAPI ServeOnce(void *context) {
  RawServer *server = static_cast<RawServer *>(context);
  SOCKET conn = accept(server->listener, NULL, NULL);
  if (conn == INVALID_SOCKET) return 0;
  char request[4096];
  recv(conn, request, sizeof request, 0);
  const int size = (int)server->head.size();
  for (int i = 0; i < size; i += server->gap_ms != 0 ? 1 : size) {
    if (server->stop || send(conn, server->head.data() + i, server->gap_ms != 0 ? 1 : size, 0) <= 0) break;
    Sleep(server->gap_ms);
  }
  Sleep(server->hold_ms);
  closesocket(conn);
  return 0;
}

// As the library's own downloads: incomplete response headers are given up
// about 5 s after the request; after complete ones it fills its buffer before
// it looks at the body, however slowly the server sends, and waits as long as
// the server keeps the connection open.
TEST_F(StandinLibrary, DownloadsWaitAsLongAsTheServerHoldsOn) {
  WSADATA wsa;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  const Bytes wav = Wave(10000);  // 40,000 bytes of samples
  const std::string whole_header = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(wav.size()) + "\r\n\r\n" +
                                   std::string(wav.begin(), wav.begin() + 44);
  struct Row {
    const char *what;
    std::string head;
    DWORD gap_ms, hold_ms;
    bool opens;
    double least_s, most_s;
  } rows[] = {
      {"headers a byte at a time", "HTTP/1.1 200 OK\r\nContent-Length: 40044\r\nContent-Type: audio/wav\r\n\r\n", 300,
       0, false, 4.0, 9.0},
      {"the WAV header at once, then silence", whole_header, 0, 17000, true, 16.5, 30.0},
  };
  for (const Row &r : rows) {
    RawServer server = {socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), r.head, r.gap_ms, r.hold_ms, 0};
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int addr_size = sizeof addr;
    ASSERT_EQ(bind(server.listener, (sockaddr *)&addr, sizeof addr), 0);
    ASSERT_EQ(listen(server.listener, 1), 0);
    ASSERT_EQ(getsockname(server.listener, (sockaddr *)&addr, &addr_size), 0);
    HANDLE thread = CreateThread(NULL, 0, ServeOnce, &server, 0, NULL);
    char url[64];
    snprintf(url, sizeof url, "http://127.0.0.1:%u/track.wav", (unsigned)ntohs(addr.sin_port));
    const ULONGLONG start = GetTickCount64();
    const DWORD stream = lib_.StreamCreateURL(url, 0, BASS_STREAM_DECODE, NULL, NULL);
    EXPECT_EQ(stream != 0, r.opens) << r.what;
    const double took = (GetTickCount64() - start) / 1000.0;
    EXPECT_GE(took, r.least_s) << r.what;
    EXPECT_LE(took, r.most_s) << r.what;
    InterlockedExchange(&server.stop, 1);
    closesocket(server.listener);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  WSACleanup();
}

}  // namespace
