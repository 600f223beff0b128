// WAV-only mode on local files: the RIFF/WAVE header read from the disk in
// small pieces, skipped chunks passed over by moving the file position.
#pragma once
#include <stdint.h>

#include "parsers/riff_wave.h"

enum WaveFileOutcome {
  kWaveFileNotOpened,  // no such file, or it cannot be read
  kWaveHeaderBroken,   // opened, but the header walk failed
  kWaveHeaderRead,     // the whole header was read: the length is set
};

WaveFileOutcome ReadWaveFileLength(const wchar_t *path, uint32_t *length_ms);

// Skips the 12-byte RIFF header unchecked and runs the "fmt " search; the
// details box uses it. False when the file does not open or no accepted
// format block is found.
bool ReadWaveFormatOfFile(const wchar_t *path, WaveFormatBlock *format);

// The file begins as RIFF/WAVE and its format block gives 0 bits per sample,
// 0 channels or a rate of 0 (whatever its format tag). False when it does not
// open or reads otherwise.
bool WaveFileHasEmptyFormat(const wchar_t *path);
