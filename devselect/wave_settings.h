// The host's wave output settings, section [Tandrel] of "Tandrel.ini" beside
// devselect.exe: loaded once before the dialog opens, updated by the dialog.
#pragma once
#include <windows.h>
#include <mmsystem.h>

enum { kSettingsPathUnits = 522 };

struct WaveDeviceSettingsRecord {
  int WaveDevice;         // device list row: 0 "<Default Device>", k the device k-1
  int WaveVolume;         // flag
  int WaveBufferSize;     // KB, 1 to 512
  int WaveBufferNum;      // 2 to 8
  int WaveDirect;         // flag "Force Direct Mode"
  int WavePreloadBuffer;  // KB, 64 to 32768
  int AutoSamplerate;     // flag "Automate system sampling rate"
  int Mixer32;            // 0: 24-bit mixer, else 32-bit mixer
  wchar_t SettingsPath[kSettingsPathUnits];
  bool HasSettingsPath;   // false: the path did not fit; nothing is read or written
  WAVEOUTCAPSA DeviceCaps;  // shared by every device while the list is filled
};

extern WaveDeviceSettingsRecord WaveDeviceSettings;

// Builds the settings path and loads the eight values (defaults for missing
// keys, nothing validated).
void LoadWaveDeviceSettings(void);

// Writes the eight values as decimal text, all but WaveDevice when no device
// row is chosen; nothing without a settings path.
void StoreWaveDeviceSettings(bool device_chosen);
