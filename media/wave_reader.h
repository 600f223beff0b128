// WAV-only mode: length (and title) of a WAV file from its RIFF/WAVE header,
// read locally or over HTTP, without the media library.
#pragma once
#include <windows.h>

#include "media/riff_wave.h"

enum { kHttpHeaderBufferBytes = 65536 };

void ReadWaveHeader(const wchar_t *file, wchar_t *title, int *length_in_ms);
void ReadWaveHeaderHttp(const wchar_t *url, int *length_in_ms);
DWORD ReadResponseBytes(void *request, unsigned char *buffer, DWORD count);

// Opens a local file, skips its 12-byte RIFF header unchecked and runs the
// "fmt " search; the details box uses it. False when the file does not open
// or no accepted format block is found.
bool ReadWaveFormatOfFile(const wchar_t *file, WaveFormatBlock *format);
