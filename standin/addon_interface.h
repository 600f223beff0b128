// How the library meets its add-ons: BASS_PluginLoad loads the add-on DLL by
// name and asks its export StandinAddOnFormats for the formats it opens. The
// library releases each stream through the release function of the module
// that opened it, so no heap block crosses a module boundary.
#pragma once
#include <stdint.h>

#include "standin/stream_facts.h"

static const uint32_t kAddOnInterfaceVersion = 1;
#define STANDIN_ADDON_EXPORT "StandinAddOnFormats"

struct AddOnFormat {
  const char *name;
  FormatOpenFn open;
  void (*release)(StreamFacts *facts);
};

struct AddOnTable {
  uint32_t version;  // kAddOnInterfaceVersion
  uint32_t count;
  const AddOnFormat *formats;
};

typedef const AddOnTable *(__cdecl *AddOnFormatsFn)(void);
