#include "common/ini_file.h"

#include <windows.h>
#include <wchar.h>

enum { kValueTextUnits = 16 };  // any int in decimal, sign and terminator included

void WriteIniInt(const wchar_t *ini, const wchar_t *section, const wchar_t *key, int value) {
  wchar_t text[kValueTextUnits];
  swprintf(text, kValueTextUnits, L"%i", value);
  WritePrivateProfileStringW(section, key, text, ini);
}
