// HTTP resources as a ByteSource over WinINet (Windows edge of the library).
// The body is read from the start as far as a parser asks, up to a cap; the
// last part of a resource of known length is fetched with one range request.
#pragma once
#include <windows.h>
#include <wininet.h>

#include "standin/byte_source.h"

struct HttpSource {
  HINTERNET session;
  HINTERNET connection;   // the main request's own connection
  HINTERNET request;
  char url[2048];
  char agent[256];
  uint64_t length;        // Content-Length, or kSourceSizeUnknown
  uint8_t *head;          // bytes from the start of the body
  uint32_t head_used;
  uint32_t head_cap;
  bool head_done;         // the body ended or failed
  uint8_t *tail;          // the last bytes of the resource
  uint64_t tail_pos;
  uint32_t tail_size;
  uint32_t tail_fetches;  // range requests made
  DWORD opened_at;        // GetTickCount when opened: reads stop some time after it
};

// Sends the GET with the given agent; false, with everything closed, unless
// the server answers 200.
bool OpenHttpSource(HttpSource *hs, const char *url, const char *agent, ByteSource *src);
void CloseHttpSource(HttpSource *hs);
