// The media library's operations as the plug-in calls them (and as the
// stand-in library in standin/ implements them). Every operation is WINAPI
// (__stdcall) and exported undecorated.
#pragma once
#include <windows.h>
#include <stddef.h>
#include <stdint.h>

typedef uint64_t QWORD;

struct BASS_CHANNELINFO {
  DWORD freq;     // sample rate
  DWORD chans;    // channel count
  DWORD flags;
  DWORD ctype;
  DWORD origres;  // source resolution in bits, 0 when not known (lossy)
  DWORD plugin;
  DWORD sample;
  const char *filename;
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(BASS_CHANNELINFO) == 32, "eight 32-bit fields");
#endif

enum {
  BASS_CONFIG_NET_AGENT = 16,
  BASS_CONFIG_OPTION_29 = 29,  // set to 1 before init; its meaning is the library's
  BASS_SAMPLE_FLOAT = 0x100,
  BASS_STREAM_DECODE = 0x200000,
  BASS_UNICODE = (int)0x80000000u,
  BASS_POS_BYTE = 0,
  BASS_TAG_ID3 = 0,
  BASS_TAG_ID3V2 = 1,
  BASS_TAG_OGG = 2,
  BASS_TAG_APE = 6,
  BASS_TAG_MP4 = 7,
  BASS_TAG_WMA = 8,
  BASS_TAG_RIFF_INFO = 0x100,
};
static const QWORD BASS_LENGTH_UNKNOWN = ~(QWORD)0;

// BASS_StreamCreateFileUser's file systems: in the buffered one the library
// reads the file on a thread of its own, as it does a download.
enum { STREAMFILE_NOBUFFER = 0, STREAMFILE_BUFFER = 1 };

// A file the caller reads for the library. The callbacks are CALLBACK
// (__stdcall) and may run on the library's own thread.
typedef void(CALLBACK *FILECLOSEPROC)(void *user);
typedef QWORD(CALLBACK *FILELENPROC)(void *user);  // 0: length not known
typedef DWORD(CALLBACK *FILEREADPROC)(void *buffer, DWORD length, void *user);  // 0: the end
typedef BOOL(CALLBACK *FILESEEKPROC)(QWORD offset, void *user);
struct BASS_FILEPROCS {
  FILECLOSEPROC close;
  FILELENPROC length;
  FILEREADPROC read;
  FILESEEKPROC seek;
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(BASS_FILEPROCS) == 16, "four 32-bit code pointers");
#endif

// The first release whose BASS_StreamCreateFile opens a WAV file with 0 bits
// per sample without dividing by zero (2.4.13.0).
static const DWORD kFirstReleaseSafeOnEmptyWave = 0x02040D00;

typedef BOOL(WINAPI *BASS_Init_fn)(int device, DWORD freq, DWORD flags, HWND win, const void *clsid);
typedef BOOL(WINAPI *BASS_Free_fn)(void);
typedef BOOL(WINAPI *BASS_SetConfig_fn)(DWORD option, DWORD value);
typedef BOOL(WINAPI *BASS_SetConfigPtr_fn)(DWORD option, const void *value);
typedef DWORD(WINAPI *BASS_PluginLoad_fn)(const char *file, DWORD flags);
typedef BOOL(WINAPI *BASS_PluginFree_fn)(DWORD plugin);
typedef DWORD(WINAPI *BASS_StreamCreateFile_fn)(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags);
typedef DWORD(WINAPI *BASS_StreamCreateURL_fn)(const char *url, DWORD offset, DWORD flags, void *downloadproc, void *user);
typedef DWORD(WINAPI *BASS_StreamCreateFileUser_fn)(DWORD system, DWORD flags, const BASS_FILEPROCS *procs, void *user);
typedef BOOL(WINAPI *BASS_ChannelGetInfo_fn)(DWORD handle, BASS_CHANNELINFO *info);
typedef QWORD(WINAPI *BASS_ChannelGetLength_fn)(DWORD handle, DWORD mode);
typedef double(WINAPI *BASS_ChannelBytes2Seconds_fn)(DWORD handle, QWORD pos);
typedef const char *(WINAPI *BASS_ChannelGetTags_fn)(DWORD handle, DWORD tags);
typedef BOOL(WINAPI *BASS_StreamFree_fn)(DWORD handle);
typedef DWORD(WINAPI *BASS_GetVersion_fn)(void);
// Not called by the plug-in; the stand-in exports it as the library does.
typedef int(WINAPI *BASS_ErrorGetCode_fn)(void);
