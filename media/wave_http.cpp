// WAV-only mode over HTTP: the first bytes of the response, read within a
// deadline, and the header walk over them.
#include "media/wave_http.h"

#include <wininet.h>

#include "media/http_agent.h"

// The bytes of the latest HTTP response. Only the bytes received for the
// current query are ever walked, so what an earlier query left past them
// is never taken for this one.
static unsigned char HttpHeaderBuffer[kHttpHeaderBufferBytes];

// A dead server must not hold the host's thread for WinINet's defaults
// (minutes). The whole read, from the request to the last byte taken, ends
// this long after the request: a server that stalls or sends a byte now and
// then gets no longer, and the header walk runs over what arrived by then.
static const DWORD kHttpConnectTimeoutMs = 10000;
static const DWORD kHttpDeadlineMs = 15000;

// When the current request went out (GetTickCount), for the status callback.
static DWORD HttpRequestStart;

static DWORD HttpTimeLeft(DWORD start) {
  const DWORD elapsed = GetTickCount() - start;
  return elapsed >= kHttpDeadlineMs ? 0 : kHttpDeadlineMs - elapsed;
}

// Bounds every wait of a handle's socket by what is left of the deadline.
static void LimitHttpWaits(HINTERNET handle, DWORD ms) {
  if (ms == 0) ms = 1;  // 0 would mean no limit at all
  InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
  InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
}

// InternetOpenUrlW reports each handle it makes before the request goes out.
// Not every WinINet passes timeouts down from the internet handle (Wine's
// does not), so the request gets its own here, while the response headers
// are still to come.
static void CALLBACK HttpHandleCreated(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD info_size) {
  if (status != INTERNET_STATUS_HANDLE_CREATED || info == NULL || info_size < sizeof(HINTERNET)) return;
  // The information starts with the new handle (an INTERNET_ASYNC_RESULT's
  // dwResult, or the handle alone).
  HINTERNET created = *static_cast<HINTERNET *>(info);
  if (created != NULL) LimitHttpWaits(created, HttpTimeLeft(*reinterpret_cast<const DWORD *>(context)));
}

bool ReadWaveHeaderHttp(const wchar_t *url, uint32_t *length_ms) {
  HINTERNET internet = InternetOpenW(kHttpAgentWide, INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, NULL, NULL, 0);
  if (internet == NULL) return false;
  DWORD connect_timeout = kHttpConnectTimeoutMs;
  InternetSetOptionW(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &connect_timeout, sizeof connect_timeout);
  HttpRequestStart = GetTickCount();
  LimitHttpWaits(internet, kHttpDeadlineMs);  // where children inherit them, that is enough
  InternetSetStatusCallbackW(internet, HttpHandleCreated);
  HINTERNET request = InternetOpenUrlW(internet, url, NULL, 0, 0, (DWORD_PTR)&HttpRequestStart);
  if (request == NULL) {
    InternetCloseHandle(internet);
    return false;
  }
  // The status is not examined: whatever body arrives is walked.
  const DWORD received = ReadResponseBytes(request, HttpHeaderBuffer, kHttpHeaderBufferBytes);
  const bool read = WaveLengthFromResponse(HttpHeaderBuffer, received, length_ms);
  InternetCloseHandle(request);
  InternetCloseHandle(internet);
  return read;
}

// Reads up to `count` bytes until the response ends, a read fails or the
// request's deadline passes. Each read asks only for what has arrived, so no
// read waits for bytes a slow server has not sent yet.
DWORD ReadResponseBytes(void *request, unsigned char *buffer, DWORD count) {
  HINTERNET handle = static_cast<HINTERNET>(request);
  DWORD total = 0;
  while (total < count) {
    const DWORD left = HttpTimeLeft(HttpRequestStart);
    if (left == 0) break;
    LimitHttpWaits(handle, left);
    DWORD available = 0;
    if (!InternetQueryDataAvailable(handle, &available, 0, 0) || available == 0) break;
    if (available > count - total) available = count - total;
    DWORD got = 0;
    if (!InternetReadFile(handle, buffer + total, available, &got) || got == 0) break;
    // Never trust a count beyond what was asked for.
    if (got > available) got = available;
    total += got;
  }
  return total;
}
