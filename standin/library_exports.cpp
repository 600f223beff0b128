// bass.dll: the thirteen operations the plug-in binds by name, and the
// library's error code and version. Streams are decode-only and measured when
// created: the format's opener reads what it needs, the file or connection is
// closed, and the facts stay in a fixed table until BASS_StreamFree or
// BASS_Free.
//
// Releases of the real library differ in what BASS_Init takes: the current one
// (2.4.17) refuses frequency 0 on device 0 with BASS_ERROR_FORMAT, older ones
// (2.4.11-2.4.13) accept it. The environment variable TANDREL_STANDIN_BASS,
// read at every BASS_Init, picks the behaviour: "older", or the current one
// for anything else.
#include <string.h>

#include <type_traits>

#include "media/bass_api.h"
#include "standin/addon_registry.h"
#include "standin/file_source.h"
#include "standin/formats.h"
#include "standin/http_source.h"
#include "standin/iff_chunks.h"
#include "standin/user_file_source.h"
#include "standin/slot_handle.h"

extern "C" {
BOOL WINAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void *clsid);
BOOL WINAPI BASS_Free(void);
BOOL WINAPI BASS_SetConfig(DWORD option, DWORD value);
BOOL WINAPI BASS_SetConfigPtr(DWORD option, const void *value);
DWORD WINAPI BASS_PluginLoad(const char *file, DWORD flags);
BOOL WINAPI BASS_PluginFree(DWORD plugin);
DWORD WINAPI BASS_StreamCreateFile(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags);
DWORD WINAPI BASS_StreamCreateURL(const char *url, DWORD offset, DWORD flags, void *proc, void *user);
DWORD WINAPI BASS_StreamCreateFileUser(DWORD system, DWORD flags, const BASS_FILEPROCS *procs, void *user);
BOOL WINAPI BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO *info);
QWORD WINAPI BASS_ChannelGetLength(DWORD handle, DWORD mode);
double WINAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
const char *WINAPI BASS_ChannelGetTags(DWORD handle, DWORD tags);
BOOL WINAPI BASS_StreamFree(DWORD handle);
int WINAPI BASS_ErrorGetCode(void);
DWORD WINAPI BASS_GetVersion(void);
}

// The plug-in calls these through its own pointer types; a mismatch in
// calling convention or arguments fails the build here.
static_assert(std::is_same<decltype(&BASS_Init), BASS_Init_fn>::value, "BASS_Init");
static_assert(std::is_same<decltype(&BASS_Free), BASS_Free_fn>::value, "BASS_Free");
static_assert(std::is_same<decltype(&BASS_SetConfig), BASS_SetConfig_fn>::value, "BASS_SetConfig");
static_assert(std::is_same<decltype(&BASS_SetConfigPtr), BASS_SetConfigPtr_fn>::value, "BASS_SetConfigPtr");
static_assert(std::is_same<decltype(&BASS_PluginLoad), BASS_PluginLoad_fn>::value, "BASS_PluginLoad");
static_assert(std::is_same<decltype(&BASS_PluginFree), BASS_PluginFree_fn>::value, "BASS_PluginFree");
static_assert(std::is_same<decltype(&BASS_StreamCreateFile), BASS_StreamCreateFile_fn>::value, "StreamCreateFile");
static_assert(std::is_same<decltype(&BASS_StreamCreateURL), BASS_StreamCreateURL_fn>::value, "StreamCreateURL");
static_assert(std::is_same<decltype(&BASS_StreamCreateFileUser), BASS_StreamCreateFileUser_fn>::value,
              "StreamCreateFileUser");
static_assert(std::is_same<decltype(&BASS_ChannelGetInfo), BASS_ChannelGetInfo_fn>::value, "ChannelGetInfo");
static_assert(std::is_same<decltype(&BASS_ChannelGetLength), BASS_ChannelGetLength_fn>::value, "ChannelGetLength");
static_assert(std::is_same<decltype(&BASS_ChannelBytes2Seconds), BASS_ChannelBytes2Seconds_fn>::value, "Bytes2Sec");
static_assert(std::is_same<decltype(&BASS_ChannelGetTags), BASS_ChannelGetTags_fn>::value, "ChannelGetTags");
static_assert(std::is_same<decltype(&BASS_StreamFree), BASS_StreamFree_fn>::value, "StreamFree");
static_assert(std::is_same<decltype(&BASS_ErrorGetCode), BASS_ErrorGetCode_fn>::value, "ErrorGetCode");
static_assert(std::is_same<decltype(&BASS_GetVersion), BASS_GetVersion_fn>::value, "GetVersion");

// The library's error codes that the stand-in reports.
enum {
  BASS_OK = 0,
  BASS_ERROR_FILEOPEN = 2,
  BASS_ERROR_HANDLE = 5,
  BASS_ERROR_FORMAT = 6,
  BASS_ERROR_INIT = 8,
  BASS_ERROR_ALREADY = 14,
  BASS_ERROR_ILLTYPE = 19,
  BASS_ERROR_ILLPARAM = 20,
  BASS_ERROR_NOTAVAIL = 37,
  BASS_ERROR_FILEFORM = 41,
};

// What BASS_GetVersion reports for each behaviour: 2.4.17.0 and 2.4.11.0.
static const DWORD kCurrentVersion = 0x02041100;
static const DWORD kOlderVersion = 0x02040B00;
// One successful initialisation of the real library costs about 3 ms under
// Wine; every query pays it, so the stand-in does too.
static const LONGLONG kInitCostMicroseconds = 3000;

// What a download fills before it is looked at (measured: a server sending
// a WAV header at once and then a byte a second held the call for its life).
static const uint32_t kDownloadPrebufferBytes = 64 * 1024;

enum { kMaxStreams = 128 };  // slot numbers fit the low byte of a handle

// Channel types reported in BASS_CHANNELINFO.ctype, one per format.
static const DWORD kChannelTypes[] = {0,       0x10010, 0x10011, 0x10012, 0x10013, 0x10014, 0x10015,
                                      0x10016, 0x10017, 0x10018, 0x10019, 0x1001A, 0x1001B, 0x1001C};

struct StreamSlot {
  bool used;
  DWORD handle;
  DWORD flags;      // creation flags kept for ChannelGetInfo (float, decode)
  int addon_slot;   // the add-on that opened it, -1 for the library's own formats
  void (*release)(StreamFacts *facts);
  StreamFacts facts;
  UserFileSource *user_file;  // a caller's file the stream still reads, or null
};

static CRITICAL_SECTION g_lock;
static bool g_initialised;
static StreamSlot g_streams[kMaxStreams];
static DWORD g_next_serial = 1;
static char g_agent[256] = "Tandrel stand-in library";
// The error code of each thread's latest call, as the library keeps it.
static DWORD g_error_slot = TLS_OUT_OF_INDEXES;

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    InitializeCriticalSection(&g_lock);
    g_error_slot = TlsAlloc();
  }
  if (reason == DLL_PROCESS_DETACH) {
    if (g_error_slot != TLS_OUT_OF_INDEXES) TlsFree(g_error_slot);
    DeleteCriticalSection(&g_lock);
  }
  return TRUE;
}

static void SetError(int code) {
  if (g_error_slot != TLS_OUT_OF_INDEXES) TlsSetValue(g_error_slot, (void *)(intptr_t)code);
}

// The value `ok` when it is true, after recording `failure` (or success) as
// the thread's error code.
template <typename T>
static T Result(T value, bool ok, int failure) {
  SetError(ok ? BASS_OK : failure);
  return value;
}

static bool OlderGeneration(void) {
  char value[16];
  DWORD n = GetEnvironmentVariableA("TANDREL_STANDIN_BASS", value, sizeof value);
  return n > 0 && n < sizeof value && strcmp(value, "older") == 0;
}

static void SpendInitTime(void) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  do {
    Sleep(1);
    QueryPerformanceCounter(&now);
  } while ((now.QuadPart - start.QuadPart) * 1000000 < kInitCostMicroseconds * frequency.QuadPart);
}

static StreamSlot *FindStream(DWORD handle) {
  int slot = SlotOfHandle(handle);
  if (slot < 0 || slot >= kMaxStreams || !g_streams[slot].used || g_streams[slot].handle != handle) return NULL;
  return &g_streams[slot];
}

static void ReleaseSlot(StreamSlot *s) {
  s->release(&s->facts);
  CloseUserFileSource(s->user_file);
  memset(s, 0, sizeof(*s));
}

static DWORD BytesPerSample(const StreamSlot *s) { return (s->flags & BASS_SAMPLE_FLOAT) ? 4 : 2; }

// Tries the library's own formats found by their magic, then every add-on's
// formats in load order, and MP3 (found by frame sync) last, so a file of an
// add-on's format is never taken for stray MPEG frames.
// A stream over a caller's file keeps `user_file` (reading on) until freed.
static DWORD OpenStream(const ByteSource *src, DWORD flags, UserFileSource *user_file = NULL) {
  static const FormatOpenFn kOwnByMagic[] = {OpenWav, OpenAiff, OpenOggVorbis};
  StreamFacts facts;
  ClearStreamFacts(&facts);
  int addon_slot = -1;
  void (*release)(StreamFacts *) = ReleaseStreamFacts;
  bool opened = false;
  for (FormatOpenFn open : kOwnByMagic) {
    if (!opened) opened = open(src, &facts);
  }
  for (int slot = 0; slot < kMaxAddOns && !opened; ++slot) {
    const AddOnTable *table = AddOnTableAt(slot);
    if (table == NULL) continue;
    for (uint32_t i = 0; i < table->count && !opened; ++i) {
      if (table->formats[i].open == NULL || table->formats[i].release == NULL) continue;
      opened = table->formats[i].open(src, &facts);
      if (opened) {
        addon_slot = slot;
        release = table->formats[i].release;
      }
    }
  }
  if (!opened) opened = OpenMp3(src, &facts);
  if (!opened) return 0;

  // A download without a length has no known end, whatever its headers say.
  if (src->size == kSourceSizeUnknown) facts.length_known = false;

  for (int i = 0; i < kMaxStreams; ++i) {
    StreamSlot *s = &g_streams[i];
    if (s->used) continue;
    s->used = true;
    s->handle = MakeSlotHandle(&g_next_serial, i);
    s->flags = flags & (BASS_SAMPLE_FLOAT | BASS_STREAM_DECODE);
    s->addon_slot = addon_slot;
    s->release = release;
    s->facts = facts;
    s->user_file = user_file;
    return s->handle;
  }
  release(&facts);  // table full
  return 0;
}

// Device 0 is the library's "no sound" device. A second call fails as
// "already"; the current generation wants a real rate for device 0.
BOOL WINAPI BASS_Init(int device, DWORD freq, DWORD, HWND, const void *) {
  EnterCriticalSection(&g_lock);
  int error = BASS_OK;
  if (g_initialised) {
    error = BASS_ERROR_ALREADY;
  } else if (device == 0 && freq == 0 && !OlderGeneration()) {
    error = BASS_ERROR_FORMAT;
  } else {
    SpendInitTime();
    g_initialised = true;
  }
  LeaveCriticalSection(&g_lock);
  return Result<BOOL>(error == BASS_OK, error == BASS_OK, error);
}

BOOL WINAPI BASS_Free(void) {
  EnterCriticalSection(&g_lock);
  BOOL was = g_initialised;
  for (StreamSlot &s : g_streams) {
    if (s.used) ReleaseSlot(&s);
  }
  g_initialised = false;
  LeaveCriticalSection(&g_lock);
  return Result(was, was, BASS_ERROR_INIT);
}

BOOL WINAPI BASS_SetConfig(DWORD, DWORD) { return Result<BOOL>(TRUE, true, BASS_OK); }

BOOL WINAPI BASS_SetConfigPtr(DWORD option, const void *value) {
  if (option != BASS_CONFIG_NET_AGENT) return Result<BOOL>(FALSE, false, BASS_ERROR_ILLTYPE);
  EnterCriticalSection(&g_lock);
  const char *text = value != NULL ? (const char *)value : "";
  size_t len = strnlen(text, sizeof(g_agent) - 1);  // a longer agent is cut to the buffer
  memcpy(g_agent, text, len);
  g_agent[len] = 0;
  LeaveCriticalSection(&g_lock);
  return Result<BOOL>(TRUE, true, BASS_OK);
}

DWORD WINAPI BASS_PluginLoad(const char *file, DWORD flags) {
  EnterCriticalSection(&g_lock);
  DWORD handle = AddOnLoad(file, (flags & (DWORD)BASS_UNICODE) != 0);
  LeaveCriticalSection(&g_lock);
  return Result(handle, handle != 0, BASS_ERROR_FILEOPEN);
}

// Frees one add-on (handle 0: all of them) with the streams it opened.
BOOL WINAPI BASS_PluginFree(DWORD plugin) {
  EnterCriticalSection(&g_lock);
  BOOL ok = FALSE;
  for (int slot = 0; slot < kMaxAddOns; ++slot) {
    DWORD handle = AddOnHandleAt(slot);
    if (handle == 0 || (plugin != 0 && plugin != handle)) continue;
    for (StreamSlot &s : g_streams) {
      if (s.used && s.addon_slot == slot) ReleaseSlot(&s);
    }
    AddOnUnload(slot);
    ok = TRUE;
  }
  LeaveCriticalSection(&g_lock);
  return Result(ok, ok != FALSE, BASS_ERROR_HANDLE);
}

// Releases 2.4.11 and 2.4.12 divide by the bits per sample of a WAV file's
// format block while opening it; with 0 there the process goes down. So does
// the stand-in's older behaviour, for real.
static void DivideLikeOlderReleases(const ByteSource *src) {
  uint8_t riff[12];
  if (!ReadExact(src, 0, riff, sizeof riff) || memcmp(riff, "RIFF", 4) != 0 || memcmp(riff + 8, "WAVE", 4) != 0) return;
  StreamFacts scratch;  // the walk's ID3 chunk lands here
  ClearStreamFacts(&scratch);
  ChunkWalk walk = StartChunkWalk(src, kRiffChunks, &scratch.tags[kTagId3v2]);
  Chunk chunk;
  uint8_t fmt[16];
  bool found = false;
  while (!found && NextChunk(&walk, false, &chunk)) {
    found = memcmp(chunk.id, "fmt ", 4) == 0 && chunk.size >= sizeof fmt && ReadExact(src, chunk.body, fmt, sizeof fmt);
  }
  ReleaseStreamFacts(&scratch);
  if (!found) return;
  volatile DWORD bits = Le16(fmt + 14);
  volatile DWORD block_align = Le16(fmt + 12);
  block_align = block_align / (bits / 8u + (bits % 8u != 0));  // divides by zero when bits is 0
}

DWORD WINAPI BASS_StreamCreateFile(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags) {
  EnterCriticalSection(&g_lock);
  DWORD handle = 0;
  int error = !g_initialised ? BASS_ERROR_INIT : file == NULL ? BASS_ERROR_ILLPARAM : BASS_ERROR_FILEFORM;
  if (g_initialised && file != NULL) {
    if (mem) {
      // Measured now, so the caller's block need not outlive the call here.
      MemorySource block = {(const uint8_t *)file + offset, (size_t)length};
      ByteSource src = MakeMemorySource(&block);
      handle = OpenStream(&src, flags);
    } else {
      static FileSource fs;  // holds a few cached pages; one open at a time under the lock
      ByteSource src;
      if (OpenFileSource(&fs, file, (flags & (DWORD)BASS_UNICODE) != 0, offset, length, &src)) {
        if (OlderGeneration()) DivideLikeOlderReleases(&src);
        handle = OpenStream(&src, flags);
        CloseFileSource(&fs);
      } else {
        error = BASS_ERROR_FILEOPEN;
      }
    }
  }
  LeaveCriticalSection(&g_lock);
  return Result(handle, handle != 0, error);
}

DWORD WINAPI BASS_StreamCreateURL(const char *url, DWORD, DWORD flags, void *, void *) {
  EnterCriticalSection(&g_lock);
  DWORD handle = 0;
  int error = !g_initialised ? BASS_ERROR_INIT : url == NULL ? BASS_ERROR_ILLPARAM : BASS_ERROR_FILEFORM;
  if (g_initialised && url != NULL) {
    static HttpSource hs;  // large; one download at a time under the lock
    ByteSource src;
    if (OpenHttpSource(&hs, url, g_agent, &src)) {
      PrebufferHttpSource(&hs, kDownloadPrebufferBytes);
      handle = OpenStream(&src, flags);
      CloseHttpSource(&hs);
    } else {
      error = BASS_ERROR_FILEOPEN;
    }
  }
  LeaveCriticalSection(&g_lock);
  return Result(handle, handle != 0, error);
}

// Only the buffered system: the library's own thread reads the caller's file
// from its start, and the stream reads on until it is freed. The formats are
// those it opens from a file.
DWORD WINAPI BASS_StreamCreateFileUser(DWORD system, DWORD flags, const BASS_FILEPROCS *procs, void *user) {
  EnterCriticalSection(&g_lock);
  DWORD handle = 0;
  int error = !g_initialised ? BASS_ERROR_INIT : BASS_ERROR_FILEFORM;
  if (g_initialised && (procs == NULL || procs->read == NULL || system != STREAMFILE_BUFFER)) {
    error = BASS_ERROR_ILLPARAM;
  } else if (g_initialised) {
    ByteSource src;
    UserFileSource *user_file = OpenUserFileSource(procs, user, &src);
    if (user_file != NULL) {
      handle = OpenStream(&src, flags, user_file);
      if (handle == 0) CloseUserFileSource(user_file);
    } else {
      error = BASS_ERROR_FILEOPEN;
    }
  }
  LeaveCriticalSection(&g_lock);
  return Result(handle, handle != 0, error);
}

BOOL WINAPI BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO *info) {
  EnterCriticalSection(&g_lock);
  StreamSlot *s = FindStream(handle);
  if (s != NULL && info != NULL) {
    memset(info, 0, sizeof(*info));
    info->freq = s->facts.freq;
    info->chans = s->facts.chans;
    info->flags = s->flags;
    info->ctype = s->facts.format < sizeof(kChannelTypes) / sizeof(kChannelTypes[0]) ? kChannelTypes[s->facts.format] : 0;
    info->origres = s->facts.origres;
    info->plugin = s->addon_slot >= 0 ? AddOnHandleAt(s->addon_slot) : 0;
    info->sample = 0;
    info->filename = NULL;
  }
  LeaveCriticalSection(&g_lock);
  return Result<BOOL>(s != NULL && info != NULL, s != NULL && info != NULL,
                      s == NULL ? BASS_ERROR_HANDLE : BASS_ERROR_ILLPARAM);
}

QWORD WINAPI BASS_ChannelGetLength(DWORD handle, DWORD mode) {
  EnterCriticalSection(&g_lock);
  QWORD length = BASS_LENGTH_UNKNOWN;
  StreamSlot *s = FindStream(handle);
  if (s != NULL && mode == BASS_POS_BYTE && s->facts.length_known) {
    QWORD frame_bytes = (QWORD)s->facts.chans * BytesPerSample(s);
    // A frame count too large to express in bytes counts as unknown.
    if (s->facts.frames <= (BASS_LENGTH_UNKNOWN - 1) / frame_bytes) length = s->facts.frames * frame_bytes;
  }
  LeaveCriticalSection(&g_lock);
  return Result(length, length != BASS_LENGTH_UNKNOWN, s == NULL ? BASS_ERROR_HANDLE : BASS_ERROR_NOTAVAIL);
}

double WINAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
  EnterCriticalSection(&g_lock);
  double seconds = -1.0;
  StreamSlot *s = FindStream(handle);
  if (s != NULL) {
    double bytes_per_second = (double)s->facts.freq * s->facts.chans * BytesPerSample(s);
    seconds = (double)pos / bytes_per_second;
  }
  LeaveCriticalSection(&g_lock);
  return Result(seconds, s != NULL, BASS_ERROR_HANDLE);
}

const char *WINAPI BASS_ChannelGetTags(DWORD handle, DWORD tags) {
  EnterCriticalSection(&g_lock);
  const char *block = NULL;
  StreamSlot *s = FindStream(handle);
  if (s != NULL) {
    // The tag types the library hands out, by the stand-in's kinds.
    static const DWORD kTagTypes[kTagKinds] = {BASS_TAG_ID3V2, BASS_TAG_OGG, BASS_TAG_APE,      BASS_TAG_ID3,
                                               BASS_TAG_RIFF_INFO, BASS_TAG_MP4, BASS_TAG_WMA};
    for (int kind = 0; kind < kTagKinds; ++kind) {
      if (kTagTypes[kind] == tags) block = (const char *)s->facts.tags[kind].data;
    }
  }
  LeaveCriticalSection(&g_lock);
  return Result(block, block != NULL, s == NULL ? BASS_ERROR_HANDLE : BASS_ERROR_NOTAVAIL);
}

BOOL WINAPI BASS_StreamFree(DWORD handle) {
  EnterCriticalSection(&g_lock);
  StreamSlot *s = FindStream(handle);
  if (s != NULL) ReleaseSlot(s);
  LeaveCriticalSection(&g_lock);
  return Result<BOOL>(s != NULL, s != NULL, BASS_ERROR_HANDLE);
}

int WINAPI BASS_ErrorGetCode(void) {
  return g_error_slot != TLS_OUT_OF_INDEXES ? (int)(intptr_t)TlsGetValue(g_error_slot) : BASS_OK;
}

DWORD WINAPI BASS_GetVersion(void) { return OlderGeneration() ? kOlderVersion : kCurrentVersion; }
