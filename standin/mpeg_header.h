// One MPEG audio frame header, decoded.
#pragma once
#include <stdint.h>

struct MpegHeader {
  uint32_t version;  // 1, 2, or 3 for MPEG-2.5
  uint32_t layer;    // 1..3
  uint32_t bitrate_kbps;
  uint32_t sample_rate;
  uint32_t channels;
  uint32_t samples_per_frame;
  uint32_t frame_bytes;
  uint32_t side_info_bytes;
};

// False for anything that is not a usable frame header (bad sync, reserved
// fields, free-format bitrate).
bool ParseMpegHeader(const uint8_t p[4], MpegHeader *h);
