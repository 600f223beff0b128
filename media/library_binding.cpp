// Run-time binding of the media library and its add-ons, and the operations
// the queries call through it.
#include "media/library_binding.h"

#include "media/http_agent.h"
#include "media/wave_file.h"

const char *const kAddOnFileNames[kAddOnCount] = {
    "bassflac.dll", "basswv.dll", "bass_ape.dll", "bass_aac.dll", "bassalac.dll", "basswma.dll", "bassdsd.dll",
};

MediaLibraryBindingRecord MediaLibraryBinding;

template <typename Fn>
static void Resolve(Fn *slot, const char *name) {
  *slot = reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(GetProcAddress(MediaLibraryBinding.module, name)));
}

void BindMediaLibrary(void) {
  MediaLibraryBindingRecord &b = MediaLibraryBinding;
  if (b.module != NULL) return;
  b.module = LoadLibraryA("bass.dll");
  if (b.module == NULL) return;
  Resolve(&b.Init, "BASS_Init");
  Resolve(&b.Free, "BASS_Free");
  Resolve(&b.SetConfig, "BASS_SetConfig");
  Resolve(&b.SetConfigPtr, "BASS_SetConfigPtr");
  Resolve(&b.PluginLoad, "BASS_PluginLoad");
  Resolve(&b.PluginFree, "BASS_PluginFree");
  Resolve(&b.StreamCreateFile, "BASS_StreamCreateFile");
  Resolve(&b.StreamCreateFileUser, "BASS_StreamCreateFileUser");
  Resolve(&b.GetVersion, "BASS_GetVersion");
  Resolve(&b.ChannelGetInfo, "BASS_ChannelGetInfo");
  Resolve(&b.ChannelGetLength, "BASS_ChannelGetLength");
  Resolve(&b.ChannelBytes2Seconds, "BASS_ChannelBytes2Seconds");
  Resolve(&b.ChannelGetTags, "BASS_ChannelGetTags");
  Resolve(&b.StreamFree, "BASS_StreamFree");

  b.version = b.GetVersion != NULL ? b.GetVersion() : 0;
  if (b.SetConfigPtr != NULL) b.SetConfigPtr(BASS_CONFIG_NET_AGENT, kHttpAgent);
  if (b.SetConfig != NULL) b.SetConfig(BASS_CONFIG_OPTION_29, 1);
  MediaInit();
  for (int i = 0; i < kAddOnCount; ++i) {
    b.addons[i] = b.PluginLoad != NULL ? b.PluginLoad(kAddOnFileNames[i], 0) : 0;
  }
}

bool MediaLibraryBound(void) { return MediaLibraryBinding.module != NULL; }

void UnbindMediaLibrary(void) {
  MediaLibraryBindingRecord &b = MediaLibraryBinding;
  if (b.module == NULL) return;
  for (int i = 0; i < kAddOnCount; ++i) {
    if (b.PluginFree != NULL) b.PluginFree(b.addons[i]);
  }
  MediaFree();
  FreeLibrary(b.module);
  b = MediaLibraryBindingRecord();
}

// The current release of the library refuses frequency 0 on device 0 (its
// "no sound" device wants a real rate) and then opens no stream at all; older
// releases take 0. One retry with a real rate serves both; its result, like
// the first call's, is not needed (a second Init of an initialised library
// fails harmlessly).
void MediaInit(void) {
  if (MediaLibraryBinding.Init == NULL) return;
  if (!MediaLibraryBinding.Init(0, 0, 0, NULL, NULL)) MediaLibraryBinding.Init(0, kFallbackInitRate, 0, NULL, NULL);
}

void MediaFree(void) {
  if (MediaLibraryBinding.Free != NULL) MediaLibraryBinding.Free();
}

// A version that cannot be read (0) counts as a new release.
static bool OlderThanSafeOnEmptyWave(void) {
  const DWORD version = MediaLibraryBinding.version;
  return version != 0 && version < kFirstReleaseSafeOnEmptyWave;
}

DWORD MediaStreamCreateFile(const wchar_t *path) {
  if (MediaLibraryBinding.StreamCreateFile == NULL) return 0;
  if (OlderThanSafeOnEmptyWave() && WaveFileHasEmptyFormat(path)) return 0;
  return MediaLibraryBinding.StreamCreateFile(FALSE, path, 0, 0, BASS_UNICODE | BASS_STREAM_DECODE);
}

DWORD MediaStreamCreateFileUser(const BASS_FILEPROCS *procs, void *user) {
  if (MediaLibraryBinding.StreamCreateFileUser == NULL) return 0;
  return MediaLibraryBinding.StreamCreateFileUser(STREAMFILE_BUFFER, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT, procs,
                                                  user);
}

bool MediaChannelGetInfo(DWORD stream, BASS_CHANNELINFO *info) {
  if (MediaLibraryBinding.ChannelGetInfo == NULL) return false;
  return MediaLibraryBinding.ChannelGetInfo(stream, info) != 0;
}

QWORD MediaChannelGetLength(DWORD stream) {
  if (MediaLibraryBinding.ChannelGetLength == NULL) return BASS_LENGTH_UNKNOWN;
  return MediaLibraryBinding.ChannelGetLength(stream, BASS_POS_BYTE);
}

double MediaChannelBytes2Seconds(DWORD stream, QWORD bytes) {
  if (MediaLibraryBinding.ChannelBytes2Seconds == NULL) return -1.0;
  return MediaLibraryBinding.ChannelBytes2Seconds(stream, bytes);
}

const char *MediaChannelGetTags(DWORD stream, DWORD type) {
  if (MediaLibraryBinding.ChannelGetTags == NULL) return NULL;
  return MediaLibraryBinding.ChannelGetTags(stream, type);
}

void MediaStreamFree(DWORD stream) {
  if (MediaLibraryBinding.StreamFree != NULL) MediaLibraryBinding.StreamFree(stream);
}
