#include <windows.h>

#include "media/details_text.h"
#include "media/library_binding.h"
#include "media/wave_reader.h"
#include "plugin/settings.h"
#include "plugin/slots.h"

// The message of the latest details box; emptied by every call.
static wchar_t DetailsText[kDetailsTextUnits];

static const wchar_t kDetailsCaption[] = L"About file";

static void ShowDetails(HWND parent) { MessageBoxW(parent, DetailsText, kDetailsCaption, MB_OK); }

// WAV-only mode: the header's format block, no media library. A URL simply
// fails to open.
static void WaveDetails(const wchar_t *file, HWND parent) {
  WaveFormatBlock format;
  if (!ReadWaveFormatOfFile(file, &format)) return;
  DetailsFacts facts;
  facts.channels = format.channels;
  facts.rate_khz = (int32_t)(format.sample_rate / 1000u);
  facts.has_resolution = true;
  facts.resolution = format.bits_per_sample;
  facts.is_float = WaveFormatIsFloat(&format);
  ComposeDetailsText(file, &facts, DetailsText, kDetailsTextUnits);
  ShowDetails(parent);
}

// Library mode: the stream's channel information. The stream and the
// library's initialisation are released on every path, stream first.
static void LibraryDetails(const wchar_t *file, HWND parent) {
  BindMediaLibrary();
  if (!MediaLibraryBound()) return;
  MediaInit();
  const DWORD stream = MediaStreamCreateFile(file);
  if (stream == 0) {
    MediaFree();
    return;
  }
  BASS_CHANNELINFO info = BASS_CHANNELINFO();
  if (MediaChannelGetInfo(stream, &info)) {
    DetailsFacts facts;
    // The library's values are printed whole as signed decimals.
    facts.channels = (int32_t)info.chans;
    facts.rate_khz = (int32_t)(info.freq / 1000u);
    facts.has_resolution = info.origres != 0;
    facts.resolution = (int32_t)info.origres;
    facts.is_float = false;
    ComposeDetailsText(file, &facts, DetailsText, kDetailsTextUnits);
    ShowDetails(parent);
  }
  MediaStreamFree(stream);
  MediaFree();
}

int __cdecl InfoBox(const wchar_t *file, HWND parent) {
  DetailsText[0] = 0;
  if (file == NULL) return 0;
  if (PluginSettings.OnlyWav != 0) {
    WaveDetails(file, parent);
  } else {
    LibraryDetails(file, parent);
  }
  return 0;
}
