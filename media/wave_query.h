// WAV-only mode: length and title of a WAV file from its RIFF/WAVE header,
// read locally or over HTTP, without the media library.
#pragma once
#include "media/query_result.h"

// Queries `item`. A URL (lower-case "ht" start) is requested only when the
// host wants the length (`want_length`) and never gets a title. A local file
// gets the length when its header is read whole, and its file name as title
// unless it opened and the header failed.
void ReadWaveHeader(const wchar_t *item, bool want_length, QueryResult *result);
