// Process-wide settings of the plug-in, read once when the host loads it.
#pragma once
#include <windows.h>
#include <stddef.h>

enum { kExtensionBufferBytes = 80, kAttachPathUnits = 256, kDialogPathUnits = 260 };

struct PluginSettingsRecord {
  int OnlyWav;           // [Tandrel] non-zero: WAV files only, no media library
  int asio_mode;         // [SACD] the host's DSD decoder settings, shown and stored by Config
  int dsd_limit;
  int pcm_multichannel;
  int volume;
  int samplerate;
  int HostReadsTags;     // third letter of the host's file name is L or l
  char FileExtensions[kExtensionBufferBytes];  // In_Module.FileExtensions points here
};

extern PluginSettingsRecord PluginSettings;

// The extension pairs offered to the host, double-NUL terminated.
extern const char kExtensionList[kExtensionBufferBytes];

// 1 when the file-name part of `exe_path` has "L" or "l" as its third character.
int HostReadsTagsFromPath(const wchar_t *exe_path);

// Everything process attach does, given the host executable's path
// (null when it could not be read whole: every value takes its default).
void LoadPluginSettings(const wchar_t *host_path);

// Writes the five [SACD] values to the settings file at `ini`.
void StoreSacdSettings(const wchar_t *ini);

// Called from the library's entry point at process attach.
void OnProcessAttach(void);
