#include "common/ini_file.h"

#include <windows.h>
#include <wchar.h>

enum { kValueTextUnits = 16 };  // any int in decimal, sign and terminator included

int ReadIniInt(const wchar_t *ini, const wchar_t *section, const wchar_t *key, int fallback) {
  if (ini == NULL) return fallback;
  return (int)GetPrivateProfileIntW(section, key, fallback, ini);
}

void WriteIniInt(const wchar_t *ini, const wchar_t *section, const wchar_t *key, int value) {
  if (ini == NULL) return;
  wchar_t text[kValueTextUnits];
  swprintf(text, kValueTextUnits, L"%i", value);
  WritePrivateProfileStringW(section, key, text, ini);
}

void LoadIniSettings(const wchar_t *ini, const IniIntSetting *settings, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const IniIntSetting &setting = settings[i];
    *setting.value = ReadIniInt(ini, setting.section, setting.key, setting.fallback);
  }
}
