// RIFF/WAVE header walk: format block, accept test, play length, and the one
// walk that finds them, over a small read/seek seam: a local file read
// piecewise, or the first bytes of an HTTP response held in memory (a seam of
// its own that adds the response's rules). Pure code: no platform calls, so the
// native sanitizer and fuzzing build compiles it alone.
#pragma once
#include <stdint.h>

enum {
  kWaveFormatBlockBytes = 40,  // read from the start of "fmt " data whatever its declared size
  kWaveFmtSkipLimit = 5,       // the skip counter must stay below this while looking for "fmt "
  kWaveSkipLimit = 10,         // ... and below this, shared, while looking for "data"
  kWaveHttpIdLimit = 1000,     // over HTTP no chunk identifier before "fmt " lies further out
  kWaveTagPcm = 1,
  kWaveTagFloat = 3,
  kWaveTagExtensible = 0xFFFE,
};

// Chunk identifiers as little-endian 32-bit words.
static const uint32_t kChunkIdFmt = 0x20746D66u;   // "fmt "
static const uint32_t kChunkIdData = 0x61746164u;  // "data"

// The fields of the 40-byte format block the reader uses.
struct WaveFormatBlock {
  uint16_t format_tag;
  uint16_t channels;
  uint32_t sample_rate;
  uint16_t bits_per_sample;
  uint32_t sub_format_word;  // first word of the extensible sub-format GUID
  uint32_t chunk_size = 0;   // the "fmt " chunk's declared size, which the walk sets
};

// Decodes a format block of which the first `delivered` bytes were present.
// False when a field the reader uses lies in the absent part (the first 16
// bytes always; the sub-format word too for the extensible tag).
bool DecodeWaveFormatBlock(const uint8_t *block, uint32_t delivered, WaveFormatBlock *format);

// PCM, IEEE float, or extensible with a PCM or float sub-format.
bool WaveFormatAccepted(const WaveFormatBlock *format);
// Float data: tag 3, or extensible with sub-format word 3.
bool WaveFormatIsFloat(const WaveFormatBlock *format);

// A format block that gives 0 bits per sample, 0 channels or a rate of 0:
// older releases of the media library divide by zero on such a file.
bool WaveFormatEmpty(const WaveFormatBlock *format);
// The first 12 bytes of `size` name a RIFF file of form type WAVE.
bool IsRiffWaveForm(const uint8_t *bytes, uint32_t size);

// ((data_size * 1000) / rate / channels) / (bits >> 3) in 64 bits. False, with
// *length_ms untouched, when any divisor is zero or the quotient does not fit
// a positive 32-bit length (no such length is true; a header that claims one
// is treated as one that fails).
bool WaveLengthMs(uint32_t data_size, const WaveFormatBlock *format, uint32_t *length_ms);

// Bytes that lie beyond a position, when nothing bounds them.
static const uint64_t kWaveBytesUnknown = ~(uint64_t)0;
// The data size the length counts: the declared size, cut to the bytes there
// are (streaming writers leave 0xFFFFFFFF, RF64 a placeholder, and a file may
// be cut short).
uint32_t WaveDataBytesPresent(uint32_t declared, uint64_t present);

// How the local walk reaches the file: 4-byte and 40-byte reads and moves
// relative to the current position. Skipped chunks are passed over, never read.
struct WaveSeam {
  void *context;
  // Copies up to `count` bytes to `buffer`; returns how many it delivered
  // (0 at end of file or on error).
  uint32_t (*read)(void *context, uint8_t *buffer, uint32_t count);
  // Moves the position by a signed distance; a move before the start leaves it.
  void (*seek)(void *context, int32_t distance);
  // Bytes from the position to the end of the file; null (or
  // kWaveBytesUnknown) when not known, and the declared data size stands.
  uint64_t (*remaining)(void *context);
  // While "fmt " is sought: whether the next chunk identifier, at the position,
  // may still be read (false ends the walk). Null: every one may.
  bool (*fmt_id_in_reach)(void *context);
};

// The walk from the first chunk identifier (the position must already be at
// byte 12): reads it, skips chunks until "fmt " counting each in *skips, then
// reads the fmt size and the format block and applies the accept test. The
// details box and the length query share this search.
bool FindWaveFormat(const WaveSeam *seam, uint32_t *skips, WaveFormatBlock *format);
// The same search (from the first chunk identifier) without the accept test: the format block
// the file gives, whatever it is (the guard against older libraries reads it).
bool FindAnyWaveFormat(const WaveSeam *seam, WaveFormatBlock *format);

// The whole local walk from the start of the file: the RIFF header (12 bytes,
// never examined), the format search, then "data" within the shared budget of
// nine skips. True with the length when the header was read in full; the
// data size counts no more bytes than the seam says remain.
bool WaveLengthFromSeam(const WaveSeam *seam, uint32_t *length_ms);

// The first bytes of an HTTP response as a seam. Reads deliver only the `size`
// bytes received; a move before the start ends the walk (the response has no
// such bytes); no chunk identifier before "fmt " lies past kWaveHttpIdLimit;
// and the data size counts no bytes past `content_length` (the response's
// Content-Length, or kWaveBytesUnknown without one).
struct WaveResponse {
  const uint8_t *bytes;
  uint32_t size;
  uint64_t content_length;
  uint64_t pos;
  bool lost;  // moved before the start
};
void MakeWaveResponseSeam(WaveResponse *response, const uint8_t *bytes, uint32_t size, uint64_t content_length,
                          WaveSeam *seam);

// The whole walk over a response's first bytes (WaveLengthFromSeam over that seam).
bool WaveLengthFromResponse(const uint8_t *bytes, uint32_t size, uint64_t content_length, uint32_t *length_ms);
