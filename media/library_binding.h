// Run-time binding of "bass.dll" and its seven add-ons.
#pragma once
#include "media/bass_api.h"

enum { kAddOnCount = 7 };
extern const char *const kAddOnFileNames[kAddOnCount];

struct MediaLibraryBindingRecord {
  HMODULE module;  // null while unbound
  BASS_Init_fn Init;
  BASS_Free_fn Free;
  BASS_SetConfig_fn SetConfig;
  BASS_SetConfigPtr_fn SetConfigPtr;
  BASS_PluginLoad_fn PluginLoad;
  BASS_PluginFree_fn PluginFree;
  BASS_StreamCreateFile_fn StreamCreateFile;
  BASS_StreamCreateFileUser_fn StreamCreateFileUser;
  BASS_GetVersion_fn GetVersion;
  BASS_ChannelGetInfo_fn ChannelGetInfo;
  BASS_ChannelGetLength_fn ChannelGetLength;
  BASS_ChannelBytes2Seconds_fn ChannelBytes2Seconds;
  BASS_ChannelGetTags_fn ChannelGetTags;
  BASS_StreamFree_fn StreamFree;
  DWORD addons[kAddOnCount];  // in load order, zero for a missing add-on
  DWORD version;              // BASS_GetVersion at binding, 0 when it cannot be read
};
extern MediaLibraryBindingRecord MediaLibraryBinding;

// Binds on first use; afterwards MediaLibraryBound() tells whether it worked.
void BindMediaLibrary(void);
bool MediaLibraryBound(void);
// Releases the add-ons and the library (the host's Quit).
void UnbindMediaLibrary(void);

// The operations the queries use. A missing entry point counts as a failed
// step (the failure value below), never a call through a null pointer.
enum { kFallbackInitRate = 44100 };
void MediaInit(void);                                          // BASS_Init(0,0,0,0,0), then at 44100 Hz if refused
void MediaFree(void);                                          // BASS_Free()
// Decode-only, UTF-16 path; 0 on failure. A release older than 2.4.13 never
// gets a RIFF/WAVE file whose format block gives 0 bits, 0 channels or a rate
// of 0 (it divides by zero on it): such a file counts as one that failed.
DWORD MediaStreamCreateFile(const wchar_t *path);
// Decode-only float over the caller's file procedures, buffered system; 0 on failure.
DWORD MediaStreamCreateFileUser(const BASS_FILEPROCS *procs, void *user);
bool MediaChannelGetInfo(DWORD stream, BASS_CHANNELINFO *info);
QWORD MediaChannelGetLength(DWORD stream);                     // BASS_LENGTH_UNKNOWN on failure
double MediaChannelBytes2Seconds(DWORD stream, QWORD bytes);   // negative on failure
const char *MediaChannelGetTags(DWORD stream, DWORD type);     // null when absent
void MediaStreamFree(DWORD stream);
