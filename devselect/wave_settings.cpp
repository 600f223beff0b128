#include "devselect/wave_settings.h"

#include "common/ini_file.h"
#include "common/settings_path.h"

static_assert(sizeof(WAVEOUTCAPSA) == 52, "the capability record the device list reuses");

WaveDeviceSettingsRecord WaveDeviceSettings;

static const wchar_t kSection[] = L"Tandrel";

static int ReadWaveSetting(const wchar_t *key, int fallback) {
  if (!WaveDeviceSettings.HasSettingsPath) return fallback;
  return (int)GetPrivateProfileIntW(kSection, key, fallback, WaveDeviceSettings.SettingsPath);
}

void LoadWaveDeviceSettings(void) {
  // A path that the platform cut short, or that leaves no room for the file
  // name, names no settings file: the dialog shows the defaults and OK
  // writes nothing.
  WaveDeviceSettings.HasSettingsPath = BuildSettingsPath(WaveDeviceSettings.SettingsPath, kSettingsPathUnits);
  if (!WaveDeviceSettings.HasSettingsPath) WaveDeviceSettings.SettingsPath[0] = 0;

  WaveDeviceSettings.WaveDevice = ReadWaveSetting(L"WaveDevice", 0);
  WaveDeviceSettings.WaveVolume = ReadWaveSetting(L"WaveVolume", 1);
  WaveDeviceSettings.WaveBufferSize = ReadWaveSetting(L"WaveBufferSize", 32);
  WaveDeviceSettings.WaveBufferNum = ReadWaveSetting(L"WaveBufferNum", 4);
  WaveDeviceSettings.WaveDirect = ReadWaveSetting(L"WaveDirect", 0);
  WaveDeviceSettings.WavePreloadBuffer = ReadWaveSetting(L"WavePreloadBuffer", 256);
  WaveDeviceSettings.AutoSamplerate = ReadWaveSetting(L"AutoSamplerate", 0);
  WaveDeviceSettings.Mixer32 = ReadWaveSetting(L"Mixer32", 1);
}

void WriteWaveSetting(const wchar_t *key, int value) {
  if (!WaveDeviceSettings.HasSettingsPath) return;
  // Any value, so one carried over from the file is written back whole.
  WriteIniInt(WaveDeviceSettings.SettingsPath, kSection, key, value);
}
