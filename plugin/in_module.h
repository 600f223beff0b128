// The host's input-plug-in interface (Unicode variant): the In_Module record the
// plug-in hands out and the two Out_Module slots it forwards to.
// Every field is 32 bits in the 32-bit build users install; fields that hold
// addresses are pointer-sized so the 64-bit test build keeps them whole.
#pragma once
#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#define IN_MODULE_VERSION 0x0F000100  // interface 0x100 | Unicode paths 0x0F000000

struct Out_Module {
  int version;
  char *description;
  intptr_t id;
  HWND hMainWindow;
  HINSTANCE hDllInstance;
  void(__cdecl *Config)(HWND parent);
  void(__cdecl *About)(HWND parent);
  void(__cdecl *Init)(void);
  void(__cdecl *Quit)(void);
  int(__cdecl *Open)(int samplerate, int numchannels, int bitspersamp, int bufferlenms, int prebufferms);
  void(__cdecl *Close)(void);
  int(__cdecl *Write)(char *buf, int len);
  int(__cdecl *CanWrite)(void);
  int(__cdecl *IsPlaying)(void);
  int(__cdecl *Pause)(int pause);
  void(__cdecl *SetVolume)(int volume);  // 16th field
  void(__cdecl *SetPan)(int pan);        // 17th field
  void(__cdecl *Flush)(int t);
  int(__cdecl *GetOutputTime)(void);
  int(__cdecl *GetWrittenTime)(void);
};

struct In_Module {
  int version;
  const char *description;
  HWND hMainWindow;
  HINSTANCE hDllInstance;
  char *FileExtensions;
  intptr_t is_seekable;  // 1, or the address of the ExtraInfoBlock after GetFileInfo
  int UsesOutputPlug;
  void(__cdecl *Config)(HWND parent);
  void(__cdecl *About)(HWND parent);
  void(__cdecl *Init)(void);
  void(__cdecl *Quit)(void);
  void(__cdecl *GetFileInfo)(const wchar_t *file, wchar_t *title, int *length_in_ms);
  int(__cdecl *InfoBox)(const wchar_t *file, HWND parent);
  int(__cdecl *IsOurFile)(const wchar_t *file);
  int(__cdecl *Play)(const wchar_t *file);
  void(__cdecl *Pause)(void);
  void(__cdecl *UnPause)(void);
  int(__cdecl *IsPaused)(void);
  void(__cdecl *Stop)(void);
  int(__cdecl *GetLength)(void);
  int(__cdecl *GetOutputTime)(void);
  void(__cdecl *SetOutputTime)(int time_in_ms);
  void(__cdecl *SetVolume)(int volume);
  void(__cdecl *SetPan)(int pan);
  void(__cdecl *SAVSAInit)(int maxlatency_in_ms, int srate);
  void(__cdecl *SAVSADeInit)(void);
  void(__cdecl *SAAddPCMData)(void *pcm, int nch, int bps, int timestamp);
  int(__cdecl *SAGetMode)(void);
  int(__cdecl *SAAdd)(void *data, int timestamp, int csa);
  void(__cdecl *VSAAddPCMData)(void *pcm, int nch, int bps, int timestamp);
  int(__cdecl *VSAGetMode)(int *specNch, int *waveNch);
  int(__cdecl *VSAAdd)(void *data, int timestamp);
  void(__cdecl *VSASetInfo)(int srate, int nch);
  int(__cdecl *dsp_isactive)(void);
  int(__cdecl *dsp_dosamples)(short *samples, int numsamples, int bps, int nch, int srate);
  void(__cdecl *EQSet)(int on, char data[10], int preamp);
  void(__cdecl *SetInfo)(int bitrate, int srate, int stereo, int synched);
  Out_Module *outMod;
};

#if defined(_WIN32) && !defined(_WIN64)
// The host reads these offsets; a different layout breaks every host.
static_assert(sizeof(In_Module) == 152, "In_Module is 38 32-bit fields");
static_assert(offsetof(In_Module, is_seekable) == 20, "is_seekable is the 6th field");
static_assert(offsetof(In_Module, outMod) == 148, "outMod is the 38th field");
static_assert(offsetof(Out_Module, SetVolume) == 15 * 4, "SetVolume is the 16th field");
static_assert(offsetof(Out_Module, SetPan) == 16 * 4, "SetPan is the 17th field");
#endif
#if defined(_WIN64)
static_assert(sizeof(In_Module::is_seekable) == sizeof(void *), "is_seekable carries an address");
#endif

extern "C" __declspec(dllexport) In_Module *__cdecl winampGetInModule2(void);

// The one static record of the plug-in.
extern In_Module g_InModule;
