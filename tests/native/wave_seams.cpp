#include "tests/native/wave_seams.h"

#include <string.h>

// The furthest position SetFilePointer reaches without a high word.
static const uint64_t kMaxPosition = 0xFFFFFFFEu;

static bool Move(uint64_t *pos, int32_t distance) {
  if (distance < 0 && (uint64_t)(-(int64_t)distance) > *pos) return false;
  uint64_t next = *pos + (int64_t)distance;
  if (next > kMaxPosition) return false;
  *pos = next;
  return true;
}

static uint32_t MemoryRead(void *context, uint8_t *buffer, uint32_t count) {
  MemoryWaveFile *file = static_cast<MemoryWaveFile *>(context);
  ++file->reads;
  if (file->pos >= file->size) return 0;
  size_t left = file->size - (size_t)file->pos;
  uint32_t n = count < left ? count : (uint32_t)left;
  memcpy(buffer, file->data + file->pos, n);
  file->pos += n;
  return n;
}

static void MemorySeek(void *context, int32_t distance) {
  Move(&static_cast<MemoryWaveFile *>(context)->pos, distance);
}

void MakeMemoryWaveSeam(MemoryWaveFile *file, const uint8_t *data, size_t size, WaveSeam *seam) {
  file->data = data;
  file->size = size;
  file->pos = 0;
  file->reads = 0;
  seam->context = file;
  seam->read = MemoryRead;
  seam->seek = MemorySeek;
  seam->remaining = nullptr;  // the declared data size stands, as the fuzz golden records it
  seam->fmt_id_in_reach = nullptr;
}

static uint32_t DiskRead(void *context, uint8_t *buffer, uint32_t count) {
  DiskWaveFile *file = static_cast<DiskWaveFile *>(context);
  if (fseeko(file->stream, (off_t)file->pos, SEEK_SET) != 0) return 0;
  size_t n = fread(buffer, 1, count, file->stream);
  file->pos += n;
  return (uint32_t)n;
}

static void DiskSeek(void *context, int32_t distance) { Move(&static_cast<DiskWaveFile *>(context)->pos, distance); }

bool OpenDiskWaveSeam(DiskWaveFile *file, const char *path, WaveSeam *seam) {
  file->stream = fopen(path, "rb");
  file->pos = 0;
  if (file->stream == NULL) return false;
  seam->context = file;
  seam->read = DiskRead;
  seam->seek = DiskSeek;
  seam->remaining = nullptr;
  seam->fmt_id_in_reach = nullptr;
  return true;
}

void CloseDiskWaveSeam(DiskWaveFile *file) {
  if (file->stream != NULL) fclose(file->stream);
  file->stream = NULL;
}
