#include "media/wave_reader.h"

#include <wininet.h>

#include "media/title_rules.h"

// The bytes of the latest HTTP response. Only the bytes received for the
// current query are ever walked, so what an earlier query left past them
// is never taken for this one.
static unsigned char HttpHeaderBuffer[kHttpHeaderBufferBytes];

static const wchar_t kHttpAgent[] = L"Lavf/55.37.101";
// A stalled server must not hang the host's thread for WinINet's defaults
// (minutes); these still leave a slow network ample time.
static const DWORD kHttpConnectTimeoutMs = 10000;
static const DWORD kHttpReceiveTimeoutMs = 15000;

static uint32_t FileSeamRead(void *context, uint8_t *buffer, uint32_t count) {
  DWORD delivered = 0;
  if (!ReadFile(*static_cast<HANDLE *>(context), buffer, count, &delivered, NULL)) return 0;
  return delivered <= count ? delivered : count;
}

static void FileSeamSeek(void *context, int32_t distance) {
  // On failure (a move before the start) the position stays where it was.
  SetFilePointer(*static_cast<HANDLE *>(context), distance, NULL, FILE_CURRENT);
}

static HANDLE OpenWaveFile(const wchar_t *file) {
  return CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

void ReadWaveHeader(const wchar_t *file, wchar_t *title, int *length_in_ms) {
  if (file == NULL) return;
  // Only the first two units are tested, so "https" takes this way too and
  // "HTTP://" is opened as a local path.
  if (file[0] == L'h' && file[1] == L't') {
    ReadWaveHeaderHttp(file, length_in_ms);
    return;
  }
  HANDLE handle = OpenWaveFile(file);
  if (handle != INVALID_HANDLE_VALUE) {
    WaveSeam seam = {&handle, FileSeamRead, FileSeamSeek};
    uint32_t length = 0;
    const bool read = WaveLengthFromSeam(&seam, &length);
    CloseHandle(handle);
    if (!read) return;  // a malformed header leaves length and title alone
    if (length_in_ms != NULL) *length_in_ms = (int)length;
  }
  // A file that does not open still gets its title.
  if (title != NULL) WaveFileTitle(file, title);
}

void ReadWaveHeaderHttp(const wchar_t *url, int *length_in_ms) {
  if (length_in_ms == NULL || url == NULL) return;
  HINTERNET internet = InternetOpenW(kHttpAgent, INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, NULL, NULL, 0);
  if (internet == NULL) return;
  // Set on the internet handle, the request opened from it inherits them and
  // they bound the connection and every wait for response bytes.
  DWORD connect_timeout = kHttpConnectTimeoutMs;
  DWORD receive_timeout = kHttpReceiveTimeoutMs;
  InternetSetOptionW(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &connect_timeout, sizeof connect_timeout);
  InternetSetOptionW(internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive_timeout, sizeof receive_timeout);
  HINTERNET request = InternetOpenUrlW(internet, url, NULL, 0, 0, 0);
  if (request == NULL) {
    InternetCloseHandle(internet);
    return;
  }
  // The status is not examined: whatever body arrives is walked.
  const DWORD received = ReadResponseBytes(request, HttpHeaderBuffer, kHttpHeaderBufferBytes);
  uint32_t length = 0;
  if (WaveLengthFromResponse(HttpHeaderBuffer, received, &length)) *length_in_ms = (int)length;
  InternetCloseHandle(request);
  InternetCloseHandle(internet);
}

DWORD ReadResponseBytes(void *request, unsigned char *buffer, DWORD count) {
  DWORD total = 0;
  while (total < count) {
    DWORD got = 0;
    if (!InternetReadFile(static_cast<HINTERNET>(request), buffer + total, count - total, &got)) break;
    if (got == 0) break;
    // Never trust a count beyond what was asked for.
    if (got > count - total) got = count - total;
    total += got;
  }
  return total;
}

bool ReadWaveFormatOfFile(const wchar_t *file, WaveFormatBlock *format) {
  HANDLE handle = OpenWaveFile(file);
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
