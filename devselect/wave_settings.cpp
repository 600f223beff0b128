#include "devselect/wave_settings.h"

#include "common/ini_file.h"
#include "common/settings_path.h"

static_assert(sizeof(WAVEOUTCAPSA) == 52, "the capability record the device list reuses");

WaveDeviceSettingsRecord WaveDeviceSettings;

static const wchar_t kSection[] = L"Tandrel";

// The eight keys, in the order the OK path writes them (the loader reads them
// in the same order).
static const IniIntSetting kWaveSettingKeys[] = {
    {kSection, L"WaveDevice", 0, &WaveDeviceSettings.WaveDevice},
    {kSection, L"WavePreloadBuffer", 256, &WaveDeviceSettings.WavePreloadBuffer},
    {kSection, L"WaveVolume", 1, &WaveDeviceSettings.WaveVolume},
    {kSection, L"WaveDirect", 0, &WaveDeviceSettings.WaveDirect},
    {kSection, L"WaveBufferSize", 32, &WaveDeviceSettings.WaveBufferSize},
    {kSection, L"WaveBufferNum", 4, &WaveDeviceSettings.WaveBufferNum},
    {kSection, L"AutoSamplerate", 0, &WaveDeviceSettings.AutoSamplerate},
    {kSection, L"Mixer32", 1, &WaveDeviceSettings.Mixer32},
};

// The settings file, or null when there is none.
static const wchar_t *SettingsFile(void) {
  return WaveDeviceSettings.HasSettingsPath ? WaveDeviceSettings.SettingsPath : NULL;
}

void LoadWaveDeviceSettings(void) {
  // A path that the platform cut short, or that leaves no room for the file
  // name, names no settings file: the dialog shows the defaults and OK
  // writes nothing.
  WaveDeviceSettings.HasSettingsPath = BuildSettingsPath(WaveDeviceSettings.SettingsPath, kSettingsPathUnits);
  if (!WaveDeviceSettings.HasSettingsPath) WaveDeviceSettings.SettingsPath[0] = 0;
  LoadIniSettings(SettingsFile(), kWaveSettingKeys, ARRAYSIZE(kWaveSettingKeys));
}

void StoreWaveDeviceSettings(bool device_chosen) {
  for (const IniIntSetting &setting : kWaveSettingKeys) {
    // With no row chosen the stored device stays as it is.
    if (setting.value == &WaveDeviceSettings.WaveDevice && !device_chosen) continue;
    // Any value, so one carried over from the file is written back whole.
    WriteIniInt(SettingsFile(), setting.section, setting.key, *setting.value);
  }
}
