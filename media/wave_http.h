// WAV-only mode over HTTP: the length from the RIFF/WAVE header at the start
// of the response, without the media library.
#pragma once
#include <stdint.h>

#include "parsers/riff_wave.h"

// Requests `url` and walks the first bytes of whatever body arrives within
// 15 s of the request. True, with the length, when the header was read whole.
bool ReadWaveHeaderHttp(const wchar_t *url, uint32_t *length_ms);
