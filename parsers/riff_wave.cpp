#include "parsers/riff_wave.h"

#include "parsers/byte_order.h"

bool DecodeWaveFormatBlock(const uint8_t *block, uint32_t delivered, WaveFormatBlock *format) {
  // Tag, channels, rate and bits lie in the first 16 bytes; a field that was
  // never delivered must not be read as if it had been.
  if (delivered < 16) return false;
  format->format_tag = Le16(block + 0);
  format->channels = Le16(block + 2);
  format->sample_rate = Le32(block + 4);
  format->bits_per_sample = Le16(block + 14);
  format->sub_format_word = 0;
  format->chunk_size = 0;
  if (format->format_tag == kWaveTagExtensible) {
    if (delivered < 28) return false;
    format->sub_format_word = Le32(block + 24);
  }
  return true;
}

bool WaveFormatAccepted(const WaveFormatBlock *format) {
  if (format->format_tag == kWaveTagPcm || format->format_tag == kWaveTagFloat) return true;
  if (format->format_tag != kWaveTagExtensible) return false;
  return format->sub_format_word == kWaveTagPcm || format->sub_format_word == kWaveTagFloat;
}

bool WaveFormatIsFloat(const WaveFormatBlock *format) {
  if (format->format_tag == kWaveTagFloat) return true;
  return format->format_tag == kWaveTagExtensible && format->sub_format_word == kWaveTagFloat;
}

bool WaveFormatEmpty(const WaveFormatBlock *format) {
  return format->bits_per_sample == 0 || format->channels == 0 || format->sample_rate == 0;
}

bool IsRiffWaveForm(const uint8_t *bytes, uint32_t size) {
  if (size < 12) return false;
  return Le32(bytes) == 0x46464952u && Le32(bytes + 8) == 0x45564157u;  // "RIFF", "WAVE"
}

bool WaveLengthMs(uint32_t data_size, const WaveFormatBlock *format, uint32_t *length_ms) {
  // Bytes per sample is the container width shifted, so 4-bit formats give 0.
  const uint32_t bytes_per_sample = (uint32_t)(format->bits_per_sample >> 3);
  if (format->sample_rate == 0 || format->channels == 0 || bytes_per_sample == 0) return false;
  uint64_t length = (uint64_t)data_size * 1000u;
  length /= format->sample_rate;
  length /= format->channels;
  length /= bytes_per_sample;
  // The host stores the length as a signed 32-bit value.
  if (length > 0x7FFFFFFFu) return false;
  *length_ms = (uint32_t)length;
  return true;
}

uint32_t WaveDataBytesPresent(uint32_t declared, uint64_t present) {
  return present < declared ? (uint32_t)present : declared;
}

// The walk. A header word that arrives short means the end of the file:
// from there every read delivers nothing and no search can succeed, so the
// walk stops at once instead of running out its skip budget.
static bool ReadHeaderWord(const WaveSeam *seam, uint32_t *word) {
  uint8_t bytes[4];
  if (seam->read(seam->context, bytes, 4) != 4) return false;
  *word = Le32(bytes);
  return true;
}

// Reads a chunk's size and moves past its data; the size counts as a signed
// 32-bit distance and no pad byte is skipped after an odd size. While "fmt "
// is sought the seam may put the next identifier out of reach.
static bool SkipChunkAndReadId(const WaveSeam *seam, bool seeking_fmt, uint32_t *id) {
  uint32_t size = 0;
  if (!ReadHeaderWord(seam, &size)) return false;
  seam->seek(seam->context, (int32_t)size);
  if (seeking_fmt && seam->fmt_id_in_reach != nullptr && !seam->fmt_id_in_reach(seam->context)) return false;
  return ReadHeaderWord(seam, id);
}

// The "fmt " search and the format block's fields, without the accept test;
// *delivered is how much of the block the read gave.
static bool LocateWaveFormat(const WaveSeam *seam, uint32_t *skips, WaveFormatBlock *format, uint32_t *delivered) {
  uint32_t id = 0;
  if (!ReadHeaderWord(seam, &id)) return false;
  while (id != kChunkIdFmt) {
    if (*skips >= kWaveFmtSkipLimit) return false;
    if (!SkipChunkAndReadId(seam, true, &id)) return false;
    ++*skips;
  }
  if (*skips >= kWaveFmtSkipLimit) return false;
  uint32_t chunk_size = 0;
  if (!ReadHeaderWord(seam, &chunk_size)) return false;
  uint8_t block[kWaveFormatBlockBytes] = {0};
  *delivered = seam->read(seam->context, block, kWaveFormatBlockBytes);
  if (!DecodeWaveFormatBlock(block, *delivered, format)) return false;
  format->chunk_size = chunk_size;
  return true;
}

bool FindAnyWaveFormat(const WaveSeam *seam, WaveFormatBlock *format) {
  uint32_t skips = 0, delivered = 0;
  return LocateWaveFormat(seam, &skips, format, &delivered);
}

bool FindWaveFormat(const WaveSeam *seam, uint32_t *skips, WaveFormatBlock *format) {
  uint32_t delivered = 0;
  if (!LocateWaveFormat(seam, skips, format, &delivered)) return false;
  if (!WaveFormatAccepted(format)) return false;
  // Back to the end of the "fmt " chunk (-24 for the usual 16 bytes). The move
  // counts from what the read delivered: near the end of a short file it
  // stops early, and a fixed -24 would land inside the format block.
  seam->seek(seam->context, (int32_t)(format->chunk_size - delivered));
  return true;
}

bool WaveLengthFromSeam(const WaveSeam *seam, uint32_t *length_ms) {
  uint32_t riff_word = 0;
  for (int i = 0; i < 3; ++i) {
    if (!ReadHeaderWord(seam, &riff_word)) return false;
  }
  uint32_t skips = 0;
  WaveFormatBlock format;
  if (!FindWaveFormat(seam, &skips, &format)) return false;
  uint32_t id = 0;
  if (!ReadHeaderWord(seam, &id)) return false;
  while (id != kChunkIdData) {
    if (skips >= kWaveSkipLimit) return false;
    if (!SkipChunkAndReadId(seam, false, &id)) return false;
    ++skips;
  }
  if (skips >= kWaveSkipLimit) return false;
  uint32_t data_size = 0;
  if (!ReadHeaderWord(seam, &data_size)) return false;
  const uint64_t present = seam->remaining != nullptr ? seam->remaining(seam->context) : kWaveBytesUnknown;
  return WaveLengthMs(WaveDataBytesPresent(data_size, present), &format, length_ms);
}

// The response seam. Its offsets are those of the received bytes: a move
// before the start has no bytes to land on, so it ends the walk.
static uint32_t ResponseRead(void *context, uint8_t *buffer, uint32_t count) {
  WaveResponse *response = static_cast<WaveResponse *>(context);
  if (response->lost || response->pos >= response->size) return 0;
  const uint64_t left = response->size - response->pos;
  const uint32_t n = count < left ? count : (uint32_t)left;
  for (uint32_t i = 0; i < n; ++i) buffer[i] = response->bytes[response->pos + i];
  response->pos += n;
  return n;
}

static void ResponseSeek(void *context, int32_t distance) {
  WaveResponse *response = static_cast<WaveResponse *>(context);
  if (distance < 0 && (uint64_t)(-(int64_t)distance) > response->pos) {
    response->lost = true;
    return;
  }
  response->pos = (uint64_t)((int64_t)response->pos + distance);
}

static uint64_t ResponseRemaining(void *context) {
  const WaveResponse *response = static_cast<const WaveResponse *>(context);
  if (response->content_length == kWaveBytesUnknown) return kWaveBytesUnknown;
  return response->content_length > response->pos ? response->content_length - response->pos : 0;
}

static bool ResponseFmtIdInReach(void *context) {
  const WaveResponse *response = static_cast<const WaveResponse *>(context);
  return !response->lost && response->pos <= kWaveHttpIdLimit;
}

void MakeWaveResponseSeam(WaveResponse *response, const uint8_t *bytes, uint32_t size, uint64_t content_length,
                          WaveSeam *seam) {
  response->bytes = bytes;
  response->size = size;
  response->content_length = content_length;
  response->pos = 0;
  response->lost = false;
  seam->context = response;
  seam->read = ResponseRead;
  seam->seek = ResponseSeek;
  seam->remaining = ResponseRemaining;
  seam->fmt_id_in_reach = ResponseFmtIdInReach;
}

bool WaveLengthFromResponse(const uint8_t *bytes, uint32_t size, uint64_t content_length, uint32_t *length_ms) {
  WaveResponse response;
  WaveSeam seam;
  MakeWaveResponseSeam(&response, bytes, size, content_length, &seam);
  return WaveLengthFromSeam(&seam, length_ms);
}
