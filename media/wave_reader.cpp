#include "media/wave_reader.h"
// Placeholder until the RIFF/WAVE reader lands.
void ReadWaveHeader(const wchar_t *, wchar_t *, int *) {}
void ReadWaveHeaderHttp(const wchar_t *, int *) {}
DWORD ReadResponseBytes(void *, unsigned char *, DWORD) { return 0; }
