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

static uint64_t FileSeamRemaining(void *context) {
  HANDLE handle = *static_cast<HANDLE *>(context);
  LARGE_INTEGER size, here, none;
  none.QuadPart = 0;
  if (!GetFileSizeEx(handle, &size) || !SetFilePointerEx(handle, none, &here, FILE_CURRENT)) return kWaveBytesUnknown;
  if (size.QuadPart < 0 || here.QuadPart < 0) return kWaveBytesUnknown;
  return here.QuadPart <= size.QuadPart ? (uint64_t)(size.QuadPart - here.QuadPart) : 0;
}

static HANDLE OpenWaveFile(const wchar_t *path) {
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

WaveFileOutcome ReadWaveFileLength(const wchar_t *path, uint32_t *length_ms) {
  HANDLE handle = OpenWaveFile(path);
  if (handle == INVALID_HANDLE_VALUE) return kWaveFileNotOpened;
  WaveSeam seam = {&handle, FileSeamRead, FileSeamSeek, FileSeamRemaining, NULL};
  const bool read = WaveLengthFromSeam(&seam, length_ms);
  CloseHandle(handle);
  return read ? kWaveHeaderRead : kWaveHeaderBroken;
}

bool ReadWaveFormatOfFile(const wchar_t *path, WaveFormatBlock *format) {
  HANDLE handle = OpenWaveFile(path);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  if (SetFilePointer(handle, 12, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
    WaveSeam seam = {&handle, FileSeamRead, FileSeamSeek, FileSeamRemaining, NULL};
    uint32_t skips = 0;
    found = FindWaveFormat(&seam, &skips, format);
  }
  CloseHandle(handle);
  return found;
}

bool WaveFileHasEmptyFormat(const wchar_t *path) {
  // Shared for writing too: the library opens files that way, and a file a
  // writer still holds must reach it as before.
  HANDLE handle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
  if (handle == INVALID_HANDLE_VALUE) return false;
  uint8_t riff[12];
  bool empty = false;
  WaveSeam seam = {&handle, FileSeamRead, FileSeamSeek, FileSeamRemaining, NULL};
  if (FileSeamRead(&handle, riff, sizeof riff) == sizeof riff && IsRiffWaveForm(riff, sizeof riff)) {
    WaveFormatBlock format;
    empty = FindAnyWaveFormat(&seam, &format) && WaveFormatEmpty(&format);
  }
  CloseHandle(handle);
  return empty;
}
