// Integer settings in an INI file: read with the platform's integer reader and
// written as plain decimal text, the way the host and both companions read
// them back.
#pragma once
#include <stddef.h>

// One integer setting: where it lies in the file, its value when the key is
// missing, and the variable that holds it.
struct IniIntSetting {
  const wchar_t *section;
  const wchar_t *key;
  int fallback;
  int *value;
};

// The integer under [section] `key` of the INI file at `ini`; `fallback` when
// the key is missing, and with no settings file (`ini` null).
int ReadIniInt(const wchar_t *ini, const wchar_t *section, const wchar_t *key, int fallback);

// Writes `value` under [section] `key` of the INI file at `ini`, whole
// whatever its size; nothing with no settings file (`ini` null). A failed
// write goes unnoticed.
void WriteIniInt(const wchar_t *ini, const wchar_t *section, const wchar_t *key, int value);

// Each setting's variable from the file, in the order given.
void LoadIniSettings(const wchar_t *ini, const IniIntSetting *settings, size_t count);
