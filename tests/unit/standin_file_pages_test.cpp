// bass.dll over real files: what its file source reads through its cache of
// pages must be what the same bytes give from memory, wherever the headers
// and tags fall against the page boundaries and wherever the stream starts.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "media/bass_api.h"
#include "tests/unit/standin_test_bytes.h"

namespace {

struct Lib {
  HMODULE module;
  BASS_Init_fn Init;
  BASS_Free_fn Free;
  BASS_StreamCreateFile_fn StreamCreateFile;
  BASS_ChannelGetInfo_fn ChannelGetInfo;
  BASS_ChannelGetLength_fn ChannelGetLength;
  BASS_ChannelGetTags_fn ChannelGetTags;
};

template <typename Fn>
Fn Proc(HMODULE m, const char *name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(m, name)));
}

struct Opened {
  DWORD handle;
  BASS_CHANNELINFO info;
  QWORD length;
  std::string id3;
};

Opened OpenWith(const Lib &lib, BOOL mem, const void *what, QWORD offset, QWORD length) {
  Opened o = {};
  o.handle = lib.StreamCreateFile(mem, what, offset, length, BASS_STREAM_DECODE | (mem ? 0 : BASS_UNICODE));
  if (o.handle == 0) return o;
  lib.ChannelGetInfo(o.handle, &o.info);
  o.length = lib.ChannelGetLength(o.handle, BASS_POS_BYTE);
  const char *tag = lib.ChannelGetTags(o.handle, BASS_TAG_ID3V2);
  if (tag != NULL) o.id3.assign(tag, 10 + (size_t)Syncsafe32((const uint8_t *)tag + 6));
  return o;
}

// A WAV whose fmt chunk straddles the first page boundary and whose ID3 chunk
// straddles a later one, preceded by `lead` bytes that are not part of the stream.
Bytes PageStraddlingWave(size_t lead, uint32_t data_bytes) {
  Bytes file(lead, 0x77);
  Put(file, Riff({IffChunk("junk", Bytes(4096 - 12 - 8 - 6, 0)),  // fmt's header begins 6 bytes before 4096
                  IffChunk("fmt ", Fmt(1, 2, 48000, 16)), IffChunk("data", Bytes(data_bytes, 0)),
                  IffChunk("id3 ", Id3v2Title("Across pages"))}));
  return file;
}

TEST(StandinFilePages, FileReadsGiveWhatMemoryReadsGive) {
  Lib lib = {};
  lib.module = LoadLibraryA("bass.dll");
  ASSERT_NE(lib.module, nullptr);
  lib.Init = Proc<BASS_Init_fn>(lib.module, "BASS_Init");
  lib.Free = Proc<BASS_Free_fn>(lib.module, "BASS_Free");
  lib.StreamCreateFile = Proc<BASS_StreamCreateFile_fn>(lib.module, "BASS_StreamCreateFile");
  lib.ChannelGetInfo = Proc<BASS_ChannelGetInfo_fn>(lib.module, "BASS_ChannelGetInfo");
  lib.ChannelGetLength = Proc<BASS_ChannelGetLength_fn>(lib.module, "BASS_ChannelGetLength");
  lib.ChannelGetTags = Proc<BASS_ChannelGetTags_fn>(lib.module, "BASS_ChannelGetTags");
  lib.Init(0, 44100, 0, NULL, NULL);

  wchar_t folder[MAX_PATH], path[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
  ASSERT_NE(GetTempFileNameW(folder, L"pgc", 0, path), 0u);
  // With no lead, data sizes put the ID3 chunk's header across the second
  // page boundary, the file's end on the third and two bytes past it; leads
  // shift every page boundary against the stream.
  const uint32_t kDataStart = 4122, kId3Chunk = 42;
  const uint32_t data_sizes[] = {8192 - 4 - kDataStart, 12288 - kDataStart - kId3Chunk,
                                 12290 - kDataStart - kId3Chunk, 4};
  for (size_t lead : {size_t(0), size_t(1000), size_t(4095)}) {
    for (uint32_t data_bytes : data_sizes) {
      Bytes file = PageStraddlingWave(lead, data_bytes);
      ASSERT_EQ(file.size(), lead + kDataStart + data_bytes + kId3Chunk);
      HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      DWORD written = 0;
      ASSERT_TRUE(WriteFile(h, file.data(), (DWORD)file.size(), &written, NULL));
      CloseHandle(h);
      Opened m = OpenWith(lib, TRUE, file.data() + lead, 0, file.size() - lead);
      Opened d = OpenWith(lib, FALSE, path, lead, 0);
      ASSERT_NE(m.handle, 0u) << lead << " " << data_bytes;
      ASSERT_NE(d.handle, 0u) << lead << " " << data_bytes;
      EXPECT_EQ(d.info.freq, 48000u);
      EXPECT_EQ(d.info.chans, m.info.chans);
      EXPECT_EQ(d.length, (QWORD)(data_bytes / 4 * 4));  // whole frames of 4 bytes
      EXPECT_EQ(d.length, m.length);
      EXPECT_EQ(d.id3, m.id3);
      EXPECT_FALSE(d.id3.empty());
      // A stream cut short by the length argument ends where it says.
      Opened cut = OpenWith(lib, FALSE, path, lead, file.size() - lead - 8);
      ASSERT_NE(cut.handle, 0u);
      EXPECT_TRUE(cut.id3.empty());
      lib.Free();
      lib.Init(0, 44100, 0, NULL, NULL);
    }
  }
  DeleteFileW(path);
  lib.Free();
  FreeLibrary(lib.module);
}

}  // namespace
