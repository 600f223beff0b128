#include "media/details_query.h"

#include "media/library_binding.h"
#include "media/wave_file.h"

// WAV-only mode: the header's format block, no media library. A URL simply
// fails to open.
static bool WaveDetails(const wchar_t *file, DetailsFacts *facts) {
  WaveFormatBlock format;
  if (!ReadWaveFormatOfFile(file, &format)) return false;
  facts->channels = format.channels;
  facts->rate_khz = (int32_t)(format.sample_rate / 1000u);
  facts->has_resolution = true;
  facts->resolution = format.bits_per_sample;
  facts->is_float = WaveFormatIsFloat(&format);
  return true;
}

// Library mode: the stream's channel information. The stream and the
// library's initialisation are released on every path, stream first.
static bool LibraryDetails(const wchar_t *file, DetailsFacts *facts) {
  BindMediaLibrary();
  if (!MediaLibraryBound()) return false;
  MediaInit();
  const DWORD stream = MediaStreamCreateFile(file);
  if (stream == 0) {
    MediaFree();
    return false;
  }
  BASS_CHANNELINFO info = BASS_CHANNELINFO();
  const bool got = MediaChannelGetInfo(stream, &info);
  if (got) {
    // The library's values are printed whole as signed decimals.
    facts->channels = (int32_t)info.chans;
    facts->rate_khz = (int32_t)(info.freq / 1000u);
    facts->has_resolution = info.origres != 0;
    facts->resolution = (int32_t)info.origres;
    facts->is_float = false;
  }
  MediaStreamFree(stream);
  MediaFree();
  return got;
}

bool ReadDetailsFacts(const wchar_t *file, bool only_wav, DetailsFacts *facts) {
  return only_wav ? WaveDetails(file, facts) : LibraryDetails(file, facts);
}
