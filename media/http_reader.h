// The plug-in's own HTTP reader, for both modes: one GET at a time, bounded
// as a whole by one deadline from the request to the last byte taken,
// response headers included. The WAV-only query reads the start of the
// response; the library-mode query hands the response to the media library,
// whose own thread then reads it.
#pragma once
#include <windows.h>
#include <stdint.h>

static const DWORD kHttpDeadlineMs = 15000;
static const uint64_t kHttpLengthUnknown = ~(uint64_t)0;

// Requests `url` (agent "Lavf/55.37.101") and waits for the response headers
// no longer than the deadline allows. False, with nothing left open, when no
// response came in time.
bool OpenHttpResponse(const wchar_t *url);
// The open response's status code, 0 when it gave none.
DWORD HttpResponseStatus(void);
// Its Content-Length, kHttpLengthUnknown without one.
uint64_t HttpResponseLength(void);
// Up to `count` bytes of what has arrived, waiting for the first of them no
// longer than the deadline allows; 0 at the end of the response, on a failed
// read, after the deadline and once abandoned. Any one thread may call it.
DWORD ReadArrivedBytes(unsigned char *buffer, DWORD count);
// Reads until `count` bytes, the end, a failure or the deadline; returns the
// bytes received.
DWORD ReadResponseBytes(unsigned char *buffer, DWORD count);
// Every later read, and one waiting now, returns 0 at once (from any thread).
void AbandonHttpResponse(void);
// Closes the request and its internet handle; nothing of it calls back into
// the plug-in afterwards. Does nothing when nothing is open.
void CloseHttpResponse(void);
