// WAV-only mode over HTTP: the first bytes of the response, read within the
// HTTP reader's deadline, and the header walk over them.
#include "media/wave_http.h"

#include "media/http_reader.h"

// The bytes of the latest HTTP response. Only the bytes received for the
// current query are ever walked, so what an earlier query left past them
// is never taken for this one.
static const DWORD kHttpHeaderBufferBytes = 65536;
static unsigned char HttpHeaderBuffer[kHttpHeaderBufferBytes];

bool ReadWaveHeaderHttp(const wchar_t *url, uint32_t *length_ms) {
  if (!OpenHttpResponse(url)) return false;
  // The status is not examined: whatever body arrives is walked.
  const DWORD received = ReadResponseBytes(HttpHeaderBuffer, kHttpHeaderBufferBytes);
  const uint64_t length = HttpResponseLength();
  const bool read = WaveLengthFromResponse(HttpHeaderBuffer, received,
                                           length == kHttpLengthUnknown ? kWaveBytesUnknown : length, length_ms);
  CloseHttpResponse();
  return read;
}
