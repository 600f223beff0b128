// The local RIFF walk's read/seek seam for the native build: over a byte
// buffer (fuzzing, crafted cases) and over a file on disk (real files). Both
// move the way the Windows file seam does: a relative move that would land
// before the start or past what a 32-bit file pointer holds fails and leaves
// the position; reads past the end deliver nothing.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "parsers/riff_wave.h"

struct MemoryWaveFile {
  const uint8_t *data;
  size_t size;
  uint64_t pos;
  uint32_t reads;  // read calls made, to bound what a walk may do
};

// Fills `seam` to walk `file` from its start.
void MakeMemoryWaveSeam(MemoryWaveFile *file, const uint8_t *data, size_t size, WaveSeam *seam);

struct DiskWaveFile {
  FILE *stream;
  uint64_t pos;
};

// Opens `path` for the walk; false when it cannot be read. Close it after.
bool OpenDiskWaveSeam(DiskWaveFile *file, const char *path, WaveSeam *seam);
void CloseDiskWaveSeam(DiskWaveFile *file);
