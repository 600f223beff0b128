// WAV-only mode: length (and title) of a WAV file from its RIFF/WAVE header,
// read locally or over HTTP, without the media library.
#pragma once
#include <windows.h>

void ReadWaveHeader(const wchar_t *file, wchar_t *title, int *length_in_ms);
void ReadWaveHeaderHttp(const wchar_t *url, int *length_in_ms);
DWORD ReadResponseBytes(void *request, unsigned char *buffer, DWORD count);
