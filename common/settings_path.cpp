#include "common/settings_path.h"

#include <windows.h>
#include <string.h>
#include <wchar.h>

static const wchar_t kSettingsFileName[] = L"Tandrel.ini";

bool ReplaceFileNameWithIni(wchar_t *path, size_t capacity) {
  if (path == NULL || capacity == 0) return false;
  size_t length = wcsnlen(path, capacity);
  if (length == capacity) return false;  // not terminated inside its buffer
  size_t name_start = 0;
  for (size_t i = 0; i < length; ++i) {
    if (path[i] == L'\\') name_start = i + 1;
  }
  const size_t needed = sizeof(kSettingsFileName) / sizeof(kSettingsFileName[0]);  // terminator included
  if (needed > capacity - name_start) return false;
  memcpy(path + name_start, kSettingsFileName, sizeof(kSettingsFileName));
  return true;
}

bool GetExecutablePath(wchar_t *path, size_t capacity) {
  if (path == NULL || capacity == 0 || capacity > 0x7FFFFFFF) return false;
  DWORD got = GetModuleFileNameW(NULL, path, (DWORD)capacity);
  // A path that fills the buffer was cut short by the platform.
  if (got == 0 || got >= capacity) {
    path[0] = 0;
    return false;
  }
  path[got] = 0;
  return true;
}

bool BuildSettingsPath(wchar_t *path, size_t capacity) {
  if (!GetExecutablePath(path, capacity)) return false;
  return ReplaceFileNameWithIni(path, capacity);
}
