// initcost: what the media library's BASS_Init/BASS_Free pair costs, made as
// the plug-in makes it around every query. The benchmark runs it under Wine
// beside talhost, in a folder holding bass.dll and its add-ons: it binds them
// with the plug-in's own code (so the library and add-ons are the ones a query
// meets), times PAIRS rounds of the plug-in's Init sequence and BASS_Free, and
// prints one JSON line:
//   {"library":S,"version":S|null,"version_word":N|null,"rate0_refused":B,
//    "rate0_error":N|null,"pairs":N,"initialised":N,"ms_per_pair":F}
// library       the bass.dll that was loaded (full path)
// version       BASS_GetVersion as a.b.c.d from the word's bytes, high byte
//               first; null when the library has no such export
// rate0_refused whether Init(0, 0, ...) failed on an uninitialised library
//               (the plug-in then retries at 44100 Hz); rate0_error is
//               BASS_ErrorGetCode after it, null when accepted or not exported
// initialised   pairs whose BASS_Free found the library initialised: fewer
//               than PAIRS means both Init calls failed and the pair cost
//               less than a real query's
//
// Usage: initcost [PAIRS]   PAIRS 1..100000, default 200
// Exit code: 0 measured; 1 bass.dll, BASS_Init or BASS_Free not found; 2 bad usage.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "media/library_binding.h"
#include "tests/tools/json_out.h"

enum { kExitOk = 0, kExitNoLibrary = 1, kExitUsage = 2 };
enum { kDefaultPairs = 200, kMaxPairs = 100000 };

static bool ParsePairs(const char *text, long *pairs) {
  char *end = NULL;
  long value = strtol(text, &end, 10);
  if (end == text || *end != 0 || value < 1 || value > kMaxPairs) return false;
  *pairs = value;
  return true;
}

int main(int argc, char **argv) {
  long pairs = kDefaultPairs;
  if (argc > 2 || (argc == 2 && !ParsePairs(argv[1], &pairs))) {
    fprintf(stderr, "usage: initcost [PAIRS]   (PAIRS 1..%d, default %d)\n", kMaxPairs, kDefaultPairs);
    return kExitUsage;
  }
  // Loaded by name, as the plug-in does: the program's own folder comes first.
  BindMediaLibrary();
  MediaLibraryBindingRecord &b = MediaLibraryBinding;
  if (!MediaLibraryBound() || b.Init == NULL || b.Free == NULL) {
    fprintf(stderr, "initcost: no bass.dll with BASS_Init and BASS_Free beside the program\n");
    UnbindMediaLibrary();
    return kExitNoLibrary;
  }
  BASS_GetVersion_fn get_version = NULL;
  BASS_ErrorGetCode_fn error_code = NULL;
  get_version = reinterpret_cast<BASS_GetVersion_fn>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(b.module, "BASS_GetVersion")));
  error_code = reinterpret_cast<BASS_ErrorGetCode_fn>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(b.module, "BASS_ErrorGetCode")));

  wchar_t path[MAX_PATH];
  DWORD units = GetModuleFileNameW(b.module, path, MAX_PATH);
  if (units == 0 || units >= MAX_PATH) path[0] = 0;

  // Binding left the library initialised; the first query's pair finds it so.
  b.Free();
  // One untimed pair tells which way the plug-in's sequence goes here.
  bool rate0_refused = !b.Init(0, 0, 0, NULL, NULL);
  const bool have_error = rate0_refused && error_code != NULL;
  const int rate0_error = have_error ? error_code() : 0;
  if (rate0_refused) b.Init(0, kFallbackInitRate, 0, NULL, NULL);
  b.Free();

  long initialised = 0;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (long i = 0; i < pairs; ++i) {
    MediaInit();
    if (b.Free()) ++initialised;
  }
  QueryPerformanceCounter(&end);
  const double ms = (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;

  Out("{\"library\":");
  OutJsonString(path);
  if (get_version != NULL) {
    DWORD v = get_version();
    wchar_t text[32];
    swprintf(text, 32, L"%lu.%lu.%lu.%lu", (unsigned long)(v >> 24 & 0xFF), (unsigned long)(v >> 16 & 0xFF),
             (unsigned long)(v >> 8 & 0xFF), (unsigned long)(v & 0xFF));
    Out(",\"version\":");
    OutJsonString(text);
    Out(",\"version_word\":");
    OutInt(v);
  } else {
    Out(",\"version\":null,\"version_word\":null");
  }
  Out(rate0_refused ? ",\"rate0_refused\":true" : ",\"rate0_refused\":false");
  Out(",\"rate0_error\":");
  if (have_error) {
    OutInt(rate0_error);
  } else {
    Out("null");
  }
  Out(",\"pairs\":");
  OutInt(pairs);
  Out(",\"initialised\":");
  OutInt(initialised);
  char ms_text[32];
  snprintf(ms_text, sizeof ms_text, ",\"ms_per_pair\":%.4f}\n", ms / (double)pairs);
  Out(ms_text);
  OutFlush();
  UnbindMediaLibrary();
  return kExitOk;
}
