// HTTP resources as a ByteSource over WinINet (Windows edge of the library).
// The body is read from the start as far as a parser asks, up to a cap; the
// last part of a resource of known length is fetched with one range request.
// As the library's downloads do, a request gives up about 5 s after it went
// out while its response headers are not complete, and then waits for the
// body as long as the server keeps the connection open: there is no deadline
// of its own and no receive timeout.
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
  HANDLE step_done;       // auto-reset: a pending WinINet step completed
  DWORD_PTR step_result;  // of the latest completed step
};

// Sends the GET with the given agent; false, with everything closed, unless
// the server answers 200.
bool OpenHttpSource(HttpSource *hs, const char *url, const char *agent, ByteSource *src);
void CloseHttpSource(HttpSource *hs);
// Reads the body from its start until `bytes` (or all of a shorter body) are
// there, or it ends: the library fills its buffer before it looks at a
// download, so a server that sends slowly holds it while it does.
void PrebufferHttpSource(HttpSource *hs, uint32_t bytes);
