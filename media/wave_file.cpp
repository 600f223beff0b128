#include "media/wave_file.h"

#include <windows.h>

static uint32_t FileSeamRead(void *context, uint8_t *buffer, uint32_t count) {
  DWORD delivered = 0;
  if (!ReadFile(*static_cast<HANDLE *>(context), buffer, count, &delivered, NULL)) return 0;
  return delivered <= count ? delivered : count;
}

static void FileSeamSeek(void *context, int32_t distance) {
  // On failure (a move before the start) the position stays where it was.
  SetFilePointer(*static_cast<HANDLE *>(context), distance, NULL, FILE_CURRENT);
}

static HANDLE OpenWaveFile(const wchar_t *path) {
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

WaveFileOutcome ReadWaveFileLength(const wchar_t *path, uint32_t *length_ms) {
  HANDLE handle = OpenWaveFile(path);
  if (handle == INVALID_HANDLE_VALUE) return kWaveFileNotOpened;
  WaveSeam seam = {&handle, FileSeamRead, FileSeamSeek};
  const bool read = WaveLengthFromSeam(&seam, length_ms);
  CloseHandle(handle);
  return read ? kWaveHeaderRead : kWaveHeaderBroken;
}

bool ReadWaveFormatOfFile(const wchar_t *path, WaveFormatBlock *format) {
  HANDLE handle = OpenWaveFile(path);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  if (SetFilePointer(handle, 12, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
    WaveSeam seam = {&handle, FileSeamRead, FileSeamSeek};
    uint32_t skips = 0;
    uint32_t fmt_size = 0;
    found = FindWaveFormat(&seam, &skips, &fmt_size, format);
  }
  CloseHandle(handle);
  return found;
}
