#include "plugin/settings.h"

#include <string.h>
#include <wchar.h>

#include "common/ini_file.h"
#include "common/settings_path.h"
#include "parsers/title_rules.h"

PluginSettingsRecord PluginSettings;  // every value is set at load

static const wchar_t kSacdSection[] = L"SACD";

// Every key the plug-in keeps in "Tandrel.ini", in the order they are read at
// load; the settings dialog writes the [SACD] ones back in the same order.
static const IniIntSetting kSettingKeys[] = {
    {L"Tandrel", L"OnlyWav", 0, &PluginSettings.OnlyWav},
    {kSacdSection, L"asio_mode", 0, &PluginSettings.asio_mode},
    {kSacdSection, L"dsd_limit", 3, &PluginSettings.dsd_limit},
    {kSacdSection, L"pcm_multichannel", 0, &PluginSettings.pcm_multichannel},
    {kSacdSection, L"volume", 4, &PluginSettings.volume},
    {kSacdSection, L"samplerate", 0, &PluginSettings.samplerate},
};

// Thirteen pairs of extension and description "A"; the implicit terminator of
// the literal is the list's final zero byte, making 80 bytes in all.
const char kExtensionList[kExtensionBufferBytes] =
    "WAV\0A\0FLAC\0A\0APE\0A\0WV\0A\0DFF\0A\0DSF\0A\0M4A\0A\0AIFF\0A\0MP3\0A\0MP4\0A\0OGG\0A\0AAC\0A\0WMA\0A\0";

int HostReadsTagsFromPath(const wchar_t *exe_path) {
  if (exe_path == NULL) return 0;
  const wchar_t *name = FileNamePart(exe_path);
  // Test each character before stepping over it: a short name ends early.
  if (name[0] == 0 || name[1] == 0) return 0;
  return (name[2] == L'L' || name[2] == L'l') ? 1 : 0;
}

void LoadPluginSettings(const wchar_t *host_path) {
  PluginSettings.HostReadsTags = HostReadsTagsFromPath(host_path);

  wchar_t ini[kAttachPathUnits];
  const wchar_t *ini_path = NULL;
  if (host_path != NULL && wcsnlen(host_path, kAttachPathUnits) < kAttachPathUnits) {
    wcscpy(ini, host_path);
    if (ReplaceFileNameWithIni(ini, kAttachPathUnits)) ini_path = ini;
  }
  // A host path that leaves no room for the file name in the attach buffer
  // has no settings file: every value keeps its default.
  LoadIniSettings(ini_path, kSettingKeys, ARRAYSIZE(kSettingKeys));

  memcpy(PluginSettings.FileExtensions, kExtensionList, kExtensionBufferBytes);
  // WAV-only: end the list after "WAV\0A\0" by cutting the "F" of "FLAC".
  if (PluginSettings.OnlyWav != 0) PluginSettings.FileExtensions[6] = 0;
}

void StoreSacdSettings(const wchar_t *ini) {
  // The host reads the five keys as one set: all are written, changed or not.
  for (const IniIntSetting &setting : kSettingKeys) {
    if (wcscmp(setting.section, kSacdSection) == 0) WriteIniInt(ini, setting.section, setting.key, *setting.value);
  }
}

void OnProcessAttach(void) {
  // The host's own path may be longer than the settings buffer; read it whole
  // so its name still decides HostReadsTags.
  static wchar_t host_path[32768];
  LoadPluginSettings(GetExecutablePath(host_path, sizeof(host_path) / sizeof(host_path[0])) ? host_path : NULL);
}
