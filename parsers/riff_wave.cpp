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

// Local walk. A header word that arrives short means the end of the file:
// from there every read delivers nothing and no search can succeed, so the
// walk stops at once instead of running out its skip budget.
static bool ReadHeaderWord(const WaveSeam *seam, uint32_t *word) {
  uint8_t bytes[4];
  if (seam->read(seam->context, bytes, 4) != 4) return false;
  *word = Le32(bytes);
  return true;
}

// Reads a chunk's size and moves past its data; the size counts as a signed
// 32-bit distance and no pad byte is skipped after an odd size.
static bool SkipChunkAndReadId(const WaveSeam *seam, uint32_t *id) {
  uint32_t size = 0;
  if (!ReadHeaderWord(seam, &size)) return false;
  seam->seek(seam->context, (int32_t)size);
  return ReadHeaderWord(seam, id);
}

// The "fmt " search and the format block's fields, without the accept test;
// *delivered is how much of the block the read gave.
static bool LocateWaveFormat(const WaveSeam *seam, uint32_t *skips, uint32_t *fmt_size, WaveFormatBlock *format,
                             uint32_t *delivered) {
  uint32_t id = 0;
  if (!ReadHeaderWord(seam, &id)) return false;
  while (id != kChunkIdFmt) {
    if (*skips >= kWaveFmtSkipLimit) return false;
    if (!SkipChunkAndReadId(seam, &id)) return false;
    ++*skips;
  }
  if (*skips >= kWaveFmtSkipLimit) return false;
  if (!ReadHeaderWord(seam, fmt_size)) return false;
  uint8_t block[kWaveFormatBlockBytes] = {0};
  *delivered = seam->read(seam->context, block, kWaveFormatBlockBytes);
  return DecodeWaveFormatBlock(block, *delivered, format);
}

bool FindAnyWaveFormat(const WaveSeam *seam, WaveFormatBlock *format) {
  uint32_t skips = 0, fmt_size = 0, delivered = 0;
  return LocateWaveFormat(seam, &skips, &fmt_size, format, &delivered);
}

bool FindWaveFormat(const WaveSeam *seam, uint32_t *skips, uint32_t *fmt_size, WaveFormatBlock *format) {
  uint32_t delivered = 0;
  if (!LocateWaveFormat(seam, skips, fmt_size, format, &delivered)) return false;
  if (!WaveFormatAccepted(format)) return false;
  // Back to the end of the "fmt " chunk (-24 for the usual 16 bytes). The move
  // counts from what the read delivered: near the end of a short file it
  // stops early, and a fixed -24 would land inside the format block.
  seam->seek(seam->context, (int32_t)(*fmt_size - delivered));
  return true;
}

bool WaveLengthFromSeam(const WaveSeam *seam, uint32_t *length_ms) {
  uint32_t riff_word = 0;
  for (int i = 0; i < 3; ++i) {
    if (!ReadHeaderWord(seam, &riff_word)) return false;
  }
  uint32_t skips = 0;
  uint32_t fmt_size = 0;
  WaveFormatBlock format;
  if (!FindWaveFormat(seam, &skips, &fmt_size, &format)) return false;
  uint32_t id = 0;
  if (!ReadHeaderWord(seam, &id)) return false;
  while (id != kChunkIdData) {
    if (skips >= kWaveSkipLimit) return false;
    if (!SkipChunkAndReadId(seam, &id)) return false;
    ++skips;
  }
  if (skips >= kWaveSkipLimit) return false;
  uint32_t data_size = 0;
  if (!ReadHeaderWord(seam, &data_size)) return false;
  const uint64_t present = seam->remaining != nullptr ? seam->remaining(seam->context) : kWaveBytesUnknown;
  return WaveLengthMs(WaveDataBytesPresent(data_size, present), &format, length_ms);
}

// HTTP walk over the received bytes.
static bool WordAt(const uint8_t *bytes, uint32_t size, uint32_t pos, uint32_t *word) {
  if (pos > size) return false;
  if (4 > size - pos) return false;
  *word = Le32(bytes + pos);
  return true;
}

bool WaveLengthFromResponse(const uint8_t *bytes, uint32_t size, uint64_t content_length, uint32_t *length_ms) {
  uint32_t id = 0;
  if (!WordAt(bytes, size, 12, &id)) return false;
  uint32_t size_offset = 16;  // offset of the current chunk's size word
  uint32_t skips = 0;
  if (id != kChunkIdFmt) {
    do {
      if (skips >= kWaveFmtSkipLimit) return false;
      uint32_t chunk_size = 0;
      if (!WordAt(bytes, size, size_offset, &chunk_size)) return false;
      const uint32_t next = size_offset + 4u + chunk_size;  // wraps in 32 bits like the offsets it came from
      if (next > kWaveHttpIdLimit) return false;
      if (!WordAt(bytes, size, next, &id)) return false;
      size_offset = next + 4u;
      ++skips;
    } while (id != kChunkIdFmt);
    if (skips >= kWaveFmtSkipLimit) return false;
  }
  uint32_t fmt_size = 0;
  if (!WordAt(bytes, size, size_offset, &fmt_size)) return false;
  const uint32_t block_offset = size_offset + 4u;  // at most 1008: no wrap
  if (block_offset > size) return false;
  uint32_t delivered = size - block_offset;
  if (delivered > kWaveFormatBlockBytes) delivered = kWaveFormatBlockBytes;
  WaveFormatBlock format;
  if (!DecodeWaveFormatBlock(bytes + block_offset, delivered, &format)) return false;
  if (!WaveFormatAccepted(&format)) return false;

  uint32_t id_offset = block_offset + fmt_size;
  if (!WordAt(bytes, size, id_offset, &id)) return false;
  while (id != kChunkIdData) {
    if (skips >= kWaveSkipLimit) return false;
    uint32_t chunk_size = 0;
    if (!WordAt(bytes, size, id_offset + 4u, &chunk_size)) return false;
    id_offset = id_offset + 8u + chunk_size;
    if (!WordAt(bytes, size, id_offset, &id)) return false;
    ++skips;
  }
  if (skips >= kWaveSkipLimit) return false;
  uint32_t data_size = 0;
  if (!WordAt(bytes, size, id_offset + 4u, &data_size)) return false;
  // The data starts right after its size word, inside what was received.
  const uint64_t data_start = (uint64_t)id_offset + 8u;
  uint64_t present = kWaveBytesUnknown;
  if (content_length != kWaveBytesUnknown) present = content_length > data_start ? content_length - data_start : 0;
  return WaveLengthMs(WaveDataBytesPresent(data_size, present), &format, length_ms);
}
