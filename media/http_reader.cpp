// WinINet in asynchronous mode, so that no step waits longer than the time
// the deadline leaves: InternetOpenUrlW returns only once the response
// headers are complete, and each byte of them restarts WinINet's receive
// timeout, so a server that trickles its headers would otherwise hold the
// caller as long as it likes. At the deadline the handles are closed, which
// ends the pending step; its completion is no longer waited for.
#include "media/http_reader.h"

#include <string.h>
#include <wininet.h>

#include "media/http_agent.h"

static const DWORD kHttpConnectTimeoutMs = 10000;
enum { kHttpStagingBytes = 65536 };

struct HttpRequestState {
  HINTERNET internet;
  HINTERNET request;       // from the handle-created report, then the open's result
  DWORD started;           // GetTickCount when the request went out
  HANDLE step_done;        // auto-reset: the pending step completed
  DWORD_PTR step_result;   // of the latest completed step
  volatile LONG abandoned;
  DWORD status;
  uint64_t length;
};

// One request at a time (the host never overlaps queries). The lock orders
// WinINet's callback threads against the end of a request: a callback whose
// context is not the current serial belongs to a request already closed.
static HttpRequestState Http;
static SRWLOCK HttpLock = SRWLOCK_INIT;
static DWORD_PTR HttpSerial;         // context of the open request's callbacks, 0 when none
static DWORD_PTR HttpLastSerial;
// A read lands here first: a step that the deadline cut off may still
// complete later, and must then write into memory that stays.
static unsigned char HttpStaging[kHttpStagingBytes];
static DWORD HttpStagingGot;

static DWORD HttpTimeLeft(void) {
  const DWORD elapsed = GetTickCount() - Http.started;
  return elapsed >= kHttpDeadlineMs ? 0 : kHttpDeadlineMs - elapsed;
}

// Bounds every wait of a handle's socket by what is left of the deadline.
static void LimitHttpWaits(HINTERNET handle, DWORD ms) {
  if (ms == 0) ms = 1;  // 0 would mean no limit at all
  InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
  InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
}

// Runs on WinINet's threads. Not every WinINet passes timeouts down from the
// internet handle (Wine's does not), so the request gets its own as soon as
// it exists, before it goes out.
static void CALLBACK HttpStatusReport(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD info_size) {
  if (status != INTERNET_STATUS_HANDLE_CREATED && status != INTERNET_STATUS_REQUEST_COMPLETE) return;
  if (info == NULL || info_size < sizeof(DWORD_PTR)) return;
  AcquireSRWLockExclusive(&HttpLock);
  if (context != 0 && context == HttpSerial) {
    // Both reports start with a result word: the new handle, or the step's.
    const DWORD_PTR result = *static_cast<const DWORD_PTR *>(info);
    if (status == INTERNET_STATUS_HANDLE_CREATED) {
      HINTERNET created = reinterpret_cast<HINTERNET>(result);
      if (created != NULL) {
        if (Http.request == NULL) Http.request = created;
        LimitHttpWaits(created, HttpTimeLeft());
      }
    } else {
      Http.step_result = result;
      SetEvent(Http.step_done);
    }
  }
  ReleaseSRWLockExclusive(&HttpLock);
}

// Waits for the pending step; true when it completed with success, within
// the deadline and before an abandonment.
static bool AwaitStep(void) {
  const DWORD left = HttpTimeLeft();
  if (left == 0 || Http.abandoned) return false;
  if (WaitForSingleObject(Http.step_done, left) != WAIT_OBJECT_0) return false;
  return !Http.abandoned && Http.step_result != 0;
}

static DWORD QueryStatus(HINTERNET request) {
  DWORD status = 0, size = sizeof status;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, NULL)) return 0;
  return status;
}

static uint64_t QueryLength(HINTERNET request) {
  wchar_t text[32];
  DWORD size = sizeof text - sizeof text[0];
  if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, NULL)) return kHttpLengthUnknown;
  const DWORD units = size / sizeof text[0];
  text[units < 32 ? units : 31] = 0;
  uint64_t value = 0;
  if (text[0] == 0) return kHttpLengthUnknown;
  for (const wchar_t *p = text; *p != 0; ++p) {
    if (*p < L'0' || *p > L'9') return kHttpLengthUnknown;
    if (value > (kHttpLengthUnknown - 1 - 9) / 10) return kHttpLengthUnknown;
    value = value * 10 + (uint64_t)(*p - L'0');
  }
  return value;
}

bool OpenHttpResponse(const wchar_t *url) {
  CloseHttpResponse();
  Http.step_done = CreateEventW(NULL, FALSE, FALSE, NULL);
  if (Http.step_done == NULL) return false;
  Http.started = GetTickCount();
  AcquireSRWLockExclusive(&HttpLock);
  if (++HttpLastSerial == 0) ++HttpLastSerial;
  HttpSerial = HttpLastSerial;
  ReleaseSRWLockExclusive(&HttpLock);

  Http.internet = InternetOpenW(kHttpAgentWide, INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, NULL, NULL,
                                INTERNET_FLAG_ASYNC);
  if (Http.internet == NULL) {
    CloseHttpResponse();
    return false;
  }
  DWORD connect_timeout = kHttpConnectTimeoutMs;
  InternetSetOptionW(Http.internet, INTERNET_OPTION_CONNECT_TIMEOUT, &connect_timeout, sizeof connect_timeout);
  LimitHttpWaits(Http.internet, kHttpDeadlineMs);  // where children inherit them, that is enough
  InternetSetStatusCallbackW(Http.internet, HttpStatusReport);
  HINTERNET request = InternetOpenUrlW(Http.internet, url, NULL, 0, 0, HttpSerial);
  if (request == NULL) {
    if (GetLastError() != ERROR_IO_PENDING || !AwaitStep()) {
      CloseHttpResponse();
      return false;
    }
    request = reinterpret_cast<HINTERNET>(Http.step_result);
  }
  AcquireSRWLockExclusive(&HttpLock);
  Http.request = request;
  ReleaseSRWLockExclusive(&HttpLock);
  Http.status = QueryStatus(request);
  Http.length = QueryLength(request);
  return true;
}

DWORD HttpResponseStatus(void) { return Http.request != NULL ? Http.status : 0; }

uint64_t HttpResponseLength(void) { return Http.request != NULL ? Http.length : kHttpLengthUnknown; }

DWORD ReadArrivedBytes(unsigned char *buffer, DWORD count) {
  HINTERNET request = Http.request;
  if (request == NULL || count == 0) return 0;
  DWORD available = 0;
  for (;;) {
    const DWORD left = HttpTimeLeft();
    if (left == 0 || Http.abandoned) return 0;
    LimitHttpWaits(request, left);
    ResetEvent(Http.step_done);
    if (InternetQueryDataAvailable(request, &available, 0, 0)) break;
    // Nothing has arrived yet: wait for it, then ask again.
    if (GetLastError() != ERROR_IO_PENDING || !AwaitStep()) return 0;
  }
  if (available == 0) return 0;  // the end of the response
  if (available > count) available = count;
  if (available > kHttpStagingBytes) available = kHttpStagingBytes;
  ResetEvent(Http.step_done);
  HttpStagingGot = 0;
  if (!InternetReadFile(request, HttpStaging, available, &HttpStagingGot)) {
    if (GetLastError() != ERROR_IO_PENDING || !AwaitStep()) return 0;
  }
  // Never trust a count beyond what was asked for.
  DWORD got = HttpStagingGot <= available ? HttpStagingGot : available;
  memcpy(buffer, HttpStaging, got);
  return got;
}

DWORD ReadResponseBytes(unsigned char *buffer, DWORD count) {
  DWORD total = 0;
  while (total < count) {
    const DWORD got = ReadArrivedBytes(buffer + total, count - total);
    if (got == 0) break;
    total += got;
  }
  return total;
}

void AbandonHttpResponse(void) {
  InterlockedExchange(&Http.abandoned, 1);
  if (Http.step_done != NULL) SetEvent(Http.step_done);
}

static void CloseInternetHandle(HINTERNET handle) {
  if (handle == NULL) return;
  InternetSetStatusCallbackW(handle, NULL);
  InternetCloseHandle(handle);
}

void CloseHttpResponse(void) {
  AcquireSRWLockExclusive(&HttpLock);
  HttpSerial = 0;  // from here on no callback touches this request's state
  HINTERNET request = Http.request;
  ReleaseSRWLockExclusive(&HttpLock);
  CloseInternetHandle(request);
  CloseInternetHandle(Http.internet);
  if (Http.step_done != NULL) CloseHandle(Http.step_done);
  memset(&Http, 0, sizeof Http);
}
